#pragma once

#include <QObject>
#include <QString>

struct sqlite3;

namespace db {

// A connection to one directory file, set up by a connection string of the form
// "Provider=...;Data Source=<file>;Mode=Share Deny Read|Share Deny Write;Persist Security Info=False".
// With that share mode the file is held exclusively while connected: no other
// connection, in this process or another, can read or write it.
class Connection : public QObject
{
    Q_OBJECT
public:
    // The connection string of the program's own directory file in the working directory.
    static QString DefaultConnectionString();

    explicit Connection(QObject* parent = nullptr);
    ~Connection() override;

    void setConnectionString(const QString& text) { m_connectionString = text; }
    QString connectionString() const { return m_connectionString; }

    // Connects; throws EngineError. A missing file is never created, and a file that is
    // not a directory database is refused and left as it was.
    void open();
    void close();
    bool connected() const { return m_handle != nullptr; }
    sqlite3* handle() const { return m_handle; }

    // The value of one key of a connection string ("Data Source", "Mode"), case ignored.
    static QString ConnectionStringValue(const QString& connectionString, const QString& key);

private:
    QString m_connectionString;
    QString m_qtName;
    sqlite3* m_handle = nullptr;
};

// Writes a new directory file with the two base tables of the first structure version.
// Refuses (false, with a message) to touch a file that exists.
bool CreateDirectoryDatabase(const QString& path, QString* error);

} // namespace db
