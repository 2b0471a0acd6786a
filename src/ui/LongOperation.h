#pragma once

#include "ui/Services.h"

#include <QElapsedTimer>
#include <QString>

class ProgressDisplay;
class QObject;

namespace db {
class BulkWriter;
} // namespace db

namespace exchange {

// What an import or a merge owes the window while it runs on the user-interface thread:
// every other command is off and the window cannot be closed, the progress display shows how
// far it has got, and the window repaints and takes a click on "Přerušit" now and then.
class LongOperation
{
public:
    // `caption` says what runs ("Načítání seznamu"); the panel adds "n z m" of `maximum`.
    LongOperation(const Services& app, int maximum, const QString& caption);
    ~LongOperation();
    LongOperation(const LongOperation&) = delete;
    LongOperation& operator=(const LongOperation&) = delete;

    // Called after every row: shows the position and lets pending window events run, at most
    // every 50 ms (once per row would cost more than the rows themselves).
    void step(int position);
    bool stopRequested() const;

    // Commits the rows and shows them in the grid when the last reopening is 0.5 s old, and
    // long enough ago that reopening a large grid does not take most of the time. A search's
    // first rows come from the engine then: what is still growing is counted at the end.
    bool reopenGridIfDue(db::BulkWriter& writer);
    // Commits and reopens the grid now; false when the grid could not be reopened.
    bool reopenGrid(db::BulkWriter& writer);

private:
    bool reopen(db::BulkWriter& writer, bool moreToCome);

    const Services m_app;
    ProgressDisplay* m_progress;
    QObject* m_closeGuard;
    QElapsedTimer m_sinceEvents;
    QElapsedTimer m_sinceReopen;
    qint64 m_reopenCostMs = 0;
};

} // namespace exchange
