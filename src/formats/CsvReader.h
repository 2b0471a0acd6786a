#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QStringDecoder>
#include <QStringList>

#include <memory>

struct csv_parser;

// Comma-separated values as spreadsheets and address books write them.
namespace csv {

enum class Encoding { Utf8, Utf16Le, Utf16Be, Cp1250 };

// How a file is to be read; the user sees each and may change it.
struct Layout
{
    char separator = ',';
    Encoding encoding = Encoding::Utf8;
    bool header = true;
};

// One row of the file: its cells and the line of the file it starts on (from 1).
struct Record
{
    QStringList cells;
    qint64 line = 0;
};

// Reads CSV after RFC 4180 (quoted cells holding separators, doubled quotes and line breaks;
// rows of any length; the last line with or without its end) from bytes fed a piece at a time.
// Blanks around an unquoted cell are dropped, as spreadsheets drop them; blank lines are no rows.
// A UTF-16 file is read through UTF-8, so the tokeniser always sees single-byte separators.
class Reader
{
public:
    // A cell longer than this is no contact's: the reading stops rather than hold it.
    static constexpr qsizetype kCellLimit = 1024 * 1024;

    enum class Failure { None, CellTooLong, UnclosedQuote };

    Reader(char separator, Encoding encoding);
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // Appends the rows the piece completes; false once the reading has failed.
    bool feed(QByteArrayView piece, QList<Record>* records);
    // The end of the input: appends the last row unless the input ends inside a quoted cell.
    bool finish(QList<Record>* records);

    Failure failure() const { return m_failure; }
    // Where the failed cell starts.
    qint64 failedLine() const { return m_failedLine; }
    // The line the reading has reached.
    qint64 line() const { return m_lineEnds + 1; }

private:
    static void OnCell(void* data, size_t length, void* self);
    static void OnRowEnd(int c, void* self);
    bool parse(QByteArrayView bytes);
    bool parseLead();
    // The bytes as UTF-8: themselves, or a UTF-16 piece transcoded.
    QByteArrayView utf8(QByteArrayView bytes);

    std::unique_ptr<csv_parser> m_parser;
    Encoding m_encoding;
    QStringDecoder m_cellDecoder;
    QStringDecoder m_utf16;
    QByteArray m_transcoded;
    QString m_highSurrogate;
    QByteArray m_lead; // the first bytes, until a byte-order mark can be told
    bool m_leadDone = false;
    QList<Record>* m_out = nullptr;
    QStringList m_cells;
    qint64 m_rowLine = 0;
    qint64 m_lineEnds = 0;
    Failure m_failure = Failure::None;
    qint64 m_failedLine = 0;
};

// The encoding of a file that starts with `head`: UTF-16 only by its byte-order mark; otherwise
// UTF-8 or code page 1250 as the text import decides (`utf8`: its verdict on the whole file).
Encoding EncodingOf(QByteArrayView head, bool utf8);
// The separator ("," ";" or tab) used most in the first row, then in the first few rows;
// "," when none is.
char SeparatorOf(QByteArrayView head, Encoding encoding);
// The first rows of a file that starts with `head` (`whole`: the head is all of it).
QList<Record> ReadHead(QByteArrayView head, char separator, Encoding encoding, bool whole, int most);

// The encoding's name as the user chooses it.
QString EncodingName(Encoding encoding);

} // namespace csv
