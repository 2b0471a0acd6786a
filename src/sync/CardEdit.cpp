#include "sync/CardEdit.h"

#include "exchange/VCardCommands.h"
#include "exchange/VCardReader.h"

#include <QCryptographicHash>

namespace synchro {
namespace {

// One property of a card: its lines as they came (folded), and its name without a group.
struct Property
{
    QByteArray raw;
    QByteArray name;
};

QList<Property> Properties(const QByteArray& card)
{
    QList<Property> list;
    for (const QByteArray& line : card.split('\n')) {
        QByteArray l = line;
        if (l.endsWith('\r'))
            l.chop(1);
        if (!list.isEmpty() && (l.startsWith(' ') || l.startsWith('\t'))) {
            list.last().raw += "\r\n" + l;
            continue;
        }
        if (l.isEmpty())
            continue;
        qsizetype end = 0;
        while (end < l.size() && l.at(end) != ':' && l.at(end) != ';')
            ++end;
        QByteArray name = l.left(end).toUpper();
        if (const qsizetype dot = name.indexOf('.'); dot >= 0)
            name = name.mid(dot + 1);
        list.append({l, name});
    }
    return list;
}

QByteArray Line(const QString& property, const QString& value)
{
    return vcard::FoldLine((property + QLatin1Char(':') + vcard::EscapeValue(value)).toUtf8());
}

QStringList Phones(const vcard::Contact& person)
{
    QStringList phones;
    if (!person.values.telefon.isEmpty())
        phones << person.values.telefon;
    return phones + person.furtherPhones;
}

// Replaces the first property of that name (keeping its place), or adds one before the end;
// an empty line takes it away.
void SetRaw(QList<Property>& props, const QList<QByteArray>& names, const QByteArray& raw)
{
    for (qsizetype i = 0; i < props.size(); ++i) {
        if (!names.contains(props[i].name))
            continue;
        if (raw.isEmpty())
            props.removeAt(i);
        else
            props[i].raw = raw;
        return;
    }
    if (raw.isEmpty())
        return;
    qsizetype end = props.size();
    while (end > 0 && props[end - 1].name != "END")
        --end;
    props.insert(end > 0 ? end - 1 : props.size(), Property{raw, names.first()});
}

void SetSingle(QList<Property>& props, const QList<QByteArray>& names, const QString& property,
               const QString& value)
{
    SetRaw(props, names, value.isEmpty() ? QByteArray() : Line(property, value));
}

// Another client's form of the same address, which a reader could take before ours.
void DropImpp(QList<Property>& props, const QByteArray& service)
{
    props.removeIf([&](const Property& p) { return p.name == "IMPP" && p.raw.toLower().contains(service); });
}

} // namespace

QList<ContactValues> CardRows(const vcard::Card& card, const QString& datum)
{
    QList<ContactValues> rows = vcard::RowsOfCard(card, datum);
    if (rows.isEmpty()) {
        // A card without a number is a contact all the same; the server keeps it, so must we.
        vcard::Card numbered = card;
        numbered.phones = {QString()};
        rows = vcard::RowsOfCard(numbered, datum);
    }
    return rows;
}

QStringList PersonKey(const ContactValues& v)
{
    return {v.jmeno, v.email, v.organizace, v.poznamka, v.skupina, v.icq, v.skype};
}

vcard::Contact PersonOf(const QList<ContactValues>& rows)
{
    vcard::Contact person;
    if (rows.isEmpty())
        return person;
    person.values = rows.first();
    for (qsizetype i = 1; i < rows.size(); ++i)
        if (!rows[i].telefon.isEmpty())
            person.furtherPhones << rows[i].telefon;
    return person;
}

QString Fingerprint(const QList<ContactValues>& rows)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const ContactValues& v : rows)
        hash.addData((PersonKey(v).join(QChar(0x1f)) + QChar(0x1f) + v.telefon + QChar(0x1e)).toUtf8());
    return QString::fromLatin1(hash.result().toHex());
}

QByteArray NewCard(const vcard::Contact& person, const QString& uid)
{
    QByteArray card = vcard::WriteVCards({person}, vcard::Version::V30);
    const qsizetype version = card.indexOf("VERSION:3.0\r\n");
    card.insert(version + 13, Line(QStringLiteral("UID"), uid) + "\r\n");
    return card;
}

QByteArray EditCard(const QByteArray& original, const vcard::Contact& person)
{
    const vcard::ReadResult read = vcard::ReadVCards(original);
    if (read.cards.size() != 1)
        return NewCard(person, QString());
    // Compared as the directory would take the card in, numbers formatted and values cut.
    const vcard::Contact before = PersonOf(CardRows(read.cards.first(), QString()));
    const ContactValues& was = before.values;
    const ContactValues& v = person.values;
    QList<Property> props = Properties(original);
    if (was.jmeno != v.jmeno) {
        SetSingle(props, {"FN"}, QStringLiteral("FN"), v.jmeno);
        SetRaw(props, {"N"},
               vcard::FoldLine(
                   (QStringLiteral("N:") + vcard::EscapeValue(v.jmeno) + QStringLiteral(";;;;")).toUtf8()));
    }
    if (Phones(before) != Phones(person)) {
        QList<Property> kept;
        qsizetype at = -1;
        for (const Property& p : props) {
            if (p.name == "TEL") {
                if (at < 0)
                    at = kept.size();
                continue;
            }
            kept.append(p);
        }
        if (at < 0)
            at = qMax<qsizetype>(0, kept.size() - 1);
        for (const QString& phone : Phones(person))
            kept.insert(at++, Property{Line(QStringLiteral("TEL;TYPE=VOICE"), phone), "TEL"});
        props = kept;
    }
    if (was.email != v.email)
        SetSingle(props, {"EMAIL"}, QStringLiteral("EMAIL;TYPE=INTERNET"), v.email);
    if (was.organizace != v.organizace)
        SetSingle(props, {"ORG"}, QStringLiteral("ORG"), v.organizace);
    if (was.poznamka != v.poznamka)
        SetSingle(props, {"NOTE"}, QStringLiteral("NOTE"), v.poznamka);
    if (was.skupina != v.skupina)
        SetSingle(props, {"CATEGORIES"}, QStringLiteral("CATEGORIES"), v.skupina);
    if (was.icq != v.icq) {
        DropImpp(props, "icq");
        SetSingle(props, {"X-ICQ"}, QStringLiteral("X-ICQ"), v.icq);
    }
    if (was.skype != v.skype) {
        DropImpp(props, "skype");
        SetSingle(props, {"X-SKYPE", "X-SKYPE-USERNAME"}, QStringLiteral("X-SKYPE"), v.skype);
    }
    QByteArray out;
    for (const Property& p : props)
        out += p.raw + "\r\n";
    return out;
}

} // namespace synchro
