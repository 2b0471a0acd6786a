#include "ui/LongOperation.h"

#include "db/contacts/BulkWriter.h"
#include "ui/MainWindowPort.h"
#include "ui/ProgressDisplay.h"
#include "ui/Services.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace exchange {
namespace {

constexpr qint64 kEventsMs = 50;
constexpr qint64 kReopenMs = 500;
// Reopening costs at most a seventh of the time.
constexpr qint64 kReopenCostShare = 6;

// The window must not be closed under a running operation: its connection and grid are in use.
class CloseGuard : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::Close)
            return false;
        event->ignore();
        return true;
    }
};

} // namespace

LongOperation::LongOperation(const Services& app, int maximum, const QString& caption)
    : m_app(app), m_progress(app.status.progress()), m_closeGuard(new CloseGuard(app.window.window()))
{
    app.window.window()->installEventFilter(m_closeGuard);
    app.window.setCommandsEnabled(false);
    // The last command's summary would read as this one's.
    app.status.show(QString());
    if (m_progress)
        m_progress->start(maximum, caption);
    m_sinceReopen.start();
    // Paint the panel before the first row.
    QCoreApplication::processEvents();
    m_sinceEvents.start();
}

LongOperation::~LongOperation()
{
    if (m_progress)
        m_progress->finish();
    m_app.window.setCommandsEnabled(true);
    delete m_closeGuard;
    QCoreApplication::processEvents();
}

void LongOperation::step(int position)
{
    if (m_sinceEvents.elapsed() < kEventsMs)
        return;
    if (m_progress)
        m_progress->setPosition(position);
    QCoreApplication::processEvents();
    m_sinceEvents.restart();
}

bool LongOperation::stopRequested() const
{
    return m_progress && m_progress->stopRequested();
}

bool LongOperation::reopenGridIfDue(db::BulkWriter& writer)
{
    if (!writer.changedSinceMark() ||
        m_sinceReopen.elapsed() < qMax(kReopenMs, kReopenCostShare * m_reopenCostMs))
        return true;
    return reopen(writer, true);
}

bool LongOperation::reopenGrid(db::BulkWriter& writer)
{
    return reopen(writer, false);
}

bool LongOperation::reopen(db::BulkWriter& writer, bool moreToCome)
{
    const bool committed = writer.commit();
    writer.setMoreToCome(moreToCome);
    QElapsedTimer cost;
    cost.start();
    const bool reopened = m_app.window.reopenGrid();
    m_reopenCostMs = cost.elapsed();
    m_sinceReopen.restart();
    writer.mark();
    return committed && reopened;
}

} // namespace exchange
