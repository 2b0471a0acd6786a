#pragma once

#include "update/HttpGetText.h"

#include <QString>

class MainWindowPort;
class QWidget;

namespace update {

struct CheckOptions
{
    // The program's web site, "scheme://host[/path]"; the update file and the page live under it.
    QString site;
    int timeoutMs = DefaultDownloadTimeoutMs;
    // Empty: the program's own version.
    QString ownVersion;
};

// Asks the web site for the published version and tells the user, over the main window, what
// it found; a newer one is offered and "Ano" opens the program's page. `busyPanel` shows
// while the download runs.
void CheckForUpdates(MainWindowPort& window, QWidget* busyPanel, const CheckOptions& options);

} // namespace update
