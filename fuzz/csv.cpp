// A CSV file's bytes as the CSV import reads them: the recognition of its layout and export, the
// reading in pieces, the mapping to contact rows, and the rows written back.
#include "formats/CsvMapping.h"
#include "formats/CsvReader.h"
#include "formats/CsvWriter.h"
#include "formats/TextCodec.h"

#include "Timed.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

struct Read
{
    QList<csv::Record> records;
    csv::Reader::Failure failure;
    qint64 failedLine;
};

// The bytes read in pieces of `piece` bytes (the whole at once for 0).
Read ReadAll(QByteArrayView bytes, char separator, csv::Encoding encoding, qsizetype piece)
{
    csv::Reader reader(separator, encoding);
    Read read;
    bool going = true;
    for (qsizetype at = 0; going && at<bytes.size(); at += piece> 0 ? piece : bytes.size())
        going = reader.feed(bytes.sliced(at, qMin(piece > 0 ? piece : bytes.size(), bytes.size() - at)),
                            &read.records);
    if (going)
        reader.finish(&read.records);
    read.failure = reader.failure();
    read.failedLine = reader.failedLine();
    return read;
}

bool Same(const Read& a, const Read& b)
{
    if (a.failure != b.failure || a.failedLine != b.failedLine || a.records.size() != b.records.size())
        return false;
    for (qsizetype i = 0; i < a.records.size(); ++i)
        if (a.records.at(i).cells != b.records.at(i).cells || a.records.at(i).line != b.records.at(i).line)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return zvfuzz::Timed(size, [&] {
        if (size == 0)
            return;
        // The first byte chooses how the rest is read, as the user may choose in the dialog.
        const uint8_t how = data[0];
        const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
        const csv::Layout recognised = csv::RecogniseLayout(
            bytes, true, exchange::DetectEncoding(bytes) == exchange::TextEncoding::Utf8);
        const char separators[] = {',', ';', '\t', recognised.separator};
        const csv::Encoding encodings[] = {csv::Encoding::Utf8, csv::Encoding::Cp1250, csv::Encoding::Utf16Le,
                                           csv::Encoding::Utf16Be};
        const char separator = separators[how & 3];
        const csv::Encoding encoding = how & 4 ? recognised.encoding : encodings[(how >> 3) & 3];

        // Read whole or in pieces, the rows are the same; each starts on a line of the file, in
        // order (a lone CR ends a row but no line, so rows may share one).
        const Read whole = ReadAll(bytes, separator, encoding, 0);
        if (!Same(whole, ReadAll(bytes, separator, encoding, 1 + (how >> 5))))
            std::abort();
        qint64 previous = 0;
        for (const csv::Record& r : whole.records) {
            if (r.line < qMax<qint64>(previous, 1) || r.line > qint64(size) + 1 || r.cells.isEmpty())
                std::abort();
            previous = r.line;
        }

        // Every row becomes contact rows with a number each, under the recognised mapping and
        // under one that gives every column a field.
        const csv::Mapping known = whole.records.isEmpty()
                                       ? csv::Mapping()
                                       : csv::RecogniseExport(whole.records.first().cells).mapping;
        csv::Mapping every;
        for (qsizetype c = 0; c < 64; ++c)
            every << csv::OfferedFields().at(c % csv::OfferedFields().size());
        for (const csv::Record& r : whole.records)
            for (const csv::Mapping& mapping : {known, every})
                for (const ContactValues& v : csv::ContactsOfRow(r.cells, mapping, QString()))
                    if (v.telefon.isEmpty())
                        std::abort();

        // The rows written back with the export's quoting read as they were.
        QString text;
        qsizetype written = 0;
        for (const csv::Record& r : whole.records) {
            // A row of one empty cell is a blank line, which is no row.
            if (r.cells.size() == 1 && r.cells.first().isEmpty())
                continue;
            QStringList cells;
            for (const QString& cell : r.cells)
                cells << csv::Cell(cell, QLatin1Char(','));
            text += cells.join(QLatin1Char(',')) + QStringLiteral("\r\n");
            ++written;
        }
        const QByteArray again =
            QByteArray(exchange::Utf8Mark().data(), exchange::Utf8Mark().size()) + text.toUtf8();
        const Read back = ReadAll(again, ',', csv::Encoding::Utf8, 0);
        if (back.failure != csv::Reader::Failure::None || back.records.size() != written)
            std::abort();
        qsizetype i = 0;
        for (const csv::Record& r : whole.records)
            if (!(r.cells.size() == 1 && r.cells.first().isEmpty()) && back.records.at(i++).cells != r.cells)
                std::abort();
    });
}
