#pragma once

#include <QString>

// `zvonisty --sync [--sync-url URL]`: one synchronisation of the working directory's file with
// the saved settings and no window. ZVONISTY_SYNC_USER and ZVONISTY_SYNC_PASSWORD stand in for
// the saved user and password. Prints one Czech line; gives the exit status.
int RunSyncCommand(const QString& url);
