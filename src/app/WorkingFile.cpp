#include "app/WorkingFile.h"

#include "db/contacts/Query.h"
#include "db/contacts/Upgrade.h"
#include "db/engine/Connection.h"
#include "db/engine/Engine.h"
#include "db/oldfiles/JetConversion.h"

#include <QFileInfo>
#include <QTextStream>

bool OpenWorkingFile(db::Connection& connection, const QString& failed, QTextStream& err)
{
    connection.setConnectionString(db::Connection::DefaultConnectionString());
    if (const QString path = connection.sourcePath(); !path.isEmpty() && db::IsJetFile(path)) {
        QString reason;
        if (!db::ConvertJetFileInPlace(path, nullptr, nullptr, &reason, {})) {
            err << failed
                << QStringLiteral(
                       "soubor %1 ze starší verze programu nelze převést. %2 Původní soubor zůstal "
                       "beze změny.")
                       .arg(QFileInfo(path).fileName(), reason)
                << Qt::endl;
            return false;
        }
    }
    try {
        connection.open();
    } catch (const db::EngineError& error) {
        err << failed << QStringLiteral("seznam nelze otevřít: ") << error.message() << Qt::endl;
        return false;
    }
    if (connection.readOnly()) {
        err << failed << QStringLiteral("seznam je otevřen jen pro čtení.") << Qt::endl;
        return false;
    }
    db::Query versionQuery(&connection);
    const int version = ReadStructureVersion(&versionQuery);
    QString error;
    db::Query work(&connection);
    if (version < kCurrentStructureVersion && !UpgradeDatabase(version, &work, {}, &error)) {
        err << failed << error << Qt::endl;
        return false;
    }
    return true;
}

int& CommandLineArgc()
{
    static int argc = 1;
    return argc;
}

char** CommandLineArgv()
{
    static char name[] = "zvonisty";
    static char* argv[] = {name, nullptr};
    return argv;
}
