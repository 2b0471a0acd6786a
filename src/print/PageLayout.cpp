#include "print/PageLayout.h"

namespace print {
namespace {

// Appends the lines of one paragraph, which is wider than the column.
void BreakParagraph(QStringView text, double width, const Measure& measure, std::vector<QStringView>* lines)
{
    // The line so far: from `start` to `end`, `used` wide; empty while start < 0.
    qsizetype start = -1;
    qsizetype end = 0;
    double used = 0;
    qsizetype at = 0;
    while (true) {
        while (at < text.size() && text[at] == QLatin1Char(' '))
            ++at;
        if (at == text.size())
            break;
        const qsizetype from = at;
        while (at < text.size() && text[at] != QLatin1Char(' '))
            ++at;
        if (start >= 0) {
            // The blanks before the word and the word.
            const double joined = used + measure(text.sliced(end, at - end));
            if (joined <= width) {
                end = at;
                used = joined;
                continue;
            }
            lines->push_back(text.sliced(start, end - start));
        }
        start = from;
        end = at;
        used = measure(text.sliced(from, at - from));
        // Wider than the column: as many characters on each line as fit, at least one.
        while (used > width) {
            qsizetype to = start + 1;
            double part = measure(text.sliced(start, 1));
            while (to < at) {
                const double next = measure(text.sliced(to, 1));
                if (part + next > width)
                    break;
                part += next;
                ++to;
            }
            // A single character wider than the column stands on a line of its own.
            if (to == at)
                break;
            lines->push_back(text.sliced(start, to - start));
            start = to;
            used = measure(text.sliced(start, at - start));
        }
    }
    lines->push_back(start < 0 ? text.first(0) : text.sliced(start, end - start));
}

} // namespace

void BreakLines(QStringView text, double width, const Measure& measure, std::vector<QStringView>* lines)
{
    lines->clear();
    qsizetype from = 0;
    while (true) {
        const qsizetype newline = text.indexOf(QLatin1Char('\n'), from);
        QStringView paragraph = text.sliced(from, (newline < 0 ? text.size() : newline) - from);
        if (paragraph.endsWith(QLatin1Char('\r')))
            paragraph.chop(1);
        if (measure(paragraph) <= width)
            lines->push_back(paragraph);
        else
            BreakParagraph(paragraph, width, measure, lines);
        if (newline < 0)
            return;
        from = newline + 1;
    }
}

QStringList WrapText(const QString& text, double width, const Measure& measure)
{
    std::vector<QStringView> views;
    BreakLines(text, width, measure, &views);
    QStringList lines;
    for (const QStringView line : views)
        lines << line.toString();
    return lines;
}

QList<double> ShareWidths(const QList<int>& gridWidths, double pageWidth)
{
    constexpr int kNarrowest = 30;
    double total = 0;
    for (const int w : gridWidths)
        total += qMax(w, kNarrowest);
    QList<double> shares;
    for (const int w : gridWidths)
        shares << pageWidth * qMax(w, kNarrowest) / total;
    return shares;
}

QString NameInitial(QStringView name)
{
    const QStringView trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return QString();
    if (trimmed.size() > 1 && trimmed.first(2).compare(u"ch", Qt::CaseInsensitive) == 0)
        return QStringLiteral("Ch");
    const QChar first = trimmed.front().toUpper();
    // Czech order disregards these accents; Č, Ř, Š and Ž are letters of their own.
    static const QString kAccented = QStringLiteral("ÁÄÉĚËÍÓÖÔÚŮÜÝĎŤŇĹĽŔ");
    static const QString kPlain = QStringLiteral("AAEEEIOOOUUUYDTNLLR");
    const qsizetype at = kAccented.indexOf(first);
    return QString(at < 0 ? first : kPlain.at(at));
}

QString SelectionLine(const QString& text, const QString& columnTitle, const QString& group)
{
    QStringList parts;
    if (!text.isEmpty())
        parts << (columnTitle.isEmpty()
                      ? QStringLiteral("Hledání „%1“ ve všech sloupcích").arg(text)
                      : QStringLiteral("Hledání „%1“ ve sloupci %2").arg(text, columnTitle));
    if (!group.isEmpty())
        parts << (parts.isEmpty() ? QStringLiteral("Skupina ") : QStringLiteral("skupina ")) + group;
    return parts.join(QStringLiteral(", "));
}

QString PageFooter(int page, int pages)
{
    return QStringLiteral("Strana %1 z %2").arg(page).arg(pages);
}

bool PageBreaker::place(double height)
{
    const bool next = m_used > 0 && m_used + height > m_bodyHeight;
    if (next) {
        ++m_pages;
        m_used = 0;
    }
    m_used += height;
    return next;
}

std::vector<int> BreakPages(const std::vector<float>& heights, double bodyHeight)
{
    std::vector<int> first{0};
    PageBreaker pages(bodyHeight);
    for (int i = 0; i < int(heights.size()); ++i)
        if (pages.place(heights[i]))
            first.push_back(i);
    return first;
}

} // namespace print
