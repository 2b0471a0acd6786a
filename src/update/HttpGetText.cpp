#include "update/HttpGetText.h"

#include "Version.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>
#include <QTimer>
#include <QUrl>

namespace update {

QString UserAgent()
{
    return QStringLiteral("Zvonisty/") + QStringLiteral(ZV_FILE_VERSION);
}

Download HttpGet(const QString& url, int timeoutMs)
{
    Download result;
    const QUrl address(url, QUrl::StrictMode);
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() || address.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return result;

    QNetworkProxyFactory::setUseSystemConfiguration(true);
    QNetworkAccessManager manager;
    QNetworkRequest request(address);
    request.setHeader(QNetworkRequest::UserAgentHeader, UserAgent());
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);

    QNetworkReply* reply = manager.get(request);
    QEventLoop loop;
    bool tooLarge = false;
    bool timedOut = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, reply, [&] {
        timedOut = true;
        reply->abort();
    });
    // The announced or the received size decides; nothing beyond the limit is kept.
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [&](qint64 received, qint64 total) {
        if (received > MaxDownloadBytes || total > MaxDownloadBytes) {
            tooLarge = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    deadline.start(timeoutMs);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    deadline.stop();

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!timedOut && !tooLarge && reply->error() == QNetworkReply::NoError && status == 200) {
        result.body = reply->readAll();
        result.ok = result.body.size() <= MaxDownloadBytes;
        if (!result.ok)
            result.body.clear();
    }
    delete reply;
    return result;
}

QString HttpGetText(const QString& url, int timeoutMs)
{
    const Download download = HttpGet(url, timeoutMs);
    if (!download.ok)
        return QString();
    QStringDecoder decoder("windows-1250");
    return decoder.decode(download.body);
}

} // namespace update
