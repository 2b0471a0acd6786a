#include "print/PrintCommands.h"

#include "db/contacts/Query.h"
#include "print/DirectoryPrint.h"
#include "ui/FileDialog.h"
#include "ui/LongOperation.h"
#include "ui/MessageDialog.h"

#include <QAction>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QToolBar>

namespace print {
namespace {

// The option survives the run in the settings file, so that "Tisk…" and the PDF follow the
// preview's choice.
const QString kSection = QStringLiteral("TISK");
const QString kNotesKey = QStringLiteral("Poznamky");

PrintRequest RequestFor(MainWindowPort* main)
{
    PrintRequest request;
    request.layout = main->shownLayout();
    request.notes = main->setting(kSection, kNotesKey) == QLatin1String("1");
    return request;
}

// Paints in the long-operation frame: progress by contacts, "Přerušit" and a painting window.
PrintOutcome Run(MainWindowPort* main, const std::function<PrintOutcome(const PrintProgress&)>& job)
{
    const int count = main->shownContacts().recordCount();
    exchange::LongOperation operation(main, 2 * count, QStringLiteral("Příprava stránek"));
    return job([&operation](int done, int) {
        operation.step(done);
        return !operation.stopRequested();
    });
}

void PrintOn(MainWindowPort* main, QPrinter* printer, const PrintRequest& request)
{
    const PrintOutcome outcome = Run(main, [&](const PrintProgress& progress) {
        return PaintDirectory(printer, main->shownContacts(), request, progress);
    });
    if (outcome.stopped)
        printer->abort();
    if (outcome.failed)
        ShowMessageDialogOver(main->window(),
                              QStringLiteral("Tisk na tiskárnu %1 se nezdařil: tiskárna nepřijala stránky.")
                                  .arg(printer->printerName()),
                              2, 0);
}

} // namespace

void PrintGrid(MainWindowPort* main)
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, main->window());
    if (dialog.exec() != QDialog::Accepted)
        return;
    PrintOn(main, &printer, RequestFor(main));
}

void PreviewGrid(MainWindowPort* main)
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog dialog(&printer, main->window());
    PrintRequest request = RequestFor(main);
    if (auto* tools = dialog.findChild<QToolBar*>()) {
        QAction* notes = tools->addAction(QStringLiteral("Doplňující poznámky"));
        notes->setObjectName(QStringLiteral("tiskPoznamek"));
        notes->setCheckable(true);
        notes->setChecked(request.notes);
        QObject::connect(notes, &QAction::toggled, &dialog, [&](bool on) {
            request.notes = on;
            main->setSetting(kSection, kNotesKey, on ? QStringLiteral("1") : QStringLiteral("0"));
            if (auto* pages = dialog.findChild<QPrintPreviewWidget*>())
                pages->updatePreview();
        });
    }
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&](QPrinter* target) { PrintOn(main, target, request); });
    dialog.exec();
}

void SaveGridPdf(MainWindowPort* main)
{
    const QString path =
        FileDialog::getSaveFileName(main->window(), QStringLiteral("Uložit jako PDF"), QString(),
                                    QStringLiteral("Dokument PDF (*.pdf)"), QStringLiteral("pdf"));
    if (path.isEmpty())
        return;
    const PrintRequest request = RequestFor(main);
    QString why;
    PrintOutcome outcome;
    bool written = false;
    Run(main, [&](const PrintProgress& progress) {
        written = WritePdf(path, main->shownContacts(), request, progress, &outcome, &why);
        return outcome;
    });
    if (outcome.stopped)
        main->showStatus(QStringLiteral("Ukládání do PDF bylo přerušeno, soubor nebyl uložen."));
    else if (!written)
        ShowMessageDialogOver(main->window(), QStringLiteral("PDF se nepodařilo uložit.\r") + why, 2, 0);
    else
        main->showStatus(QStringLiteral("Uloženo do PDF: kontaktů %1, stran %2.")
                             .arg(outcome.contacts)
                             .arg(outcome.pages));
}

} // namespace print
