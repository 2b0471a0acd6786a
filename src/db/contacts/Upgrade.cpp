#include "db/contacts/Upgrade.h"

#include "db/contacts/Query.h"
#include "db/contacts/QueryOps.h"
#include "db/engine/Connection.h"
#include "db/engine/Engine.h"
#include "db/engine/ErrorLog.h"
#include "db/engine/Schema.h"

#include <QRegularExpression>

namespace {

bool HasRows(sqlite3* handle, const QString& select)
{
    return !db::SelectRows(handle, select).isEmpty();
}

bool HasLayoutRow(sqlite3* handle, const QString& key)
{
    return HasRows(handle, QStringLiteral("select 1 from sloupce where id = '%1'").arg(key));
}

// Whether the file already has what the statement would add: a file upgraded in part by an
// older program, or a version table emptied by another tool.
bool AlreadyDone(sqlite3* handle, const QString& statement)
{
    static const QRegularExpression createTable(QStringLiteral("^create table (\\w+)"),
                                                QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression addConstraint(QStringLiteral("^alter table \\w+ add constraint (\\w+)"),
                                                  QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression addColumn(QStringLiteral("^alter table (\\w+) add (\\w+)"),
                                              QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression insertVersion(QStringLiteral("^insert into verze\\b"),
                                                  QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression insertLayout(QStringLiteral("^insert into sloupce .* values \\('(\\w+)'"),
                                                 QRegularExpression::CaseInsensitiveOption);
    if (const auto m = createTable.match(statement); m.hasMatch())
        return db::TableExists(handle, m.captured(1));
    if (const auto m = addConstraint.match(statement); m.hasMatch())
        return db::IndexExists(handle, m.captured(1));
    if (const auto m = addColumn.match(statement); m.hasMatch())
        return db::TableColumns(handle, m.captured(1)).contains(m.captured(2).toLower());
    if (insertVersion.match(statement).hasMatch())
        return HasRows(handle, QStringLiteral("select 1 from verze"));
    if (const auto m = insertLayout.match(statement); m.hasMatch())
        return HasLayoutRow(handle, m.captured(1));
    return false;
}

// The version the file's tables really have, at most `stated`.
int VersionPresent(sqlite3* handle, int stated)
{
    int version = stated;
    if (version >= 4 && !(db::TableExists(handle, QStringLiteral("sloupce")) &&
                          HasLayoutRow(handle, QStringLiteral("sirka"))))
        version = 3;
    if (version >= 3 &&
        !(db::TableExists(handle, QStringLiteral("sloupce")) &&
          HasLayoutRow(handle, QStringLiteral("poradi")) && HasLayoutRow(handle, QStringLiteral("sort"))))
        version = 2;
    const QStringList columns = db::TableColumns(handle, QStringLiteral("zvonisty"));
    if (version >= 2 &&
        !(columns.contains(QStringLiteral("icq")) && columns.contains(QStringLiteral("skype"))))
        version = 1;
    return version;
}

} // namespace

int ReadStructureVersion(db::Query* query)
{
    OpenQuery(QStringLiteral("select * from verze"), query, false);
    try {
        query->open();
    } catch (const db::EngineError&) {
        // No version table: a file of the first structure.
        return 1;
    }
    const int stated = query->eof() ? 0 : query->fieldInt(QStringLiteral("DB"));
    if (stated > kCurrentStructureVersion || !query->connection())
        return stated;
    try {
        return VersionPresent(query->connection()->handle(), stated);
    } catch (const db::EngineError&) {
        return stated;
    }
}

QStringList UpgradeStatements(int version)
{
    QStringList list;
    if (version < 2)
        list << QStringLiteral("create table verze (DB numeric, dat_zmena datetime)")
             << QStringLiteral("alter table zvonisty add icq varchar(15)")
             << QStringLiteral("alter table zvonisty add skype varchar(50)")
             << QStringLiteral("insert into VERZE (DB, dat_zmena) values (2, date()+time())");
    if (version < 3)
        list << QStringLiteral("create table sloupce (id varchar(10), telefon numeric, jmeno numeric, "
                               "organizace numeric, email numeric, poznamka numeric)")
             << QStringLiteral("insert into sloupce (id, telefon, jmeno, organizace, email, poznamka) "
                               "values ('poradi', 0, 1, 2, 3, 4)")
             << QStringLiteral("insert into sloupce (id, telefon, jmeno, organizace, email, poznamka) "
                               "values ('sort', null, 0, null, null, null)")
             << QStringLiteral("alter table sloupce add constraint p_sloupce primary key (id)")
             << QStringLiteral("update VERZE set DB = 3, dat_zmena = date()+time()");
    if (version < 4)
        list << QStringLiteral("insert into sloupce (id, telefon, jmeno, organizace, email, poznamka) "
                               "values ('sirka', 100, 100, 100, 100, 100)")
             << QStringLiteral("update VERZE set DB = 4, dat_zmena = date()+time()");
    return list;
}

bool UpgradeDatabase(int version, db::Query* work, const UpgradeProgress& progress, QString* error)
{
    const QStringList statements = UpgradeStatements(version);
    const int total = int(statements.size());
    auto tell = [&](int done) {
        if (progress)
            progress(done, total);
    };
    auto fail = [&](const QString& statement, const QString& engineText) {
        QString text =
            QStringLiteral("Úpravu struktury souboru nelze dokončit; soubor zůstal beze změny.\r{") +
            engineText + QStringLiteral("}");
        QString why;
        if (!WriteErrorLog(statement, &why))
            text += QStringLiteral("\r\r") + why;
        if (error)
            *error = text;
        return false;
    };
    tell(0);
    db::Connection* connection = work->connection();
    if (!connection || !connection->connected())
        return fail(QString(), QStringLiteral("Databáze není otevřena."));
    sqlite3* handle = connection->handle();
    try {
        db::RunStatement(handle, QStringLiteral("begin immediate"));
    } catch (const db::EngineError& e) {
        return fail(QStringLiteral("begin"), e.message());
    }
    // One transaction: a file is either upgraded whole or left as it was.
    for (int i = 0; i < total; ++i) {
        const QString& statement = statements[i];
        try {
            if (!AlreadyDone(handle, statement)) {
                work->close();
                work->setSql(statement);
                work->execSql();
            }
        } catch (const db::EngineError& e) {
            db::RunStatementQuietly(handle, QStringLiteral("rollback"));
            return fail(statement, e.message());
        }
        tell(i + 1);
    }
    try {
        db::RunStatement(handle, QStringLiteral("commit"));
    } catch (const db::EngineError& e) {
        db::RunStatementQuietly(handle, QStringLiteral("rollback"));
        return fail(QStringLiteral("commit"), e.message());
    }
    return true;
}
