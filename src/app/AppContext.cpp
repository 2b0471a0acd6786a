#include "app/AppContext.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QWidget>

namespace app {
namespace {
QPointer<QWidget> g_mainWindow;
QString g_executableDir;
QString g_executableFileName;
} // namespace

QWidget* MainWindow()
{
    return g_mainWindow.data();
}

void SetMainWindow(QWidget* window)
{
    g_mainWindow = window;
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

} // namespace app
