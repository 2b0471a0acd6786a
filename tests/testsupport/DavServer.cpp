#include "testsupport/DavServer.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcessEnvironment>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <sys/prctl.h>

namespace testsupport {

namespace {

quint16 FreePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

} // namespace

DavServer::DavServer() : m_manager(std::make_unique<QNetworkAccessManager>())
{
    // Nothing of the tests may leave this machine, not even through a proxy of the environment.
    m_manager->setProxy(QNetworkProxy::NoProxy);
    m_port = FreePort();
    // A test program that crashes leaves no server behind.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process.setStandardOutputFile(QProcess::nullDevice());
    // A file, not a pipe nobody reads: a full pipe would stop the server.
    m_process.setStandardErrorFile(m_dir.filePath(QStringLiteral("log")), QIODevice::Append);
}

DavServer::~DavServer()
{
    stop();
}

bool DavServer::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

QString DavServer::log() const
{
    QFile file(m_dir.filePath(QStringLiteral("log")));
    return m_problem + (file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString());
}

QUrl DavServer::root() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(m_port));
}

QUrl DavServer::url(const QString& href) const
{
    return root().resolved(QUrl(href));
}

bool DavServer::launch(const QString& program, const QStringList& arguments)
{
    if (program.isEmpty() || m_port == 0) {
        m_problem = program.isEmpty() ? name() + QStringLiteral(" is not installed (scripts/install-deps.sh)")
                                      : QStringLiteral("no free port on 127.0.0.1");
        return false;
    }
    // No configuration file of the machine or of the user takes part.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), m_dir.path());
    m_process.setProcessEnvironment(environment);
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(5000))
        return false;
    for (QDeadlineTimer deadline(15000); !deadline.hasExpired() && isRunning();) {
        QTcpSocket probe;
        probe.setProxy(QNetworkProxy::NoProxy);
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(200))
            return true;
        QThread::msleep(50);
    }
    return false;
}

void DavServer::stop()
{
    if (!isRunning())
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

int DavServer::request(const QByteArray& verb, const QUrl& url, const QByteArray& body,
                       const QByteArray& contentType, QByteArray* answer, QByteArray* etag)
{
    if (url.host() != QLatin1String("127.0.0.1"))
        return 0;
    QNetworkRequest request(url);
    request.setRawHeader("Authorization", "Basic " + (user() + u':' + password()).toUtf8().toBase64());
    if (!contentType.isEmpty())
        request.setRawHeader("Content-Type", contentType);
    QNetworkReply* reply = m_manager->sendCustomRequest(request, verb, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(15000, reply, &QNetworkReply::abort);
    if (!reply->isFinished())
        loop.exec();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (answer)
        *answer = reply->readAll();
    if (etag)
        *etag = reply->rawHeader("ETag");
    delete reply;
    return status;
}

int DavServer::put(const QString& href, const QByteArray& vcard, QByteArray* etag)
{
    return request("PUT", url(href), vcard, "text/vcard; charset=utf-8", nullptr, etag);
}

int DavServer::remove(const QString& href)
{
    return request("DELETE", url(href), {}, {}, nullptr, nullptr);
}

int DavServer::get(const QString& href, QByteArray* body)
{
    return request("GET", url(href), {}, {}, body, nullptr);
}

} // namespace testsupport
