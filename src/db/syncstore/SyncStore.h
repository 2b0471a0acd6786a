#pragma once

#include "db/contacts/RecordStatements.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

// What the directory file keeps of its synchronisation with an address book on a server: the
// cards it knows (address, ETag, the card as last seen or sent, and the state of its rows
// then), which contacts belong to which card, and the collection's sync token. The tables are
// made by the first synchronisation; a file that never synchronised has none, and the
// structure version and every older reader of the file are unaffected by them.
namespace db {

class Connection;

struct SyncedCard
{
    QString href;
    QString etag;    // empty while an upload has not been confirmed
    QByteArray card; // the vCard as the server holds it (or as it was sent); not read by cards()
    QString fingerprint;
    // The rows' state when an upload was sent and not yet confirmed; empty otherwise.
    QString pendingFingerprint;
};

struct LocalRow
{
    qint64 id = 0;
    ContactValues values;
};

class SyncStore
{
public:
    explicit SyncStore(Connection* connection);
    ~SyncStore();
    SyncStore(const SyncStore&) = delete;
    SyncStore& operator=(const SyncStore&) = delete;

    bool hasTables();
    // Creates the tables when missing.
    bool ensureTables();

    QString value(const QString& key);
    bool setValue(const QString& key, const QString& value);

    QHash<QString, SyncedCard> cards();
    QByteArray cardData(const QString& href);
    // The existing contacts of each card, in the order of their ids.
    QHash<QString, QList<LocalRow>> linkedRows();
    // The contacts that belong to no card, in the order of their ids.
    QList<LocalRow> unlinkedRows();

    bool begin();
    bool commit();
    void rollback();

    // Forgets every card and link (another address book).
    bool reset();
    bool putCard(const SyncedCard& card);
    bool dropCard(const QString& href);
    bool link(qint64 id, const QString& href);
    bool unlink(qint64 id);

    qint64 insertContact(const ContactValues& v);
    bool updateContact(qint64 id, const ContactValues& v);
    // With the contact's additional notes, as the deletion of a contact does.
    bool deleteContact(qint64 id);
    bool addNote(qint64 id, const QString& text);

    // The engine's failure, in Czech.
    QString error() const { return m_error; }

private:
    sqlite3_stmt* prepare(const char* text);
    bool run(const char* text);
    bool step(sqlite3_stmt* statement);
    QList<LocalRow> rows(const char* select, QList<QString>* hrefs);

    Connection* m_connection;
    QHash<QByteArray, sqlite3_stmt*> m_statements;
    QString m_error;
};

} // namespace db
