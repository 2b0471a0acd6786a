#pragma once

#include <QString>

#include <future>

struct sqlite3;

// Whether the directory file was closed cleanly by the program and left alone since.
//
// The program keeps one row in a small table of its own, `stav_souboru`:
//   uzavreno  1 when the program closed the file cleanly, 0 while it has it open;
//   zmeneno   the modification time (whole seconds) the program gave the file at the clean close;
//   citac     the engine's change counter of the file at the clean close;
//   velikost  the file's size in bytes at the clean close;
//   razeni    the version of the Czech comparison the file's indexes were built with.
// Any write into the file gives it another time; the time can be put back (a copy keeping
// times, a restore), but a program writing through the engine also raises the counter, and one
// that cuts or extends the file changes its size, which no restored time undoes, and anything
// that touches the file after the close moves the inode's own time, which none can put back. The
// engine's check of the file runs at opening unless the row says the file was closed cleanly,
// the time, the counter and the size are all as the close left them and the inode has not changed
// since: a normal start stays quick.
// A row of an older version has no counter or size: its file is checked once.
namespace db {

// Raised whenever the comparison changes what it orders or calls equal: the indexes of a
// file built with an older one are rebuilt once.
inline constexpr int kCollationVersion = 2;

// What a clean close leaves in the file itself.
struct FileStamp
{
    qint64 counter = -1; // the engine's change counter (bytes 24..27 of the header)
    qint64 size = -1;
    qint64 modified = -1; // whole seconds; a time with a fraction was never given by a close
    bool valid() const { return counter >= 0 && size >= 0 && modified >= 0; }
    bool operator==(const FileStamp&) const = default;
};

// The stamp of an open file, read from its descriptor; invalid when it cannot be read.
FileStamp ReadFileStamp(int fd);
// When the file's inode last changed (whole seconds), -1 when it cannot be read. No program
// can set it: putting a time back, writing, or copying the file moves it to the present.
qint64 InodeChangeTime(int fd);
// Whether the file is as the clean close left it: time, counter and size as recorded, and its
// inode last changed by that close (the close gives the file its time a moment after taking
// it). Bytes overwritten in place with the time put back afterwards are caught by the inode's
// time; a copy of the file is checked once.
bool UntouchedSinceClose(const FileStamp& recorded, const FileStamp& now, qint64 inodeChanged);
// The time to give the file at a clean close: now, in even seconds, which every file system
// stores exactly.
qint64 CloseTime();

struct CloseMarker
{
    bool present = false;
    bool closedCleanly = false;
    FileStamp stamp; // invalid in a row written by an older version
    int collation = 0;
};

CloseMarker ReadCloseMarker(sqlite3* handle);
// Inside the opening transaction: the file is open from now on, its indexes current.
void MarkOpened(sqlite3* handle);
// The last write before closing: closed cleanly, with the stamp the file is to have (its time is
// given after the engine lets the file go). The engine raises the counter once per holding of
// its exclusive lock, at the first write, so the close's own write leaves counter and size as
// they are.
void MarkClosed(sqlite3* handle, const FileStamp& stamp);

// Runs the engine's check of every page of the file (the quick check: on 100,000 contacts a
// fraction of a second, where comparing every index entry with its row takes seconds); false
// with the engine's first finding when the file is damaged.
bool IntegrityOk(sqlite3* handle, QString* finding);

// The same check of a file opened for reading, run on a connection and a thread of their own
// while the caller reads the file: one after the other, the file is read twice.
class IntegrityCheckBeside
{
public:
    // Starts checking the file of the open connection.
    explicit IntegrityCheckBeside(sqlite3* handle);
    // Waits for the check.
    ~IntegrityCheckBeside();
    IntegrityCheckBeside(const IntegrityCheckBeside&) = delete;
    IntegrityCheckBeside& operator=(const IntegrityCheckBeside&) = delete;

    // Whether the outcome is there, waiting for it at most the given time.
    bool finished(int waitMs = 0) const;
    // Waits for the outcome: true when the file passed, else false with the engine's finding.
    // Where a second connection could not read the file, the check runs now on the first.
    bool passed(QString* finding);

private:
    struct Outcome
    {
        bool checked = false;
        bool ok = false;
        QString finding;
    };
    sqlite3* m_handle;
    std::future<Outcome> m_outcome;
};

} // namespace db
