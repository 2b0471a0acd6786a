// The information windows and the update check of the main window.
#include "app/TMain.h"

#include "app/IniFile.h"
#include "info/Tabout.h"
#include "info/TextWindows.h"
#ifdef ZV_UPDATE_CHECK
#include "update/CheckForUpdates.h"
#endif

#include "Version.h"

#include <QLabel>

QString TMain::webSite() const
{
    const QString configured =
        IniAccess(settingsPath(), settings::IniRead, QStringLiteral("AKTUALIZACE"), QStringLiteral("Web"))
            .trimmed();
    return configured.isEmpty() ? QStringLiteral(ZV_WEB_SITE) : configured;
}

void TMain::About1Click()
{
    Tabout about(this, webSite());
    about.exec();
}

void TMain::Npovda2Click()
{
    TNapoveda help(this);
    help.exec();
}

void TMain::Zmnyprogramu1Click()
{
    TZmenyProgramu changes(this);
    changes.exec();
}

void TMain::Zobrazstrukturunatanchdat2Click()
{
    TstrukturaDat structure(this);
    structure.exec();
}

#ifdef ZV_UPDATE_CHECK
void TMain::Zjistitnovaktualizace1Click()
{
    update::CheckOptions options;
    options.site = webSite();
    update::CheckForUpdates(*this, PanelPracuji, options);
}
#endif
