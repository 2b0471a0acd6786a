#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

class TMain;
struct sqlite3;

// A figure taken in a process of its own or at one moment of the run: the program's time, and
// the raw anchor's when the run takes it itself (0 otherwise).
struct TimedRun
{
    QString name;
    QString statement;
    double programMs = 0;
    double rawMs = 0;
    int rows = 0;
};

// The values of one row as the engine takes them.
using RowValues = std::vector<QByteArray>;

// The raw anchor of an import or a merge: in one transaction, a prepared duplicate check and
// insert per row.
void RawAdd(sqlite3* handle, const char* insertText, const std::function<bool(RowValues&)>& nextRow);

// Times `program` and `raw` three times each on the same directory, taking the added rows out
// after every run, and gives the medians.
std::pair<double, double> MedianPair(const std::function<void()>& program, const std::function<void()>& raw,
                                     const std::function<void()>& undo);

// The merge of the directory file `otherFile` through the window's menu, against its raw anchor
// on the window's connection.
std::pair<double, double> TimeMerge(TMain& window, const QString& otherFile,
                                    const std::function<void()>& undo);

// Searches through the window's search bar issued one right after the other, each timed once
// until the grid can paint, so that what the first ones wait for is counted. The names begin
// with `when`.
QList<TimedRun> TimeSearchesNow(TMain& window, const QString& when);
// The search bar emptied, every group shown.
void ClearSearchBar(TMain& window);

// Processes of their own, started by the benchmark with the folder of a directory: the window is
// opened on it, and the searches are issued right after its first rows are shown
// (--first-frame FOLDER), or the other file merged into it (--merge-into FOLDER OTHER). They
// write their figures on standard output.
int RunFirstFrameSearches(const QString& folder, const QString& label);
int RunMergeInto(const QString& folder, const QString& otherFile);
// The figures of such a process, read from its output; empty when it failed.
QList<TimedRun> RunOnItsOwn(const QStringList& arguments);
