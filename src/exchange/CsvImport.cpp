#include "exchange/CsvImport.h"

#include "db/contacts/BulkWriter.h"
#include "db/contacts/Query.h"
#include "formats/CsvWriter.h"
#include "formats/ImportLine.h"
#include "formats/InputFile.h"
#include "formats/TextCodec.h"
#include "ui/TextLimit.h"

#include <QDate>
#include <QFile>

#include <algorithm>

namespace exchange {
namespace {

// Enough for the recognition and the preview, however long the first rows are.
constexpr qsizetype kHeadSize = 64 * 1024;
constexpr qint64 kPiece = 64 * 1024;

bool Blank(const QStringList& cells)
{
    return std::all_of(cells.begin(), cells.end(), [](const QString& c) { return c.isEmpty(); });
}

// Adds the row's contacts; false once the directory takes no more.
bool AddRow(const csv::Record& row, const csv::Mapping& mapping, const QString& datum, db::BulkWriter& writer,
            CsvTally* tally)
{
    // A spreadsheet's empty lines come as rows of empty cells; they are no contact.
    if (Blank(row.cells))
        return true;
    const QList<ContactValues> contacts = csv::ContactsOfRow(row.cells, mapping, datum);
    if (contacts.isEmpty()) {
        ++tally->withoutPhone;
        return true;
    }
    for (const ContactValues& contact : contacts)
        if (const FieldFault fault = CheckFields(contact)) {
            tally->refused.refuse(row.line, fault.text());
            return true;
        }
    for (const ContactValues& contact : contacts) {
        const db::BulkWriter::Check check = writer.check(contact.telefon);
        if (check == db::BulkWriter::Check::Present) {
            ++tally->present;
            continue;
        }
        if (check == db::BulkWriter::Check::Failed || !writer.insert(contact)) {
            ++tally->failed;
            if (writer.stopped())
                return false;
        }
    }
    return true;
}

QString ReadProblem(const CsvTally& tally)
{
    switch (tally.readFailure) {
    case csv::Reader::Failure::UnclosedQuote:
        return QStringLiteral("Uvozovky otevřené na řádku %1 nejsou do konce souboru uzavřeny; "
                              "řádek %1 a zbytek souboru nebyly načteny.")
            .arg(tally.failedLine);
    case csv::Reader::Failure::CellTooLong:
        return QStringLiteral(
                   "Hodnota začínající na řádku %1 je delší než 1 MB; zbytek souboru nebyl načten.")
            .arg(tally.failedLine);
    case csv::Reader::Failure::None:
        break;
    }
    return tally.readError ? QStringLiteral("Soubor se nepodařilo dočíst.") : QString();
}

QString ContactNamed(const ContactValues& v)
{
    return (v.jmeno.isEmpty() ? QStringLiteral("(bez jména)") : v.jmeno) + QStringLiteral(" (") + v.telefon +
           QLatin1Char(')');
}

} // namespace

bool SurveyCsvFile(QFile& file, CsvSurvey* survey)
{
    EncodingSniffer sniffer;
    LineCounter counter;
    qint64 total = 0;
    if (!ReadInPieces(file, [&](QByteArrayView piece) {
            if (survey->head.size() < kHeadSize)
                survey->head += piece.first(qMin<qsizetype>(piece.size(), kHeadSize - survey->head.size()));
            sniffer.feed(piece);
            counter.feed(piece);
            total += piece.size();
        }))
        return false;
    survey->whole = total == survey->head.size();
    survey->lines = counter.lines();
    survey->layout =
        csv::RecogniseLayout(survey->head, survey->whole, sniffer.result() == TextEncoding::Utf8);
    const QString name = file.fileName();
    const bool utf16 = survey->layout.encoding == csv::Encoding::Utf16Le ||
                       survey->layout.encoding == csv::Encoding::Utf16Be;
    if (total == 0 || (survey->whole && ReadCsvHead(*survey, survey->layout, 1).columns == 0))
        survey->refusal = QStringLiteral("Nelze načíst %1: soubor je prázdný.").arg(name);
    else if (!utf16 && survey->head.contains('\0'))
        survey->refusal =
            QStringLiteral("Nelze načíst %1: není to textový soubor CSV, obsahuje binární data.").arg(name);
    return file.seek(0);
}

CsvHead ReadCsvHead(const CsvSurvey& survey, const csv::Layout& layout, int rows)
{
    CsvHead head;
    head.rows = csv::ReadHead(survey.head, layout.separator, layout.encoding, survey.whole,
                              rows + (layout.header ? 1 : 0));
    if (layout.header && !head.rows.isEmpty())
        head.header = head.rows.takeFirst().cells;
    head.columns = head.header.size();
    for (const csv::Record& row : head.rows)
        head.columns = qMax(head.columns, row.cells.size());
    return head;
}

CsvProposal ProposeMapping(const QStringList& header,
                           const std::function<QString(const QString&)>& remembered)
{
    if (header.isEmpty())
        return {};
    if (const QString mapping = remembered(csv::HeaderKey(header)); !mapping.isEmpty())
        return {QStringLiteral("přiřazení sloupců uložené při minulém importu"),
                csv::MappingFromText(mapping, header.size())};
    const csv::Recognition known = csv::RecogniseExport(header);
    return {known.source, known.mapping};
}

void TakeRememberedHeader(CsvSurvey* survey, const std::function<QString(const QString&)>& remembered)
{
    if (survey->layout.header)
        return;
    csv::Layout asHeader = survey->layout;
    asHeader.header = true;
    const QStringList first = ReadCsvHead(*survey, asHeader, 0).header;
    survey->layout.header = !first.isEmpty() && !remembered(csv::HeaderKey(first)).isEmpty();
}

bool MapsPhone(const csv::Mapping& mapping)
{
    return mapping.contains(csv::Field::Phone);
}

void ImportCsvRows(QIODevice* file, const csv::Layout& layout, const csv::Mapping& mapping,
                   db::BulkWriter& writer, const std::function<bool(qint64)>& afterRow, CsvTally* tally)
{
    const QString datum = DateText(QDate::currentDate());
    csv::Reader reader(layout.separator, layout.encoding);
    QList<csv::Record> rows;
    QByteArray piece(kPiece, Qt::Uninitialized);
    bool headerLeft = layout.header;
    for (bool more = true; more;) {
        const qint64 got = file->read(piece.data(), piece.size());
        if (got < 0) {
            tally->readError = true;
            break;
        }
        rows.clear();
        more = got > 0 ? reader.feed(QByteArrayView(piece.constData(), got), &rows) : false;
        if (got == 0)
            reader.finish(&rows);
        for (const csv::Record& row : rows) {
            if (std::exchange(headerLeft, false))
                continue;
            if (!AddRow(row, mapping, datum, writer, tally) || !afterRow(row.line))
                return;
        }
    }
    tally->readFailure = reader.failure();
    tally->failedLine = reader.failedLine();
}

QString CsvSummary(const CsvTally& tally)
{
    QString text = !tally.stopReason.isEmpty()
                       ? QStringLiteral("Import z CSV byl zastaven kvůli chybě: ") + tally.stopReason
                   : tally.interrupted ? QStringLiteral("Import z CSV byl přerušen.")
                                       : QStringLiteral("Import z CSV je hotov.");
    text += QStringLiteral("\nPřidáno kontaktů: %1\nČísel již v DB: %2").arg(tally.added).arg(tally.present);
    if (tally.failed > 0)
        text += QStringLiteral("\nNepřidáno kvůli chybě: %1").arg(tally.failed);
    if (tally.withoutPhone > 0)
        text += QStringLiteral("\nVynecháno řádků bez telefonního čísla: %1").arg(tally.withoutPhone);
    if (const QString problem = ReadProblem(tally); !problem.isEmpty())
        text += QLatin1Char('\n') + problem;
    if (tally.refused.count() > 0)
        text += QLatin1Char('\n') + tally.refused.text();
    return text;
}

QString CsvStatusLine(const CsvTally& tally)
{
    const QString how = !tally.stopReason.isEmpty() ? QStringLiteral("Import z CSV zastaven kvůli chybě. ")
                        : tally.interrupted         ? QStringLiteral("Import z CSV přerušen. ")
                                                    : QStringLiteral("Import z CSV dokončen. ");
    QString text = how + QStringLiteral("Přidáno kontaktů: %1, čísel již v seznamu: %2, řádků bez čísla: %3")
                             .arg(tally.added)
                             .arg(tally.present)
                             .arg(tally.withoutPhone);
    if (tally.refused.count() > 0)
        text += QStringLiteral(", odmítnutých řádků: %1").arg(tally.refused.count());
    text += QLatin1Char('.');
    if (const QString problem = ReadProblem(tally); !problem.isEmpty())
        text += QLatin1Char(' ') + problem;
    return text;
}

CsvExport ExportCsvRows(const db::Query& rows, bool cp1250)
{
    csv::Writer writer(cp1250 ? csv::Flavour::Cp1250Semicolon : csv::Flavour::Utf8Comma);
    CsvExport exported;
    for (int row = 0; row < rows.recordCount(); ++row) {
        const ContactValues contact = ValuesAt(rows, row);
        QChar missing;
        if (!writer.add(contact, &missing))
            exported.refused << ContactNamed(contact) + (missing.isSurrogate()
                                                             ? QStringLiteral(": znak mimo windows-1250")
                                                             : QStringLiteral(": znak „%1“").arg(missing));
    }
    exported.bytes = writer.bytes();
    exported.written = writer.written();
    return exported;
}

} // namespace exchange
