#include "exchange/CsvCommands.h"

#include "db/contacts/Directory.h"
#include "db/contacts/BulkWriter.h"
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

#include <QFile>
#include <QFileInfo>

#include <climits>

namespace exchange {

const char* const kCsvFileFilter = "CSV [*.csv]|*.csv|Textový soubor [*.txt]|*.txt|Vše|*.*";

namespace {

constexpr qsizetype kListedContacts = 10;

void Tell(MainWindowPort* main, const QString& text, int icon = 0)
{
    ShowMessageDialogOver(main->window(), text, icon, 0);
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
bool ChooseMapping(MainWindowPort* main, CsvSurvey& survey, csv::Layout* layout, csv::Mapping* mapping)
{
    const std::function<QString(const QString&)> remembered = [main](const QString& key) {
        return main->setting(QLatin1String(csv::kSettingsSection), key);
    };
    TakeRememberedHeader(&survey, remembered);
    TDialogCsv dialog(
        survey, [&remembered](const QStringList& header) { return ProposeMapping(header, remembered); },
        main->window());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *layout = dialog.layout();
    *mapping = dialog.mapping();
    if (!dialog.header().isEmpty())
        main->setSetting(QLatin1String(csv::kSettingsSection), csv::HeaderKey(dialog.header()),
                         csv::MappingText(*mapping));
    return true;
}

} // namespace

void ImportCsvFile(MainWindowPort* main)
{
    if (!main->shownContacts().isOpen())
        return;
    if (main->readOnly()) {
        ShowReadOnlyRefusal(main);
        return;
    }
    const QString path = FileDialog::getOpenFileName(main->window(), QStringLiteral("Importovat z CSV"),
                                                     QString(), QString::fromUtf8(kCsvFileFilter));
    if (path.isEmpty())
        return;
    if (const QString refusal = SpecialInputRefusal(path); !refusal.isEmpty()) {
        Tell(main, refusal, 2);
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Tell(main, QStringLiteral("Soubor %1 nelze otevřít: %2").arg(path, db::FileErrorText(file)), 2);
        return;
    }
    CsvSurvey survey;
    if (!SurveyCsvFile(file, &survey)) {
        Tell(main, QStringLiteral("Soubor %1 nelze přečíst: %2").arg(path, db::FileErrorText(file)), 2);
        return;
    }
    if (!survey.refusal.isEmpty()) {
        Tell(main, survey.refusal, 2);
        return;
    }
    csv::Layout layout;
    csv::Mapping mapping;
    if (!ChooseMapping(main, survey, &layout, &mapping))
        return;

    CsvTally tally;
    {
        LongOperation operation(main, int(qMin<qint64>(survey.lines, INT_MAX)),
                                QStringLiteral("Načítání CSV"));
        const auto writing = main->directory().writer(db::BulkWriter::Kind::VCard);
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
        main->reloadGroups();
    main->showStatus(CsvStatusLine(tally));
    Tell(main, CsvSummary(tally));
}

void ExportCsvFile(MainWindowPort* main)
{
    const db::Query& grid = main->shownContacts();
    if (!grid.isOpen())
        return;
    if (grid.recordCount() == 0) {
        Tell(main, QStringLiteral("Seznam neukazuje žádný kontakt, není co exportovat."));
        return;
    }
    const int answer = ShowMessageDialogOver(
        main->window(),
        QStringLiteral("Zapsat soubor v kódování UTF-8 s oddělovačem „,“ (čte jej Google, Outlook i Excel)?\n"
                       "Ne = v kódování windows-1250 s oddělovačem „;“ (otevře jej přímo český Excel)."),
        1, 2);
    if (answer != 0 && answer != 1)
        return;
    const QString path =
        FileDialog::getSaveFileName(main->window(), QStringLiteral("Exportovat do CSV"), QString(),
                                    QString::fromUtf8(kCsvFileFilter), QStringLiteral("csv"));
    if (path.isEmpty())
        return;
    const CsvExport exported = ExportCsvRows(grid, answer == 1);
    if (!exported.refused.isEmpty() &&
        ShowMessageDialogOver(main->window(), RefusalQuestion(exported.refused), 1, 1) != 0)
        return;
    QString why;
    if (!SafeWriteFile(path, exported.bytes, &why)) {
        Tell(main, QStringLiteral("Soubor CSV se nepodařilo uložit.\n") + why, 2);
        return;
    }
    QString done = QStringLiteral("Do souboru CSV bylo zapsáno kontaktů: %1").arg(exported.written);
    if (!exported.refused.isEmpty())
        done += QStringLiteral("\nVynecháno kontaktů: %1").arg(exported.refused.size());
    Tell(main, done);
}

} // namespace exchange
