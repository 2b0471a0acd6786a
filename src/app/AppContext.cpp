#include "app/AppContext.h"

#include "db/engine/ErrorLog.h"
#include "ui/MessageDialog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>

namespace app {
namespace {
QString g_executableDir;
QString g_executableFileName;
std::optional<bool> g_trayAvailable;
} // namespace

QWidget* MainWindow()
{
    return DialogParent();
}

void SetMainWindow(QWidget* window)
{
    SetDialogParent(window);
}

QString ExecutableDir()
{
    if (g_executableDir.isEmpty())
        return QDir::toNativeSeparators(QCoreApplication::applicationDirPath()) + QDir::separator();
    return g_executableDir;
}

void SetExecutableDir(const QString& dir)
{
    g_executableDir = dir.isEmpty() || dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
    SetErrorLogDir(g_executableDir);
}

QString ExecutableFileName()
{
    if (g_executableFileName.isEmpty())
        return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    return g_executableFileName;
}

void SetExecutableFileName(const QString& name)
{
    g_executableFileName = name;
}

bool TrayAvailable()
{
    return g_trayAvailable ? *g_trayAvailable : QSystemTrayIcon::isSystemTrayAvailable();
}

void SetTrayAvailable(std::optional<bool> available)
{
    g_trayAvailable = available;
}

} // namespace app
