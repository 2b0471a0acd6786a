#include "print/TextRuns.h"

#include <QGlyphRun>
#include <QPaintEngine>
#include <QPainter>

namespace print {
namespace {

constexpr char16_t kNear = 0x3000;

bool SetAsGlyph(QChar c)
{
    switch (c.category()) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
        return false;
    default:
        break;
    }
    switch (c.script()) {
    case QChar::Script_Common:
    case QChar::Script_Latin:
    case QChar::Script_Greek:
    case QChar::Script_Cyrillic:
        return true;
    default:
        return false;
    }
}

} // namespace

TextRuns::TextRuns(const QFont& font, QPaintDevice* device)
    : m_font(font), m_metrics(font, device),
      m_runs(device->paintEngine() && device->paintEngine()->type() == QPaintEngine::Pdf),
      m_raw(QRawFont::fromFont(font)), m_near(kNear)
{
}

const TextRuns::Glyph& TextRuns::glyph(QChar c)
{
    Glyph& g = c.unicode() < kNear ? m_near[c.unicode()] : m_far[c.unicode()];
    if (g.index != kUnknown)
        return g;
    g = Glyph{0, 0};
    quint32 index = 0;
    int count = 1;
    if (SetAsGlyph(c) && m_raw.glyphIndexesForChars(&c, 1, &index, &count) && count == 1 && index != 0) {
        QPointF advance;
        if (m_runs)
            m_raw.advancesForGlyphIndexes(&index, &advance, 1, QRawFont::UseDesignMetrics);
        else
            advance.rx() = m_metrics.horizontalAdvance(c);
        g = Glyph{index, float(advance.x())};
    }
    return g;
}

bool TextRuns::plain(QStringView text)
{
    for (const QChar c : text)
        if (glyph(c).index == 0)
            return false;
    return true;
}

double TextRuns::width(QStringView text)
{
    double sum = 0;
    for (const QChar c : text) {
        const Glyph& g = glyph(c);
        if (g.index == 0)
            return m_metrics.horizontalAdvance(text.toString());
        sum += g.advance;
    }
    return sum;
}

void TextRuns::add(QPainter& painter, QStringView text, QPointF at)
{
    if (!m_runs || !plain(text)) {
        painter.setFont(m_font);
        painter.drawText(at, text.toString());
        return;
    }
    for (const QChar c : text) {
        const Glyph& g = glyph(c);
        m_glyphs.append(g.index);
        m_positions.append(at);
        at.rx() += g.advance;
    }
}

void TextRuns::flush(QPainter& painter)
{
    if (m_glyphs.isEmpty())
        return;
    QGlyphRun run;
    run.setRawFont(m_raw);
    run.setGlyphIndexes(m_glyphs);
    run.setPositions(m_positions);
    painter.drawGlyphRun(QPointF(0, 0), run);
    run = QGlyphRun();
    m_glyphs.clear();
    m_positions.clear();
}

} // namespace print
