#include "sync/CardEdit.h"

#include "db/engine/PhoneText.h"
#include "formats/VCardLines.h"
#include "formats/VCardReader.h"
#include "formats/VCardRows.h"

#include <QCryptographicHash>
#include <QUrl>

#include <algorithm>

namespace synchro {
namespace {

// One content line of a card: its bytes as they came (folded), its line end, and what it says;
// an empty line (the end of a 2.1 picture) is kept as one with no name.
struct Piece
{
    QByteArray raw;
    QByteArray end;
    QByteArray text; // unfolded
    int line = 0;
    vcard::Property property;
};

// The card as its lines, and how a line it did not have is to be written.
struct Lines
{
    QList<Piece> pieces;
    QByteArray version;
    QByteArray eol = "\r\n";

    bool old() const { return version == "2.1"; }

    // A 2.1 reader keeps the blank of a folded line, so lines of that version stay whole.
    void set(Piece& piece, const QByteArray& text) const
    {
        piece.text = text;
        piece.raw = old() ? text : vcard::FoldLine(text).replace("\r\n", eol);
    }
    Piece made(const QByteArray& text, const QByteArray& name) const
    {
        Piece piece;
        piece.end = eol;
        piece.property.name = name;
        set(piece, text);
        return piece;
    }
    qsizetype endOfCard() const
    {
        for (qsizetype i = pieces.size(); i > 0; --i)
            if (pieces[i - 1].property.name == "END")
                return i - 1;
        return pieces.size();
    }

    // A line the card's version reads: 2.1 names the character set of what is no ASCII.
    QByteArray line(const char* head, const QString& value) const
    {
        const QByteArray text = vcard::EscapeValue(value).toUtf8();
        QByteArray written = head;
        if (old() && std::any_of(text.cbegin(), text.cend(), [](char c) { return c & 0x80; }))
            written += ";CHARSET=UTF-8";
        return written + ':' + text;
    }
};

Lines LinesOf(const QByteArray& card, const QByteArray& version)
{
    Lines lines;
    lines.version = version;
    for (const vcard::LogicalLine& l : vcard::Unfolded(vcard::PhysicalLines(card))) {
        Piece piece;
        piece.raw = card.mid(l.start, l.end - l.start);
        qsizetype text = piece.raw.size();
        while (text > 0 && (piece.raw.at(text - 1) == '\n' || piece.raw.at(text - 1) == '\r'))
            --text;
        piece.end = piece.raw.mid(text);
        piece.raw.truncate(text);
        piece.text = l.text;
        piece.line = l.line;
        if (!vcard::ParseProperty(l.text, &piece.property))
            piece.property = {};
        lines.pieces.append(piece);
    }
    if (!lines.pieces.isEmpty() && !lines.pieces.first().end.isEmpty())
        lines.eol = lines.pieces.first().end;
    return lines;
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
void SetRaw(Lines& card, const QList<QByteArray>& names, const QByteArray& text)
{
    QList<Piece>& pieces = card.pieces;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (!names.contains(pieces[i].property.name))
            continue;
        if (text.isEmpty())
            pieces.removeAt(i);
        else
            card.set(pieces[i], text);
        return;
    }
    if (!text.isEmpty())
        pieces.insert(card.endOfCard(), card.made(text, names.first()));
}

void SetSingle(Lines& card, const QList<QByteArray>& names, const char* head, const QString& value)
{
    SetRaw(card, names, value.isEmpty() ? QByteArray() : card.line(head, value));
}

// Another client's form of the same address, which a reader could take before ours.
void DropImpp(Lines& card, const QByteArray& service)
{
    card.pieces.removeIf(
        [&](const Piece& p) { return p.property.name == "IMPP" && p.raw.toLower().contains(service); });
}

QByteArray QuotedPrintable(const QByteArray& bytes)
{
    QByteArray out;
    for (const char c : bytes) {
        if (c == '=' || (c & 0x80))
            out += '=' + QByteArray(1, c).toHex().toUpper();
        else
            out += c;
    }
    return out;
}

// The directory's number as the value of a TEL that held `was`: a tel: URI stays one, with
// hyphens where it had them, and the number's own parameters (an extension) as URI parameters,
// without the blanks the directory's grouping put in them.
QByteArray TelValue(const QString& number, const QByteArray& was)
{
    if (!was.trimmed().toLower().startsWith("tel:"))
        return vcard::EscapeValue(number).toUtf8();
    const qsizetype params = number.indexOf(QLatin1Char(';'));
    QString digits = number.left(params).simplified();
    digits.replace(QLatin1Char(' '), was.contains('-') ? QStringLiteral("-") : QString());
    return was.trimmed().left(4) + QUrl::toPercentEncoding(digits, "+*#()") +
           (params < 0 ? QByteArray() : number.mid(params).remove(QLatin1Char(' ')).toUtf8());
}

void SetNumber(const Lines& card, Piece& tel, const QString& number)
{
    const qsizetype colon = vcard::ValueColon(tel.text);
    QByteArray value = TelValue(number, tel.text.mid(colon + 1));
    if (tel.property.param("ENCODING").toUpper() == "QUOTED-PRINTABLE")
        value = QuotedPrintable(value);
    card.set(tel, tel.text.left(colon + 1) + value);
}

// Each TEL the directory took a number from keeps its line while the person still has that
// number; a changed number takes the place of one that went, in order; the rest are added or
// removed, a removed one with the lines of its group (the label another program gave it).
void EditPhones(Lines& card, const vcard::Card& read, const QList<ContactValues>& rows,
                const QStringList& now)
{
    QList<qsizetype> free;
    QStringList was;
    for (qsizetype j = 0; j < read.phoneLines.size(); ++j)
        for (qsizetype i = 0; i < card.pieces.size(); ++i)
            if (card.pieces[i].line == read.phoneLines[j]) {
                free << i;
                was << rows.value(j).telefon;
            }
    QStringList changed;
    for (const QString& number : now) {
        const qsizetype j = was.indexOf(number);
        if (j < 0) {
            changed << number;
            continue;
        }
        was.removeAt(j);
        free.removeAt(j);
    }
    while (!changed.isEmpty() && !free.isEmpty())
        SetNumber(card, card.pieces[free.takeFirst()], changed.takeFirst());
    QList<Piece>& pieces = card.pieces;
    QList<QByteArray> groups;
    for (qsizetype i : free)
        if (!pieces[i].property.group.isEmpty())
            groups << pieces[i].property.group.toLower();
    for (qsizetype i = pieces.size(); i-- > 0;)
        if (free.contains(i) || groups.contains(pieces[i].property.group.toLower()))
            pieces.removeAt(i);
    qsizetype at = card.endOfCard();
    for (qsizetype i = 0; i < pieces.size(); ++i)
        if (pieces[i].property.name == "TEL")
            at = i + 1;
    const char* head = card.old()              ? "TEL;VOICE"
                       : card.version == "4.0" ? "TEL;VALUE=text;TYPE=voice"
                                               : "TEL;TYPE=VOICE";
    for (const QString& number : std::as_const(changed))
        pieces.insert(at++, card.made(card.line(head, number), "TEL"));
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
        hash.addData((db::PersonKey(v).join(QChar(0x1f)) + QChar(0x1f) + v.telefon + QChar(0x1e)).toUtf8());
    return QString::fromLatin1(hash.result().toHex());
}

QByteArray NewCard(const vcard::Contact& person, const QString& uid)
{
    QByteArray card = vcard::WriteVCards({person}, vcard::Version::V30);
    const qsizetype version = card.indexOf("VERSION:3.0\r\n");
    card.insert(version + 13, vcard::FoldLine("UID:" + vcard::EscapeValue(uid).toUtf8()) + "\r\n");
    return card;
}

QByteArray EditCard(const QByteArray& original, const vcard::Contact& person)
{
    const vcard::ReadResult read = vcard::ReadVCards(original);
    if (read.cards.size() != 1)
        return NewCard(person, QString());
    const vcard::Card& card = read.cards.first();
    // Compared as the directory would take the card in, numbers formatted and values cut.
    const QList<ContactValues> rows = CardRows(card, QString());
    const vcard::Contact before = PersonOf(rows);
    const ContactValues& was = before.values;
    const ContactValues& v = person.values;
    Lines lines = LinesOf(vcard::Normalised(original), card.version);
    if (was.jmeno != v.jmeno) {
        SetSingle(lines, {"FN"}, "FN", v.jmeno);
        const QByteArray n = lines.line("N", v.jmeno) + ";;;;";
        SetRaw(lines, {"N"}, n);
    }
    if (Phones(before) != Phones(person))
        EditPhones(lines, card, rows, Phones(person));
    if (was.email != v.email)
        SetSingle(lines, {"EMAIL"},
                  lines.old()              ? "EMAIL;INTERNET"
                  : lines.version == "4.0" ? "EMAIL"
                                           : "EMAIL;TYPE=INTERNET",
                  v.email);
    if (was.organizace != v.organizace)
        SetSingle(lines, {"ORG"}, "ORG", v.organizace);
    if (was.poznamka != v.poznamka)
        SetSingle(lines, {"NOTE"}, "NOTE", v.poznamka);
    if (was.skupina != v.skupina)
        SetSingle(lines, {"CATEGORIES"}, "CATEGORIES", v.skupina);
    if (was.icq != v.icq) {
        DropImpp(lines, "icq");
        SetSingle(lines, {"X-ICQ"}, "X-ICQ", v.icq);
    }
    if (was.skype != v.skype) {
        DropImpp(lines, "skype");
        SetSingle(lines, {"X-SKYPE", "X-SKYPE-USERNAME"}, "X-SKYPE", v.skype);
    }
    QByteArray out = original.startsWith("\xEF\xBB\xBF") ? original.left(3) : QByteArray();
    for (const Piece& p : std::as_const(lines.pieces))
        out += p.raw + p.end;
    return out;
}

} // namespace synchro
