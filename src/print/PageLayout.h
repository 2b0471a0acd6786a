#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// How a printed directory falls into lines and pages, free of any painting: the painter gives
// the text widths, this decides where lines and pages break.
namespace print {

// The width of a text in the units of the page.
using Measure = std::function<double(QStringView)>;

// A value's lines within `width`, as views of it: broken at blanks and line ends, a word wider
// than the column broken between its characters. Nothing but the breaking blanks is left out.
// The measure adds up: two pieces side by side are as wide as the two apart (no kerning).
void BreakLines(QStringView text, double width, const Measure& measure, std::vector<QStringView>* lines);
// The same lines as texts of their own.
QStringList WrapText(const QString& text, double width, const Measure& measure);

// The grid's column widths (pixels) as shares of the page's width; a very narrow grid column
// still gets room for a few letters.
QList<double> ShareWidths(const QList<int>& gridWidths, double pageWidth);

// The heading letter a name is filed under in Czech order: "Ch" is a letter of its own, Č, Ř,
// Š and Ž too, while Á, É, Ů... file under their plain letter. Empty for an empty name.
QString NameInitial(QStringView name);

// "Hledání „nov“ ve sloupci Jméno, skupina Práce"; an empty column title stands for every
// column. Empty when nothing narrows the list.
QString SelectionLine(const QString& text, const QString& columnTitle, const QString& group);

QString PageFooter(int page, int pages);

// Blocks laid one under another on pages of `bodyHeight`, told one at a time, so that a print
// of any length keeps nothing of its blocks; a block taller than a page gets a page of its own.
class PageBreaker
{
public:
    explicit PageBreaker(double bodyHeight) : m_bodyHeight(bodyHeight) {}
    // Lays the next block; true when it starts a new page.
    bool place(double height);
    // At least one, also for no blocks.
    int pages() const { return m_pages; }

private:
    double m_bodyHeight;
    double m_used = 0;
    int m_pages = 1;
};

// The first block of every page.
std::vector<int> BreakPages(const std::vector<float>& heights, double bodyHeight);

} // namespace print
