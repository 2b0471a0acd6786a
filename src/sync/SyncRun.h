#pragma once

#include "db/engine/Connection.h"
#include "db/syncstore/SyncStore.h"
#include "sync/CardDavClient.h"
#include "sync/Synchronizer.h"

#include <QHash>
#include <QSet>
#include <QThread>

// One synchronising run, shared by the files that take the server's changes and send ours.
namespace synchro::detail {

// A card the program cannot read as one contact: kept on the server as it is, never touched.
inline const QString kNotOurs = QStringLiteral("-");
// Larger cards (photos, attachments) are left on the server: kept here, each would be read
// into memory by every later run.
inline constexpr qint64 kMaxCardBytes = carddav::CardDavClient::MaxCardBytes;
// The directory's work is done in groups this long, each one transaction: the window stays
// responsive and a kill loses at most one group, which the next run takes again.
inline constexpr qint64 kGroupMs = 200;

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

QList<ContactValues> Values(const QList<db::LocalRow>& rows);

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

Incoming Read(const carddav::RemoteCard& card);

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
    QString tokenAfterUploads();

    db::Connection* m_connection;
    db::SyncStore& m_store;
    carddav::CardDavClient* m_client;
    const Synchronizer& m_hooks;
    SyncOutcome m_out;
    QUrl m_book;
    bool m_quick = false; // the book and its token known from the last run at this address
    bool m_tokens = false;
    QString m_newToken;
    QHash<QString, db::SyncedCard> m_known;
    QHash<QString, QList<db::LocalRow>> m_linked;
    QHash<QString, QString> m_changed; // href -> ETag, cards new or changed on the server
    QSet<QString> m_deleted;
    QList<Incoming> m_fetched;
    QHash<QString, QString> m_uploaded; // href -> ETag the server gave
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

} // namespace synchro::detail
