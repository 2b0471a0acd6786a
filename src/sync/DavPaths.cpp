#include "sync/DavPaths.h"

namespace carddav {

bool SameServer(const QUrl& a, const QUrl& b)
{
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && a.port(-1) == b.port(-1);
}

QString PathKey(const QUrl& url)
{
    QString path = url.path(QUrl::FullyDecoded);
    while (path.endsWith(u'/'))
        path.chop(1);
    return path;
}

QUrl AsCollection(QUrl url)
{
    if (!url.path().endsWith(u'/'))
        url.setPath(url.path(QUrl::FullyEncoded) + u'/', QUrl::StrictMode);
    return url;
}

QString DisplayAddress(const QUrl& url)
{
    return url.toDisplayString(QUrl::RemoveUserInfo);
}

bool IsMemberOf(const QUrl& member, const QUrl& book)
{
    const QString bookPath = PathKey(book) + u'/';
    const QString path = PathKey(member);
    return path.startsWith(bookPath) && path.size() > bookPath.size();
}

} // namespace carddav
