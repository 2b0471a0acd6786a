#include "app/CsvCommandLine.h"

#include "app/AppContext.h"
#include "app/AppServices.h"
#include "app/UserPlaces.h"
#include "app/WorkingFile.h"
#include "db/contacts/BulkWriter.h"
#include "db/contacts/Query.h"
#include "db/engine/Connection.h"
#include "db/engine/Engine.h"
#include "db/engine/ErrorText.h"
#include "exchange/CsvImport.h"
#include "formats/InputFile.h"
#include "ui/SafeWrite.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

namespace {

// The columns of the file's first row, as the message names them.
QString ColumnsFound(const QStringList& cells)
{
    QStringList named;
    for (const QString& cell : cells)
        named << QStringLiteral("„%1“").arg(cell.trimmed());
    return named.join(QStringLiteral(", "));
}

int ImportCsv(const QString& path, QTextStream& out, QTextStream& err)
{
    const QString shown = QDir::toNativeSeparators(path);
    const QString failed = QStringLiteral("Import z CSV se nezdařil: ");
    if (const QString refusal = exchange::SpecialInputRefusal(path); !refusal.isEmpty()) {
        err << refusal << Qt::endl;
        return 1;
    }
    QFile file(path);
    exchange::CsvSurvey survey;
    if (!file.open(QIODevice::ReadOnly) || !exchange::SurveyCsvFile(file, &survey)) {
        err << failed << QStringLiteral("soubor %1 nelze přečíst: %2").arg(shown, db::FileErrorText(file))
            << Qt::endl;
        return 1;
    }
    if (!survey.refusal.isEmpty()) {
        err << survey.refusal << Qt::endl;
        return 1;
    }
    const app::IniSettings settingsFile;
    const std::function<QString(const QString&)> remembered = [&settingsFile](const QString& key) {
        return settingsFile.value(QLatin1String(csv::kSettingsSection), key);
    };
    exchange::TakeRememberedHeader(&survey, remembered);
    const exchange::CsvHead head = exchange::ReadCsvHead(survey, survey.layout, 1);
    const exchange::CsvProposal proposal = exchange::ProposeMapping(head.header, remembered);
    if (!exchange::MapsPhone(proposal.mapping)) {
        const QStringList first =
            head.header.isEmpty() && !head.rows.isEmpty() ? head.rows.first().cells : head.header;
        err << failed
            << QStringLiteral("záhlaví souboru %1 nebylo rozpoznáno a přiřazení jeho sloupců není uloženo "
                              "(přiřaďte je jednou v programu: Nástroje › Importovat z CSV…). Nalezené "
                              "sloupce: %2.")
                   .arg(shown, ColumnsFound(first))
            << Qt::endl;
        return 1;
    }
    db::Connection connection;
    if (!OpenWorkingFile(connection, failed, err))
        return 1;
    exchange::CsvTally tally;
    {
        db::Query work(&connection);
        db::BulkWriter writer(&connection, &work, exchange::CsvWriterKind(proposal.mapping));
        exchange::ImportCsvRows(
            &file, survey.layout, proposal.mapping, writer,
            [&writer](qint64) { return writer.commitIfDue(); }, &tally);
        writer.commit();
        tally.stopReason = writer.stopReason();
        tally.added = writer.added();
    }
    const bool ok = tally.stopReason.isEmpty() && !tally.readError;
    (ok ? out : err) << exchange::CsvStatusLine(tally) << Qt::endl;
    return ok ? 0 : 1;
}

int ExportCsv(const QString& path, bool cp1250, QTextStream& out, QTextStream& err)
{
    const QString shown = QDir::toNativeSeparators(path);
    const QString failed = QStringLiteral("Soubor CSV %1 se nepodařilo uložit: ").arg(shown);
    db::Connection connection;
    if (!OpenWorkingFile(connection, failed, err))
        return 1;
    db::Query rows(&connection);
    db::ContactSearch all;
    all.form = db::ContactSearch::Form::TitleClick;
    all.orderColumn = QStringLiteral("jmeno");
    try {
        rows.setSearch(all);
        rows.open();
    } catch (const db::EngineError& error) {
        err << failed << QStringLiteral("seznam nelze přečíst: ") << error.message() << Qt::endl;
        return 1;
    }
    const exchange::CsvExport exported = exchange::ExportCsvRows(rows, cp1250);
    QString why;
    if (!SafeWriteFile(path, exported.bytes, &why)) {
        err << failed << why << Qt::endl;
        return 1;
    }
    QString line =
        QStringLiteral("Do souboru CSV %1 bylo zapsáno kontaktů: %2.").arg(shown).arg(exported.written);
    if (!exported.refused.isEmpty())
        line += QStringLiteral(" Vynecháno kontaktů se znakem, který kódování windows-1250 nemá: %1.")
                    .arg(exported.refused.size());
    out << line << Qt::endl;
    return 0;
}

} // namespace

int RunCsvCommand(const QString& importPath, const QString& exportPath, bool cp1250)
{
    const QCoreApplication application(CommandLineArgc(), CommandLineArgv());
    QTextStream out(stdout);
    QTextStream err(stderr);
    app::ChooseDataPlaces();
    return importPath.isEmpty() ? ExportCsv(exportPath, cp1250, out, err) : ImportCsv(importPath, out, err);
}
