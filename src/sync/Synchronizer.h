#pragma once

#include <QString>
#include <QUrl>

#include <functional>

namespace db {
class Connection;
} // namespace db

namespace carddav {
class CardDavClient;
} // namespace carddav

namespace synchro {

struct SyncCounts
{
    int sent = 0;         // cards written to the server, new or changed
    int received = 0;     // cards from the server taken into the directory
    int deletedHere = 0;  // cards deleted on the server, whose contacts went here
    int deletedThere = 0; // cards whose contacts were deleted here, deleted on the server
    int conflicts = 0;    // changed on both sides: the server's card won, the local values became a note
};

struct SyncOutcome
{
    bool ok = false;
    bool interrupted = false;
    QString error; // Czech, when neither ok nor interrupted
    SyncCounts counts;
};

// The closing line of a synchronisation, in Czech.
QString SyncSummary(const SyncOutcome& outcome);

// One two-way synchronisation of the open directory with an address book. Every step that
// changes the directory is one transaction together with what the directory keeps of the
// server's state, and an upload is recorded before it is sent: a synchronisation stopped at
// any moment is completed by the next one, without duplicates on either side.
class Synchronizer
{
public:
    Synchronizer(db::Connection* connection, carddav::CardDavClient* client);

    // Called now and then with the work done and the work known; false stops at the next
    // safe point.
    std::function<bool(int done, int total)> progress;

    SyncOutcome run(const QUrl& address);

private:
    db::Connection* m_connection;
    carddav::CardDavClient* m_client;
};

} // namespace synchro
