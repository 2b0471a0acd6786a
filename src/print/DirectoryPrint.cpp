#include "print/DirectoryPrint.h"

#include "db/contacts/Directory.h"
#include "db/contacts/Query.h"
#include "db/engine/Columns.h"
#include "db/engine/Engine.h"
#include "print/PageLayout.h"
#include "ui/SafeWrite.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>

namespace print {
namespace {

// Sizes in points: the painter is scaled so that one unit is a point on any device.
constexpr int kTextSize = 9;
constexpr int kTitleSize = 14;
constexpr double kPad = 2;
constexpr QRgb kShade = 0xffececec;

QFont Font(int pixels, bool bold = false)
{
    // Installed with the program and holds every Czech letter.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// One contact as it stands on the page: its heading letter, its cells' lines and its notes.
struct Block
{
    QString heading;
    QList<QStringList> cells;
    QStringList notes;
    int lines = 0;
};

class Layout
{
public:
    Layout(const db::Query& rows, const PrintRequest& request, const QSizeF& page)
        : m_rows(rows), m_request(request), m_text(Font(kTextSize)), m_bold(Font(kTextSize, true)),
          m_metrics(m_text), m_page(page)
    {
        m_line = m_metrics.lineSpacing();
        QList<int> widths;
        for (const MainWindowPort::ShownColumn& c : request.layout.columns) {
            widths << c.width;
            m_fields << rows.fieldIndex(c.field);
        }
        m_widths = ShareWidths(widths, page.width());
        m_nameField = rows.fieldIndex(u"jmeno");
        m_idField = rows.fieldIndex(u"id");
        m_measure = [this](QStringView s) { return m_metrics.horizontalAdvance(s.toString()); };
        const double selection = request.layout.selection.isEmpty() ? 0 : m_line;
        m_headerHeight = kTitleSize * 1.6 + selection + m_line * 0.5 + titleHeight() + kPad;
        m_bodyHeight = page.height() - m_headerHeight - m_line * 2;
    }

    double bodyHeight() const { return m_bodyHeight; }

    Block block(int row)
    {
        Block b;
        if (m_request.layout.sortedByName && m_nameField >= 0) {
            const QString initial = NameInitial(m_rows.text(row, m_nameField));
            if (initial != m_lastInitial && !initial.isEmpty())
                b.heading = initial;
            m_lastInitial = initial;
        }
        for (int c = 0; c < m_fields.size(); ++c) {
            const QString value = m_fields[c] < 0 ? QString() : m_rows.text(row, m_fields[c]);
            b.cells << WrapText(value, m_widths[c] - 2 * kPad, m_measure);
            b.lines = qMax(b.lines, int(b.cells.last().size()));
        }
        if (m_request.notes && m_idField >= 0)
            b.notes = notesOf(m_rows.text(row, m_idField));
        return b;
    }

    double height(const Block& b) const
    {
        return (b.heading.isEmpty() ? 0 : m_line * 1.5) + (b.lines + b.notes.size()) * m_line + 2 * kPad;
    }

    void paintHeader(QPainter& p, int page, int pages) const
    {
        p.setFont(Font(kTitleSize, true));
        const QRectF top(0, 0, m_page.width(), kTitleSize * 1.6);
        p.drawText(top, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Telefonní seznam"));
        p.setFont(m_text);
        p.drawText(top, Qt::AlignRight | Qt::AlignVCenter,
                   QLocale(QLocale::Czech).toString(m_request.date, QLocale::LongFormat));
        double y = top.bottom();
        if (!m_request.layout.selection.isEmpty()) {
            p.drawText(QRectF(0, y, m_page.width(), m_line), Qt::AlignLeft, m_request.layout.selection);
            y += m_line;
        }
        y += m_line * 0.5;
        p.setFont(m_bold);
        double x = 0;
        for (int c = 0; c < m_widths.size(); ++c) {
            const QStringList title =
                WrapText(m_request.layout.columns[c].title, m_widths[c] - 2 * kPad, m_measure);
            for (int i = 0; i < title.size(); ++i)
                p.drawText(QPointF(x + kPad, y + i * m_line + m_metrics.ascent()), title[i]);
            x += m_widths[c];
        }
        y += titleHeight();
        p.drawLine(QPointF(0, y), QPointF(m_page.width(), y));
        p.setFont(m_text);
        p.drawText(QRectF(0, m_page.height() - m_line, m_page.width(), m_line), Qt::AlignHCenter,
                   PageFooter(page, pages));
    }

    // Paints the block at `y` below the header; returns its height.
    double paintBlock(QPainter& p, const Block& b, double y, bool shaded) const
    {
        y += m_headerHeight;
        if (!b.heading.isEmpty()) {
            p.setFont(m_bold);
            p.drawText(QPointF(kPad, y + m_line * 0.25 + m_metrics.ascent()), b.heading);
            p.setFont(m_text);
            y += m_line * 1.5;
        }
        const double rowHeight = (b.lines + b.notes.size()) * m_line + 2 * kPad;
        if (shaded)
            p.fillRect(QRectF(0, y, m_page.width(), rowHeight), QColor::fromRgba(kShade));
        double x = 0;
        for (int c = 0; c < b.cells.size(); ++c) {
            for (int i = 0; i < b.cells[c].size(); ++i)
                p.drawText(QPointF(x + kPad, y + kPad + i * m_line + m_metrics.ascent()), b.cells[c][i]);
            x += m_widths[c];
        }
        for (int i = 0; i < b.notes.size(); ++i)
            p.drawText(QPointF(kPad * 6, y + kPad + (b.lines + i) * m_line + m_metrics.ascent()), b.notes[i]);
        return height(b);
    }

private:
    double titleHeight() const
    {
        int lines = 1;
        for (int c = 0; c < m_widths.size(); ++c)
            lines = qMax(
                lines,
                int(WrapText(m_request.layout.columns[c].title, m_widths[c] - 2 * kPad, m_measure).size()));
        return lines * m_line;
    }

    QStringList notesOf(const QString& id)
    {
        QStringList lines;
        if (!m_notes)
            m_notes = std::make_unique<db::Query>(m_rows.connection());
        if (!db::Directory::openNotes(id, m_notes.get()))
            return lines;
        for (int r = 0; r < m_notes->recordCount(); ++r) {
            const QString date = m_notes->text(r, m_notes->fieldIndex(u"dat"));
            const QString text = m_notes->text(r, m_notes->fieldIndex(u"pozn"));
            lines << WrapText(date + QStringLiteral(": ") + text, m_page.width() - kPad * 8, m_measure);
        }
        return lines;
    }

    const db::Query& m_rows;
    const PrintRequest& m_request;
    QFont m_text;
    QFont m_bold;
    QFontMetricsF m_metrics;
    QSizeF m_page;
    double m_line = 0;
    double m_headerHeight = 0;
    double m_bodyHeight = 0;
    QList<int> m_fields;
    QList<double> m_widths;
    int m_nameField = -1;
    int m_idField = -1;
    Measure m_measure;
    QString m_lastInitial;
    std::unique_ptr<db::Query> m_notes;
};

} // namespace

PrintOutcome PaintDirectory(QPagedPaintDevice* device, const db::Query& rows, const PrintRequest& request,
                            const PrintProgress& progress)
{
    PrintOutcome outcome;
    const int count = rows.recordCount();
    const QSizeF page = device->pageLayout().paintRect(QPageLayout::Point).size();
    // Half of the work is measuring, half painting.
    const auto step = [&](int done) { return !progress || progress(done, 2 * count); };
    std::vector<float> heights;
    heights.reserve(count);
    {
        Layout measuring(rows, request, page);
        for (int row = 0; row < count; ++row) {
            heights.push_back(float(measuring.height(measuring.block(row))));
            if (!step(row)) {
                outcome.stopped = true;
                return outcome;
            }
        }
    }
    Layout layout(rows, request, page);
    const std::vector<int> firstOfPage = BreakPages(heights, layout.bodyHeight());
    outcome.pages = int(firstOfPage.size());
    QPainter painter;
    if (!painter.begin(device)) {
        outcome.failed = true;
        return outcome;
    }
    const double scale = device->logicalDpiX() / 72.0;
    painter.scale(scale, scale);
    int row = 0;
    for (int page = 0; page < outcome.pages; ++page) {
        if (page > 0)
            device->newPage();
        layout.paintHeader(painter, page + 1, outcome.pages);
        const int end = page + 1 < outcome.pages ? firstOfPage[page + 1] : count;
        for (double y = 0; row < end; ++row) {
            y += layout.paintBlock(painter, layout.block(row), y, row % 2 == 1);
            if (!step(count + row)) {
                outcome.stopped = true;
                painter.end();
                return outcome;
            }
        }
    }
    outcome.contacts = count;
    return outcome;
}

bool WritePdf(const QString& path, const db::Query& rows, const PrintRequest& request,
              const PrintProgress& progress, PrintOutcome* outcome, QString* why)
{
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&bytes);
        pdf.setResolution(72);
        pdf.setTitle(QStringLiteral("Telefonní seznam"));
        pdf.setCreator(QStringLiteral("Zvonisty"));
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
        *outcome = PaintDirectory(&pdf, rows, request, progress);
    }
    if (outcome->stopped || outcome->failed) {
        *why = outcome->failed ? QStringLiteral("Soubor %1 nelze vytvořit.").arg(path) : QString();
        return false;
    }
    return SafeWriteFile(path, bytes.data(), why);
}

} // namespace print
