#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QList>
#include <QPointF>
#include <QRawFont>

#include <vector>

class QPainter;
class QPaintDevice;

namespace print {

// Text in one font set as glyphs, without the toolkit's shaping of every line, which costs more
// than the rest of a print: each character's glyph and width is looked up once, and the lines of
// a page are drawn as one glyph run. A text with a character the font lacks or that needs shaping
// (accents as marks of their own, scripts written from the right) is measured and drawn by the
// toolkit's text drawing instead, which also finds another font for it. So is all text on a
// device that would keep glyph runs as outlines (the print preview): there only the widths are
// looked up once.
class TextRuns
{
public:
    TextRuns(const QFont& font, QPaintDevice* device);

    const QFont& font() const { return m_font; }
    double ascent() const { return m_raw.ascent(); }
    double lineSpacing() const { return m_raw.ascent() + m_raw.descent() + m_raw.leading(); }
    // Adds up for the texts set as glyphs: there is no kerning.
    double width(QStringView text);

    // Sets `text` with the left end of its baseline at `at`.
    void add(QPainter& painter, QStringView text, QPointF at);
    // Draws what was set since the last time; before a new page.
    void flush(QPainter& painter);

private:
    static constexpr quint32 kUnknown = 0xffffffff;
    // Index 0 for a character drawn the toolkit's way.
    struct Glyph
    {
        quint32 index = kUnknown;
        float advance = 0;
    };
    const Glyph& glyph(QChar c);
    bool plain(QStringView text);

    QFont m_font;
    QFontMetricsF m_metrics;
    bool m_runs;
    QRawFont m_raw;
    // The characters of the Latin, Greek and Cyrillic letters and of the punctuation by their
    // code, all others by a table.
    std::vector<Glyph> m_near;
    QHash<char16_t, Glyph> m_far;
    QList<quint32> m_glyphs;
    QList<QPointF> m_positions;
};

} // namespace print
