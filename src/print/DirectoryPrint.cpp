#include "print/DirectoryPrint.h"

#include "db/contacts/Directory.h"
#include "db/contacts/Query.h"
#include "db/contacts/RowWalk.h"
#include "db/engine/Columns.h"
#include "print/PageLayout.h"
#include "print/TextRuns.h"
#include "ui/SafeWrite.h"

#include <QPainter>
#include <QPdfWriter>
#include <QStringDecoder>

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
    // Widths add up, as the line breaking counts on.
    font.setKerning(false);
    return font;
}

// Lays out and paints one contact at a time: its heading letter, its cells' lines and its notes.
// The values are decoded into buffers kept from contact to contact, and the lines are views of
// them, so that a contact costs hardly an allocation.
class Layout
{
public:
    Layout(const db::Query& rows, const PrintRequest& request, QPaintDevice* device, const QSizeF& page)
        : m_rows(rows), m_request(request), m_text(Font(kTextSize), device),
          m_bold(Font(kTextSize, true), device), m_page(page)
    {
        m_line = m_text.lineSpacing();
        m_measure = [this](QStringView s) { return m_text.width(s); };
        QList<int> widths;
        for (const MainWindowPort::ShownColumn& c : request.layout.columns) {
            widths << c.width;
            m_fields << rows.fieldIndex(c.field);
        }
        m_widths = ShareWidths(widths, page.width());
        m_values.resize(m_fields.size());
        m_cells.resize(m_fields.size());
        const Measure bold = [this](QStringView s) { return m_bold.width(s); };
        int titleLines = 1;
        for (int c = 0; c < m_widths.size(); ++c) {
            m_titles << WrapText(request.layout.columns[c].title, m_widths[c] - 2 * kPad, bold);
            titleLines = qMax(titleLines, int(m_titles.last().size()));
        }
        m_nameField = rows.fieldIndex(u"jmeno");
        m_idField = rows.fieldIndex(u"id");
        const double selection = request.layout.selection.isEmpty() ? 0 : m_line;
        m_titlesTop = kTitleSize * 1.6 + selection + m_line * 0.5;
        m_headerHeight = m_titlesTop + titleLines * m_line + kPad;
        m_bodyHeight = page.height() - m_headerHeight - m_line * 2;
    }

    double bodyHeight() const { return m_bodyHeight; }

    // The heading letters start again.
    void restart() { m_lastInitial.clear(); }

    // Takes the walk's current contact and returns its height.
    double lay(const db::RowWalk& row)
    {
        m_heading.clear();
        if (m_request.layout.sortedByName && m_nameField >= 0) {
            const QString initial = NameInitial(decode(row.utf8(m_nameField), m_name));
            if (initial != m_lastInitial && !initial.isEmpty())
                m_heading = initial;
            m_lastInitial = initial;
        }
        m_lines = 0;
        for (int c = 0; c < m_fields.size(); ++c) {
            const QStringView value =
                m_fields[c] < 0 ? QStringView() : decode(row.utf8(m_fields[c]), m_values[c]);
            BreakLines(value, m_widths[c] - 2 * kPad, m_measure, &m_cells[c]);
            m_lines = qMax(m_lines, int(m_cells[c].size()));
        }
        m_notes.clear();
        if (m_request.notes && m_idField >= 0)
            readNotes(QString::fromUtf8(row.utf8(m_idField)));
        return (m_heading.isEmpty() ? 0 : m_line * 1.5) + rowHeight();
    }

    void paintHeader(QPainter& p, int page, int pages)
    {
        p.setFont(Font(kTitleSize, true));
        const QRectF top(0, 0, m_page.width(), kTitleSize * 1.6);
        p.drawText(top, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Telefonní seznam"));
        p.setFont(m_text.font());
        p.drawText(top, Qt::AlignRight | Qt::AlignVCenter,
                   QLocale(QLocale::Czech).toString(m_request.date, QLocale::LongFormat));
        if (!m_request.layout.selection.isEmpty())
            p.drawText(QRectF(0, top.bottom(), m_page.width(), m_line), Qt::AlignLeft,
                       m_request.layout.selection);
        double x = 0;
        for (int c = 0; c < m_widths.size(); ++c) {
            for (int i = 0; i < m_titles[c].size(); ++i)
                m_bold.add(p, m_titles[c][i], QPointF(x + kPad, m_titlesTop + i * m_line + m_text.ascent()));
            x += m_widths[c];
        }
        const double rule = m_headerHeight - kPad;
        p.drawLine(QPointF(0, rule), QPointF(m_page.width(), rule));
        p.setFont(m_text.font());
        p.drawText(QRectF(0, m_page.height() - m_line, m_page.width(), m_line), Qt::AlignHCenter,
                   PageFooter(page, pages));
    }

    // Paints the contact laid out last at `y` below the header.
    void paintContact(QPainter& p, double y, bool shaded)
    {
        y += m_headerHeight;
        const double ascent = m_text.ascent();
        if (!m_heading.isEmpty()) {
            m_bold.add(p, m_heading, QPointF(kPad, y + m_line * 0.25 + ascent));
            y += m_line * 1.5;
        }
        if (shaded)
            p.fillRect(QRectF(0, y, m_page.width(), rowHeight()), QColor::fromRgba(kShade));
        double x = 0;
        for (int c = 0; c < m_fields.size(); ++c) {
            for (size_t i = 0; i < m_cells[c].size(); ++i)
                m_text.add(p, m_cells[c][i], QPointF(x + kPad, y + kPad + double(i) * m_line + ascent));
            x += m_widths[c];
        }
        for (int i = 0; i < m_notes.size(); ++i)
            m_text.add(p, m_notes[i], QPointF(kPad * 6, y + kPad + (m_lines + i) * m_line + ascent));
    }

    // Draws the page's text, over its shading.
    void finishPage(QPainter& p)
    {
        m_text.flush(p);
        m_bold.flush(p);
    }

private:
    double rowHeight() const { return (m_lines + m_notes.size()) * m_line + 2 * kPad; }

    QStringView decode(QByteArrayView utf8, QString& buffer)
    {
        buffer.resize(m_decoder.requiredSpace(utf8.size()));
        const QChar* end = m_decoder.appendToBuffer(buffer.data(), utf8);
        buffer.resize(end - buffer.constData());
        return buffer;
    }

    void readNotes(const QString& id)
    {
        if (!m_notesQuery)
            m_notesQuery = std::make_unique<db::Query>(m_rows.connection());
        if (!db::Directory::openNotes(id, m_notesQuery.get()))
            return;
        const int date = m_notesQuery->fieldIndex(u"dat");
        const int text = m_notesQuery->fieldIndex(u"pozn");
        for (int r = 0; r < m_notesQuery->recordCount(); ++r)
            m_notes << WrapText(m_notesQuery->text(r, date) + QStringLiteral(": ") +
                                    m_notesQuery->text(r, text),
                                m_page.width() - kPad * 8, m_measure);
    }

    const db::Query& m_rows;
    const PrintRequest& m_request;
    TextRuns m_text;
    TextRuns m_bold;
    QSizeF m_page;
    Measure m_measure;
    QStringDecoder m_decoder{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless};
    double m_line = 0;
    double m_titlesTop = 0;
    double m_headerHeight = 0;
    double m_bodyHeight = 0;
    QList<int> m_fields;
    QList<double> m_widths;
    QList<QStringList> m_titles;
    int m_nameField = -1;
    int m_idField = -1;
    std::unique_ptr<db::Query> m_notesQuery;
    // The contact laid out last.
    QString m_name;
    std::vector<QString> m_values;
    std::vector<std::vector<QStringView>> m_cells;
    int m_lines = 0;
    QStringList m_notes;
    QString m_heading;
    QString m_lastInitial;
};

} // namespace

PrintOutcome PaintDirectory(QPagedPaintDevice* device, const db::Query& rows, const PrintRequest& request,
                            const PrintProgress& progress)
{
    PrintOutcome outcome;
    const int count = rows.recordCount();
    const QSizeF page = device->pageLayout().paintRect(QPageLayout::Point).size();
    Layout layout(rows, request, device, page);
    {
        PageBreaker pages(layout.bodyHeight());
        db::RowWalk walk(rows);
        for (int row = 0; walk.next(); ++row) {
            pages.place(layout.lay(walk));
            if (progress && !progress(PrintStage::Contacts, row + 1, count)) {
                outcome.stopped = true;
                return outcome;
            }
        }
        outcome.pages = pages.pages();
    }
    QPainter painter;
    if (!painter.begin(device)) {
        outcome.failed = true;
        return outcome;
    }
    const double scale = device->logicalDpiX() / 72.0;
    painter.scale(scale, scale);
    layout.restart();
    PageBreaker pages(layout.bodyHeight());
    db::RowWalk walk(rows);
    layout.paintHeader(painter, 1, outcome.pages);
    double y = 0;
    while (walk.next()) {
        const double height = layout.lay(walk);
        if (pages.place(height)) {
            layout.finishPage(painter);
            if (progress && !progress(PrintStage::Pages, pages.pages() - 1, outcome.pages)) {
                outcome.stopped = true;
                return outcome;
            }
            device->newPage();
            layout.paintHeader(painter, pages.pages(), outcome.pages);
            y = 0;
        }
        layout.paintContact(painter, y, outcome.contacts % 2 == 1);
        y += height;
        ++outcome.contacts;
    }
    layout.finishPage(painter);
    outcome.unread = outcome.contacts < count;
    return outcome;
}

bool WritePdf(const QString& path, const db::Query& rows, const PrintRequest& request,
              const PrintProgress& progress, PrintOutcome* outcome, QString* why)
{
    SafeFileWriter file(path);
    if (!file.begin(why))
        return false;
    {
        QPdfWriter pdf(&file);
        pdf.setResolution(72);
        pdf.setTitle(QStringLiteral("Telefonní seznam"));
        pdf.setCreator(QStringLiteral("Zvonisty"));
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
        // A disk that fills up ends the print at once.
        *outcome = PaintDirectory(&pdf, rows, request, [&](PrintStage stage, int done, int total) {
            return !file.failed() && (!progress || progress(stage, done, total));
        });
    }
    // A write that failed stopped the print; the failure is told, not a stop.
    if (file.failed())
        outcome->stopped = false;
    if (outcome->unread) {
        *why = QStringLiteral("Seznam se nepodařilo přečíst celý; soubor %1 nebyl uložen.").arg(path);
        return false;
    }
    if (outcome->failed || outcome->stopped) {
        *why = outcome->failed ? QStringLiteral("Soubor %1 nelze vytvořit.").arg(path) : QString();
        return false;
    }
    return file.commit(why);
}

} // namespace print
