#include "testsupport/Radicale.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcessEnvironment>
#include <QStandardPaths>
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

Radicale::Radicale() : m_manager(std::make_unique<QNetworkAccessManager>())
{
    // Nothing of the tests may leave this machine, not even through a proxy of the environment.
    m_manager->setProxy(QNetworkProxy::NoProxy);
    {
        QFile users(m_dir.filePath(QStringLiteral("users")));
        if (users.open(QIODevice::WriteOnly))
            users.write((user() + u':' + password() + u'\n').toUtf8());
    }
    m_port = FreePort();
    // A test program that crashes leaves no server behind.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process.setStandardOutputFile(QProcess::nullDevice());
    // A file, not a pipe nobody reads: a full pipe would stop the server.
    m_process.setStandardErrorFile(m_dir.filePath(QStringLiteral("log")), QIODevice::Append);
    start();
}

Radicale::~Radicale()
{
    stop();
}

bool Radicale::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

QString Radicale::log() const
{
    QFile file(m_dir.filePath(QStringLiteral("log")));
    return m_problem + (file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString());
}

QUrl Radicale::root() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(m_port));
}

QString Radicale::bookFolder() const
{
    return m_dir.filePath(QStringLiteral("data/collection-root/test/adresar"));
}

QUrl Radicale::book() const
{
    return url(QStringLiteral("/test/adresar/"));
}

QUrl Radicale::url(const QString& href) const
{
    return root().resolved(QUrl(href));
}

bool Radicale::start()
{
    if (isRunning())
        return m_bookMade;
    const QString program = QStandardPaths::findExecutable(QStringLiteral("radicale"));
    if (program.isEmpty() || m_port == 0) {
        m_problem = program.isEmpty() ? QStringLiteral("radicale is not installed (scripts/install-deps.sh)")
                                      : QStringLiteral("no free port on 127.0.0.1");
        return false;
    }
    // No configuration file of the machine or of the user takes part.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), m_dir.path());
    m_process.setProcessEnvironment(environment);
    m_process.start(program,
                    {QStringLiteral("--config"), QString(), QStringLiteral("--server-hosts"),
                     QStringLiteral("127.0.0.1:%1").arg(m_port),
                     QStringLiteral("--storage-filesystem-folder"), m_dir.filePath(QStringLiteral("data")),
                     QStringLiteral("--auth-type"), QStringLiteral("htpasswd"),
                     QStringLiteral("--auth-htpasswd-filename"), m_dir.filePath(QStringLiteral("users")),
                     QStringLiteral("--auth-htpasswd-encryption"), QStringLiteral("plain"),
                     QStringLiteral("--auth-delay"), QStringLiteral("0"), QStringLiteral("--web-type"),
                     QStringLiteral("none"), QStringLiteral("--logging-level"), QStringLiteral("warning")});
    if (!m_process.waitForStarted(5000))
        return false;

    bool answers = false;
    for (QDeadlineTimer deadline(15000); !answers && !deadline.hasExpired() && isRunning();) {
        QTcpSocket probe;
        probe.setProxy(QNetworkProxy::NoProxy);
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        answers = probe.waitForConnected(200);
        if (!answers)
            QThread::msleep(50);
    }
    if (!answers)
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

void Radicale::stop()
{
    if (!isRunning())
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

int Radicale::request(const QByteArray& verb, const QUrl& url, const QByteArray& body,
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

int Radicale::put(const QString& href, const QByteArray& vcard, QByteArray* etag)
{
    return request("PUT", url(href), vcard, "text/vcard; charset=utf-8", nullptr, etag);
}

int Radicale::remove(const QString& href)
{
    return request("DELETE", url(href), {}, {}, nullptr, nullptr);
}

int Radicale::get(const QString& href, QByteArray* body)
{
    return request("GET", url(href), {}, {}, body, nullptr);
}

} // namespace testsupport
