#include "sync/Synchronizer.h"

#include "db/Query.h"
#include "db/SyncStore.h"
#include "sync/CardDavClient.h"
#include "sync/CardEdit.h"

#include <QDate>
#include <QElapsedTimer>
#include <QSet>
#include <QUuid>

namespace synchro {
namespace {

// A card the program cannot read as one contact: kept on the server as it is, never touched.
const QString kNotOurs = QStringLiteral("-");

QList<ContactValues> Values(const QList<db::LocalRow>& rows)
{
    QList<ContactValues> values;
    for (const db::LocalRow& r : rows)
        values.append(r.values);
    return values;
}

// The local values that lost against the server's, as the note that keeps them.
QString LostValues(const QList<db::LocalRow>& rows)
{
    const vcard::Contact person = PersonOf(Values(rows));
    const ContactValues& v = person.values;
    QStringList phones{v.telefon};
    phones += person.furtherPhones;
    phones.removeAll(QString());
    QStringList parts;
    const QList<QPair<QString, QString>> fields = {
        {QStringLiteral("Jméno"), v.jmeno},       {QStringLiteral("Telefon"), phones.join(u", ")},
        {QStringLiteral("Email"), v.email},       {QStringLiteral("Organizace"), v.organizace},
        {QStringLiteral("Poznámka"), v.poznamka}, {QStringLiteral("Skupina"), v.skupina},
        {QStringLiteral("ICQ"), v.icq},           {QStringLiteral("Skype"), v.skype}};
    for (const auto& [label, value] : fields)
        if (!value.isEmpty())
            parts << label + QStringLiteral(": ") + value;
    return QStringLiteral("Místní změna před synchronizací: ") + parts.join(QStringLiteral("; "));
}

class Run
{
public:
    Run(db::Connection* connection, carddav::CardDavClient* client,
        const std::function<bool(int, int)>& progress)
        : m_store(connection), m_client(client), m_progress(progress)
    {
    }

    SyncOutcome go(const QUrl& address);

private:
    bool fail(const QString& why)
    {
        m_store.rollback();
        if (m_out.error.isEmpty())
            m_out.error = why;
        return false;
    }
    bool clientFailed() { return fail(m_client->errorText()); }
    bool storeFailed() { return fail(m_store.error()); }
    bool step()
    {
        ++m_done;
        if (m_progress && !m_progress(m_done, m_total)) {
            m_out.interrupted = true;
            return false;
        }
        return true;
    }
    bool commit() { return m_store.commit() || storeFailed(); }

    bool readServer();
    bool takeServerCards();
    bool takeServerDeletions();
    bool sendChanges();
    bool sendNew();
    bool upload(const QString& href, const QByteArray& data, const QString& etag, const QString& fingerprint);
    bool applyCard(const QString& href, const carddav::RemoteCard& card);

    db::SyncStore m_store;
    carddav::CardDavClient* m_client;
    std::function<bool(int, int)> m_progress;
    SyncOutcome m_out;
    QUrl m_book;
    bool m_tokens = false;
    QString m_newToken;
    QHash<QString, db::SyncedCard> m_known;
    QHash<QString, QList<db::LocalRow>> m_linked;
    QHash<QString, QString> m_changed; // href -> ETag, cards new or changed on the server
    QSet<QString> m_deleted;
    QList<carddav::RemoteCard> m_fetched;
    struct
    {
        int received = 0;
        int conflicts = 0;
    } m_group; // counted once their group is committed
    int m_done = 0;
    int m_total = 0;
};

SyncOutcome Run::go(const QUrl& address)
{
    if (!m_client->discover(address, &m_book)) {
        clientFailed();
        return m_out;
    }
    if (!m_store.ensureTables()) {
        storeFailed();
        return m_out;
    }
    // Another address book: what the directory knew of the previous one says nothing of this one.
    if (m_store.value(QStringLiteral("adresar")) != m_book.toString()) {
        if (!m_store.begin() || !m_store.reset() ||
            !m_store.setValue(QStringLiteral("adresar"), m_book.toString()) || !commit()) {
            storeFailed();
            return m_out;
        }
    }
    m_known = m_store.cards();
    m_linked = m_store.linkedRows();
    if (readServer() && takeServerCards() && takeServerDeletions() && sendChanges() && sendNew()) {
        if (m_tokens && !m_store.setValue(QStringLiteral("token"), m_newToken))
            storeFailed();
        else
            m_out.ok = true;
    }
    return m_out;
}

bool Run::readServer()
{
    bool tokens = false;
    if (!m_client->supportsSyncCollection(m_book, &tokens))
        return clientFailed();
    m_tokens = tokens;
    bool full = true;
    if (m_tokens) {
        QString token = m_store.value(QStringLiteral("token"));
        carddav::RemoteChanges changes;
        if (!m_client->syncCollection(m_book, token, &changes)) {
            if (m_client->failure() != carddav::CardDavClient::Failure::InvalidToken || token.isEmpty())
                return clientFailed();
            token.clear();
            if (!m_client->syncCollection(m_book, token, &changes))
                return clientFailed();
        }
        full = token.isEmpty();
        for (const carddav::RemoteCard& c : changes.changed)
            m_changed.insert(c.href, c.etag);
        for (const QString& href : changes.deleted)
            m_deleted.insert(href);
        m_newToken = changes.token;
    } else {
        QList<carddav::RemoteCard> cards;
        if (!m_client->listEtags(m_book, &cards))
            return clientFailed();
        for (const carddav::RemoteCard& c : cards)
            m_changed.insert(c.href, c.etag);
    }
    // A whole listing names every card: one the directory knew and the server no longer has
    // was deleted there (an upload never confirmed is sent again instead).
    if (full)
        for (const db::SyncedCard& k : std::as_const(m_known))
            if (!m_changed.contains(k.href) && !k.etag.isEmpty())
                m_deleted.insert(k.href);
    for (auto it = m_changed.begin(); it != m_changed.end();) {
        const auto known = m_known.constFind(it.key());
        if (known != m_known.cend() && !known->etag.isEmpty() && known->etag == it.value())
            it = m_changed.erase(it);
        else
            ++it;
    }
    if (!m_changed.isEmpty() && !m_client->multiget(m_book, m_changed.keys(), &m_fetched))
        return clientFailed();
    m_total = int(m_fetched.size() + m_deleted.size() + m_known.size());
    return true;
}

bool Run::applyCard(const QString& href, const carddav::RemoteCard& card)
{
    const vcard::ReadResult read = vcard::ReadVCards(card.data);
    const auto known = m_known.constFind(href);
    const QList<db::LocalRow> local = m_linked.value(href);
    if (read.cards.size() != 1)
        return m_store.putCard({href, card.etag, card.data, kNotOurs, QString()}) || storeFailed();
    QList<ContactValues> rows = CardRows(read.cards.first(), DateText(QDate::currentDate()));
    const QString incoming = Fingerprint(rows);
    if (known != m_known.cend() && !known->pendingFingerprint.isEmpty() &&
        incoming == known->pendingFingerprint) {
        // The upload of an earlier run arrived; only its confirmation was lost.
        return m_store.putCard({href, card.etag, card.data, incoming, QString()}) || storeFailed();
    }
    const bool changedHere =
        known != m_known.cend() && !local.isEmpty() && Fingerprint(Values(local)) != known->fingerprint;
    QList<db::LocalRow> now;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (i < local.size()) {
            rows[i].datum = local[i].values.datum; // the contact keeps the date it was entered
            if (!m_store.updateContact(local[i].id, rows[i]))
                return storeFailed();
            now.append({local[i].id, rows[i]});
            continue;
        }
        const qint64 id = m_store.insertContact(rows[i]);
        if (!id || !m_store.link(id, href))
            return storeFailed();
        now.append({id, rows[i]});
    }
    for (qsizetype i = rows.size(); i < local.size(); ++i)
        if (!m_store.deleteContact(local[i].id))
            return storeFailed();
    if (changedHere && !m_store.addNote(now.first().id, LostValues(local)))
        return storeFailed();
    if (!m_store.putCard({href, card.etag, card.data, incoming, QString()}))
        return storeFailed();
    m_linked.insert(href, now);
    ++m_group.received;
    m_group.conflicts += changedHere ? 1 : 0;
    return true;
}

bool Run::takeServerCards()
{
    // The cards are taken in groups: each card whole with what the directory records of it, so
    // a group cut short by a kill is taken again whole by the next run.
    QElapsedTimer groupClock;
    bool open = false;
    auto close = [&] {
        if (!open)
            return true;
        open = false;
        if (!commit())
            return false;
        m_out.counts.received += m_group.received;
        m_out.counts.conflicts += m_group.conflicts;
        m_group = {};
        return true;
    };
    for (const carddav::RemoteCard& card : std::as_const(m_fetched)) {
        if (!step())
            return close() && false;
        if (!open) {
            if (!m_store.begin())
                return storeFailed();
            open = true;
            groupClock.start();
        }
        if (!applyCard(card.href, card))
            return false;
        if (groupClock.elapsed() >= 200 && !close())
            return false;
    }
    if (!close())
        return false;
    for (const carddav::RemoteCard& card : std::as_const(m_fetched))
        m_known.remove(card.href);
    return true;
}

bool Run::takeServerDeletions()
{
    for (const QString& href : std::as_const(m_deleted)) {
        if (!step())
            return false;
        const auto known = m_known.constFind(href);
        if (known == m_known.cend())
            continue;
        const QList<db::LocalRow> local = m_linked.value(href);
        // A contact changed here outlives its deletion there: it goes back as a new card.
        const bool changedHere = !local.isEmpty() && Fingerprint(Values(local)) != known->fingerprint;
        if (!m_store.begin())
            return storeFailed();
        for (const db::LocalRow& r : local)
            if (!(changedHere ? m_store.unlink(r.id) : m_store.deleteContact(r.id)))
                return storeFailed();
        if (!m_store.dropCard(href) || !commit())
            return false;
        m_out.counts.deletedHere += changedHere || local.isEmpty() ? 0 : 1;
        m_known.remove(href);
        m_linked.remove(href);
    }
    return true;
}

bool Run::upload(const QString& href, const QByteArray& data, const QString& etag, const QString& fingerprint)
{
    QString newEtag;
    if (!m_client->put(m_client->resolve(m_book, href), data, etag, &newEtag)) {
        // Changed there meanwhile: the next run takes the server's card and keeps ours as a note.
        if (m_client->failure() == carddav::CardDavClient::Failure::PreconditionFailed)
            return true;
        return clientFailed();
    }
    if (!m_store.begin() || !m_store.putCard({href, newEtag, data, fingerprint, QString()}))
        return storeFailed();
    if (!commit())
        return false;
    ++m_out.counts.sent;
    return true;
}

bool Run::sendChanges()
{
    for (const db::SyncedCard& k : std::as_const(m_known)) {
        if (!step())
            return false;
        if (k.fingerprint == kNotOurs)
            continue;
        QList<db::LocalRow> local = m_linked.value(k.href);
        if (local.isEmpty()) {
            if (!k.etag.isEmpty()) {
                if (!m_client->remove(m_client->resolve(m_book, k.href), k.etag)) {
                    if (m_client->failure() == carddav::CardDavClient::Failure::PreconditionFailed)
                        continue;
                    return clientFailed();
                }
                ++m_out.counts.deletedThere;
            }
            if (!m_store.begin() || !m_store.dropCard(k.href) || !commit())
                return storeFailed();
            continue;
        }
        // Rows changed into another person no longer belong to this card: they go as new ones.
        const QStringList person = PersonKey(local.first().values);
        QList<db::LocalRow> own;
        if (!m_store.begin())
            return storeFailed();
        for (const db::LocalRow& r : local) {
            if (PersonKey(r.values) == person)
                own.append(r);
            else if (!m_store.unlink(r.id))
                return storeFailed();
        }
        const QString now = Fingerprint(Values(own));
        if (now == k.fingerprint && !k.etag.isEmpty()) {
            if (!commit())
                return false;
            continue;
        }
        const QByteArray data = EditCard(k.card, PersonOf(Values(own)));
        // Recorded before it is sent: a confirmation lost on the way is recognised next time.
        if (!m_store.putCard({k.href, k.etag, k.card, k.fingerprint, now}) || !commit())
            return storeFailed();
        if (!upload(k.href, data, k.etag, now))
            return false;
    }
    return true;
}

bool Run::sendNew()
{
    const QList<db::LocalRow> rows = m_store.unlinkedRows();
    QList<QList<db::LocalRow>> people;
    QHash<QStringList, qsizetype> byPerson;
    for (const db::LocalRow& r : rows) {
        const QStringList key = PersonKey(r.values);
        const auto found = byPerson.constFind(key);
        if (found == byPerson.cend()) {
            byPerson.insert(key, people.size());
            people.append({r});
        } else {
            people[*found].append(r);
        }
    }
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
        if (!m_store.begin() || !m_store.putCard({href, QString(), data, QString(), fingerprint}))
            return storeFailed();
        for (const db::LocalRow& r : person)
            if (!m_store.link(r.id, href))
                return storeFailed();
        if (!commit() || !upload(href, data, QString(), fingerprint))
            return false;
    }
    return true;
}

} // namespace

QString SyncSummary(const SyncOutcome& outcome)
{
    const SyncCounts& c = outcome.counts;
    const QString counts =
        QStringLiteral("odesláno karet %1, přijato %2, smazáno zde %3, smazáno na serveru %4, "
                       "konfliktů %5.")
            .arg(c.sent)
            .arg(c.received)
            .arg(c.deletedHere)
            .arg(c.deletedThere)
            .arg(c.conflicts);
    if (outcome.ok)
        return QStringLiteral("Synchronizace dokončena: ") + counts;
    if (outcome.interrupted)
        return QStringLiteral("Synchronizace byla přerušena; příští ji dokončí. Zatím ") + counts;
    return QStringLiteral("Synchronizace se nezdařila: ") + outcome.error +
           QStringLiteral(" Příští synchronizace naváže; do té doby ") + counts;
}

Synchronizer::Synchronizer(db::Connection* connection, carddav::CardDavClient* client)
    : m_connection(connection), m_client(client)
{
}

SyncOutcome Synchronizer::run(const QUrl& address)
{
    // The grid's reading gives way to the writes.
    db::Query::SuspendReading(m_connection);
    Run run(m_connection, m_client, progress);
    return run.go(address);
}

} // namespace synchro
