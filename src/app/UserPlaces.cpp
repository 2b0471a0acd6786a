#include "app/UserPlaces.h"

#include "app/AppContext.h"
#include "db/engine/Connection.h"
#include "db/engine/ErrorLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace app {
namespace {

QString g_settingsDir;

QString WithSlash(const QString& dir)
{
    return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

QString AppFolderName()
{
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("Zvonisty") : name;
}

} // namespace

bool UsesPerUserPlaces()
{
    if (qEnvironmentVariable("ZVONISTY_PER_USER") == QLatin1String("1"))
        return true;
    return !QFileInfo(ExecutableDir()).isWritable();
}

QString PerUserConfigDir()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    return dir.isEmpty() ? QDir::homePath() + QStringLiteral("/.config/") + AppFolderName() : dir;
}

QString PerUserStateDir()
{
    // Qt has no location for state; the XDG rule: an absolute $XDG_STATE_HOME, else ~/.local/state.
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QLatin1Char('/') + AppFolderName();
}

QString PerUserDataDir()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return dir.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share/") + AppFolderName() : dir;
}

void ChooseDataPlaces()
{
    if (!UsesPerUserPlaces()) {
        SetSettingsDir(QString());
        SetErrorLogDir(ExecutableDir());
        return;
    }
    // A folder that cannot be created shows itself later: the settings are not saved and the
    // log cannot be written, as beside a read-only executable.
    QDir().mkpath(PerUserConfigDir());
    QDir().mkpath(PerUserStateDir());
    SetSettingsDir(PerUserConfigDir());
    SetErrorLogDir(WithSlash(PerUserStateDir()));
}

QString SettingsDir()
{
    return g_settingsDir.isEmpty() ? ExecutableDir() : g_settingsDir;
}

void SetSettingsDir(const QString& dir)
{
    g_settingsDir = dir.isEmpty() ? dir : WithSlash(dir);
}

bool EnterUserDataFolder(QString* why)
{
    const QString dir = PerUserDataDir();
    if (!QDir().mkpath(dir) || !QDir::setCurrent(dir)) {
        if (why)
            *why = QStringLiteral("Nelze použít složku dat %1.").arg(QDir::toNativeSeparators(dir));
        return false;
    }
    const QString file = QDir(dir).filePath(QStringLiteral("Zvonisty.mdb"));
    if (QFileInfo::exists(file))
        return true;
    // The refusal names the file and why.
    return db::CreateDirectoryDatabase(file, why);
}

} // namespace app
