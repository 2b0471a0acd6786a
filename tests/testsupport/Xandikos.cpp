#include "testsupport/Xandikos.h"

#include <QStandardPaths>

namespace testsupport {

Xandikos::Xandikos()
{
    start();
}

Xandikos::~Xandikos() = default;

QUrl Xandikos::book() const
{
    return url(QStringLiteral("/test/contacts/addressbook/"));
}

QUrl Xandikos::home() const
{
    return url(QStringLiteral("/test/"));
}

bool Xandikos::start()
{
    if (isRunning())
        return true;
    // Its defaults make the user's principal with a calendar and an address book on first start.
    return launch(QStandardPaths::findExecutable(QStringLiteral("xandikos")),
                  {QStringLiteral("--defaults"), QStringLiteral("--current-user-principal"),
                   QStringLiteral("/test/"), QStringLiteral("-d"), dataPath(QStringLiteral("data")),
                   QStringLiteral("-l"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                   QString::number(port())});
}

} // namespace testsupport
