#include "db/engine/Schema.h"

#include "db/engine/Columns.h"
#include "db/engine/Dialect.h"
#include "db/engine/Engine.h"

#include <QHash>

#include <sqlite3.h>

namespace db {
namespace {

struct Requirement
{
    const char* table;
    QStringList columns;
    bool always; // required in every file; otherwise only where the table exists
};

const QList<Requirement>& Requirements()
{
    static const QList<Requirement> list = {
        {"zvonisty", {"id", "telefon", "jmeno", "email", "poznamka", "datum", "organizace", "skupina"}, true},
        {"poznamky", {"id", "pozn", "dat"}, true},
        {"verze", {"db", "dat_zmena"}, false},
        {"sloupce", {"id", "telefon", "jmeno", "organizace", "email", "poznamka"}, false},
    };
    return list;
}

// The contacts' text columns and their widths.
const QList<QPair<QString, int>>& ContactTextColumns()
{
    static const QList<QPair<QString, int>> list = [] {
        QList<QPair<QString, int>> columns;
        for (const ContactColumn& c : kContactColumns)
            columns.append({ColumnName(c), c.width});
        return columns;
    }();
    return list;
}

QString Quoted(const QString& name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

struct ColumnInfo
{
    QString name; // as declared
    QString type;
    QString defaultValue;
};

QList<ColumnInfo> ColumnInfos(sqlite3* handle, const QString& table)
{
    QList<ColumnInfo> list;
    for (const QStringList& row :
         SelectRows(handle, QStringLiteral("pragma table_info(%1)").arg(Quoted(table))))
        list << ColumnInfo{row.value(1), row.value(2), row.value(4)};
    return list;
}

// The comparison and the id behaviour of one column, as the engine sees them.
bool ColumnMetadata(sqlite3* handle, const QString& table, const QString& column, QString* collation,
                    bool* autoIncrement)
{
    const char* type = nullptr;
    const char* collSeq = nullptr;
    int notNull = 0, primaryKey = 0, autoInc = 0;
    if (sqlite3_table_column_metadata(handle, "main", table.toUtf8().constData(), column.toUtf8().constData(),
                                      &type, &collSeq, &notNull, &primaryKey, &autoInc) != SQLITE_OK)
        return false;
    if (collation)
        *collation = QString::fromUtf8(collSeq ? collSeq : "");
    if (autoIncrement)
        *autoIncrement = autoInc != 0;
    return true;
}

bool HasCzechComparison(sqlite3* handle, const QString& table, const QString& column)
{
    QString collation;
    return ColumnMetadata(handle, table, column, &collation, nullptr) &&
           collation.compare(QLatin1String(kCzechCollation), Qt::CaseInsensitive) == 0;
}

bool ContactsNeedRebuild(sqlite3* handle)
{
    bool autoIncrement = false;
    if (!ColumnMetadata(handle, QStringLiteral("zvonisty"), QStringLiteral("id"), nullptr, &autoIncrement) ||
        !autoIncrement)
        return true;
    const QStringList present = TableColumns(handle, QStringLiteral("zvonisty"));
    for (const auto& [name, width] : ContactTextColumns())
        if (present.contains(name) && !HasCzechComparison(handle, QStringLiteral("zvonisty"), name))
            return true;
    return false;
}

bool NotesNeedRebuild(sqlite3* handle)
{
    if (!HasCzechComparison(handle, QStringLiteral("poznamky"), QStringLiteral("pozn")))
        return true;
    for (const ColumnInfo& c : ColumnInfos(handle, QStringLiteral("poznamky")))
        if (c.name.compare(QLatin1String("dat"), Qt::CaseInsensitive) == 0)
            return c.defaultValue.isEmpty();
    return true;
}

// Values that another tool let grow past the width the program allows: the column keeps what
// fits, the rest goes into a dated additional note of the contact, so nothing is lost. Runs
// before the contacts are copied into the table that checks the widths; gives the number of
// contacts concerned.
int MoveOverlongParts(sqlite3* handle)
{
    const QStringList present = TableColumns(handle, QStringLiteral("zvonisty"));
    QStringList overlong;
    QList<QPair<QString, int>> columns;
    for (const auto& [name, width] : ContactTextColumns()) {
        if (present.contains(name)) {
            columns.append({name, width});
            overlong << QStringLiteral("length(%1) > %2").arg(name).arg(width);
        }
    }
    if (columns.isEmpty())
        return 0;
    const int contacts =
        SelectRows(handle,
                   QStringLiteral("select count(*) from zvonisty where %1").arg(overlong.join(u" or ")))
            .value(0)
            .value(0)
            .toInt();
    if (contacts == 0)
        return 0;
    for (const auto& [name, width] : columns) {
        const QString note = QStringLiteral("Při převodu souboru se do pole %1 (nejvýše %2 znaků) nevešlo: ")
                                 .arg(ColumnLabel(name))
                                 .arg(width);
        RunStatement(
            handle,
            QStringLiteral("insert into poznamky (id, pozn, dat) select id, '%1' || substr(%2, %3), %4 "
                           "from zvonisty where length(%2) > %5")
                .arg(QString(note).replace(QLatin1Char('\''), QStringLiteral("''")), name,
                     QString::number(width + 1), LocalNowExpression(), QString::number(width)));
        RunStatement(handle,
                     QStringLiteral("update zvonisty set %1 = substr(%1, 1, %2) where length(%1) > %2")
                         .arg(name)
                         .arg(width));
    }
    return contacts;
}

// Copies the table into a new one created by `create` (whose name is <table>_nova and whose
// closing parenthesis is left off), adding the columns it does not declare itself.
void Rebuild(sqlite3* handle, const QString& table, QString create, const QStringList& declared,
             const QHash<QString, int>& widths)
{
    const QString fresh = table + QStringLiteral("_nova");
    QStringList copied;
    for (const ColumnInfo& c : ColumnInfos(handle, table)) {
        const QString lower = c.name.toLower();
        if (!declared.contains(lower)) {
            // A column the program does not know keeps its name and type; the program's own
            // later columns get their usual declaration.
            create +=
                QStringLiteral(", ") + (widths.contains(lower) ? VarcharColumn(lower, widths.value(lower))
                                                               : Quoted(c.name) + QLatin1Char(' ') + c.type);
        }
        copied << Quoted(c.name);
    }
    create += QLatin1Char(')');
    RunStatement(handle, QStringLiteral("drop table if exists %1").arg(fresh));
    RunStatement(handle, create);
    const QString columns = copied.join(QStringLiteral(", "));
    RunStatement(handle, QStringLiteral("insert into %1 (%2) select %2 from %3").arg(fresh, columns, table));
    RunStatement(handle, QStringLiteral("drop table %1").arg(table));
    RunStatement(handle, QStringLiteral("alter table %1 rename to %2").arg(fresh, table));
}

// The program's own create statement for a table, renamed and with its closing parenthesis
// left off, and the lower-case names of the columns it declares.
QString OpenCreateStatement(const QString& base, const QString& table, QStringList* declared)
{
    QString create = base.trimmed();
    create.chop(1);
    create.replace(QStringLiteral("create table %1 (").arg(table),
                   QStringLiteral("create table %1_nova (").arg(table));
    const QString body = create.mid(create.indexOf(QLatin1Char('(')) + 1);
    int depth = 0;
    QString current;
    auto take = [&] {
        declared->append(current.trimmed().section(QLatin1Char(' '), 0, 0).toLower());
        current.clear();
    };
    for (const QChar c : body) {
        if (c == QLatin1Char('('))
            ++depth;
        else if (c == QLatin1Char(')'))
            --depth;
        if (c == QLatin1Char(',') && depth == 0)
            take();
        else
            current += c;
    }
    take();
    return create;
}

} // namespace

void RunStatement(sqlite3* handle, const QString& statement)
{
    char* message = nullptr;
    if (sqlite3_exec(handle, statement.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        sqlite3_free(message);
        throw EngineError(EngineErrorText(handle));
    }
}

void RunStatementQuietly(sqlite3* handle, const QString& statement)
{
    sqlite3_exec(handle, statement.toUtf8().constData(), nullptr, nullptr, nullptr);
}

QList<QStringList> SelectRows(sqlite3* handle, const QString& select)
{
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(handle, select.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK)
        throw EngineError(EngineErrorText(handle));
    QList<QStringList> rows;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        QStringList row;
        for (int c = 0; c < sqlite3_column_count(stmt); ++c)
            row << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)));
        rows << row;
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        throw EngineError(EngineErrorText(handle));
    return rows;
}

bool TableExists(sqlite3* handle, const QString& table)
{
    return !SelectRows(handle,
                       QStringLiteral("select 1 from sqlite_master where type = 'table' and lower(name) = "
                                      "lower('%1')")
                           .arg(QString(table).replace(QLatin1Char('\''), QStringLiteral("''"))))
                .isEmpty();
}

QStringList TableColumns(sqlite3* handle, const QString& table)
{
    QStringList names;
    for (const ColumnInfo& c : ColumnInfos(handle, table))
        names << c.name.toLower();
    return names;
}

bool IndexExists(sqlite3* handle, const QString& index)
{
    return !SelectRows(handle,
                       QStringLiteral("select 1 from sqlite_master where type = 'index' and lower(name) = "
                                      "lower('%1')")
                           .arg(QString(index).replace(QLatin1Char('\''), QStringLiteral("''"))))
                .isEmpty();
}

void CheckDirectorySchema(sqlite3* handle)
{
    for (const Requirement& r : Requirements()) {
        const QString table = QString::fromLatin1(r.table);
        if (!TableExists(handle, table)) {
            if (!r.always)
                continue;
            throw EngineError(
                QStringLiteral("Soubor není databází telefonního seznamu: chybí v něm tabulka %1.")
                    .arg(table));
        }
        const QStringList present = TableColumns(handle, table);
        for (const QString& column : r.columns)
            if (!present.contains(column))
                throw EngineError(
                    QStringLiteral("Soubor není databází telefonního seznamu: v tabulce %1 chybí "
                                   "sloupec %2.")
                        .arg(table, column));
    }
}

bool NeedsRebuild(sqlite3* handle)
{
    return ContactsNeedRebuild(handle) || NotesNeedRebuild(handle);
}

int RebuildDirectoryTables(sqlite3* handle)
{
    int shortened = 0;
    const QStringList base = BaseSchemaStatements();
    QHash<QString, int> widths;
    for (const auto& [name, width] : ContactTextColumns())
        widths.insert(name, width);
    // Views and triggers of another tool that name the old table must not stop the renaming.
    RunStatement(handle, QStringLiteral("pragma legacy_alter_table = on"));
    try {
        if (ContactsNeedRebuild(handle)) {
            QStringList declared;
            const QString create = OpenCreateStatement(base.at(0), QStringLiteral("zvonisty"), &declared);
            shortened = MoveOverlongParts(handle);
            Rebuild(handle, QStringLiteral("zvonisty"), create, declared, widths);
        }
        if (NotesNeedRebuild(handle)) {
            QStringList declared;
            const QString create = OpenCreateStatement(base.at(1), QStringLiteral("poznamky"), &declared);
            Rebuild(handle, QStringLiteral("poznamky"), create, declared, {});
        }
    } catch (...) {
        sqlite3_exec(handle, "pragma legacy_alter_table = off", nullptr, nullptr, nullptr);
        throw;
    }
    RunStatement(handle, QStringLiteral("pragma legacy_alter_table = off"));
    return shortened;
}

} // namespace db
