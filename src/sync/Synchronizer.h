#pragma once

#include <QString>
#include <QStringList>
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
    int notReceived = 0;  // listed by the server but not delivered: asked for again by the next run
    int refused = 0;      // uploads the server refused as changed meanwhile: settled by the next run
    int notTaken = 0;     // cards the program cannot take: left on the server untouched
    int longNumbers = 0;  // contacts whose number from the server is longer than the directory keeps
};

struct SyncOutcome
{
    bool ok = false;
    bool interrupted = false;
    QString error;                 // Czech, when neither ok nor interrupted
    bool stoppedAtEmptied = false; // nothing changed: one side was emptied and no one agreed
    SyncCounts counts;
    QStringList notTaken; // each such card's href and why, in Czech
};

// One side of the synchronisation was emptied since the last run: every card known then is
// gone from the server, or every contact linked to one is gone here.
struct EmptiedSide
{
    bool server = false; // else the directory
    int count = 0;       // the contacts (server) or cards (directory) the run would delete
};

enum class EmptiedChoice {
    Delete,  // delete on the other side as well
    Restore, // forget what the last run knew: the other side's contacts come back to the emptied one
    Stop     // change nothing
};

// The closing line of a synchronisation, in Czech.
QString SyncSummary(const SyncOutcome& outcome);
// The question before the deletions of an emptied side, in Czech.
QString EmptiedQuestion(const EmptiedSide& side);

// One two-way synchronisation of the open directory with an address book. Every step that
// changes the directory is one transaction together with what the directory keeps of the
// server's state, and an upload is recorded before it is sent: a synchronisation stopped at
// any moment is completed by the next one, without duplicates on either side.
//
// It may run on a thread of its own: then every use of the directory is handed to the
// connection's thread, which must keep its event loop running, and the client must live on
// the running thread.
class Synchronizer
{
public:
    Synchronizer(db::Connection* connection, carddav::CardDavClient* client);

    // Called on the running thread now and then with the work done and the work known; false
    // stops at the next card.
    std::function<bool(int done, int total)> progress;
    // Called on the running thread before the deletions of an emptied side; unset stops.
    std::function<EmptiedChoice(const EmptiedSide& side)> emptied;

    SyncOutcome run(const QUrl& address);

private:
    db::Connection* m_connection;
    carddav::CardDavClient* m_client;
};

} // namespace synchro
