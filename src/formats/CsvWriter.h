#pragma once

#include "db/engine/Columns.h"

#include <QByteArray>
#include <QStringEncoder>

namespace csv {

// The two kinds of file the export writes: what Google, Outlook and Excel read, and what a
// Czech Excel opens directly.
enum class Flavour { Utf8Comma, Cp1250Semicolon };

// Contacts as CSV after RFC 4180, CR LF line ends: a header row of the detail dialog's labels
// (which the import recognises), then one line per contact row. A cell is quoted when it holds
// the separator, a quote or a line break, or starts or ends with a blank a reader would drop.
class Writer
{
public:
    explicit Writer(Flavour flavour);

    // Adds a contact's line. False, and nothing added, when code page 1250 lacks a character of
    // it; `missing` then holds the first such character.
    bool add(const ContactValues& contact, QChar* missing = nullptr);

    const QByteArray& bytes() const { return m_bytes; }
    int written() const { return m_written; }

private:
    bool append(const QString& line, QChar* missing);

    Flavour m_flavour;
    QChar m_separator;
    QStringEncoder m_cp1250;
    QByteArray m_bytes;
    int m_written = 0;
};

// A value as a cell of a line whose cells are separated by `separator`.
QString Cell(const QString& value, QChar separator);

} // namespace csv
