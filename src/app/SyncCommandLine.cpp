#include "app/SyncCommandLine.h"

#include "app/AppContext.h"
#include "app/IniFile.h"
#include "app/UserPlaces.h"
#include "db/Connection.h"
#include "db/Engine.h"
#include "db/Query.h"
#include "db/Upgrade.h"
#include "sync/CardDavClient.h"
#include "sync/SyncSettings.h"
#include "sync/Synchronizer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

int RunSyncCommand(const QString& urlText)
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

    db::Connection connection;
    connection.setConnectionString(db::Connection::DefaultConnectionString());
    try {
        connection.open();
    } catch (const db::EngineError& error) {
        err << QStringLiteral("Synchronizace se nezdařila: seznam nelze otevřít: ") << error.message()
            << Qt::endl;
        return 1;
    }
    if (connection.readOnly()) {
        err << QStringLiteral("Synchronizace se nezdařila: seznam je otevřen jen pro čtení.") << Qt::endl;
        return 1;
    }
    {
        db::Query versionQuery(&connection);
        if (ReadStructureVersion(&versionQuery) < kCurrentStructureVersion) {
            err << QStringLiteral(
                       "Synchronizace se nezdařila: seznam má starší strukturu; spusťte nejprve program.")
                << Qt::endl;
            return 1;
        }
    }
    carddav::CardDavClient client;
    client.setCredentials(user, password);
    synchro::Synchronizer synchronizer(&connection, &client);
    const synchro::SyncOutcome outcome = synchronizer.run(url);
    (outcome.ok ? out : err) << synchro::SyncSummary(outcome) << Qt::endl;
    return outcome.ok ? 0 : 1;
}
