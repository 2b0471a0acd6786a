#pragma once

#include "testsupport/DavServer.h"

namespace testsupport {

// Radicale, with htpasswd users: the book is /test/adresar/.
class Radicale : public DavServer
{
public:
    Radicale();
    ~Radicale() override;

    bool start() override;
    QString name() const override { return QStringLiteral("Radicale"); }
    QUrl book() const override;
    QUrl home() const override;
    // Where the server keeps the book's cards, one file each: a large book can be laid there at
    // once instead of being sent card by card.
    QString bookFolder() const;

private:
    bool m_bookMade = false;
};

} // namespace testsupport
