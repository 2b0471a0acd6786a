#include "print/PageLayout.h"

namespace print {
namespace {

// Appends `word` to the lines, starting a new line where it does not fit.
void PlaceWord(QStringView word, double width, const Measure& measure, QStringList& lines, QString& line)
{
    const QString joined = line.isEmpty() ? word.toString() : line + QLatin1Char(' ') + word.toString();
    if (measure(joined) <= width) {
        line = joined;
        return;
    }
    if (!line.isEmpty()) {
        lines << line;
        line.clear();
    }
    if (measure(word) <= width) {
        line = word.toString();
        return;
    }
    // Wider than the column: as many characters on each line as fit, at least one.
    qsizetype from = 0;
    while (from < word.size()) {
        qsizetype to = from + 1;
        while (to < word.size() && measure(word.sliced(from, to + 1 - from)) <= width)
            ++to;
        if (to == word.size()) {
            line = word.sliced(from).toString();
            return;
        }
        lines << word.sliced(from, to - from).toString();
        from = to;
    }
}

} // namespace

QStringList WrapText(const QString& text, double width, const Measure& measure)
{
    QStringList lines;
    const QString flat = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (const QStringView paragraph : QStringView(flat).split(QLatin1Char('\n'))) {
        if (measure(paragraph) <= width) {
            lines << paragraph.toString();
            continue;
        }
        QString line;
        for (const QStringView word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            PlaceWord(word, width, measure, lines, line);
        lines << line;
    }
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

std::vector<int> BreakPages(const std::vector<float>& heights, double bodyHeight)
{
    std::vector<int> first{0};
    double used = 0;
    for (int i = 0; i < int(heights.size()); ++i) {
        if (used > 0 && used + heights[i] > bodyHeight) {
            first.push_back(i);
            used = 0;
        }
        used += heights[i];
    }
    return first;
}

} // namespace print
