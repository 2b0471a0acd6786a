#include "ui/OpenUrl.h"

#include <QDesktopServices>

namespace {
struct SeamState
{
    bool testMode = false;
    QList<QUrl> opened;
};

SeamState& seam()
{
    static SeamState state;
    return state;
}
} // namespace

bool OpenUrl(const QUrl& url)
{
    if (seam().testMode) {
        seam().opened << url;
        return true;
    }
    return QDesktopServices::openUrl(url);
}

namespace OpenUrlSeam {

void setTestMode(bool on)
{
    seam().testMode = on;
}

const QList<QUrl>& opened()
{
    return seam().opened;
}

void clearOpened()
{
    seam().opened.clear();
}

} // namespace OpenUrlSeam
