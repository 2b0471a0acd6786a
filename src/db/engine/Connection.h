#pragma once

#include "db/engine/FileState.h"

#include <QObject>
#include <QString>

struct sqlite3;

namespace db {

// A connection to one directory file, set up by a connection string of the form
// "Provider=...;Data Source=<file>;Mode=Share Deny Read|Share Deny Write;Persist Security Info=False".
// With that share mode the file is held exclusively while connected: no other
// connection, in this process or another, can read or write it. "Read" among the mode's
// words ("Mode=Read|Share Deny Read|Share Deny Write") opens it for reading only.
class Connection : public QObject
{
    Q_OBJECT
public:
    // How the open file may be used.
    enum class Access {
        ReadWrite,
        ReadOnlyRequested, // the connection string asked for reading only
        ReadOnlyFile,      // the file or its folder cannot be written
        ReadOnlyDamaged,   // the engine's check found the file damaged
    };

    // The connection string of the program's own directory file in the working directory.
    static QString DefaultConnectionString();

    explicit Connection(QObject* parent = nullptr);
    ~Connection() override;

    void setConnectionString(const QString& text) { m_connectionString = text; }
    QString connectionString() const { return m_connectionString; }
    // The file to open in place of the connection string's data source, taken as it is: a
    // path may hold any character, ";" included, which the connection string cannot carry.
    void setFilePath(const QString& path) { m_filePath = path; }
    // The absolute path of the file the last opening looked up.
    QString openedPath() const { return m_openedPath; }
    // The file the next opening would open: looked up in the working directory now.
    QString sourcePath() const;

    // Connects; throws EngineError with a Czech text. A missing file is never created, and a
    // file that is not a directory database is refused and left byte for byte as it was.
    // A file that cannot be written, or that the engine finds damaged, is opened for reading.
    void open();
    void close();
    bool connected() const { return m_handle != nullptr; }
    sqlite3* handle() const { return m_handle; }

    Access access() const { return m_access; }
    bool readOnly() const { return m_access != Access::ReadWrite; }
    // The engine's finding when the file was found damaged.
    QString damage() const { return m_damage; }
    // Whether this opening ran the engine's check of the file.
    bool checkedIntegrity() const { return m_checkedIntegrity; }
    // A file opened for reading is not checked while opening: its reader checks it beside its
    // own reading (IntegrityCheckBeside).
    void setCheckedByReader(bool later) { m_checkedByReader = later; }
    // How many contacts of another tool's file this opening found with values longer than the
    // program allows: what did not fit is kept in a dated additional note of each.
    int shortenedContacts() const { return m_shortenedContacts; }

    // The value of one key of a connection string ("Data Source", "Mode"), case ignored.
    static QString ConnectionStringValue(const QString& connectionString, const QString& key);

    // Whether LIKE ignores accents as well as letter case; each opening starts with the
    // engine's own. Statements still being stepped must be ended before a change.
    bool plainLike() const { return m_plainLike; }
    void setPlainLike(bool plain);

    // Ends every statement still being read on this connection, which would block a write or the
    // close marker: each query keeps the rows read so far, the search index pauses its filling.
    void suspendReading() { Q_EMIT readingSuspended(); }
    // The stamp of the program's last clean close when this opening found the file untouched
    // since and changed nothing it holds (no rebuild, no reindex); invalid otherwise. What was
    // kept beside the file at that close still describes it.
    FileStamp untouchedStamp() const { return m_untouchedStamp; }
    // The descriptor that holds the open file, or -1: read beside the connection (OpenHeldFile).
    int fileDescriptor() const { return m_fileFd; }

Q_SIGNALS:
    void readingSuspended();
    // The close marker is written with this stamp; the handle is still open.
    void closingCleanly(const db::FileStamp& stamp);

private:
    enum class Outcome { Opened, Damaged };
    Outcome attach(const QString& path, bool readOnly, bool exclusive, bool wal);
    void detach(bool markClosed);

    QString m_connectionString;
    QString m_filePath;
    QString m_openedPath;
    QString m_qtName; // the name of the connection in Qt's driver
    sqlite3* m_handle = nullptr;
    int m_fileFd = -1; // holds the exclusive lock; gives the file its stamp at a clean close
    bool m_markOnClose = false;
    bool m_checkedIntegrity = false;
    bool m_checkedByReader = false;
    int m_shortenedContacts = 0;
    bool m_plainLike = false;
    Access m_access = Access::ReadWrite;
    QString m_damage;
    FileStamp m_untouchedStamp;
};

// Whether the file and its folder (where the engine keeps its journal) can be written.
bool FileIsWritable(const QString& path);

// Writes a new directory file with the two base tables of the first structure version.
// Refuses (false, with a message) to touch a file that exists.
bool CreateDirectoryDatabase(const QString& path, QString* error);

} // namespace db
