#include "sync/Synchronizer.h"

#include "sync/SyncRun.h"

#include "db/contacts/Query.h"
#include "db/engine/Connection.h"
#include "db/syncstore/SyncStore.h"
#include "formats/VCardRows.h"
#include "sync/CardDavClient.h"
#include "sync/CardEdit.h"
#include "sync/SyncTexts.h"

#include <QDate>
#include <QElapsedTimer>
#include <QSet>
#include <QThread>
#include <QUuid>

namespace synchro::detail {

QList<ContactValues> Values(const QList<db::LocalRow>& rows)
{
    QList<ContactValues> values;
    for (const db::LocalRow& r : rows)
        values.append(r.values);
    return values;
}

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

SyncOutcome Run::go(const QUrl& address)
{
    // The book found at this address before, with a token: its changes are asked for at once,
    // one request where nothing changed. Anything unexpected there, and the run finds the book
    // again the long way.
    db([&] {
        if (m_store.hasTables() && m_store.value(QStringLiteral("adresa")) == address.toString() &&
            m_store.value(QStringLiteral("tokeny")) == QLatin1String("1") &&
            !m_store.value(QStringLiteral("token")).isEmpty()) {
            m_book = QUrl(m_store.value(QStringLiteral("adresar")));
            m_quick = m_book.isValid();
        }
        return true;
    });
    if (!m_quick && !m_client->discover(address, &m_book)) {
        clientFailed();
        return m_out;
    }
    if (!readState())
        return m_out;
    if (!readServer()) {
        if (!m_quick || m_out.interrupted)
            return m_out;
        m_quick = false;
        m_out = SyncOutcome();
        if (!m_client->discover(address, &m_book)) {
            clientFailed();
            return m_out;
        }
        if (!readState() || !readServer())
            return m_out;
    }
    if (!settleEmptied())
        return m_out;
    if (takeServerCards() && takeServerDeletions() && sendChanges() && sendNew()) {
        // The token moves on only when every change it announced was taken; otherwise the next
        // run is told them again.
        const QString token = m_tokens && m_out.counts.notReceived == 0 ? tokenAfterUploads() : QString();
        if (!db([&] {
                return m_store.setValue(QStringLiteral("adresa"), address.toString()) &&
                       m_store.setValue(QStringLiteral("tokeny"),
                                        m_tokens ? QStringLiteral("1") : QStringLiteral("0")) &&
                       (token.isEmpty() || m_store.setValue(QStringLiteral("token"), token));
            }))
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
    bool tokens = m_quick;
    if (!m_quick && !m_client->supportsSyncCollection(m_book, &tokens))
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
    if (changedHere && !m_store.addNote(now.first().id, LostValues(Values(local))))
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

} // namespace synchro::detail

namespace synchro {

using detail::OnThreadOf;
using detail::Run;

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
