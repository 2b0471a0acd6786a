#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

class QIODevice;

// The import text format: one contact per line, columns separated by ";" and taken as they
// stand (no quoting, no escape, no trimming); jméno; telefon; email; poznámka; organizace; icq;
// skype; and from the eighth column on, each a further phone number of the same contact.
namespace exchange {

struct ImportLine
{
    QString jmeno, telefon, email, poznamka, organizace, icq, skype;
    // Columns 8, 9, ...; an empty column between two separators is an empty number.
    QStringList furtherPhones;
};

// Cuts one line into its columns; every phone is grouped as FormatPhone groups it, but whole.
ImportLine ParseImportLine(QStringView line);

// The lines of a file's text. A line ends with LF or CR LF; a lone CR is part of its line.
// There is always at least one line (an empty text is one empty line), and a line end at the
// very end of the text does not start another.
class LineReader
{
public:
    explicit LineReader(const QString& text) : m_text(text) {}

    bool atEnd() const { return m_started && m_position >= m_text.size(); }
    QStringView next();
    // How far the reading has got, in characters of the text.
    qsizetype position() const { return m_position; }
    qsizetype size() const { return m_text.size(); }

private:
    const QString& m_text;
    qsizetype m_position = 0;
    bool m_started = false;
};

// The lines of a file read from its device as they come, the same lines LineReader finds in
// the whole text. At most one line is held: a line longer than the limit is passed over
// without being kept, so a file of one endless line costs no more memory than a short one.
class LineStream
{
public:
    LineStream(QIODevice* device, qsizetype limit) : m_device(device), m_limit(limit) {}

    enum class Result { Line, TooLong, End, ReadError };
    // The next line's bytes without their line end; TooLong leaves `line` empty.
    Result next(QByteArray* line);
    // The number (from 1) of the line last returned.
    qint64 lineNumber() const { return m_lineNumber; }

private:
    bool fill();

    QIODevice* m_device;
    qsizetype m_limit;
    QByteArray m_buffer;
    qsizetype m_start = 0;
    qint64 m_lineNumber = 0;
    bool m_atEnd = false;
    bool m_failed = false;
};

// The number of lines LineStream finds in a file of these bytes, counted a piece at a time.
class LineCounter
{
public:
    void feed(QByteArrayView piece);
    qint64 lines() const;

private:
    qint64 m_lineEnds = 0;
    bool m_endsWithLineEnd = false;
    bool m_any = false;
};

} // namespace exchange
