#include "sync/Synchronizer.h"

#include "db/Connection.h"
#include "db/Query.h"
#include "db/SyncStore.h"
#include "exchange/VCardCommands.h"
#include "sync/CardDavClient.h"
#include "sync/CardEdit.h"

#include <QDate>
#include <QElapsedTimer>
#include <QSet>
#include <QThread>
#include <QUuid>

namespace synchro {
namespace {

// A card the program cannot read as one contact: kept on the server as it is, never touched.
const QString kNotOurs = QStringLiteral("-");
// Larger cards (photos, attachments) are left on the server: kept here, each would be read
// into memory by every later run.
constexpr qint64 kMaxCardBytes = carddav::CardDavClient::MaxCardBytes;
// The directory's work is done in groups this long, each one transaction: the window stays
// responsive and a kill loses at most one group, which the next run takes again.
constexpr qint64 kGroupMs = 200;

// Runs `work` on the thread of `owner` and waits for it: the directory is used from its own
// thread only, whichever thread the synchronisation runs on.
template <typename F> bool OnThreadOf(QObject* owner, F&& work)
{
    if (QThread::currentThread() == owner->thread())
        return work();
    bool result = false;
    QMetaObject::invokeMethod(
        owner, [&] { result = work(); }, Qt::BlockingQueuedConnection);
    return result;
}

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

// A card from the server, read on the running thread before the directory takes it.
struct Incoming
{
    QString href;
    QString etag;
    QByteArray data;
    QList<ContactValues> rows;
    QStringList wholeNumbers; // per row: the server's number where the row holds it cut, else empty
    QString refusal;          // why the program cannot take it, in Czech
};

Incoming Read(const carddav::RemoteCard& card)
{
    Incoming in{card.href, card.etag, card.data, {}, {}, {}};
    if (card.data.size() > kMaxCardBytes) {
        in.refusal = QStringLiteral("karta je větší než %1 MB").arg(kMaxCardBytes >> 20);
        in.data.clear();
        return in;
    }
    const vcard::ReadResult read = vcard::ReadVCards(card.data);
    if (read.cards.size() != 1) {
        in.refusal = read.cards.isEmpty()
                         ? QStringLiteral("kartu nelze přečíst")
                         : QStringLiteral("soubor obsahuje %1 kontaktů").arg(read.cards.size());
        in.data.clear();
        return in;
    }
    const vcard::Card& c = read.cards.first();
    in.rows = CardRows(c, DateText(QDate::currentDate()));
    const QStringList cut = vcard::LongNumbers(c);
    for (qsizetype i = 0; i < in.rows.size(); ++i)
        in.wholeNumbers << (cut.contains(c.phones.value(i)) ? c.phones.value(i) : QString());
    return in;
}

class Run
{
public:
    Run(db::Connection* connection, carddav::CardDavClient* client, const Synchronizer& hooks)
        : m_connection(connection), m_store(*new db::SyncStore(connection)), m_client(client), m_hooks(hooks)
    {
    }
    ~Run()
    {
        // The store's statements belong to the directory's thread.
        db([this] {
            m_store.rollback();
            delete &m_store;
            return true;
        });
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    SyncOutcome go(const QUrl& address);

private:
    template <typename F> bool db(F&& work) { return OnThreadOf(m_connection, std::forward<F>(work)); }
    bool fail(const QString& why)
    {
        db([this] {
            m_store.rollback();
            return true;
        });
        if (m_out.error.isEmpty())
            m_out.error = why;
        return false;
    }
    bool clientFailed() { return fail(m_client->errorText()); }
    bool storeFailed() { return fail(m_store.error()); }
    bool step()
    {
        ++m_done;
        if (m_hooks.progress && !m_hooks.progress(m_done, m_total)) {
            m_out.interrupted = true;
            return false;
        }
        return true;
    }
    bool commit() { return m_store.commit() || storeFailed(); }

    bool readState();
    bool readServer();
    EmptiedSide emptiedSide() const;
    bool settleEmptied();
    bool takeServerCards();
    bool takeGroup(qsizetype* next);
    bool takeServerDeletions();
    bool sendChanges();
    bool sendNew();
    bool upload(const QString& href, const QByteArray& data, const QString& etag, const QString& fingerprint);
    bool applyCard(const Incoming& card);

    db::Connection* m_connection;
    db::SyncStore& m_store;
    carddav::CardDavClient* m_client;
    const Synchronizer& m_hooks;
    SyncOutcome m_out;
    QUrl m_book;
    bool m_tokens = false;
    QString m_newToken;
    QHash<QString, db::SyncedCard> m_known;
    QHash<QString, QList<db::LocalRow>> m_linked;
    QHash<QString, QString> m_changed; // href -> ETag, cards new or changed on the server
    QSet<QString> m_deleted;
    QList<Incoming> m_fetched;
    struct
    {
        int received = 0;
        int conflicts = 0;
        int longNumbers = 0;
        QStringList notTaken;
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
    if (!readState() || !readServer() || !settleEmptied())
        return m_out;
    if (takeServerCards() && takeServerDeletions() && sendChanges() && sendNew()) {
        // The token moves on only when every change it announced was taken; otherwise the next
        // run is told them again.
        if (m_tokens && m_out.counts.notReceived == 0 &&
            !db([this] { return m_store.setValue(QStringLiteral("token"), m_newToken); }))
            storeFailed();
        else
            m_out.ok = true;
    }
    return m_out;
}

bool Run::readState()
{
    return db([this] {
        if (!m_store.ensureTables())
            return storeFailed();
        // Another address book: what the directory knew of the previous one says nothing of this one.
        if (m_store.value(QStringLiteral("adresar")) != m_book.toString()) {
            if (!m_store.begin() || !m_store.reset() ||
                !m_store.setValue(QStringLiteral("adresar"), m_book.toString()) || !commit())
                return storeFailed();
        }
        m_known = m_store.cards();
        m_linked = m_store.linkedRows();
        return true;
    });
}

bool Run::readServer()
{
    m_changed.clear();
    m_deleted.clear();
    m_fetched.clear();
    bool tokens = false;
    if (!m_client->supportsSyncCollection(m_book, &tokens))
        return clientFailed();
    m_tokens = tokens;
    bool full = true;
    if (m_tokens) {
        QString token;
        db([&] {
            token = m_store.value(QStringLiteral("token"));
            return true;
        });
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
    QList<carddav::RemoteCard> fetched;
    if (!m_changed.isEmpty() && !m_client->multiget(m_book, m_changed.keys(), &fetched))
        return clientFailed();
    // Each card once, whatever the server repeats; a card listed and not delivered is asked
    // for again by the next run.
    QSet<QString> delivered;
    for (qsizetype i = fetched.size() - 1; i >= 0; --i)
        if (m_changed.contains(fetched[i].href) && !delivered.contains(fetched[i].href)) {
            delivered.insert(fetched[i].href);
            m_fetched.prepend(Read(fetched[i]));
        }
    m_out.counts.notReceived = int(m_changed.size() - delivered.size());
    m_total = int(m_fetched.size() + m_deleted.size() + m_known.size());
    return true;
}

EmptiedSide Run::emptiedSide() const
{
    int confirmed = 0, goneThere = 0, contactsHere = 0, ours = 0, stillHere = 0, wouldGoThere = 0;
    for (const db::SyncedCard& k : std::as_const(m_known)) {
        if (k.etag.isEmpty())
            continue;
        ++confirmed;
        const qsizetype local = m_linked.value(k.href).size();
        if (m_deleted.contains(k.href)) {
            ++goneThere;
            contactsHere += int(local);
        }
        if (k.fingerprint == kNotOurs)
            continue;
        ++ours;
        stillHere += local > 0 ? 1 : 0;
        wouldGoThere += local == 0 && !m_deleted.contains(k.href) ? 1 : 0;
    }
    if (confirmed > 0 && goneThere == confirmed && contactsHere > 0)
        return {true, contactsHere};
    if (ours > 0 && stillHere == 0 && wouldGoThere > 0)
        return {false, wouldGoThere};
    return {};
}

bool Run::settleEmptied()
{
    const EmptiedSide side = emptiedSide();
    if (side.count == 0)
        return true;
    const EmptiedChoice choice = m_hooks.emptied ? m_hooks.emptied(side) : EmptiedChoice::Stop;
    if (choice == EmptiedChoice::Delete)
        return true;
    if (choice == EmptiedChoice::Stop) {
        m_out.stoppedAtEmptied = true;
        return fail(side.server
                        ? QStringLiteral("Na serveru byly od poslední synchronizace smazány všechny karty; "
                                         "zde by se smazalo kontaktů: %1. Nic nebylo změněno.")
                              .arg(side.count)
                        : QStringLiteral("Zde byly od poslední synchronizace smazány všechny "
                                         "synchronizované kontakty; na serveru by se smazalo karet: "
                                         "%1. Nic nebylo změněno.")
                              .arg(side.count));
    }
    // As a first synchronisation, which deletes nothing: each side gets what the other has.
    if (!db([this] {
            return (m_store.begin() && m_store.reset() &&
                    m_store.setValue(QStringLiteral("adresar"), m_book.toString()) && commit()) ||
                   storeFailed();
        }))
        return false;
    return readState() && readServer();
}

bool Run::applyCard(const Incoming& card)
{
    const auto known = m_known.constFind(card.href);
    const QList<db::LocalRow> local = m_linked.value(card.href);
    if (!card.refusal.isEmpty()) {
        m_group.notTaken << card.href + QStringLiteral(" (") + card.refusal + QLatin1Char(')');
        return m_store.putCard({card.href, card.etag, QByteArray(), kNotOurs, QString()}) || storeFailed();
    }
    QList<ContactValues> rows = card.rows;
    const QString incoming = Fingerprint(rows);
    if (known != m_known.cend() && !known->pendingFingerprint.isEmpty() &&
        incoming == known->pendingFingerprint) {
        // The upload of an earlier run arrived; only its confirmation was lost.
        return m_store.putCard({card.href, card.etag, card.data, incoming, QString()}) || storeFailed();
    }
    const bool changedHere =
        known != m_known.cend() && !local.isEmpty() && Fingerprint(Values(local)) != known->fingerprint;
    QList<db::LocalRow> now;
    int cutShort = 0;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        qint64 id = 0;
        const bool numberChanged = i >= local.size() || local[i].values.telefon != rows[i].telefon;
        if (i < local.size()) {
            id = local[i].id;
            rows[i].datum = local[i].values.datum; // the contact keeps the date it was entered
            if (!m_store.updateContact(id, rows[i]))
                return storeFailed();
        } else {
            id = m_store.insertContact(rows[i]);
            if (!id || !m_store.link(id, card.href))
                return storeFailed();
        }
        now.append({id, rows[i]});
        // The whole number stays with the contact, once, when the directory keeps it cut.
        const QString whole = card.wholeNumbers.value(i);
        if (!whole.isEmpty() && numberChanged) {
            if (!m_store.addNote(id, QStringLiteral("Celé číslo ze serveru: ") + whole))
                return storeFailed();
            ++cutShort;
        }
    }
    for (qsizetype i = rows.size(); i < local.size(); ++i)
        if (!m_store.deleteContact(local[i].id))
            return storeFailed();
    if (changedHere && !m_store.addNote(now.first().id, LostValues(local)))
        return storeFailed();
    if (!m_store.putCard({card.href, card.etag, card.data, incoming, QString()}))
        return storeFailed();
    m_linked.insert(card.href, now);
    ++m_group.received;
    m_group.conflicts += changedHere ? 1 : 0;
    m_group.longNumbers += cutShort;
    return true;
}

// On the directory's thread: the cards from `*next` on for one group's time, in one transaction.
bool Run::takeGroup(qsizetype* next)
{
    QElapsedTimer clock;
    clock.start();
    if (!m_store.begin())
        return storeFailed();
    while (*next < m_fetched.size() && clock.elapsed() < kGroupMs) {
        if (!step())
            break;
        if (!applyCard(m_fetched[*next]))
            return false;
        ++*next;
    }
    if (!commit())
        return false;
    m_out.counts.received += m_group.received;
    m_out.counts.conflicts += m_group.conflicts;
    m_out.counts.longNumbers += m_group.longNumbers;
    m_out.counts.notTaken += int(m_group.notTaken.size());
    m_out.notTaken += m_group.notTaken;
    m_group = {};
    return !m_out.interrupted;
}

bool Run::takeServerCards()
{
    for (qsizetype next = 0; next < m_fetched.size();)
        if (!db([&] { return takeGroup(&next); }))
            return false;
    for (const Incoming& card : std::as_const(m_fetched))
        m_known.remove(card.href);
    m_fetched.clear();
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
        if (!db([&] {
                if (!m_store.begin())
                    return storeFailed();
                for (const db::LocalRow& r : local)
                    if (!(changedHere ? m_store.unlink(r.id) : m_store.deleteContact(r.id)))
                        return storeFailed();
                return m_store.dropCard(href) && commit();
            }))
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
    return true;
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
        const QStringList person = PersonKey(local.first().values);
        QList<db::LocalRow> own, gone;
        for (const db::LocalRow& r : local)
            (PersonKey(r.values) == person ? own : gone).append(r);
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
    QList<QList<db::LocalRow>> people;
    QHash<QStringList, qsizetype> byPerson;
    for (const db::LocalRow& r : std::as_const(rows)) {
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

// "odesláno karet 2, přijato 1", of the counts that are not zero unless `all`.
QString CountsText(const SyncCounts& c, bool all)
{
    const QList<QPair<const char*, int>> counts = {{"odesláno karet", c.sent},
                                                   {"přijato", c.received},
                                                   {"smazáno zde", c.deletedHere},
                                                   {"smazáno na serveru", c.deletedThere},
                                                   {"konfliktů", c.conflicts}};
    QStringList parts;
    for (const auto& [label, count] : counts)
        if (all || count != 0)
            parts << QString::fromUtf8(label) + QLatin1Char(' ') + QString::number(count);
    return parts.join(QStringLiteral(", "));
}

// What the run left for the next one, or could not take at all.
QString Remainders(const SyncOutcome& outcome)
{
    const SyncCounts& c = outcome.counts;
    QString text;
    if (c.notReceived > 0)
        text += QStringLiteral(" Karet, které server nedodal: %1; příští synchronizace si o ně řekne znovu.")
                    .arg(c.notReceived);
    if (c.refused > 0)
        text += QStringLiteral(" Karet, které server odmítl, protože se na něm mezitím změnily: %1; příští "
                               "synchronizace je vyrovná.")
                    .arg(c.refused);
    if (c.notTaken > 0) {
        QStringList named = outcome.notTaken.mid(0, 5);
        if (outcome.notTaken.size() > 5)
            named << QStringLiteral("…");
        text += QStringLiteral(" Karet, které program nemůže převzít a nechal je na serveru: %1 (%2).")
                    .arg(c.notTaken)
                    .arg(named.join(QStringLiteral(", ")));
    }
    if (c.longNumbers > 0)
        text += QStringLiteral(" Kontaktů s číslem delším, než seznam pojme: %1; celé číslo je v jejich "
                               "doplňující poznámce.")
                    .arg(c.longNumbers);
    return text;
}

} // namespace

QString SyncSummary(const SyncOutcome& outcome)
{
    if (outcome.ok)
        return QStringLiteral("Synchronizace dokončena: ") + CountsText(outcome.counts, true) +
               QLatin1Char('.') + Remainders(outcome);
    const QString done = CountsText(outcome.counts, false);
    if (outcome.interrupted)
        return QStringLiteral("Synchronizace byla přerušena; příští ji dokončí.") +
               (done.isEmpty() ? QString() : QStringLiteral(" Zatím ") + done + QLatin1Char('.')) +
               Remainders(outcome);
    return QStringLiteral("Synchronizace se nezdařila: ") + outcome.error +
           (done.isEmpty()
                ? QString()
                : QStringLiteral(" Příští synchronizace naváže; do té doby ") + done + QLatin1Char('.')) +
           Remainders(outcome);
}

QString EmptiedQuestion(const EmptiedSide& side)
{
    if (side.server)
        return QStringLiteral("Na serveru byly od poslední synchronizace smazány všechny karty. Smazat také "
                              "zde kontakty (%1)?\n\nNe: kontakty zůstanou a odešlou se na server znovu.")
            .arg(side.count);
    return QStringLiteral("Zde byly od poslední synchronizace smazány všechny synchronizované kontakty. "
                          "Smazat také karty na serveru (%1)?\n\nNe: karty zůstanou na serveru a vrátí se "
                          "sem.")
        .arg(side.count);
}

Synchronizer::Synchronizer(db::Connection* connection, carddav::CardDavClient* client)
    : m_connection(connection), m_client(client)
{
}

SyncOutcome Synchronizer::run(const QUrl& address)
{
    // The grid's reading gives way to the writes.
    OnThreadOf(m_connection, [this] {
        db::Query::SuspendReading(m_connection);
        return true;
    });
    Run run(m_connection, m_client, *this);
    return run.go(address);
}

} // namespace synchro
