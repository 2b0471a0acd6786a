#include "db/contacts/RecordStatements.h"

namespace {

QString Quoted(const QString& value)
{
    return QLatin1Char('\'') + EscapeQuotes(value) + QLatin1Char('\'');
}

} // namespace

QString DateText(const QDate& date)
{
    return QStringLiteral("%1.%2.%3").arg(date.day()).arg(date.month()).arg(date.year());
}

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
    return QStringLiteral(
               "insert into zvonisty (telefon, jmeno, email, poznamka, datum, organizace, skupina, icq, "
               "skype) values (") +
           QStringList{Quoted(v.telefon),  Quoted(v.jmeno), Quoted(v.email),
                       Quoted(v.poznamka), Quoted(v.datum), Quoted(v.organizace),
                       Quoted(v.skupina),  Quoted(v.icq),   Quoted(v.skype)}
               .join(QStringLiteral(", ")) +
           QLatin1Char(')');
}

QString UpdateContactStatement(const ContactValues& v, const QString& id)
{
    return QStringLiteral("update zvonisty set telefon=") + Quoted(v.telefon) + QStringLiteral(", jmeno=") +
           Quoted(v.jmeno) + QStringLiteral(", email=") + Quoted(v.email) + QStringLiteral(", poznamka=") +
           Quoted(v.poznamka) + QStringLiteral(", datum=") + Quoted(v.datum) +
           QStringLiteral(", organizace=") + Quoted(v.organizace) + QStringLiteral(", skupina=") +
           Quoted(v.skupina) + QStringLiteral(", icq=") + Quoted(v.icq) + QStringLiteral(", skype=") +
           Quoted(v.skype) + QStringLiteral(" where id=") + IdLiteral(id);
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
