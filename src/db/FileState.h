#pragma once

#include <QString>

struct sqlite3;

// Whether the directory file was closed cleanly by the program and left alone since.
//
// The program keeps one row in a small table of its own, `stav_souboru`:
//   uzavreno  1 when the program closed the file cleanly, 0 while it has it open;
//   zmeneno   the file's modification time (whole seconds) that the program gave it when it
//             closed it; a later change by anything else gives the file another time;
//   razeni    the version of the Czech comparison the file's indexes were built with.
// The engine's check of the file runs at opening only when the row is missing, says the
// file was not closed cleanly, or the file's time differs: a normal start stays quick.
namespace db {

// Raised whenever the comparison changes what it orders or calls equal: the indexes of a
// file built with an older one are rebuilt once.
inline constexpr int kCollationVersion = 2;

struct CloseMarker
{
    bool present = false;
    bool closedCleanly = false;
    qint64 modified = 0;
    int collation = 0;
};

CloseMarker ReadCloseMarker(sqlite3* handle);
// Inside the opening transaction: the file is open from now on, its indexes current.
void MarkOpened(sqlite3* handle);
// The last write before closing: closed cleanly, with the time the file is about to be given.
void MarkClosed(sqlite3* handle, qint64 modified);

// The time to give the file at a clean close: now, in even seconds, which every file system
// stores exactly.
qint64 CloseTime();

// Runs the engine's check of every page of the file (the quick check: on 100,000 contacts a
// fraction of a second, where comparing every index entry with its row takes seconds); false
// with the engine's first finding when the file is damaged.
bool IntegrityOk(sqlite3* handle, QString* finding);

} // namespace db
