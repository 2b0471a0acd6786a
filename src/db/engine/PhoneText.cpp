#include "db/engine/PhoneText.h"

namespace {

void BreakBefore(QString& t, qsizetype position)
{
    if (t.size() > position && t.at(position) != QLatin1Char(' '))
        t.insert(position, QLatin1Char(' '));
}

constexpr qsizetype kPhoneWidth = 20;

// Blanks (a no-break space pasted from elsewhere among them) and the separators people group
// numbers with.
constexpr bool IsPhoneFiller(char32_t c)
{
    return c == 0xA0 || IsPhoneFillerAscii(c);
}

} // namespace

QString GroupPhone(const QString& text)
{
    if (text.size() < 4)
        return text;
    QString t = StripSpaces(text);
    BreakBefore(t, 3);
    BreakBefore(t, 7);
    BreakBefore(t, 11);
    return t;
}

QString FormatPhone(const QString& text)
{
    return GroupPhone(text).left(kPhoneWidth);
}

bool PhoneFits(const QString& text)
{
    return GroupPhone(text).size() <= kPhoneWidth;
}

QString StripSpaces(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32)
        --end;
    QString t = text.mid(begin, end - begin);
    t.remove(QLatin1Char(' '));
    return t;
}

QString PhoneSearchDigits(const QString& text)
{
    QString digits;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= '0' && u <= '9') || u == '+')
            digits += c;
        else if (!IsPhoneFiller(u))
            return QString();
    }
    return digits;
}

size_t PhoneDigitsUtf8(const char* text, size_t length, char* out)
{
    size_t n = 0;
    for (size_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == 0xC2 && i + 1 < length && static_cast<unsigned char>(text[i + 1]) == 0xA0)
            ++i;
        else if (byte >= 0x80 || !IsPhoneFiller(byte))
            out[n++] = char(byte);
    }
    return n;
}

void AppendPhoneDigitsUtf8(const char* text, size_t length, std::string& out)
{
    const size_t start = out.size();
    out.resize(start + length);
    out.resize(start + PhoneDigitsUtf8(text, length, out.data() + start));
}
