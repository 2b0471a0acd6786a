#include "formats/VCardLines.h"

#include "formats/VCardReader.h"

#include <QStringDecoder>

namespace vcard {
namespace {

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

} // namespace

QByteArray Property::param(const char* name) const
{
    for (const auto& p : params)
        if (p.first == name)
            return p.second;
    return {};
}

bool Property::hasType(const char* type) const
{
    for (const auto& p : params)
        if (p.first == "TYPE")
            for (const QByteArray& t : p.second.split(','))
                if (t.trimmed().toUpper() == type)
                    return true;
    return false;
}

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

QList<LogicalLine> PhysicalLines(const QByteArray& bytes)
{
    QList<LogicalLine> lines;
    const auto add = [&](qsizetype start, qsizetype length, qsizetype end) {
        const int number = int(lines.size()) + 1;
        if (length > kLongestLine)
            lines.append({QByteArray(), number, start, end, true});
        else
            lines.append({bytes.mid(start, length), number, start, end});
    };
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (c != '\r' && c != '\n')
            continue;
        const qsizetype length = i - start;
        if (c == '\r' && i + 1 < bytes.size() && bytes.at(i + 1) == '\n')
            ++i;
        else if (c == '\r' && i + 2 < bytes.size() && bytes.at(i + 1) == '\r' && bytes.at(i + 2) == '\n')
            i += 2;
        add(start, length, i + 1);
        start = i + 1;
    }
    if (start < bytes.size())
        add(start, bytes.size() - start, bytes.size());
    return lines;
}

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

QList<LogicalLine> Unfolded(const QList<LogicalLine>& physical)
{
    QList<LogicalLine> lines;
    bool quotedPrintable = false;
    bool base64 = false;
    for (const LogicalLine& p : physical) {
        if (!lines.isEmpty() && !p.overlong) {
            LogicalLine& last = lines.last();
            if (quotedPrintable && last.text.endsWith('=')) {
                last.text.chop(1);
                last.text += p.text;
                last.end = p.end;
                continue;
            }
            if (!p.text.isEmpty() && (p.text.at(0) == ' ' || p.text.at(0) == '\t')) {
                if (!last.overlong)
                    last.text += p.text.mid(1);
                last.end = p.end;
                continue;
            }
            if (base64 && !p.text.isEmpty() && ValueColon(p.text) < 0) {
                last.text += p.text;
                last.end = p.end;
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

bool ParseProperty(const QByteArray& line, Property* property)
{
    const qsizetype colon = ValueColon(line);
    if (colon <= 0)
        return false;
    const QList<QByteArray> head = SplitOutsideQuotes(line.left(colon), ';');
    const QByteArray written = head.first().trimmed();
    const qsizetype dot = written.lastIndexOf('.');
    property->group = dot >= 0 ? written.left(dot) : QByteArray();
    property->name = written.mid(dot + 1).toUpper();
    if (property->name.isEmpty())
        return false;
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

} // namespace vcard
