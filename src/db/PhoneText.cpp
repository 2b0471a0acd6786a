#include "db/PhoneText.h"

namespace {

void BreakBefore(QString& t, qsizetype position)
{
    if (t.size() > position && t.at(position) != QLatin1Char(' '))
        t.insert(position, QLatin1Char(' '));
}

constexpr qsizetype kPhoneWidth = 20;

QString Grouped(const QString& text)
{
    if (text.size() < 4)
        return text;
    QString t = StripSpaces(text);
    BreakBefore(t, 3);
    BreakBefore(t, 7);
    BreakBefore(t, 11);
    return t;
}

} // namespace

QString FormatPhone(const QString& text)
{
    return Grouped(text).left(kPhoneWidth);
}

bool PhoneFits(const QString& text)
{
    return Grouped(text).size() <= kPhoneWidth;
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
