#include "formats/CsvReader.h"

#include "formats/TextCodec.h"

#include <csv.h>

#include <cstdlib>
#include <utility>

namespace csv {
namespace {

// libcsv asks for ever smaller steps once one is refused, so a cell grows up to the limit and no
// further, and the parser then reports that it has no memory.
void* LimitedRealloc(void* old, size_t size)
{
    if (size > size_t(Reader::kCellLimit) + 1)
        return nullptr;
    return std::realloc(old, size);
}

// libcsv grows a cell's buffer by a fixed step (128 bytes unless told), so a long cell would be
// copied over and over; the step is kept as large as the buffer, which doubles it.
constexpr size_t kFirstStep = 256;

constexpr int kOptions = CSV_REPALL_NL;

QString HeadText(QByteArrayView head, Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf16Le:
        return QStringDecoder(QStringDecoder::Utf16LE).decode(head);
    case Encoding::Utf16Be:
        return QStringDecoder(QStringDecoder::Utf16BE).decode(head);
    case Encoding::Cp1250:
        return QStringDecoder("windows-1250").decode(head);
    case Encoding::Utf8:
        break;
    }
    return QString::fromUtf8(head);
}

} // namespace

Reader::Reader(char separator, Encoding encoding)
    : m_parser(std::make_unique<csv_parser>()), m_encoding(encoding)
{
    // A cell's own leading U+FEFF is a character; only the file's first one is a mark.
    m_cellDecoder = encoding == Encoding::Cp1250
                        ? QStringDecoder("windows-1250", QStringDecoder::Flag::Stateless)
                        : QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                                   QStringDecoder::Flag::ConvertInitialBom);
    if (encoding == Encoding::Utf16Le || encoding == Encoding::Utf16Be)
        m_utf16 =
            QStringDecoder(encoding == Encoding::Utf16Be ? QStringDecoder::Utf16BE : QStringDecoder::Utf16LE,
                           QStringDecoder::Flag::ConvertInitialBom);
    csv_init(m_parser.get(), kOptions);
    csv_set_delim(m_parser.get(), static_cast<unsigned char>(separator));
    csv_set_realloc_func(m_parser.get(), LimitedRealloc);
    csv_set_blk_size(m_parser.get(), kFirstStep);
}

Reader::~Reader()
{
    csv_free(m_parser.get());
}

void Reader::OnCell(void* data, size_t length, void* self)
{
    auto* reader = static_cast<Reader*>(self);
    const QByteArrayView bytes(static_cast<const char*>(data), qsizetype(length));
    if (reader->m_cells.isEmpty())
        reader->m_rowLine = reader->m_lineEnds + 1;
    reader->m_cells.append(reader->m_cellDecoder.decode(bytes));
    reader->m_lineEnds += bytes.count('\n');
}

// Called at the end of every row, and (with CSV_REPALL_NL) for every line end between rows, so
// that the lines are counted whatever ends them.
void Reader::OnRowEnd(int c, void* self)
{
    auto* reader = static_cast<Reader*>(self);
    if (!reader->m_cells.isEmpty()) {
        reader->m_out->append({reader->m_cells, reader->m_rowLine});
        reader->m_cells.clear();
    }
    if (c == '\n')
        ++reader->m_lineEnds;
}

bool Reader::parse(QByteArrayView bytes)
{
    if (m_failure != Failure::None)
        return false;
    const size_t done = csv_parse(m_parser.get(), bytes.data(), size_t(bytes.size()), OnCell, OnRowEnd, this);
    csv_set_blk_size(m_parser.get(), qMax(kFirstStep, csv_get_buffer_size(m_parser.get())));
    if (done < size_t(bytes.size())) {
        m_failure = Failure::CellTooLong;
        m_failedLine = m_lineEnds + 1;
        m_cells.clear();
        return false;
    }
    return true;
}

QByteArrayView Reader::utf8(QByteArrayView bytes)
{
    if (m_encoding != Encoding::Utf16Le && m_encoding != Encoding::Utf16Be)
        return bytes;
    // A pair of surrogates cut by the end of a piece is held back until its second half comes.
    QString text = std::exchange(m_highSurrogate, QString()) + m_utf16.decode(bytes);
    if (!text.isEmpty() && text.back().isHighSurrogate()) {
        m_highSurrogate = text.back();
        text.chop(1);
    }
    m_transcoded = text.toUtf8();
    return m_transcoded;
}

// The byte-order mark is dropped here, not by the decoder, which knows one only when it comes
// whole in its first piece.
bool Reader::parseLead()
{
    m_leadDone = true;
    const QByteArray lead = std::exchange(m_lead, QByteArray());
    QByteArrayView rest(lead);
    const QByteArrayView mark = m_encoding == Encoding::Utf16Le   ? QByteArrayView("\xFF\xFE")
                                : m_encoding == Encoding::Utf16Be ? QByteArrayView("\xFE\xFF")
                                : m_encoding == Encoding::Utf8    ? exchange::Utf8Mark()
                                                                  : QByteArrayView();
    if (!mark.isEmpty() && rest.startsWith(mark))
        rest = rest.sliced(mark.size());
    return parse(utf8(rest));
}

bool Reader::feed(QByteArrayView piece, QList<Record>* records)
{
    m_out = records;
    if (m_leadDone)
        return parse(utf8(piece));
    // A byte-order mark may come cut across the first pieces.
    m_lead += piece;
    if (m_lead.size() < exchange::Utf8Mark().size())
        return m_failure == Failure::None;
    return parseLead();
}

bool Reader::finish(QList<Record>* records)
{
    m_out = records;
    if (!m_leadDone)
        parseLead();
    if (m_failure != Failure::None)
        return false;
    // Strict only here: a quote left open at the end is told, while a stray quote within a
    // cell is taken as it stands, as spreadsheets take it.
    csv_set_opts(m_parser.get(), kOptions | CSV_STRICT | CSV_STRICT_FINI);
    const int ended = csv_fini(m_parser.get(), OnCell, OnRowEnd, this);
    csv_set_opts(m_parser.get(), kOptions);
    if (ended != 0) {
        m_failure = Failure::UnclosedQuote;
        m_failedLine = m_lineEnds + 1;
        m_cells.clear();
        return false;
    }
    return true;
}

Encoding EncodingOf(QByteArrayView head, bool utf8)
{
    if (head.startsWith("\xFF\xFE"))
        return Encoding::Utf16Le;
    if (head.startsWith("\xFE\xFF"))
        return Encoding::Utf16Be;
    return utf8 || head.startsWith(exchange::Utf8Mark()) ? Encoding::Utf8 : Encoding::Cp1250;
}

char SeparatorOf(QByteArrayView head, Encoding encoding)
{
    constexpr char kCandidates[] = {',', ';', '\t'};
    constexpr int kRows = 5;
    int inFirst[3] = {};
    int inAll[3] = {};
    bool quoted = false;
    int row = 0;
    for (const QChar c : HeadText(head, encoding)) {
        const char16_t u = c.unicode();
        if (u == '"') {
            quoted = !quoted;
        } else if (!quoted && u == '\n') {
            if (++row == kRows)
                break;
        } else if (!quoted) {
            for (int i = 0; i < 3; ++i)
                if (u == char16_t(kCandidates[i])) {
                    inFirst[i] += row == 0 ? 1 : 0;
                    ++inAll[i];
                }
        }
    }
    int best = 0;
    for (int i = 1; i < 3; ++i)
        if (inFirst[i] > inFirst[best] || (inFirst[i] == inFirst[best] && inAll[i] > inAll[best]))
            best = i;
    return kCandidates[best];
}

QList<Record> ReadHead(QByteArrayView head, char separator, Encoding encoding, bool whole, int most)
{
    Reader reader(separator, encoding);
    QList<Record> records;
    reader.feed(head, &records);
    if (whole)
        reader.finish(&records);
    if (records.size() > most)
        records.resize(most);
    return records;
}

QString EncodingName(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf16Le:
        return QStringLiteral("UTF-16 LE");
    case Encoding::Utf16Be:
        return QStringLiteral("UTF-16 BE");
    case Encoding::Cp1250:
        return QStringLiteral("windows-1250");
    case Encoding::Utf8:
        break;
    }
    return QStringLiteral("UTF-8");
}

} // namespace csv
