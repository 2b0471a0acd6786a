#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

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

// Cuts one line into its columns; every phone passes through FormatPhone.
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

} // namespace exchange
