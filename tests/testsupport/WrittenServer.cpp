#include "testsupport/WrittenServer.h"

#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslServer>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

namespace testsupport {

QByteArray Answer(int status, const QByteArray& body, const QByteArray& headers)
{
    return "HTTP/1.1 " + QByteArray::number(status) + " X\r\n" + headers +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

WrittenServer::WrittenServer(const QList<QByteArray>& answers, int delayMs, int byteMs)
    : WrittenServer(answers, delayMs, byteMs, false)
{
}

WrittenServer::WrittenServer(const QList<QByteArray>& answers, int delayMs, int byteMs, bool tls)
    : m_tls(tls), m_answers(answers), m_delayMs(delayMs), m_byteMs(byteMs)
{
    if (tls) {
        auto server = std::make_unique<QSslServer>();
        server->setSslConfiguration(EncryptedLine());
        m_server = std::move(server);
    } else {
        m_server = std::make_unique<QTcpServer>();
    }
    m_server->listen(QHostAddress::LocalHost, 0);
    // Over TLS a connection is pending only once its handshake is done.
    QObject::connect(m_server.get(), &QTcpServer::pendingConnectionAvailable, m_server.get(), [this] {
        while (QTcpSocket* socket = m_server->nextPendingConnection())
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(socket); });
    });
}

WrittenServer::~WrittenServer() = default;

std::unique_ptr<WrittenServer> WrittenServer::encrypted(const QList<QByteArray>& answers)
{
    return std::unique_ptr<WrittenServer>(new WrittenServer(answers, 0, 0, true));
}

QUrl WrittenServer::url(const QString& path) const
{
    return QUrl(QStringLiteral("%1://%2:%3%4")
                    .arg(m_tls ? QStringLiteral("https") : QStringLiteral("http"),
                         m_tls ? QStringLiteral("localhost") : QStringLiteral("127.0.0.1"))
                    .arg(m_server->serverPort())
                    .arg(path));
}

void WrittenServer::read(QTcpSocket* socket)
{
    QByteArray& buffer = m_buffers[socket];
    buffer += socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    qsizetype length = 0;
    bool authorization = false;
    for (const QByteArray& line : buffer.left(end).split('\n')) {
        const QByteArray lower = line.toLower();
        if (lower.startsWith("content-length:"))
            length = line.mid(15).trimmed().toLongLong();
        authorization = authorization || lower.startsWith("authorization:");
    }
    if (buffer.size() < end + 4 + length)
        return;
    m_verbs << QString::fromLatin1(buffer.left(buffer.indexOf(' ')));
    m_authorized << authorization;
    buffer.clear();
    const QByteArray answer = m_answers.isEmpty() ? Answer(500) : m_answers.takeFirst();
    if (m_delayMs == 0 && m_byteMs == 0) {
        socket->write(answer);
        socket->disconnectFromHost();
        return;
    }
    QTimer::singleShot(m_delayMs, socket, [this, socket, answer] {
        const qsizetype head = answer.indexOf("\r\n\r\n") + 4;
        socket->write(answer.left(head));
        auto* next = new QTimer(socket);
        QObject::connect(next, &QTimer::timeout, socket, [socket, next, answer, sent = head]() mutable {
            if (sent < answer.size())
                socket->write(answer.mid(sent++, 1));
            if (sent == answer.size()) {
                next->stop();
                socket->disconnectFromHost();
            }
        });
        next->start(m_byteMs);
    });
}

QSslConfiguration EncryptedLine()
{
    static const QSslConfiguration made = [] {
        const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
        QTemporaryDir dir;
        if (openssl.isEmpty() || !dir.isValid())
            return QSslConfiguration();
        const QString key = dir.filePath(QStringLiteral("key.pem"));
        const QString certificate = dir.filePath(QStringLiteral("cert.pem"));
        QProcess process;
        process.start(openssl, {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                                QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                                QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                                QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                                QStringLiteral("/CN=localhost"), QStringLiteral("-addext"),
                                QStringLiteral("subjectAltName=DNS:localhost"), QStringLiteral("-keyout"),
                                key, QStringLiteral("-out"), certificate});
        if (!process.waitForFinished(30000) || process.exitCode() != 0)
            return QSslConfiguration();
        QFile keyFile(key);
        QFile certificateFile(certificate);
        if (!keyFile.open(QIODevice::ReadOnly) || !certificateFile.open(QIODevice::ReadOnly))
            return QSslConfiguration();
        const QSslCertificate cert(certificateFile.readAll(), QSsl::Pem);
        QSslConfiguration server = QSslConfiguration::defaultConfiguration();
        server.setLocalCertificate(cert);
        server.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Ec, QSsl::Pem));
        server.setPeerVerifyMode(QSslSocket::VerifyNone);
        QSslConfiguration client = QSslConfiguration::defaultConfiguration();
        client.addCaCertificate(cert);
        QSslConfiguration::setDefaultConfiguration(client);
        return server;
    }();
    return made;
}

} // namespace testsupport
