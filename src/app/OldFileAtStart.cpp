#include "app/OldFileAtStart.h"

#include "app/OpeningDialog.h"
#include "db/engine/CzechCount.h"
#include "db/oldfiles/JetConversion.h"
#include "ui/MessageDialog.h"

#include <QFileInfo>

OldFileAtStart ConvertOldFileAtStart(QWidget* owner, const QString& path, QString* why, QString* done)
{
    if (path.isEmpty() || !db::IsJetFile(path))
        return OldFileAtStart::NotOld;
    const QString name = QFileInfo(path).fileName();
    const QString backup = QFileInfo(db::FreeBackupName(path)).fileName();
    if (ShowMessageDialogOver(
            nullptr,
            QStringLiteral("Soubor %1 pochází ze starší verze programu. Převést jej do nového "
                           "formátu? Původní soubor zůstane uložen jako %2.")
                .arg(name, backup),
            1, 1) != 0)
        return OldFileAtStart::Declined;
    QString reason, kept;
    QList<db::JetTableSummary> tables;
    bool converted = false;
    {
        const OpeningProgressWindow progress(owner);
        db::OpeningStep step{QStringLiteral("Převádím soubor ze starší verze programu..."), 0, 1, false};
        db::ReportOpeningStep(step);
        step.working = true;
        converted =
            db::ConvertJetFileInPlace(path, &kept, &tables, &reason, [&] { db::ReportOpeningStep(step); });
    }
    if (converted) {
        if (done)
            *done = QStringLiteral("Soubor %1 byl převeden do nového formátu: %2, %3. Původní soubor je "
                                   "uložen jako %4.")
                        .arg(name,
                             db::CzechCount(db::JetRowsOf(tables, QStringLiteral("zvonisty")),
                                            QStringLiteral("kontakt"), QStringLiteral("kontakty"),
                                            QStringLiteral("kontaktů")),
                             db::CzechCount(db::JetRowsOf(tables, QStringLiteral("poznamky")),
                                            QStringLiteral("doplňující poznámka"),
                                            QStringLiteral("doplňující poznámky"),
                                            QStringLiteral("doplňujících poznámek")),
                             QFileInfo(kept).fileName());
        return OldFileAtStart::Converted;
    }
    if (why)
        *why =
            QStringLiteral("Soubor %1 ze starší verze programu nelze převést. %2 Původní soubor zůstal beze "
                           "změny.")
                .arg(name, reason);
    return OldFileAtStart::Failed;
}
