#include "testsupport/DavProxy.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTcpSocket>

namespace testsupport {

DavProxy::DavProxy(const QUrl& server)
    : m_server(server), m_manager(std::make_unique<QNetworkAccessManager>())
{
    m_listener.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&m_listener, &QTcpServer::newConnection, &m_listener, [this] {
        while (QTcpSocket* socket = m_listener.nextPendingConnection())
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(socket); });
    });
}

DavProxy::~DavProxy() = default;

QUrl DavProxy::url(const QUrl& real) const
{
    QUrl u = real;
    u.setHost(QStringLiteral("127.0.0.1"));
    u.setPort(m_listener.serverPort());
    return u;
}

void DavProxy::read(QTcpSocket* socket)
{
    QByteArray& buffer = m_buffers[socket];
    buffer += socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    qsizetype length = 0;
    for (const QByteArray& line : lines)
        if (line.toLower().startsWith("content-length:"))
            length = line.mid(15).trimmed().toLongLong();
    if (buffer.size() < end + 4 + length)
        return;
    auto exchange = std::make_shared<Exchange>();
    const QList<QByteArray> first = lines.first().trimmed().split(' ');
    exchange->verb = first.value(0);
    exchange->path = first.value(1);
    exchange->requestBody = buffer.mid(end + 4, length);
    QUrl target = m_server;
    target.setPath(QString());
    QNetworkRequest request(QUrl(target.toString(QUrl::RemovePath) + QString::fromLatin1(exchange->path)));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        const QByteArray name = line.left(colon).trimmed();
        if (colon > 0 && name.toLower() != "host" && name.toLower() != "content-length" &&
            name.toLower() != "connection" && name.toLower() != "accept-encoding")
            request.setRawHeader(name, line.mid(colon + 1).trimmed());
    }
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    buffer.clear();
    QNetworkReply* reply = m_manager->sendCustomRequest(request, exchange->verb, exchange->requestBody);
    QObject::connect(reply, &QNetworkReply::finished, socket, [this, reply, socket, exchange] {
        exchange->status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        for (const auto& [name, value] : reply->rawHeaderPairs())
            if (name.toLower() != "content-length" && name.toLower() != "connection" &&
                name.toLower() != "transfer-encoding" && name.toLower() != "content-encoding")
                exchange->headers.append({name, value});
        exchange->body = reply->readAll();
        reply->deleteLater();
        if (rewrite)
            rewrite(*exchange);
        QByteArray answer = "HTTP/1.1 " + QByteArray::number(exchange->status) + " X\r\n";
        for (const auto& [name, value] : exchange->headers)
            answer += name + ": " + value + "\r\n";
        answer +=
            "Content-Length: " + QByteArray::number(exchange->body.size()) + "\r\nConnection: close\r\n\r\n";
        socket->write(answer + exchange->body);
        socket->disconnectFromHost();
    });
}

} // namespace testsupport
