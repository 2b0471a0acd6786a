#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QTcpServer>
#include <QUrl>

#include <functional>
#include <memory>

class QNetworkAccessManager;
class QTcpSocket;

namespace testsupport {

// A server on 127.0.0.1 that passes every request on to a real address book server and its
// answer back, except where the test rewrites it: a hostile or broken server made of a real one.
class DavProxy
{
public:
    struct Exchange
    {
        QByteArray verb;
        QByteArray path;
        QByteArray requestBody;
        int status = 0;
        QList<QPair<QByteArray, QByteArray>> headers; // of the answer
        QByteArray body;                              // of the answer
    };

    explicit DavProxy(const QUrl& server);
    ~DavProxy();

    // The proxy's address for an address of the real server.
    QUrl url(const QUrl& real) const;
    // Called with every answer before it goes back; may change anything in it.
    std::function<void(Exchange&)> rewrite;

private:
    void read(QTcpSocket* socket);

    QUrl m_server;
    QTcpServer m_listener;
    std::unique_ptr<QNetworkAccessManager> m_manager;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};

} // namespace testsupport
