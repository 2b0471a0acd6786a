#include "print/PrintCommands.h"

#include "db/contacts/Query.h"
#include "print/DirectoryPrint.h"
#include "ui/FileDialog.h"
#include "ui/LongOperation.h"
#include "ui/MessageDialog.h"
#include "ui/ProgressDisplay.h"

#include <QAction>
#include <QElapsedTimer>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QToolBar>

#include <optional>

namespace print {
namespace {

// The option survives the run in the settings file, so that "Tisk…" and the PDF follow the
// preview's choice.
const QString kSection = QStringLiteral("TISK");
const QString kNotesKey = QStringLiteral("Poznamky");

PrintRequest RequestFor(const Services& app)
{
    PrintRequest request;
    request.layout = app.window.shownLayout();
    request.notes = app.settings.value(kSection, kNotesKey) == QLatin1String("1");
    return request;
}

// A print done within about a second runs without the long-operation frame, so that a short
// list does not flash a progress bar and a greyed menu; a longer one gets it after that second.
constexpr qint64 kFrameAfterMs = 1000;

// The frame of a print that turns out long: progress by contacts, then by pages, "Přerušit" and
// a window that keeps painting.
class PrintFrame
{
public:
    PrintFrame(const Services& app, const QString& pagesCaption) : m_app(app), m_pagesCaption(pagesCaption)
    {
        m_clock.start();
    }

    bool step(PrintStage stage, int done, int total)
    {
        if (!m_operation) {
            if (m_clock.elapsed() < kFrameAfterMs)
                return true;
            m_operation.emplace(m_app, total, caption(stage));
        } else if (stage != m_stage) {
            if (m_operation->stopRequested())
                return false;
            // The same frame goes on counting the pages.
            if (ProgressDisplay* display = m_app.status.progress())
                display->start(total, caption(stage));
        }
        m_stage = stage;
        m_operation->step(done);
        return !m_operation->stopRequested();
    }

private:
    QString caption(PrintStage stage) const
    {
        return stage == PrintStage::Contacts ? QStringLiteral("Příprava stránek") : m_pagesCaption;
    }

    const Services m_app;
    QString m_pagesCaption;
    QElapsedTimer m_clock;
    std::optional<exchange::LongOperation> m_operation;
    PrintStage m_stage = PrintStage::Contacts;
};

PrintOutcome Run(const Services& app, const QString& pagesCaption,
                 const std::function<PrintOutcome(const PrintProgress&)>& job)
{
    PrintFrame frame(app, pagesCaption);
    return job([&frame](PrintStage stage, int done, int total) { return frame.step(stage, done, total); });
}

void PrintOn(const Services& app, QPrinter* printer, const PrintRequest& request, const QString& pagesCaption)
{
    const PrintOutcome outcome = Run(app, pagesCaption, [&](const PrintProgress& progress) {
        return PaintDirectory(printer, app.window.shownContacts(), request, progress);
    });
    if (outcome.stopped)
        printer->abort();
    if (outcome.failed || outcome.unread)
        ShowMessageDialogOver(app.window.window(),
                              QStringLiteral("Tisk na tiskárnu %1 se nezdařil: %2")
                                  .arg(printer->printerName(),
                                       outcome.failed ? QStringLiteral("tiskárna nepřijala stránky.")
                                                      : QStringLiteral("seznam se nepodařilo přečíst celý.")),
                              2, 0);
}

} // namespace

void PrintGrid(const Services& app)
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, app.window.window());
    if (dialog.exec() != QDialog::Accepted)
        return;
    PrintOn(app, &printer, RequestFor(app), QStringLiteral("Tisk stránek"));
}

void PreviewGrid(const Services& app)
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog dialog(&printer, app.window.window());
    PrintRequest request = RequestFor(app);
    if (auto* tools = dialog.findChild<QToolBar*>()) {
        QAction* notes = tools->addAction(QStringLiteral("Doplňující poznámky"));
        notes->setObjectName(QStringLiteral("tiskPoznamek"));
        notes->setCheckable(true);
        notes->setChecked(request.notes);
        QObject::connect(notes, &QAction::toggled, &dialog, [&](bool on) {
            request.notes = on;
            app.settings.setValue(kSection, kNotesKey, on ? QStringLiteral("1") : QStringLiteral("0"));
            if (auto* pages = dialog.findChild<QPrintPreviewWidget*>())
                pages->updatePreview();
        });
    }
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&](QPrinter* target) {
        PrintOn(app, target, request, QStringLiteral("Kreslení stránek"));
    });
    dialog.exec();
}

void SaveGridPdf(const Services& app)
{
    const QString path =
        FileDialog::getSaveFileName(app.window.window(), QStringLiteral("Uložit jako PDF"), QString(),
                                    QStringLiteral("Dokument PDF (*.pdf)"), QStringLiteral("pdf"));
    if (path.isEmpty())
        return;
    const PrintRequest request = RequestFor(app);
    QString why;
    PrintOutcome outcome;
    bool written = false;
    Run(app, QStringLiteral("Ukládání stránek do PDF"), [&](const PrintProgress& progress) {
        written = WritePdf(path, app.window.shownContacts(), request, progress, &outcome, &why);
        return outcome;
    });
    if (outcome.stopped)
        app.status.show(QStringLiteral("Ukládání do PDF bylo přerušeno, soubor nebyl uložen."));
    else if (!written)
        ShowMessageDialogOver(app.window.window(), QStringLiteral("PDF se nepodařilo uložit.\r") + why, 2, 0);
    else
        app.status.show(QStringLiteral("Uloženo do PDF: kontaktů %1, stran %2.")
                            .arg(outcome.contacts)
                            .arg(outcome.pages));
}

} // namespace print
