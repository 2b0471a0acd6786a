#pragma once

#include "sync/Synchronizer.h"

#include <QString>
#include <QUrl>

#include <atomic>
#include <functional>

namespace db {
class Connection;
} // namespace db

namespace synchro {

struct SyncRequest
{
    QUrl address;
    QString user;
    QString password;
};

// One synchronisation on a thread of its own. The calling thread keeps its event loop for the
// whole run: the window paints and takes "Přerušit", and the directory's work that the run
// hands over is done there, so that the directory is used from its own thread only. No
// request to the server waits inside a window's event handling.
class SyncJob
{
public:
    explicit SyncJob(db::Connection* connection);
    SyncJob(const SyncJob&) = delete;
    SyncJob& operator=(const SyncJob&) = delete;

    // On the calling thread, every 50 ms while the run lasts.
    std::function<void(int done, int total)> progress;
    // On the calling thread, before the deletions of a side emptied since the last run; unset
    // stops the run without a change.
    std::function<EmptiedChoice(const EmptiedSide& side)> emptied;

    // Returns when the run has ended. A second run while one is under way is refused.
    SyncOutcome run(const SyncRequest& request);
    // From any thread: the run ends at the next card, or now when it waits for the server.
    void stop() { m_stop = true; }
    // A run is under way in this program.
    static bool running();

private:
    db::Connection* m_connection;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_done{0};
    std::atomic<int> m_total{0};
};

} // namespace synchro
