#include "formats/ImportLine.h"

#include "db/engine/PhoneText.h"

#include <QIODevice>

namespace exchange {
namespace {

// Takes the next column from the front of `rest`: the text before the first ";" (the rest then
// starts after it), or the whole rest when it holds none.
QStringView CutColumn(QStringView& rest)
{
    const qsizetype separator = rest.indexOf(QLatin1Char(';'));
    if (separator < 0) {
        const QStringView column = rest;
        rest = QStringView();
        return column;
    }
    const QStringView column = rest.left(separator);
    rest = rest.mid(separator + 1);
    return column;
}

} // namespace

ImportLine ParseImportLine(QStringView line)
{
    ImportLine row;
    QString* const columns[] = {&row.jmeno,      &row.telefon, &row.email, &row.poznamka,
                                &row.organizace, &row.icq,     &row.skype};
    QStringView rest = line;
    for (QString* column : columns) {
        if (rest.isEmpty())
            break;
        *column = CutColumn(rest).toString();
    }
    // Not cut: a number too long for its column refuses its line rather than lose digits.
    row.telefon = GroupPhone(row.telefon);
    while (!rest.isEmpty())
        row.furtherPhones << GroupPhone(CutColumn(rest).toString());
    return row;
}

QStringView LineReader::next()
{
    m_started = true;
    const qsizetype end = m_text.indexOf(QLatin1Char('\n'), m_position);
    QStringView line;
    if (end < 0) {
        line = QStringView(m_text).mid(m_position);
        m_position = m_text.size();
        return line;
    }
    line = QStringView(m_text).mid(m_position, end - m_position);
    if (line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    m_position = end + 1;
    return line;
}

namespace {
constexpr qint64 kPiece = 64 * 1024;
}

bool LineStream::fill()
{
    if (m_atEnd)
        return false;
    // Drop what has been handed out before the buffer grows.
    if (m_start > 0) {
        m_buffer.remove(0, m_start);
        m_start = 0;
    }
    const qsizetype had = m_buffer.size();
    m_buffer.resize(had + kPiece);
    const qint64 got = m_device->read(m_buffer.data() + had, kPiece);
    m_buffer.resize(had + qMax<qint64>(got, 0));
    if (got < 0)
        m_failed = true;
    if (got <= 0)
        m_atEnd = true;
    return got > 0;
}

LineStream::Result LineStream::next(QByteArray* line)
{
    line->clear();
    if (m_atEnd && m_start >= m_buffer.size() && m_lineNumber > 0)
        return m_failed ? Result::ReadError : Result::End;
    bool tooLong = false;
    qsizetype scanned = 0; // bytes of the line already searched for its end
    for (;;) {
        const qsizetype end = m_buffer.indexOf('\n', m_start + scanned);
        if (end >= 0) {
            ++m_lineNumber;
            qsizetype length = end - m_start;
            if (length > 0 && m_buffer.at(end - 1) == '\r')
                --length;
            tooLong = tooLong || length > m_limit;
            if (!tooLong)
                *line = m_buffer.mid(m_start, length);
            m_start = end + 1;
            return tooLong ? Result::TooLong : Result::Line;
        }
        // Past the limit even should a CR end it.
        if (m_buffer.size() - m_start > m_limit + 1) {
            // Far beyond any column: only its end is looked for.
            tooLong = true;
            m_buffer.clear();
            m_start = 0;
        }
        scanned = m_buffer.size() - m_start;
        if (!fill())
            break;
    }
    if (m_failed)
        return Result::ReadError;
    // The last line, without a line end; an empty file is one empty line.
    if (m_start >= m_buffer.size() && !tooLong && m_lineNumber > 0)
        return Result::End;
    ++m_lineNumber;
    if (tooLong || m_buffer.size() - m_start > m_limit) {
        m_buffer.clear();
        m_start = 0;
        return Result::TooLong;
    }
    *line = m_buffer.mid(m_start);
    m_start = m_buffer.size();
    return Result::Line;
}

void LineCounter::feed(QByteArrayView piece)
{
    if (piece.isEmpty())
        return;
    m_any = true;
    m_lineEnds += piece.count('\n');
    m_endsWithLineEnd = piece.back() == '\n';
}

qint64 LineCounter::lines() const
{
    // As the lines are read: at least one, and a line end at the very end starts none.
    return m_any && m_endsWithLineEnd ? m_lineEnds : m_lineEnds + 1;
}

} // namespace exchange
