#include "sync/CardDavClient.h"

#include "Version.h"
#include "sync/DavPaths.h"
#include "sync/DavXml.h"

#include <QAuthenticator>
#include <QEventLoop>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace carddav {

namespace {

constexpr int MaxRedirects = 5;
constexpr int MultigetBatch = 100;
// More than any address book sends in one answer: a server sending more is refused, not kept.
constexpr qint64 MaxAnswerBytes = qint64(256) << 20;
// A server that truncates its changes answers again from the token it gave; this many rounds
// are more than any book needs, and end a server that keeps saying "more".
constexpr int MaxSyncRounds = 1000;

bool IsCard(const DavResponse& response)
{
    if (response.isCollection)
        return false;
    return response.contentType.startsWith(QLatin1String("text/vcard"), Qt::CaseInsensitive) ||
           response.href.endsWith(QLatin1String(".vcf"), Qt::CaseInsensitive);
}

QString Seconds(int ms)
{
    return ms % 1000 == 0 ? QString::number(ms / 1000)
                          : QLocale(QLocale::Czech).toString(ms / 1000.0, 'g', 3);
}

} // namespace

CardDavClient::CardDavClient(QObject* parent) : QObject(parent), m_manager(new QNetworkAccessManager(this))
{
    connect(m_manager, &QNetworkAccessManager::authenticationRequired, this, &CardDavClient::answerChallenge);
}

CardDavClient::~CardDavClient() = default;

void CardDavClient::setCredentials(const QString& user, const QString& password)
{
    m_user = user;
    m_password = password;
    // Credentials the manager remembers from an earlier answer would otherwise win.
    m_manager->clearAccessCache();
}

void CardDavClient::setTimeoutMs(int ms)
{
    m_timeoutMs = qMax(1, ms);
}

void CardDavClient::abort()
{
    if (!m_reply)
        return;
    m_aborted = true;
    m_reply->abort();
}

QUrl CardDavClient::resolve(const QUrl& book, const QString& href) const
{
    const QUrl url = book.resolved(QUrl(href.trimmed(), QUrl::TolerantMode));
    return url.isValid() && SameServer(url, book) ? url : QUrl();
}

void CardDavClient::answerChallenge(QNetworkReply* reply, QAuthenticator* authenticator)
{
    // A second challenge within one request means the server refused what was given; leaving
    // the authenticator empty ends the request with 401.
    if (reply != m_reply || m_challenges++ > 0 || m_user.isEmpty())
        return;
    authenticator->setUser(m_user);
    authenticator->setPassword(m_password);
}

void CardDavClient::succeed()
{
    m_failure = Failure::None;
    m_errorText.clear();
}

bool CardDavClient::fail(Failure failure, const QString& text)
{
    m_failure = failure;
    m_errorText = text;
    return false;
}

bool CardDavClient::failStatus(int status)
{
    const QString code = QString::number(status);
    switch (status) {
    case 401:
        return fail(Failure::Unauthorized, tr("Server odmítl jméno nebo heslo (HTTP %1).").arg(code));
    case 403:
        return fail(Failure::Forbidden, tr("Přístup odepřen (HTTP %1).").arg(code));
    case 404:
    case 410:
        return fail(Failure::NotFound, tr("Adresa na serveru neexistuje (HTTP %1).").arg(code));
    case 412:
        return fail(Failure::PreconditionFailed,
                    m_ifNoneMatch ? tr("Karta s touto adresou už na serveru je (HTTP %1).").arg(code)
                                  : tr("Karta se na serveru mezitím změnila (HTTP %1).").arg(code));
    default:
        break;
    }
    if (status >= 500)
        return fail(Failure::ServerError, tr("Chyba serveru (HTTP %1).").arg(code));
    if (status >= 400)
        return fail(Failure::Protocol, tr("Server požadavek odmítl (HTTP %1).").arg(code));
    return fail(Failure::Protocol, tr("Server poslal odpověď, které program nerozumí (HTTP %1).").arg(code));
}

bool CardDavClient::send(const QByteArray& verb, QUrl url, const QByteArray& body, const Headers& headers,
                         Answer* answer, bool followRedirects)
{
    if (m_reply)
        return fail(Failure::Protocol, tr("Předchozí požadavek na server ještě neskončil."));
    succeed();
    m_status = 0;
    *answer = Answer();
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return fail(Failure::Protocol, tr("Adresa serveru není platná: %1.").arg(url.toDisplayString()));
    for (int hop = 0;; ++hop) {
        QUrl location;
        if (!sendOnce(verb, url, body, headers, answer, &location))
            return false;
        const int status = answer->status;
        const bool redirect =
            status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
        if (!followRedirects || !redirect || hop >= MaxRedirects || !location.isValid())
            return true;
        const QUrl next = url.resolved(location);
        // The password never goes from an encrypted line to a plain one, and to another server
        // only over an encrypted line.
        const bool encrypted = next.scheme() == QLatin1String("https");
        if ((url.scheme() == QLatin1String("https") && !encrypted) || (!SameServer(next, url) && !encrypted))
            return true;
        url = next;
    }
}

bool CardDavClient::sendOnce(const QByteArray& verb, const QUrl& url, const QByteArray& body,
                             const Headers& headers, Answer* answer, QUrl* location)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Zvonisty/" ZV_FILE_VERSION));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    if (!body.isEmpty())
        request.setRawHeader("Content-Type", "application/xml; charset=utf-8");
    for (const auto& [name, value] : headers)
        request.setRawHeader(name, value);
    if (!m_user.isEmpty())
        request.setRawHeader("Authorization", "Basic " + (m_user + u':' + m_password).toUtf8().toBase64());

    m_challenges = 0;
    m_aborted = false;
    m_reply = m_manager->sendCustomRequest(request, verb, body);
    QNetworkReply* reply = m_reply;
    bool timedOut = false;
    bool tooLarge = false;
    QEventLoop loop;
    QTimer silence;
    silence.setSingleShot(true);
    connect(&silence, &QTimer::timeout, reply, [&] {
        timedOut = true;
        reply->abort();
    });
    // Only silence counts: a large book still arriving is no dead server.
    connect(reply, &QNetworkReply::uploadProgress, &silence, [&silence] { silence.start(); });
    connect(reply, &QNetworkReply::downloadProgress, &silence, [&](qint64 received, qint64 total) {
        silence.start();
        if (received > MaxAnswerBytes || total > MaxAnswerBytes) {
            tooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    silence.start(m_timeoutMs);
    if (!reply->isFinished())
        loop.exec();
    silence.stop();
    m_reply = nullptr;

    // Read before the reply goes: its error text is the only detail of a broken connection.
    answer->status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer->body = reply->isOpen() ? reply->readAll() : QByteArray();
    answer->etag = reply->rawHeader("ETag");
    answer->url = url;
    // Qt's own reading of the header drops relative addresses, which servers commonly send.
    *location = QUrl::fromEncoded(reply->rawHeader("Location").trimmed());
    const QNetworkReply::NetworkError error = reply->error();
    const QString detail = reply->errorString();
    delete reply;
    m_status = answer->status;

    if (m_aborted)
        return fail(Failure::Aborted, tr("Spojení se serverem bylo přerušeno na žádost uživatele."));
    if (timedOut)
        return fail(Failure::Timeout, tr("Server neodpověděl do %1 s.").arg(Seconds(m_timeoutMs)));
    if (tooLarge)
        return fail(Failure::Protocol, tr("Odpověď serveru je větší než %1 MiB.").arg(MaxAnswerBytes >> 20));
    if (answer->status != 0)
        return true;
    if (error == QNetworkReply::ConnectionRefusedError)
        return fail(Failure::Network, tr("Server %1 nepřijímá spojení.").arg(url.host()));
    if (error == QNetworkReply::HostNotFoundError)
        return fail(Failure::Network, tr("Server %1 se nenašel.").arg(url.host()));
    if (error == QNetworkReply::SslHandshakeFailedError)
        return fail(Failure::Network,
                    tr("Zabezpečené spojení se serverem se nepodařilo navázat: %1.").arg(detail));
    return fail(Failure::Network, tr("Spojení se serverem se přerušilo: %1.").arg(detail));
}

bool CardDavClient::multistatus(const QByteArray& verb, const QUrl& url, const QByteArray& body,
                                const QByteArray& depth, Multistatus* into, Answer* answer,
                                bool followRedirects)
{
    Answer own;
    Answer* got = answer ? answer : &own;
    if (!send(verb, url, body, {{"Depth", depth}}, got, followRedirects))
        return false;
    if (got->status != 207)
        return failStatus(got->status);
    *into = ParseMultistatus(got->body);
    if (!into->ok)
        return fail(Failure::Protocol, tr("Server poslal odpověď, které program nerozumí."));
    return true;
}

bool CardDavClient::supportsSyncCollection(const QUrl& book, bool* supported)
{
    Multistatus props;
    if (!multistatus("PROPFIND", book, PropfindBody({{Dav, QStringLiteral("supported-report-set")}}), "0",
                     &props))
        return false;
    *supported = false;
    for (const DavResponse& response : std::as_const(props.responses))
        *supported =
            *supported || response.supportedReports.contains(Dav + QStringLiteral(" sync-collection"));
    return true;
}

bool CardDavClient::listEtags(const QUrl& book, QList<RemoteCard>* cards)
{
    Multistatus list;
    const QByteArray body = PropfindBody({{Dav, QStringLiteral("resourcetype")},
                                          {Dav, QStringLiteral("getcontenttype")},
                                          {Dav, QStringLiteral("getetag")}});
    if (!multistatus("PROPFIND", book, body, "1", &list))
        return false;
    cards->clear();
    for (const DavResponse& response : std::as_const(list.responses)) {
        const QUrl url = resolve(book, response.href);
        if (url.isValid() && IsMemberOf(url, book) && IsCard(response) && !response.etag.isEmpty())
            cards->append({response.href, response.etag, {}});
    }
    return true;
}

bool CardDavClient::syncCollection(const QUrl& book, const QString& token, RemoteChanges* changes)
{
    *changes = RemoteChanges();
    QString from = token;
    for (int round = 0; round < MaxSyncRounds; ++round) {
        Answer answer;
        if (!send("REPORT", book, SyncCollectionBody(from), {{"Depth", "0"}}, &answer))
            return false;
        if (answer.status != 207) {
            // Without a token there is none to refuse, and starting again would only repeat this.
            const bool refused = HasPrecondition(answer.body, Dav, QStringLiteral("valid-sync-token")) &&
                                 (answer.status == 403 || answer.status == 409);
            const bool badToken = answer.status == 400 || answer.status == 412;
            if (!from.isEmpty() && (refused || badToken))
                return fail(Failure::InvalidToken,
                            tr("Server už nezná stav poslední synchronizace (HTTP %1).").arg(answer.status));
            return failStatus(answer.status);
        }
        const Multistatus result = ParseMultistatus(answer.body);
        if (!result.ok || result.syncToken.isEmpty())
            return fail(Failure::Protocol, tr("Server poslal odpověď, které program nerozumí."));
        bool truncated = false;
        for (const DavResponse& response : result.responses) {
            const QUrl url = resolve(book, response.href);
            if (!url.isValid())
                continue;
            if (!IsMemberOf(url, book)) {
                truncated = truncated || (response.status == 507 && PathKey(url) == PathKey(book));
                continue;
            }
            // A later round knows better than an earlier one.
            changes->deleted.removeAll(response.href);
            changes->changed.removeIf([&](const RemoteCard& card) { return card.href == response.href; });
            if (response.status == 404) {
                // Some servers list long-gone members even to a first request; with nothing
                // known yet there is nothing they could delete.
                if (!from.isEmpty())
                    changes->deleted << response.href;
            } else if ((response.status == 0 || (response.status >= 200 && response.status < 300)) &&
                       !response.isCollection && !response.etag.isEmpty())
                changes->changed.append({response.href, response.etag, {}});
        }
        changes->token = result.syncToken;
        if (!truncated || result.syncToken == from)
            return true;
        from = result.syncToken;
    }
    return true;
}

bool CardDavClient::multiget(const QUrl& book, const QStringList& hrefs, QList<RemoteCard>* cards)
{
    cards->clear();
    for (qsizetype start = 0; start < hrefs.size(); start += MultigetBatch) {
        Multistatus batch;
        if (!multistatus("REPORT", book, MultigetBody(hrefs.mid(start, MultigetBatch)), "0", &batch))
            return false;
        for (const DavResponse& response : std::as_const(batch.responses)) {
            const bool ok = response.status == 0 || (response.status >= 200 && response.status < 300);
            if (ok && !response.addressData.isEmpty())
                cards->append({response.href, response.etag, response.addressData});
        }
    }
    succeed();
    return true;
}

bool CardDavClient::put(const QUrl& url, const QByteArray& vcard, const QString& ifMatch, QString* newEtag)
{
    newEtag->clear();
    Headers headers{{"Content-Type", "text/vcard; charset=utf-8"}};
    if (ifMatch.isEmpty())
        headers.append(qMakePair(QByteArray("If-None-Match"), QByteArray("*")));
    else
        headers.append(qMakePair(QByteArray("If-Match"), ifMatch.toUtf8()));
    Answer answer;
    m_ifNoneMatch = ifMatch.isEmpty();
    const bool sent = send("PUT", url, vcard, headers, &answer);
    const bool written = sent && answer.status >= 200 && answer.status < 300;
    if (sent && !written)
        failStatus(answer.status);
    m_ifNoneMatch = false;
    if (!written)
        return false;
    *newEtag = QString::fromUtf8(answer.etag).trimmed();
    if (newEtag->isEmpty()) {
        Multistatus card;
        // The card is written whatever this asking brings: an unknown ETag only costs the next
        // synchronisation a download.
        if (multistatus("PROPFIND", url, PropfindBody({{Dav, QStringLiteral("getetag")}}), "0", &card))
            for (const DavResponse& response : std::as_const(card.responses))
                if (!response.etag.isEmpty())
                    *newEtag = response.etag;
    }
    m_status = answer.status;
    succeed();
    return true;
}

bool CardDavClient::remove(const QUrl& url, const QString& ifMatch)
{
    Headers headers;
    if (!ifMatch.isEmpty())
        headers.append(qMakePair(QByteArray("If-Match"), ifMatch.toUtf8()));
    Answer answer;
    if (!send("DELETE", url, {}, headers, &answer))
        return false;
    if ((answer.status >= 200 && answer.status < 300) || answer.status == 404 || answer.status == 410)
        return true;
    return failStatus(answer.status);
}

} // namespace carddav
