#include "update/CheckForUpdates.h"

#include "ui/MainWindowPort.h"
#include "ui/MessageDialog.h"
#include "ui/OpenUrl.h"
#include "update/UpdateInfo.h"

#include "Version.h"

#include <QWidget>

namespace update {

void CheckForUpdates(MainWindowPort& window, QWidget* busyPanel, const CheckOptions& options)
{
    if (busyPanel) {
        busyPanel->show();
        busyPanel->raise();
        busyPanel->repaint();
    }
    const QString text = HttpGetText(UpdateFileUrl(options.site), options.timeoutMs);
    if (busyPanel)
        busyPanel->hide();

    const QStringList lines = SplitLines(text);
    QWidget* over = window.window();
    if (lines.isEmpty()) {
        ShowMessageDialogOver(over,
                              QStringLiteral("Nepodařilo se zjistit informace o aktualizacích!\r"
                                             "Ověřte funkčnost připojení k internetu."),
                              0, 0);
        return;
    }

    const QString own = options.ownVersion.isEmpty() ? QStringLiteral(ZV_FILE_VERSION) : options.ownVersion;
    for (const Finding& finding : JudgeUpdateText(lines, own)) {
        switch (finding.verdict) {
        case Verdict::Same:
            ShowMessageDialogOver(over, QStringLiteral("Na Webu není aktuálně nová verze ke stažení."), 0, 0);
            break;
        case Verdict::NotNewer:
            ShowMessageDialogOver(over, QStringLiteral("Na Webu není novější verze programu."), 0, 0);
            break;
        case Verdict::Newer: {
            const QString question = QStringLiteral("Na Webu je nová verze programu \"") + finding.version +
                                     QStringLiteral("\" z ") + finding.date +
                                     QStringLiteral(" ke stažení, chcete otevřít stránku programu?");
            if (ShowMessageDialogOver(over, question, 1, 1) == 0)
                OpenUrl(QUrl(ProgramPageUrl(options.site)));
            break;
        }
        }
    }
}

} // namespace update
