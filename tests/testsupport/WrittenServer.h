#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSslConfiguration>
#include <QStringList>
#include <QUrl>

#include <memory>

class QTcpServer;
class QTcpSocket;

namespace testsupport {

// An HTTP answer of the written server.
QByteArray Answer(int status, const QByteArray& body = {}, const QByteArray& headers = {});

// A server on 127.0.0.1 that answers each request with the next of its written answers: what no
// real server can be made to say on purpose. It keeps the methods of the requests it saw and
// whether each carried a password. Paced, it thinks `delayMs` before it answers and then sends
// the body a byte every `byteMs`.
class WrittenServer
{
public:
    explicit WrittenServer(const QList<QByteArray>& answers, int delayMs = 0, int byteMs = 0);
    ~WrittenServer();
    // The same over TLS, as https://localhost with EncryptedLine()'s certificate.
    static std::unique_ptr<WrittenServer> encrypted(const QList<QByteArray>& answers);

    QUrl url(const QString& path) const;
    QStringList verbs() const { return m_verbs; }
    QList<bool> authorized() const { return m_authorized; }

private:
    WrittenServer(const QList<QByteArray>& answers, int delayMs, int byteMs, bool tls);
    void read(QTcpSocket* socket);

    std::unique_ptr<QTcpServer> m_server;
    bool m_tls;
    QList<QByteArray> m_answers;
    int m_delayMs;
    int m_byteMs;
    QStringList m_verbs;
    QList<bool> m_authorized;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};

// A certificate for localhost made for this run (null when openssl is missing), trusted by
// every client of the process from the first call on.
QSslConfiguration EncryptedLine();

} // namespace testsupport
