// How one request goes to the server and comes back: limits of time, redirects, the password.
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

#include <climits>

namespace carddav {

namespace {

constexpr int MaxRedirects = 5;
// More than any address book sends in one answer: a server sending more is refused, not kept.
constexpr qint64 MaxAnswerBytes = qint64(256) << 20;

QString Seconds(int ms)
{
    return ms % 1000 == 0 ? QString::number(ms / 1000)
                          : QLocale(QLocale::Czech).toString(ms / 1000.0, 'g', 3);
}

bool IsHttp(const QUrl& url)
{
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
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

void CardDavClient::setTimeouts(int silenceMs, int overallMs)
{
    m_silenceMs = qMax(1, silenceMs);
    m_overallMs = qMax(m_silenceMs, overallMs);
}

void CardDavClient::setTimeoutMs(int ms)
{
    setTimeouts(ms, ms > INT_MAX / 4 ? INT_MAX : ms * 4);
}

void CardDavClient::abort()
{
    if (!m_reply)
        return;
    m_aborted = true;
    m_reply->abort();
}

void CardDavClient::answerChallenge(QNetworkReply* reply, QAuthenticator* authenticator)
{
    // A second challenge within one request means the server refused what was given; leaving
    // the authenticator empty ends the request with 401.
    if (reply != m_reply || m_challenges++ > 0 || m_user.isEmpty() ||
        !SameServer(reply->url(), m_credentialsFor))
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

bool CardDavClient::failNotAddressBook(const QUrl& address)
{
    return fail(Failure::NotAddressBook,
                tr("Na adrese %1 není adresář kontaktů (CardDAV).").arg(DisplayAddress(address)));
}

bool CardDavClient::failUserInfo(const QUrl& address)
{
    return fail(Failure::Protocol, tr("Adresa %1 nesmí obsahovat jméno a heslo; zadejte je do jejich polí.")
                                       .arg(DisplayAddress(address)));
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
                         Answer* answer, Wait wait, bool followRedirects)
{
    if (m_reply)
        return fail(Failure::Protocol, tr("Předchozí požadavek na server ještě neskončil."));
    succeed();
    m_status = 0;
    *answer = Answer();
    if (!url.isValid() || url.host().isEmpty() || !IsHttp(url))
        return fail(Failure::Protocol, tr("Adresa serveru není platná: %1.").arg(DisplayAddress(url)));
    // Qt would send a name and password written into the address to whichever server it names.
    if (!url.userInfo().isEmpty())
        return failUserInfo(url);
    for (const auto& [name, value] : headers)
        if (HasControlCharacter(QString::fromLatin1(value)))
            return fail(Failure::Protocol,
                        tr("Hodnota hlavičky %1 od serveru obsahuje řídicí znaky; požadavek nebyl odeslán.")
                            .arg(QString::fromLatin1(name)));
    m_credentialsFor = m_origin.isValid() ? m_origin : url;
    for (int hop = 0;; ++hop) {
        QUrl location;
        if (!sendOnce(verb, url, body, headers, answer, wait, &location))
            return false;
        const int status = answer->status;
        const bool redirect =
            status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
        if (!followRedirects || !redirect || hop >= MaxRedirects || !location.isValid())
            return true;
        const QUrl next = url.resolved(location);
        // Never from an encrypted line to a plain one, and to another server only encrypted
        // (it gets no password: that stays with the server the call was made for).
        const bool encrypted = next.scheme() == QLatin1String("https");
        if (!IsHttp(next) || !next.userInfo().isEmpty() ||
            (url.scheme() == QLatin1String("https") && !encrypted) || (!SameServer(next, url) && !encrypted))
            return true;
        url = next;
    }
}

bool CardDavClient::sendOnce(const QByteArray& verb, const QUrl& url, const QByteArray& body,
                             const Headers& headers, Answer* answer, Wait wait, QUrl* location)
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
    const bool mayHearPassword = SameServer(url, m_credentialsFor);
    if (!m_user.isEmpty() && mayHearPassword)
        request.setRawHeader("Authorization", "Basic " + (m_user + u':' + m_password).toUtf8().toBase64());

    const bool listing = wait == Wait::Listing;
    const int firstByteMs =
        listing ? qMin(m_silenceMs, INT_MAX / ListingFirstByteFactor) * ListingFirstByteFactor : m_silenceMs;
    const int overallMs =
        listing ? qMin(m_overallMs, INT_MAX / ListingOverallFactor) * ListingOverallFactor : m_overallMs;

    m_challenges = 0;
    m_aborted = false;
    m_reply = m_manager->sendCustomRequest(request, verb, body);
    QNetworkReply* reply = m_reply;
    enum class Limit { None, FirstByte, Silence, Overall } limit = Limit::None;
    bool answering = false;
    bool tooLarge = false;
    QEventLoop loop;
    QTimer silence;
    QTimer deadline;
    silence.setSingleShot(true);
    deadline.setSingleShot(true);
    connect(&silence, &QTimer::timeout, reply, [&] {
        limit = answering ? Limit::Silence : Limit::FirstByte;
        reply->abort();
    });
    connect(&deadline, &QTimer::timeout, reply, [&] {
        limit = Limit::Overall;
        reply->abort();
    });
    // A large book still arriving is no dead server; only the deadline ends a slow one.
    connect(reply, &QNetworkReply::uploadProgress, &silence,
            [&] { silence.start(answering ? m_silenceMs : firstByteMs); });
    connect(reply, &QNetworkReply::metaDataChanged, &silence, [&] {
        answering = true;
        silence.start(m_silenceMs);
    });
    connect(reply, &QNetworkReply::downloadProgress, &silence, [&](qint64 received, qint64 total) {
        answering = true;
        silence.start(m_silenceMs);
        if (received > MaxAnswerBytes || total > MaxAnswerBytes) {
            tooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    silence.start(firstByteMs);
    deadline.start(overallMs);
    if (!reply->isFinished())
        loop.exec();
    silence.stop();
    deadline.stop();
    m_reply = nullptr;

    // Read before the reply goes: its error text is the only detail of a broken connection.
    answer->status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer->body = reply->isOpen() ? reply->readAll() : QByteArray();
    answer->etag = reply->rawHeader("ETag").trimmed();
    answer->url = url;
    // Qt's own reading of the header drops relative addresses, which servers commonly send.
    *location = QUrl::fromEncoded(reply->rawHeader("Location").trimmed());
    const QNetworkReply::NetworkError error = reply->error();
    const QString detail = reply->errorString();
    delete reply;
    m_status = answer->status;

    if (m_aborted)
        return fail(Failure::Aborted, tr("Spojení se serverem bylo přerušeno na žádost uživatele."));
    switch (limit) {
    case Limit::FirstByte:
        return fail(Failure::Timeout, tr("Server neodpověděl do %1 s.").arg(Seconds(firstByteMs)));
    case Limit::Silence:
        return fail(Failure::Timeout,
                    tr("Server uprostřed odpovědi mlčel déle než %1 s.").arg(Seconds(m_silenceMs)));
    case Limit::Overall:
        return fail(Failure::Timeout, tr("Server neposlal celou odpověď do %1 s.").arg(Seconds(overallMs)));
    case Limit::None:
        break;
    }
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

} // namespace carddav
