#include "exchange/CsvCommands.h"

#include "db/contacts/BulkWriter.h"
#include "db/contacts/Directory.h"
#include "db/contacts/Query.h"
#include "db/engine/ErrorText.h"
#include "exchange/CsvImport.h"
#include "exchange/CsvMappingDialog.h"
#include "exchange/TextImport.h"
#include "formats/InputFile.h"
#include "ui/FileDialog.h"
#include "ui/LongOperation.h"
#include "ui/MainWindowPort.h"
#include "ui/MessageDialog.h"
#include "ui/SafeWrite.h"
#include "ui/Services.h"

#include <QFile>
#include <QFileInfo>

#include <climits>

namespace exchange {

const char* const kCsvFileFilter = "CSV [*.csv]|*.csv|Textový soubor [*.txt]|*.txt|Vše|*.*";

namespace {

constexpr qsizetype kListedContacts = 10;

void Tell(const Services& app, const QString& text, int icon = 0)
{
    ShowMessageDialogOver(app.window.window(), text, icon, 0);
}

QString RefusalQuestion(const QStringList& refused)
{
    QString text = QStringLiteral("Tyto kontakty obsahují znak, který kódování windows-1250 nemá, a do "
                                  "souboru se neuloží:");
    for (qsizetype i = 0; i < refused.size() && i < kListedContacts; ++i)
        text += QLatin1Char('\n') + refused.at(i);
    if (refused.size() > kListedContacts)
        text += QStringLiteral("\n… a dalších %1").arg(refused.size() - kListedContacts);
    return text + QStringLiteral("\nUložit ostatní kontakty?");
}

// The dialog until the user reads the file with a mapping or gives up; the mapping is
// remembered for the header row.
bool ChooseMapping(const Services& app, CsvSurvey& survey, csv::Layout* layout, csv::Mapping* mapping)
{
    const std::function<QString(const QString&)> remembered = [&app](const QString& key) {
        return app.settings.value(QLatin1String(csv::kSettingsSection), key);
    };
    TakeRememberedHeader(&survey, remembered);
    TDialogCsv dialog(
        survey, [&remembered](const QStringList& header) { return ProposeMapping(header, remembered); },
        app.window.window());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *layout = dialog.layout();
    *mapping = dialog.mapping();
    if (!dialog.header().isEmpty() &&
        !app.settings.setValue(QLatin1String(csv::kSettingsSection), csv::HeaderKey(dialog.header()),
                               csv::MappingText(*mapping)))
        Tell(app,
             QStringLiteral("Přiřazení sloupců nelze uložit do souboru nastavení; soubor se načte i tak, "
                            "příště je bude třeba přiřadit znovu."),
             2);
    return true;
}

} // namespace

void ImportCsvFile(const Services& app)
{
    if (!app.window.shownContacts().isOpen())
        return;
    if (app.window.readOnly()) {
        ShowReadOnlyRefusal(app);
        return;
    }
    const QString path = FileDialog::getOpenFileName(app.window.window(), QStringLiteral("Importovat z CSV"),
                                                     QString(), QString::fromUtf8(kCsvFileFilter));
    if (path.isEmpty())
        return;
    if (const QString refusal = SpecialInputRefusal(path); !refusal.isEmpty()) {
        Tell(app, refusal, 2);
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Tell(app, QStringLiteral("Soubor %1 nelze otevřít: %2").arg(path, db::FileErrorText(file)), 2);
        return;
    }
    CsvSurvey survey;
    if (!SurveyCsvFile(file, &survey)) {
        Tell(app, QStringLiteral("Soubor %1 nelze přečíst: %2").arg(path, db::FileErrorText(file)), 2);
        return;
    }
    if (!survey.refusal.isEmpty()) {
        Tell(app, survey.refusal, 2);
        return;
    }
    csv::Layout layout;
    csv::Mapping mapping;
    if (!ChooseMapping(app, survey, &layout, &mapping))
        return;

    CsvTally tally;
    {
        LongOperation operation(app, int(qMin<qint64>(survey.lines, INT_MAX)),
                                QStringLiteral("Načítání CSV"));
        const auto writing = app.window.directory().writer(CsvWriterKind(mapping));
        db::BulkWriter& writer = *writing;
        bool gridOk = true;
        ImportCsvRows(
            &file, layout, mapping, writer,
            [&](qint64 line) {
                operation.step(int(qMin<qint64>(line, INT_MAX)));
                if (!writer.commitIfDue())
                    return false;
                gridOk = operation.reopenGridIfDue(writer);
                if (!gridOk)
                    return false;
                tally.interrupted = operation.stopRequested() && line < survey.lines;
                return !tally.interrupted;
            },
            &tally);
        writer.commit();
        if (gridOk)
            operation.reopenGrid(writer);
        tally.stopReason = writer.stopReason();
        tally.added = writer.added();
    }
    file.close();
    if (tally.added > 0)
        app.window.reloadGroups();
    app.status.show(CsvStatusLine(tally));
    Tell(app, CsvSummary(tally));
}

void ExportCsvFile(const Services& app)
{
    const db::Query& grid = app.window.shownContacts();
    if (!grid.isOpen())
        return;
    if (grid.recordCount() == 0) {
        Tell(app, QStringLiteral("Seznam neukazuje žádný kontakt, není co exportovat."));
        return;
    }
    const int answer = ShowMessageDialogOver(
        app.window.window(),
        QStringLiteral("Zapsat soubor v kódování UTF-8 s oddělovačem „,“ (čte jej Google, Outlook i Excel)?\n"
                       "Ne = v kódování windows-1250 s oddělovačem „;“ (otevře jej přímo český Excel)."),
        1, 2);
    if (answer != 0 && answer != 1)
        return;
    const QString path =
        FileDialog::getSaveFileName(app.window.window(), QStringLiteral("Exportovat do CSV"), QString(),
                                    QString::fromUtf8(kCsvFileFilter), QStringLiteral("csv"));
    if (path.isEmpty())
        return;
    const CsvExport exported = ExportCsvRows(grid, answer == 1);
    if (!exported.refused.isEmpty() &&
        ShowMessageDialogOver(app.window.window(), RefusalQuestion(exported.refused), 1, 1) != 0)
        return;
    QString why;
    if (!SafeWriteFile(path, exported.bytes, &why)) {
        Tell(app, QStringLiteral("Soubor CSV se nepodařilo uložit.\n") + why, 2);
        return;
    }
    QString done = QStringLiteral("Do souboru CSV bylo zapsáno kontaktů: %1").arg(exported.written);
    if (!exported.refused.isEmpty())
        done += QStringLiteral("\nVynecháno kontaktů: %1").arg(exported.refused.size());
    Tell(app, done);
}

} // namespace exchange
