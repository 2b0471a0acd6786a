#include "formats/VCardReader.h"

#include "formats/TextCodec.h"
#include "formats/VCardLines.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>

namespace vcard {
namespace {

bool IsUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

// The value's text: quoted-printable undone, then read in its CHARSET, or as UTF-8 when it is
// valid UTF-8 and as code page 1250 otherwise (old phones write their own code page unmarked).
// Cards of 3.0 and 4.0 are UTF-8 (and a server's must be), so there a CHARSET counts only for
// bytes that are no UTF-8: some programs name their own code page while writing UTF-8.
QString Decoded(const Property& p, const QByteArray& version)
{
    QByteArray bytes = p.value;
    if (p.param("ENCODING").toUpper() == "QUOTED-PRINTABLE")
        bytes = DecodeQuotedPrintable(bytes);
    const QByteArray charset = p.param("CHARSET");
    const bool unicodeCard = version == "3.0" || version == "4.0";
    if (!charset.isEmpty() && (!unicodeCard || !IsUtf8(bytes))) {
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

QString ValueText(const Property& p, const QByteArray& version)
{
    return WithoutControls(Decoded(p, version));
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
    int overlong = 0;                 // its first line longer than the reader takes
    QList<QPair<Property, int>> held; // with their lines, until VERSION is known
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

// The number of a TEL value: a tel: URI without its scheme and visual separators, its
// parameters (an extension) kept; the rows decide whether they have room for them.
QString TelNumber(const QString& value)
{
    if (!value.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive))
        return value;
    const QString uri = value.mid(4);
    const qsizetype params = uri.indexOf(QLatin1Char(';'));
    QString number = QUrl::fromPercentEncoding(uri.left(params).toUtf8());
    // The URI's visual separators mean nothing; the directory groups numbers itself.
    number.remove(QRegularExpression(QStringLiteral("[-.()]")));
    if (number.isEmpty() || params < 0)
        return number;
    return number + QUrl::fromPercentEncoding(uri.mid(params).toUtf8());
}

void Take(const Property& p, int line, Building& b)
{
    const QString raw = ValueText(p, b.card.version);
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
        const QString number = TelNumber(OneLine(Unescaped(raw)).trimmed());
        if (!number.isEmpty()) {
            b.card.phones.append(number);
            b.card.phoneLines.append(line);
        }
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
    const QList<LogicalLine> lines = Unfolded(PhysicalLines(Normalised(bytes)));
    bool inCard = false;
    Building b;
    Property p;
    // A line too long for any contact leaves out only its card; the rest of the file is read.
    const auto tooLong = [&](int line) {
        if (!inCard)
            result.badLines.append(line);
        else if (b.overlong == 0)
            b.overlong = line;
    };
    for (const LogicalLine& line : lines) {
        if (line.overlong) {
            tooLong(line.line);
            continue;
        }
        if (line.text.trimmed().isEmpty())
            continue;
        if (!ParseProperty(line.text, &p)) {
            result.badLines.append(line.line);
            continue;
        }
        if (p.value.size() > kLongestLine && !IsUnkept(p.name)) {
            tooLong(line.line);
            continue;
        }
        const QByteArray value = p.value.trimmed().toUpper();
        if (p.name == "BEGIN" && value == "VCARD") {
            if (inCard && b.overlong > 0)
                result.overlongLines.append(b.overlong);
            else if (inCard)
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
            if (b.overlong > 0) {
                result.overlongLines.append(b.overlong);
                continue;
            }
            for (const auto& [held, at] : std::as_const(b.held))
                if (held.name == "VERSION" && b.card.version.isEmpty())
                    b.card.version = held.value.trimmed();
            for (const auto& [held, at] : std::as_const(b.held))
                Take(held, at, b);
            if (b.card.jmeno.isEmpty())
                b.card.jmeno = b.nameFromN;
            if (HoldsSomething(b.card))
                result.cards.append(b.card);
            else
                ++result.badCards;
            continue;
        }
        if (!IsUnkept(p.name))
            b.held.append({p, line.line});
    }
    if (inCard)
        result.unendedLine = b.card.line;
    if (inCard && b.overlong > 0)
        result.overlongLines.append(b.overlong);
    return result;
}

} // namespace vcard
