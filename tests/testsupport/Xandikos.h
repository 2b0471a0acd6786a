#pragma once

#include "testsupport/DavServer.h"

namespace testsupport {

// Xandikos, a second server with answers of its own spelling. It asks for no password: the
// client's are simply not checked. The book is /test/contacts/addressbook/.
class Xandikos : public DavServer
{
public:
    Xandikos();
    ~Xandikos() override;

    bool start() override;
    QString name() const override { return QStringLiteral("Xandikos"); }
    QUrl book() const override;
    QUrl home() const override;
};

} // namespace testsupport
