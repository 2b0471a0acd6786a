#include "db/contacts/RecordStatements.h"

namespace {

QString Quoted(const QString& value)
{
    return QLatin1Char('\'') + EscapeQuotes(value) + QLatin1Char('\'');
}

} // namespace

QString IdLiteral(const QString& id)
{
    bool ok = false;
    const qlonglong number = id.trimmed().toLongLong(&ok);
    return ok ? QString::number(number) : QString();
}

QString DuplicateCheckStatement(const QString& number)
{
    return QStringLiteral("select * from zvonisty where telefon=") + Quoted(number);
}

QString NumberHoldersStatement(const QString& number)
{
    return DuplicateCheckStatement(number) + QStringLiteral(" order by jmeno");
}

QString ContactRowStatement(const QString& id)
{
    return QStringLiteral("select * from zvonisty where id=") + IdLiteral(id);
}

QString InsertContactStatement(const ContactValues& v)
{
    QStringList values;
    for (const db::ContactColumn& c : db::kContactColumns)
        values << Quoted(db::ValueOf(v, c));
    return QStringLiteral("insert into zvonisty (") + db::ColumnList() + QStringLiteral(") values (") +
           values.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QString UpdateContactStatement(const ContactValues& v, const QString& id)
{
    QStringList values;
    for (const db::ContactColumn& c : db::kContactColumns)
        values << QLatin1String(c.name) + QLatin1Char('=') + Quoted(db::ValueOf(v, c));
    return QStringLiteral("update zvonisty set ") + values.join(QStringLiteral(", ")) +
           QStringLiteral(" where id=") + IdLiteral(id);
}

QString DeleteContactStatement(const QString& id)
{
    return QStringLiteral("delete from zvonisty where id=") + IdLiteral(id);
}

QString InsertNoteStatement(const QString& id, const QString& text)
{
    return QStringLiteral("insert into poznamky (id, pozn) values (") + IdLiteral(id) + QStringLiteral(", ") +
           Quoted(text) + QLatin1Char(')');
}

QString NotesOfContactStatement(const QString& id)
{
    return QStringLiteral("select * from poznamky where id=") + IdLiteral(id);
}

QString DeleteNoteStatement(const QString& id, const QString& shownDate)
{
    return QStringLiteral("delete from Poznamky where id = ") + IdLiteral(id) +
           QStringLiteral(" and dat = ") + Quoted(shownDate);
}
