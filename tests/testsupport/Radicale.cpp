#include "testsupport/Radicale.h"

#include <QFile>
#include <QStandardPaths>

namespace testsupport {

Radicale::Radicale()
{
    QFile users(dataPath(QStringLiteral("users")));
    if (users.open(QIODevice::WriteOnly))
        users.write((user() + u':' + password() + u'\n').toUtf8());
    users.close();
    start();
}

Radicale::~Radicale() = default;

QString Radicale::bookFolder() const
{
    return dataPath(QStringLiteral("data/collection-root/test/adresar"));
}

QUrl Radicale::book() const
{
    return url(QStringLiteral("/test/adresar/"));
}

QUrl Radicale::home() const
{
    return url(QStringLiteral("/test/"));
}

bool Radicale::start()
{
    if (isRunning())
        return m_bookMade;
    const QString program = QStandardPaths::findExecutable(QStringLiteral("radicale"));
    if (!launch(program,
                {QStringLiteral("--config"), QString(), QStringLiteral("--server-hosts"),
                 QStringLiteral("127.0.0.1:%1").arg(port()), QStringLiteral("--storage-filesystem-folder"),
                 dataPath(QStringLiteral("data")), QStringLiteral("--auth-type"), QStringLiteral("htpasswd"),
                 QStringLiteral("--auth-htpasswd-filename"), dataPath(QStringLiteral("users")),
                 QStringLiteral("--auth-htpasswd-encryption"), QStringLiteral("plain"),
                 QStringLiteral("--auth-delay"), QStringLiteral("0"), QStringLiteral("--web-type"),
                 QStringLiteral("none"), QStringLiteral("--logging-level"), QStringLiteral("warning")}))
        return false;
    if (m_bookMade)
        return true;

    const QByteArray extendedCollection =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
        "<D:mkcol xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:carddav\"><D:set><D:prop>"
        "<D:resourcetype><D:collection/><C:addressbook/></D:resourcetype>"
        "<D:displayname>Adresář</D:displayname></D:prop></D:set></D:mkcol>";
    m_bookMade = request("MKCOL", book(), extendedCollection, "application/xml; charset=utf-8", nullptr,
                         nullptr) == 201;
    return m_bookMade;
}

} // namespace testsupport
