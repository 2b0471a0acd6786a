#pragma once

#include "exchange/LineRefusals.h"
#include "formats/CsvMapping.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

class QFile;
class QIODevice;

namespace db {
class BulkWriter;
class Query;
} // namespace db

// The CSV import and export without their dialogs, shared by the menu commands and the
// command line.
namespace exchange {

// What the import learns of a file in one pass before it reads its rows.
struct CsvSurvey
{
    // Why the file is not read at all (empty, binary), in Czech; empty when it is read.
    QString refusal;
    csv::Layout layout;
    QByteArray head; // the first bytes, for the recognition and the preview
    bool whole = false;
    qint64 lines = 0; // for the progress
};
// False when the file cannot be read through.
bool SurveyCsvFile(QFile& file, CsvSurvey* survey);

// The header row (empty when the layout has none), the rows after it, and the most cells a row
// of them has.
struct CsvHead
{
    QStringList header;
    QList<csv::Record> rows;
    qsizetype columns = 0;
};
CsvHead ReadCsvHead(const CsvSurvey& survey, const csv::Layout& layout, int rows);

// The mapping a header row is given at once: the one remembered for it, else a known export's;
// `from` says which, for the user. `remembered` reads the settings key csv::HeaderKey names.
struct CsvProposal
{
    QString from;
    csv::Mapping mapping;
};
CsvProposal ProposeMapping(const QStringList& header,
                           const std::function<QString(const QString&)>& remembered);
// A first row mapped before is a header, whatever it holds.
void TakeRememberedHeader(CsvSurvey* survey, const std::function<QString(const QString&)>& remembered);
// Whether the mapping takes a number from any column: without one no row would be added.
bool MapsPhone(const csv::Mapping& mapping);

struct CsvTally
{
    int added = 0, present = 0, failed = 0, withoutPhone = 0;
    LineRefusals refused;
    bool interrupted = false; // by the user
    QString stopReason;       // of a stop by a failure of the directory, in Czech
    csv::Reader::Failure readFailure = csv::Reader::Failure::None;
    qint64 failedLine = 0;
    bool readError = false;
};

// Adds the contacts of the file's rows through the writer: rows without a number are counted,
// rows with a value too long for its column refused by their line. `afterRow` runs after every
// row with the row's line, and ends the reading by giving false.
void ImportCsvRows(QIODevice* file, const csv::Layout& layout, const csv::Mapping& mapping,
                   db::BulkWriter& writer, const std::function<bool(qint64)>& afterRow, CsvTally* tally);

// The closing message, and the one line of the status bar and the command line.
QString CsvSummary(const CsvTally& tally);
QString CsvStatusLine(const CsvTally& tally);

// The rows of the query as the export writes them; those holding a character code page 1250
// lacks are named ("jméno (telefon): znak „Ж“") and left out.
struct CsvExport
{
    QByteArray bytes;
    int written = 0;
    QStringList refused;
};
CsvExport ExportCsvRows(const db::Query& rows, bool cp1250);

} // namespace exchange
