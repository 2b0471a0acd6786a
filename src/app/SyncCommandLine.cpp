#include "app/SyncCommandLine.h"

#include "app/AppContext.h"
#include "app/AppServices.h"
#include "app/UserPlaces.h"
#include "app/WorkingFile.h"
#include "db/engine/Connection.h"
#include "sync/SyncJob.h"
#include "sync/SyncSettings.h"

#include <QCoreApplication>
#include <QTextStream>

int RunSyncCommand(const QString& urlText, bool forceDelete)
{
    const QCoreApplication application(CommandLineArgc(), CommandLineArgv());
    QTextStream out(stdout);
    QTextStream err(stderr);
    app::ChooseDataPlaces();
    synchro::SyncSettings saved = synchro::ReadSyncSettings(app::IniSettings());
    if (!urlText.isEmpty())
        saved.address = urlText;
    if (qEnvironmentVariableIsSet("ZVONISTY_SYNC_USER"))
        saved.user = qEnvironmentVariable("ZVONISTY_SYNC_USER");
    if (saved.address.isEmpty()) {
        err << QStringLiteral("Synchronizace není nastavena: chybí adresa serveru (--sync-url).") << Qt::endl;
        return 2;
    }
    std::optional<QString> password;
    if (qEnvironmentVariableIsSet("ZVONISTY_SYNC_PASSWORD"))
        password = qEnvironmentVariable("ZVONISTY_SYNC_PASSWORD");
    const QString failed = QStringLiteral("Synchronizace se nezdařila: ");
    QString why;
    const std::optional<synchro::SyncRequest> request = synchro::RunRequest(saved, false, &why, password);
    if (!request) {
        err << failed << why << Qt::endl;
        return 2;
    }

    db::Connection connection;
    if (!OpenWorkingFile(connection, failed, err))
        return 1;
    synchro::SyncJob job(&connection);
    job.emptied = [forceDelete](const synchro::EmptiedSide&) {
        return forceDelete ? synchro::EmptiedChoice::Delete : synchro::EmptiedChoice::Stop;
    };
    const synchro::SyncOutcome outcome = job.run(*request);
    QString line = synchro::SyncSummary(outcome);
    if (outcome.stoppedAtEmptied)
        line += QStringLiteral(" Smazání povolí volba --force-delete.");
    (outcome.ok ? out : err) << line << Qt::endl;
    return outcome.ok ? 0 : 1;
}
