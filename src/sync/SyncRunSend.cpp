#include "sync/SyncRun.h"

#include "sync/CardEdit.h"

#include <QUuid>

// The run's second half: what changed here goes to the server.
namespace synchro::detail {

bool Run::upload(const QString& href, const QByteArray& data, const QString& etag, const QString& fingerprint)
{
    QString newEtag;
    if (!m_client->put(m_client->resolve(m_book, href), data, etag, &newEtag)) {
        if (m_client->failure() != carddav::CardDavClient::Failure::PreconditionFailed)
            return clientFailed();
        // Changed there meanwhile: the next run takes the server's card and keeps ours as a note.
        ++m_out.counts.refused;
        return true;
    }
    if (!db([&] {
            return (m_store.begin() && m_store.putCard({href, newEtag, data, fingerprint, QString()}) &&
                    commit()) ||
                   storeFailed();
        }))
        return false;
    ++m_out.counts.sent;
    m_uploaded.insert(href, newEtag);
    return true;
}

// The token to keep. The one of the listing is older than this run's uploads, and a server may
// leave out of later changes a card made and deleted after it: one deleted by another client
// before the next run would never be told. When the changes since the listing are exactly the
// uploads, the token after them is kept instead.
QString Run::tokenAfterUploads()
{
    if (m_uploaded.isEmpty())
        return m_newToken;
    carddav::RemoteChanges since;
    if (!m_client->syncCollection(m_book, m_newToken, &since) || !since.deleted.isEmpty() ||
        since.changed.size() != m_uploaded.size())
        return m_newToken;
    for (const carddav::RemoteCard& c : std::as_const(since.changed)) {
        const auto sent = m_uploaded.constFind(c.href);
        if (sent == m_uploaded.cend() || sent->isEmpty() || *sent != c.etag)
            return m_newToken;
    }
    return since.token;
}

bool Run::sendChanges()
{
    for (const db::SyncedCard& k : std::as_const(m_known)) {
        if (!step())
            return false;
        if (k.fingerprint == kNotOurs)
            continue;
        const QList<db::LocalRow> local = m_linked.value(k.href);
        if (local.isEmpty()) {
            if (!k.etag.isEmpty()) {
                if (!m_client->remove(m_client->resolve(m_book, k.href), k.etag)) {
                    if (m_client->failure() == carddav::CardDavClient::Failure::PreconditionFailed)
                        continue;
                    return clientFailed();
                }
                ++m_out.counts.deletedThere;
            }
            if (!db([&] {
                    return (m_store.begin() && m_store.dropCard(k.href) && commit()) || storeFailed();
                }))
                return false;
            continue;
        }
        // Rows changed into another person no longer belong to this card: they go as new ones.
        const QStringList person = db::PersonKey(local.first().values);
        QList<db::LocalRow> own, gone;
        for (const db::LocalRow& r : local)
            (db::PersonKey(r.values) == person ? own : gone).append(r);
        const QString now = Fingerprint(Values(own));
        if (gone.isEmpty() && now == k.fingerprint && !k.etag.isEmpty())
            continue;
        QByteArray data;
        // Recorded before it is sent: a confirmation lost on the way is recognised next time.
        if (!db([&] {
                if (!m_store.begin())
                    return storeFailed();
                for (const db::LocalRow& r : std::as_const(gone))
                    if (!m_store.unlink(r.id))
                        return storeFailed();
                const QByteArray card = m_store.cardData(k.href);
                if (now != k.fingerprint || k.etag.isEmpty())
                    data = EditCard(card, PersonOf(Values(own)));
                return (m_store.putCard(
                            {k.href, k.etag, card, k.fingerprint, data.isEmpty() ? QString() : now}) &&
                        commit()) ||
                       storeFailed();
            }))
            return false;
        if (!data.isEmpty() && !upload(k.href, data, k.etag, now))
            return false;
    }
    return true;
}

bool Run::sendNew()
{
    QList<db::LocalRow> rows;
    if (!db([&] {
            rows = m_store.unlinkedRows();
            return true;
        }))
        return false;
    const QList<QList<db::LocalRow>> people =
        db::GroupByPerson(rows, [](const db::LocalRow& r) -> const ContactValues& { return r.values; });
    m_total += int(people.size());
    QString folder = m_book.path();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    for (const QList<db::LocalRow>& person : std::as_const(people)) {
        if (!step())
            return false;
        const QString uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        const QString href = folder + uid + QStringLiteral(".vcf");
        const QByteArray data = NewCard(PersonOf(Values(person)), uid);
        const QString fingerprint = Fingerprint(Values(person));
        if (!db([&] {
                if (!m_store.begin() || !m_store.putCard({href, QString(), data, QString(), fingerprint}))
                    return storeFailed();
                for (const db::LocalRow& r : person)
                    if (!m_store.link(r.id, href))
                        return storeFailed();
                return commit();
            }))
            return false;
        if (!upload(href, data, QString(), fingerprint))
            return false;
    }
    return true;
}

} // namespace synchro::detail
