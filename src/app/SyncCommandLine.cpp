#include "app/SyncCommandLine.h"

#include "app/AppContext.h"
#include "app/IniFile.h"
#include "app/UserPlaces.h"
#include "db/contacts/Query.h"
#include "db/contacts/Upgrade.h"
#include "db/engine/Connection.h"
#include "db/engine/Engine.h"
#include "db/oldfiles/JetConversion.h"
#include "sync/SyncSettings.h"

#include <QCoreApplication>
#include <QFileInfo>
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
    synchro::SyncSettings saved =
        synchro::ReadSyncSettings([&ini](const QString& section, const QString& key) {
            return IniAccess(ini, settings::IniRead, section, key);
        });
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
    connection.setConnectionString(db::Connection::DefaultConnectionString());
    // A file of the earlier versions is converted as the opening converts it, without the question.
    if (const QString path = connection.sourcePath(); !path.isEmpty() && db::IsJetFile(path)) {
        QString reason;
        if (!db::ConvertJetFileInPlace(path, nullptr, nullptr, &reason, {})) {
            err << failed
                << QStringLiteral(
                       "soubor %1 ze starší verze programu nelze převést. %2 Původní soubor zůstal "
                       "beze změny.")
                       .arg(QFileInfo(path).fileName(), reason)
                << Qt::endl;
            return 1;
        }
    }
    try {
        connection.open();
    } catch (const db::EngineError& error) {
        err << failed << QStringLiteral("seznam nelze otevřít: ") << error.message() << Qt::endl;
        return 1;
    }
    if (connection.readOnly()) {
        err << failed << QStringLiteral("seznam je otevřen jen pro čtení.") << Qt::endl;
        return 1;
    }
    {
        db::Query versionQuery(&connection);
        const int version = ReadStructureVersion(&versionQuery);
        QString error;
        db::Query work(&connection);
        if (version < kCurrentStructureVersion && !UpgradeDatabase(version, &work, {}, &error)) {
            err << failed << error << Qt::endl;
            return 1;
        }
    }
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
