#pragma once

#include <QList>
#include <QUrl>

// The one way the program hands an address to the desktop's browser.
// Returns false when the desktop refused it.
bool OpenUrl(const QUrl& url);

// Test seam: while on, nothing is opened; every address is recorded instead.
namespace OpenUrlSeam {
void setTestMode(bool on);
const QList<QUrl>& opened();
void clearOpened();
} // namespace OpenUrlSeam
