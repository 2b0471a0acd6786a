#pragma once

#include <QString>

// `zvonisty --sync [--sync-url URL] [--force-delete]`: one synchronisation of the working
// directory's file with the saved settings and no window; a file of an older structure or of
// the earlier versions is brought up to date first, as the program's opening does.
// ZVONISTY_SYNC_USER and ZVONISTY_SYNC_PASSWORD stand in for the saved user and password. A side
// emptied since the last run is propagated only with `forceDelete`. Prints one Czech line;
// gives the exit status.
int RunSyncCommand(const QString& url, bool forceDelete);
