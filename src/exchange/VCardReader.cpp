#include "exchange/VCardReader.h"

#include "exchange/TextCodec.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>

namespace vcard {
namespace {

struct LogicalLine
{
    QByteArray text;
    int line = 0;
};

struct Property
{
    QByteArray name;                             // upper case, group prefix dropped
    QList<QPair<QByteArray, QByteArray>> params; // upper-case name (TYPE for bare values), value
    QByteArray value;

    QByteArray param(const char* name) const
    {
        for (const auto& p : params)
            if (p.first == name)
                return p.second;
        return {};
    }
    bool hasType(const char* type) const
    {
        for (const auto& p : params)
            if (p.first == "TYPE")
                for (const QByteArray& t : p.second.split(','))
                    if (t.trimmed().toUpper() == type)
                        return true;
        return false;
    }
};

// UTF-16 files are turned into UTF-8 whole, also without a byte-order mark when the file
// starts with a letter of "BEGIN"; a UTF-8 mark is dropped.
QByteArray Normalised(const QByteArray& bytes)
{
    const bool le = bytes.startsWith("\xFF\xFE") ||
                    (bytes.size() >= 2 && bytes.at(1) == '\0' && (bytes.at(0) | 0x20) == 'b');
    const bool be = bytes.startsWith("\xFE\xFF") ||
                    (bytes.size() >= 2 && bytes.at(0) == '\0' && (bytes.at(1) | 0x20) == 'b');
    if (le || be) {
        QStringDecoder decoder(le ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        const bool mark = bytes.at(0) != '\0' && bytes.at(1) != '\0';
        const QString text = decoder.decode(mark ? bytes.mid(2) : bytes);
        return text.toUtf8();
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return bytes.mid(3);
    return bytes;
}

// Stops at a line longer than kLongestLine and gives its number in `overlong`.
QList<LogicalLine> PhysicalLines(const QByteArray& bytes, int* overlong)
{
    QList<LogicalLine> lines;
    int number = 1;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= bytes.size(); ++i) {
        if (i - start > kLongestLine) {
            *overlong = number;
            return lines;
        }
        if (i == bytes.size())
            break;
        const char c = bytes.at(i);
        if (c != '\r' && c != '\n')
            continue;
        lines.append({bytes.mid(start, i - start), number++});
        if (c == '\r' && i + 1 < bytes.size() && bytes.at(i + 1) == '\n')
            ++i;
        else if (c == '\r' && i + 2 < bytes.size() && bytes.at(i + 1) == '\r' && bytes.at(i + 2) == '\n')
            i += 2;
        start = i + 1;
    }
    if (start < bytes.size())
        lines.append({bytes.mid(start), number});
    return lines;
}

// The position of the colon that ends the name and parameters, outside quoted parameter values.
qsizetype ValueColon(const QByteArray& line)
{
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line.at(i);
        if (c == '"')
            quoted = !quoted;
        else if (c == ':' && !quoted)
            return i;
    }
    return -1;
}

QByteArray Head(const QByteArray& line)
{
    const qsizetype colon = ValueColon(line);
    return (colon < 0 ? QByteArray() : line.left(colon)).toUpper();
}

bool IsQuotedPrintable(const QByteArray& head)
{
    return head.contains("QUOTED-PRINTABLE");
}

bool IsBase64(const QByteArray& head)
{
    return head.contains("ENCODING=B") || head.contains(";BASE64");
}

// Unfolding: a line starting with a blank or a tab continues the previous one; a
// quoted-printable value ending in "=" continues on the next line whatever it starts with;
// the bare lines of an old phone's base64 picture belong to it until an empty line.
QList<LogicalLine> Unfolded(const QList<LogicalLine>& physical)
{
    QList<LogicalLine> lines;
    bool quotedPrintable = false;
    bool base64 = false;
    for (const LogicalLine& p : physical) {
        if (!lines.isEmpty()) {
            LogicalLine& last = lines.last();
            if (quotedPrintable && last.text.endsWith('=')) {
                last.text.chop(1);
                last.text += p.text;
                continue;
            }
            if (!p.text.isEmpty() && (p.text.at(0) == ' ' || p.text.at(0) == '\t')) {
                last.text += p.text.mid(1);
                continue;
            }
            if (base64 && !p.text.isEmpty() && ValueColon(p.text) < 0) {
                last.text += p.text;
                continue;
            }
        }
        lines.append(p);
        const QByteArray head = Head(p.text);
        quotedPrintable = IsQuotedPrintable(head);
        base64 = IsBase64(head);
    }
    return lines;
}

QList<QByteArray> SplitOutsideQuotes(const QByteArray& text, char separator)
{
    QList<QByteArray> parts;
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '"')
            quoted = !quoted;
        else if (c == separator && !quoted) {
            parts.append(text.mid(start, i - start));
            start = i + 1;
        }
    }
    parts.append(text.mid(start));
    return parts;
}

bool ParseProperty(const QByteArray& line, Property* property)
{
    const qsizetype colon = ValueColon(line);
    if (colon <= 0)
        return false;
    const QList<QByteArray> head = SplitOutsideQuotes(line.left(colon), ';');
    QByteArray name = head.first().trimmed().toUpper();
    const qsizetype dot = name.lastIndexOf('.');
    if (dot >= 0)
        name = name.mid(dot + 1);
    if (name.isEmpty())
        return false;
    property->name = name;
    property->params.clear();
    for (qsizetype i = 1; i < head.size(); ++i) {
        const QByteArray& p = head.at(i);
        const qsizetype eq = p.indexOf('=');
        if (eq < 0) {
            const QByteArray bare = p.trimmed().toUpper();
            // Version 2.1 writes bare values: "TEL;CELL", "NOTE;QUOTED-PRINTABLE".
            if (bare == "QUOTED-PRINTABLE" || bare == "BASE64" || bare == "8BIT" || bare == "7BIT")
                property->params.append({"ENCODING", bare});
            else
                property->params.append({"TYPE", bare});
        } else {
            QByteArray value = p.mid(eq + 1).trimmed();
            if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
                value = value.mid(1, value.size() - 2);
            property->params.append({p.left(eq).trimmed().toUpper(), value});
        }
    }
    property->value = line.mid(colon + 1);
    return true;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QByteArray DecodeQuotedPrintable(const QByteArray& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '=' && i + 2 < text.size() && HexDigit(text.at(i + 1)) >= 0 &&
            HexDigit(text.at(i + 2)) >= 0) {
            out += char(HexDigit(text.at(i + 1)) * 16 + HexDigit(text.at(i + 2)));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

// The value's text: quoted-printable undone, then read in its CHARSET, or as UTF-8 when it is
// valid UTF-8 and as code page 1250 otherwise (old phones write their own code page unmarked).
QString Decoded(const Property& p)
{
    QByteArray bytes = p.value;
    if (p.param("ENCODING").toUpper() == "QUOTED-PRINTABLE")
        bytes = DecodeQuotedPrintable(bytes);
    const QByteArray charset = p.param("CHARSET");
    if (!charset.isEmpty()) {
        QStringDecoder decoder(charset.constData(), QStringDecoder::Flag::Stateless);
        if (decoder.isValid())
            return decoder.decode(bytes);
    }
    return exchange::DecodeText(bytes);
}

// A NUL would end a statement's text and the other controls are no text of a contact; tabs and
// line breaks stay for the notes.
QString WithoutControls(QString text)
{
    text.removeIf([](QChar c) {
        const char16_t u = c.unicode();
        return (u < 0x20 && u != '\t' && u != '\r' && u != '\n') || u == 0x7F;
    });
    return text;
}

QString ValueText(const Property& p)
{
    return WithoutControls(Decoded(p));
}

// Splits a text value at unescaped separators; the parts keep their escapes.
QStringList SplitEscaped(const QString& text, QChar separator)
{
    QStringList parts;
    QString current;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\') && i + 1 < text.size()) {
            current += c;
            current += text.at(++i);
        } else if (c == separator) {
            parts.append(current);
            current.clear();
        } else {
            current += c;
        }
    }
    parts.append(current);
    return parts;
}

QString Unescaped(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\') || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const QChar next = text.at(++i);
        if (next == QLatin1Char('n') || next == QLatin1Char('N'))
            out += QLatin1Char('\n');
        else if (next == QLatin1Char('\\') || next == QLatin1Char(',') || next == QLatin1Char(';') ||
                 next == QLatin1Char(':'))
            out += next;
        else {
            out += c;
            out += next;
        }
    }
    return out;
}

QString NormalisedBreaks(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// One-line fields of the directory: line breaks and tabs become blanks.
QString OneLine(const QString& text)
{
    QString line = NormalisedBreaks(text);
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    line.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return line;
}

// The handle of an IMPP address: "skype:jan.novak?call" gives "jan.novak".
QString ImppHandle(const QString& value, QString* scheme)
{
    static const QRegularExpression uri(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):(.*)$"));
    const auto match = uri.match(value);
    QString handle = value;
    if (match.hasMatch()) {
        *scheme = match.captured(1).toLower();
        handle = match.captured(2);
    }
    if (handle.startsWith(QLatin1String("//")))
        handle = handle.mid(2);
    const qsizetype query = handle.indexOf(QLatin1Char('?'));
    if (query >= 0)
        handle.truncate(query);
    return QUrl::fromPercentEncoding(handle.toUtf8());
}

struct Building
{
    Card card;
    QString nameFromN;
    bool hasNote = false;
    bool hasCategories = false;
};

void TakeImpp(const Property& p, const QString& value, Building& b)
{
    QString scheme;
    const QString handle = ImppHandle(value, &scheme);
    QString service = QString::fromUtf8(p.param("X-SERVICE-TYPE")).toLower();
    if (service.isEmpty() && (p.hasType("SKYPE") || p.hasType("ICQ")))
        service = p.hasType("SKYPE") ? QStringLiteral("skype") : QStringLiteral("icq");
    if (service.isEmpty())
        service = scheme;
    if (handle.isEmpty())
        return;
    if (service == QLatin1String("icq") && b.card.icq.isEmpty())
        b.card.icq = handle;
    else if (service == QLatin1String("skype") && b.card.skype.isEmpty())
        b.card.skype = handle;
}

void TakeNote(const QString& text, Building& b)
{
    const QString note = NormalisedBreaks(text);
    const qsizetype nl = note.indexOf(QLatin1Char('\n'));
    if (nl > 0 && IsNoteDate(note.left(nl))) {
        b.card.notes.append({note.left(nl), note.mid(nl + 1)});
        return;
    }
    if (!b.hasNote) {
        b.hasNote = true;
        b.card.poznamka = OneLine(note);
        return;
    }
    b.card.notes.append({QString(), note});
}

void Take(const Property& p, Building& b)
{
    const QString raw = ValueText(p);
    const QByteArray& n = p.name;
    if (n == "FN") {
        b.card.jmeno = OneLine(Unescaped(raw)).trimmed();
    } else if (n == "N") {
        // Family;Given;Additional;Prefixes;Suffixes, shown as a name is spoken.
        const QStringList parts = SplitEscaped(raw, QLatin1Char(';'));
        QStringList spoken;
        for (int i : {3, 1, 2, 0, 4})
            if (i < parts.size() && !Unescaped(parts.at(i)).trimmed().isEmpty())
                spoken << OneLine(Unescaped(parts.at(i))).trimmed();
        b.nameFromN = spoken.join(QLatin1Char(' '));
    } else if (n == "TEL") {
        QString number = OneLine(Unescaped(raw)).trimmed();
        if (number.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive)) {
            number = number.mid(4);
            const qsizetype params = number.indexOf(QLatin1Char(';'));
            if (params >= 0)
                number.truncate(params);
            number = QUrl::fromPercentEncoding(number.toUtf8());
            // The URI's visual separators mean nothing; the directory groups numbers itself.
            number.remove(QRegularExpression(QStringLiteral("[-.()]")));
        }
        if (!number.isEmpty())
            b.card.phones.append(number);
    } else if (n == "EMAIL") {
        if (b.card.email.isEmpty())
            b.card.email = OneLine(Unescaped(raw)).trimmed();
    } else if (n == "ORG") {
        if (b.card.organizace.isEmpty()) {
            QStringList units;
            for (const QString& part : SplitEscaped(raw, QLatin1Char(';')))
                if (!Unescaped(part).trimmed().isEmpty())
                    units << OneLine(Unescaped(part));
            b.card.organizace = units.join(QStringLiteral(", "));
        }
    } else if (n == "NOTE") {
        TakeNote(Unescaped(raw), b);
    } else if (n == "CATEGORIES") {
        if (!b.hasCategories) {
            for (const QString& part : SplitEscaped(raw, QLatin1Char(','))) {
                const QString group = OneLine(Unescaped(part)).trimmed();
                if (!group.isEmpty()) {
                    b.card.skupina = group;
                    b.hasCategories = true;
                    break;
                }
            }
        }
    } else if (n == "X-ICQ") {
        if (b.card.icq.isEmpty())
            b.card.icq = OneLine(Unescaped(raw)).trimmed();
    } else if (n == "X-SKYPE" || n == "X-SKYPE-USERNAME") {
        if (b.card.skype.isEmpty())
            b.card.skype = OneLine(Unescaped(raw)).trimmed();
    } else if (n == "IMPP") {
        TakeImpp(p, OneLine(Unescaped(raw)).trimmed(), b);
    }
}

// What the directory keeps no part of, so its size does not matter.
bool IsUnkept(const QByteArray& name)
{
    return name == "PHOTO" || name == "LOGO" || name == "SOUND" || name == "KEY";
}

bool HoldsSomething(const Card& c)
{
    return !c.phones.isEmpty() || !c.jmeno.isEmpty() || !c.email.isEmpty() || !c.organizace.isEmpty() ||
           !c.poznamka.isEmpty() || !c.icq.isEmpty() || !c.skype.isEmpty() || !c.notes.isEmpty();
}

} // namespace

ReadResult ReadVCards(const QByteArray& bytes)
{
    ReadResult result;
    const QList<LogicalLine> lines = Unfolded(PhysicalLines(Normalised(bytes), &result.overlongLine));
    if (result.overlongLine > 0)
        return result;
    bool inCard = false;
    Building b;
    Property p;
    for (const LogicalLine& line : lines) {
        if (line.text.trimmed().isEmpty())
            continue;
        if (!ParseProperty(line.text, &p)) {
            result.badLines.append(line.line);
            continue;
        }
        if (p.value.size() > kLongestLine && !IsUnkept(p.name)) {
            result.overlongLine = line.line;
            return result;
        }
        const QByteArray value = p.value.trimmed().toUpper();
        if (p.name == "BEGIN" && value == "VCARD") {
            if (inCard)
                ++result.badCards; // never ended
            inCard = true;
            b = Building();
            b.card.line = line.line;
            continue;
        }
        if (!inCard) {
            result.badLines.append(line.line);
            continue;
        }
        if (p.name == "END" && value == "VCARD") {
            inCard = false;
            if (b.card.jmeno.isEmpty())
                b.card.jmeno = b.nameFromN;
            if (HoldsSomething(b.card))
                result.cards.append(b.card);
            else
                ++result.badCards;
            continue;
        }
        Take(p, b);
    }
    if (inCard)
        result.unendedLine = b.card.line;
    return result;
}

} // namespace vcard
