#pragma once

#include <QString>

// Where the program keeps its files. Beside a writable executable (a copy unpacked into a folder
// of the user's) the settings file and Error.log stay beside it; an installed program, whose folder
// the user cannot write, keeps them in the per-user places of the desktop:
//   settings  $XDG_CONFIG_HOME/Zvonisty/ (QStandardPaths' application config location)
//   Error.log $XDG_STATE_HOME/Zvonisty/, or ~/.local/state/Zvonisty/
// The environment variable ZVONISTY_PER_USER=1 chooses the per-user places even when the folder is
// writable (for root, who can write everywhere, and for tests).
namespace app {

// True when the settings file and Error.log belong in the per-user places.
bool UsesPerUserPlaces();

// Decides once at start-up and points the settings folder and the error log there,
// creating the per-user folders when they are missing.
void ChooseDataPlaces();

// The folder of the settings file, with a trailing slash: the executable's unless
// ChooseDataPlaces chose a per-user one. An empty text restores the executable's.
QString SettingsDir();
void SetSettingsDir(const QString& dir);

// The per-user folders (no trailing slash).
QString PerUserConfigDir();
QString PerUserStateDir();
QString PerUserDataDir();

// Makes the per-user data folder the working directory and creates an empty directory file
// there when it has none. False with the reason in `why` when that cannot be done.
bool EnterUserDataFolder(QString* why);

} // namespace app
