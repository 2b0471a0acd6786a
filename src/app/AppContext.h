#pragma once

#include <QString>

#include <optional>

class QWidget;

// Process-wide facts that several subsystems need: the main window over which
// messages are centred, and the folder of the executable (settings, error log).
namespace app {

QWidget* MainWindow();
void SetMainWindow(QWidget* window);

// The executable's folder, with a trailing slash. Tests point it at a temporary folder.
QString ExecutableDir();
void SetExecutableDir(const QString& dir);

// The executable's file name without its folder ("zvonisty"); tests may change it too.
QString ExecutableFileName();
void SetExecutableFileName(const QString& name);

// Whether the desktop has a notification area for the tray icon. Tests decide it themselves,
// so that they do not depend on the desktop they run on.
bool TrayAvailable();
void SetTrayAvailable(std::optional<bool> available);

} // namespace app
