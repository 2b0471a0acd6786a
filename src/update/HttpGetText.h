#pragma once

#include <QByteArray>
#include <QString>

// One GET request over Qt Network, waited for on the user-interface thread; the windows keep
// painting meanwhile, but user input waits until it is over.
namespace update {

inline constexpr int DefaultDownloadTimeoutMs = 15000;
inline constexpr qint64 MaxDownloadBytes = 64 * 1024;

struct Download
{
    bool ok = false;
    QByteArray body;
};

// Only http and https. Fails (ok false, no body) on a connection or name failure, on a status
// other than 200, on a body larger than MaxDownloadBytes, and when the whole exchange takes
// longer than `timeoutMs`. Redirects are followed only when they do not lower the security.
Download HttpGet(const QString& url, int timeoutMs = DefaultDownloadTimeoutMs);

// The body as code page 1250 text, or an empty text when it could not be fetched.
QString HttpGetText(const QString& url, int timeoutMs = DefaultDownloadTimeoutMs);

// The agent name sent with every request: "Zvonisty/" and the program's version.
QString UserAgent();

} // namespace update
