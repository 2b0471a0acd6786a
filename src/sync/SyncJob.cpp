#include "sync/SyncJob.h"

#include "db/engine/Connection.h"
#include "sync/CardDavClient.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <memory>

namespace synchro {
namespace {

std::atomic<bool> g_running{false};

} // namespace

SyncJob::SyncJob(db::Connection* connection) : m_connection(connection) {}

bool SyncJob::running()
{
    return g_running;
}

SyncOutcome SyncJob::run(const SyncRequest& request)
{
    SyncOutcome outcome;
    if (g_running.exchange(true)) {
        outcome.error = QStringLiteral("Jiná synchronizace ještě neskončila.");
        return outcome;
    }
    m_stop = false;
    m_done = 0;
    m_total = 0;
    std::unique_ptr<QThread> thread(QThread::create([&] {
        // The client and its connections live and die on the running thread.
        carddav::CardDavClient client;
        client.setCredentials(request.user, request.password);
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, &client, [&] {
            if (m_stop)
                client.abort();
        });
        watch.start(100);
        Synchronizer synchronizer(m_connection, &client);
        synchronizer.progress = [this](int done, int total) {
            m_done = done;
            m_total = total;
            return !m_stop;
        };
        synchronizer.emptied = [&](const EmptiedSide& side) {
            EmptiedChoice choice = EmptiedChoice::Stop;
            if (emptied)
                QMetaObject::invokeMethod(
                    m_connection, [&] { choice = emptied(side); }, Qt::BlockingQueuedConnection);
            return choice;
        };
        outcome = synchronizer.run(request.address);
        // Stopped while it waited for the server: told as the stop it is.
        if (!outcome.ok && m_stop) {
            outcome.interrupted = true;
            outcome.error.clear();
        }
    }));
    QEventLoop loop;
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [this] {
        if (progress)
            progress(m_done, m_total);
    });
    thread->start();
    tick.start(50);
    loop.exec();
    thread->wait();
    g_running = false;
    return outcome;
}

} // namespace synchro
