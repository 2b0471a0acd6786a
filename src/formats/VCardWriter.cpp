#include "formats/VCardWriter.h"

#include <QHash>
#include <QRegularExpression>

namespace vcard {
namespace {

void Add(QByteArray& out, const QString& line)
{
    out += FoldLine(line.toUtf8());
    out += "\r\n";
}

void AddValue(QByteArray& out, const QString& property, const QString& value)
{
    if (!value.isEmpty())
        Add(out, property + QLatin1Char(':') + EscapeValue(value));
}

} // namespace

QString EscapeValue(const QString& text)
{
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case ',':
            out += QLatin1String("\\,");
            break;
        case ';':
            out += QLatin1String("\\;");
            break;
        case '\r':
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            out += QLatin1String("\\n");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QByteArray FoldLine(const QByteArray& line)
{
    constexpr qsizetype kLimit = 75;
    if (line.size() <= kLimit)
        return line;
    QByteArray out;
    qsizetype start = 0;
    qsizetype room = kLimit;
    while (line.size() - start > room) {
        qsizetype cut = start + room;
        // Never between the bytes of one character: back off to the start of the character.
        while (cut > start + 1 && (static_cast<unsigned char>(line.at(cut)) & 0xC0) == 0x80)
            --cut;
        out += line.mid(start, cut - start);
        out += "\r\n ";
        start = cut;
        room = kLimit - 1; // the leading blank counts
    }
    out += line.mid(start);
    return out;
}

bool IsNoteDate(const QString& text)
{
    static const QRegularExpression date(
        QStringLiteral("^\\d{1,2}\\.\\d{1,2}\\.\\d{4}( \\d{1,2}:\\d{2}(:\\d{2})?)?$"));
    return date.match(text).hasMatch();
}

QList<Contact> OneCardPerPerson(const QList<Contact>& rows)
{
    QList<Contact> people;
    for (const QList<Contact>& person : db::GroupByPerson(rows, [](const Contact& c) { return c.values; })) {
        Contact c = person.first();
        for (qsizetype i = 1; i < person.size(); ++i) {
            const Contact& row = person[i];
            if (c.values.telefon.isEmpty())
                c.values.telefon = row.values.telefon;
            else if (!row.values.telefon.isEmpty())
                c.furtherPhones.append(row.values.telefon);
            c.furtherPhones += row.furtherPhones;
            for (const DatedNote& note : row.notes)
                if (!c.notes.contains(note))
                    c.notes.append(note);
        }
        people.append(c);
    }
    return people;
}

QByteArray WriteVCards(const QList<Contact>& contacts, Version version)
{
    const bool v4 = version == Version::V40;
    QByteArray out;
    for (const Contact& contact : contacts) {
        const ContactValues& v = contact.values;
        Add(out, QStringLiteral("BEGIN:VCARD"));
        Add(out, v4 ? QStringLiteral("VERSION:4.0") : QStringLiteral("VERSION:3.0"));
        // Both, always: some address books show only N, others require FN.
        Add(out, QStringLiteral("FN:") + EscapeValue(v.jmeno));
        Add(out, QStringLiteral("N:") + EscapeValue(v.jmeno) + QStringLiteral(";;;;"));
        const QString tel =
            v4 ? QStringLiteral("TEL;VALUE=text;TYPE=voice") : QStringLiteral("TEL;TYPE=VOICE");
        AddValue(out, tel, v.telefon);
        for (const QString& phone : contact.furtherPhones)
            AddValue(out, tel, phone);
        AddValue(out, v4 ? QStringLiteral("EMAIL") : QStringLiteral("EMAIL;TYPE=INTERNET"), v.email);
        AddValue(out, QStringLiteral("ORG"), v.organizace);
        AddValue(out, QStringLiteral("NOTE"), v.poznamka);
        for (const DatedNote& note : contact.notes)
            AddValue(out, QStringLiteral("NOTE"),
                     note.dat.isEmpty() ? note.text : note.dat + QLatin1Char('\n') + note.text);
        AddValue(out, QStringLiteral("CATEGORIES"), v.skupina);
        // The plain properties first: readers that know both take the first, and it holds the
        // name exactly, where the address may not.
        if (!v.icq.isEmpty()) {
            AddValue(out, QStringLiteral("X-ICQ"), v.icq);
            Add(out, QStringLiteral("IMPP;X-SERVICE-TYPE=ICQ:icq:") + EscapeValue(v.icq));
        }
        if (!v.skype.isEmpty()) {
            AddValue(out, QStringLiteral("X-SKYPE"), v.skype);
            Add(out, QStringLiteral("IMPP;X-SERVICE-TYPE=Skype:skype:") + EscapeValue(v.skype));
        }
        Add(out, QStringLiteral("END:VCARD"));
    }
    return out;
}

} // namespace vcard
