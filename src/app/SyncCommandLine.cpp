#include "app/SyncCommandLine.h"

#include "app/AppContext.h"
#include "app/IniFile.h"
#include "app/UserPlaces.h"
#include "app/WorkingFile.h"
#include "db/engine/Connection.h"
#include "sync/SyncJob.h"
#include "sync/SyncSettings.h"

#include <QCoreApplication>
#include <QTextStream>

int RunSyncCommand(const QString& urlText, bool forceDelete)
{
    static int argc = 1;
    static char name[] = "zvonisty";
    static char* argv[] = {name, nullptr};
    const QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    app::ChooseDataPlaces();
    const QString ini = SettingsFilePath(app::SettingsDir(), app::ExecutableFileName());
    const QString section = QLatin1String(synchro::kSettingsSection);
    const QString address =
        urlText.isEmpty() ? IniAccess(ini, settings::IniRead, section, QStringLiteral("Adresa")) : urlText;
    const QString user = qEnvironmentVariableIsSet("ZVONISTY_SYNC_USER")
                             ? qEnvironmentVariable("ZVONISTY_SYNC_USER")
                             : IniAccess(ini, settings::IniRead, section, QStringLiteral("Uzivatel"));
    if (address.isEmpty()) {
        err << QStringLiteral("Synchronizace není nastavena: chybí adresa serveru (--sync-url).") << Qt::endl;
        return 2;
    }
    QUrl url;
    bool plain = false;
    QString why;
    if (!synchro::UsableAddress(address, &url, &plain, &why)) {
        err << QStringLiteral("Synchronizace se nezdařila: ") << why << Qt::endl;
        return 2;
    }
    const QString password = qEnvironmentVariableIsSet("ZVONISTY_SYNC_PASSWORD")
                                 ? qEnvironmentVariable("ZVONISTY_SYNC_PASSWORD")
                                 : synchro::ReadPassword(address, user);

    const QString failed = QStringLiteral("Synchronizace se nezdařila: ");
    db::Connection connection;
    if (!OpenWorkingFile(connection, failed, err))
        return 1;
    synchro::SyncJob job(&connection);
    job.emptied = [forceDelete](const synchro::EmptiedSide&) {
        return forceDelete ? synchro::EmptiedChoice::Delete : synchro::EmptiedChoice::Stop;
    };
    const synchro::SyncOutcome outcome = job.run({url, user, password});
    QString line = synchro::SyncSummary(outcome);
    if (outcome.stoppedAtEmptied)
        line += QStringLiteral(" Smazání povolí volba --force-delete.");
    (outcome.ok ? out : err) << line << Qt::endl;
    return outcome.ok ? 0 : 1;
}
