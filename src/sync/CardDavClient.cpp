// What the client asks of an address book and what it keeps of the answers.
#include "sync/CardDavClient.h"

#include "sync/DavPaths.h"
#include "sync/DavXml.h"

#include <QHash>
#include <QMap>

namespace carddav {

namespace {

constexpr int MultigetBatch = 100;
// A server that truncates its changes answers again from the token it gave; this many rounds
// are more than any book needs, and end a server that keeps saying "more".
constexpr int MaxSyncRounds = 100;

bool IsCard(const DavResponse& response)
{
    if (response.isCollection)
        return false;
    return response.contentType.startsWith(QLatin1String("text/vcard"), Qt::CaseInsensitive) ||
           response.href.endsWith(QLatin1String(".vcf"), Qt::CaseInsensitive);
}

bool IsSuccess(int status)
{
    return status >= 200 && status < 300;
}

// What ends a whole call, rather than the one card or batch it struck.
bool EndsTheCall(CardDavClient::Failure failure)
{
    using F = CardDavClient::Failure;
    return failure == F::Network || failure == F::Timeout || failure == F::Aborted ||
           failure == F::Unauthorized || failure == F::Forbidden;
}

} // namespace

QUrl CardDavClient::resolve(const QUrl& book, const QString& href) const
{
    if (HasControlCharacter(href))
        return QUrl();
    const QUrl url = book.resolved(QUrl(href.trimmed(), QUrl::TolerantMode));
    return url.isValid() && url.userInfo().isEmpty() && SameServer(url, book) ? url : QUrl();
}

bool CardDavClient::multistatus(const QByteArray& verb, const QUrl& url, const QByteArray& body,
                                const QByteArray& depth, Multistatus* into, Answer* answer,
                                bool followRedirects)
{
    Answer own;
    Answer* got = answer ? answer : &own;
    const Wait wait = verb == "REPORT" || depth != "0" ? Wait::Listing : Wait::Simple;
    if (!send(verb, url, body, {{"Depth", depth}}, got, wait, followRedirects))
        return false;
    // A server that does not know the method speaks no WebDAV there at all.
    if (got->status == 405 || got->status == 501)
        return failNotAddressBook(got->url);
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
    QMap<QString, RemoteCard> found;
    for (const DavResponse& response : std::as_const(list.responses)) {
        const QUrl url = resolve(book, response.href);
        if (url.isValid() && IsMemberOf(url, book) && IsCard(response) && !response.etag.isEmpty())
            // A card listed twice counts once, as its later response says.
            found.insert(PathKey(url), {response.href, response.etag, {}});
    }
    *cards = found.values();
    return true;
}

bool CardDavClient::syncCollection(const QUrl& book, const QString& token, RemoteChanges* changes)
{
    *changes = RemoteChanges();
    QMap<QString, RemoteCard> changed;
    QMap<QString, QString> deleted;
    QString from = token;
    for (int round = 0;; ++round) {
        if (round == MaxSyncRounds)
            return fail(
                Failure::Protocol,
                tr("Server posílá změny po částech a ani po %1 částech neskončil.").arg(MaxSyncRounds));
        Answer answer;
        if (!send("REPORT", book, SyncCollectionBody(from), {{"Depth", "0"}}, &answer, Wait::Listing))
            return false;
        if (answer.status != 207)
            return failSync(book, from, answer.status, answer.body);
        const Multistatus result = ParseMultistatus(answer.body);
        if (!result.ok || result.syncToken.isEmpty())
            return fail(Failure::Protocol, tr("Server poslal odpověď, které program nerozumí."));
        bool truncated = false;
        bool progress = false;
        for (const DavResponse& response : result.responses) {
            const QUrl url = resolve(book, response.href);
            if (!url.isValid())
                continue;
            if (!IsMemberOf(url, book)) {
                truncated = truncated || (response.status == 507 && PathKey(url) == PathKey(book));
                continue;
            }
            // A later response, in this round or another, knows better than an earlier one.
            const QString key = PathKey(url);
            const bool wasDeleted = deleted.remove(key) > 0;
            const RemoteCard before = changed.take(key);
            if (response.status == 404) {
                // Some servers list long-gone members even to a first request; with nothing
                // known yet there is nothing they could delete.
                if (!from.isEmpty())
                    deleted.insert(key, response.href);
                progress = progress || !wasDeleted;
            } else if ((response.status == 0 || IsSuccess(response.status)) && !response.isCollection &&
                       !response.etag.isEmpty()) {
                changed.insert(key, {response.href, response.etag, {}});
                progress = progress || before.etag != response.etag;
            }
        }
        changes->token = result.syncToken;
        changes->changed = changed.values();
        changes->deleted = deleted.values();
        if (!truncated)
            return true;
        // A truncated answer that moves nowhere would be asked again forever.
        if (result.syncToken == from || !progress)
            return fail(Failure::Protocol,
                        tr("Server posílá změny po částech, ale další část nepřinesla nic nového."));
        from = result.syncToken;
    }
}

bool CardDavClient::failSync(const QUrl& book, const QString& from, int status, const QByteArray& body)
{
    // Without a token there is none to refuse, and starting again would only repeat this.
    bool forgotten = false;
    if (!from.isEmpty()) {
        forgotten = status == 400 || status == 412 ||
                    ((status == 403 || status == 409) &&
                     HasPrecondition(body, Dav, QStringLiteral("valid-sync-token")));
        // Some servers (Xandikos) break on a token they do not know; one that answers without
        // a token has forgotten it rather than failed.
        if (!forgotten && status >= 500 && status != 501) {
            Answer again;
            if (!send("REPORT", book, SyncCollectionBody(QString()), {{"Depth", "0"}}, &again, Wait::Listing))
                return false;
            forgotten = again.status == 207;
        }
    }
    if (forgotten)
        return fail(Failure::InvalidToken,
                    tr("Server už nezná stav poslední synchronizace (HTTP %1).").arg(status));
    if (status == 405 || status == 501)
        return failNotAddressBook(book);
    return failStatus(status);
}

bool CardDavClient::multiget(const QUrl& book, const QStringList& hrefs, QList<RemoteCard>* cards,
                             QStringList* undelivered)
{
    cards->clear();
    QStringList missing;
    for (qsizetype start = 0; start < hrefs.size(); start += MultigetBatch) {
        const QStringList asked = hrefs.mid(start, MultigetBatch);
        Multistatus batch;
        if (!multistatus("REPORT", book, MultigetBody(asked), "0", &batch)) {
            // A server failing a whole batch may still give each card alone (Xandikos fails
            // a batch over one card that is not UTF-8).
            if (EndsTheCall(m_failure))
                return false;
            for (const QString& href : asked)
                if (!fetchOne(book, href, cards, &missing))
                    return false;
            continue;
        }
        QHash<QString, RemoteCard> got;
        for (const DavResponse& response : std::as_const(batch.responses)) {
            const QUrl url = resolve(book, response.href);
            if (!url.isValid())
                continue;
            if ((response.status == 0 || IsSuccess(response.status)) && !response.addressData.isEmpty())
                got.insert(PathKey(url), {response.href, response.etag, response.addressData});
            else
                got.remove(PathKey(url));
        }
        for (const QString& href : asked) {
            const QUrl url = resolve(book, href);
            const auto card = url.isValid() ? got.constFind(PathKey(url)) : got.cend();
            if (card == got.cend()) {
                missing << href;
                continue;
            }
            // Under the href asked for: the caller's name of the card, however the server spells it.
            cards->append({href, card->etag, card->data});
            got.erase(card);
        }
    }
    if (undelivered)
        *undelivered = missing;
    succeed();
    return true;
}

// One card by GET, which also gives a card whose bytes the server cannot put into XML.
bool CardDavClient::fetchOne(const QUrl& book, const QString& href, QList<RemoteCard>* cards,
                             QStringList* undelivered)
{
    const QUrl url = resolve(book, href);
    Answer answer;
    if (!url.isValid() || !IsMemberOf(url, book)) {
        *undelivered << href;
        return true;
    }
    if (!send("GET", url, {}, {}, &answer, Wait::Simple) && EndsTheCall(m_failure))
        return false;
    if (answer.status == 401 || answer.status == 403)
        return failStatus(answer.status);
    const QString etag = QString::fromUtf8(answer.etag);
    if (IsSuccess(answer.status) && !answer.body.isEmpty() && !etag.isEmpty() && !HasControlCharacter(etag))
        cards->append({href, etag, answer.body});
    else
        *undelivered << href;
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
    const bool sent = send("PUT", url, vcard, headers, &answer, Wait::Simple);
    const bool written = sent && IsSuccess(answer.status);
    if (sent && !written)
        failStatus(answer.status);
    m_ifNoneMatch = false;
    if (!written)
        return false;
    const QString given = QString::fromUtf8(answer.etag);
    if (!HasControlCharacter(given))
        *newEtag = given;
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
    if (!send("DELETE", url, {}, headers, &answer, Wait::Simple))
        return false;
    if (IsSuccess(answer.status) || answer.status == 404 || answer.status == 410)
        return true;
    return failStatus(answer.status);
}

} // namespace carddav
