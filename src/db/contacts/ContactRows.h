#pragma once

#include <QByteArrayView>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

namespace db {

class Connection;

// The contacts of a directory file, stepped once from the first to the last: a row that cannot
// be read ends the walk, instead of the statement being run again from the start.
class ContactRows
{
public:
    explicit ContactRows(const Connection& connection);
    ~ContactRows();
    ContactRows(const ContactRows&) = delete;
    ContactRows& operator=(const ContactRows&) = delete;

    static constexpr const char* kSelect = "select * from zvonisty";

    bool prepared() const { return m_statement != nullptr; }
    // The engine's failure, in Czech.
    QString failure() const { return m_failure; }
    // Tells the failure to open the source once and logs it with the statement.
    void reportUnprepared() const;
    // Logs the statement whose row could not be read; the caller tells why.
    void logFailedStep() const;

    int count() const;
    // -1 for a column the file lacks.
    int field(const char* name) const;

    enum class Step { Row, End, Failed };
    Step next();

    // The current row's value as the engine holds it; a missing column or a null is empty.
    // Valid until the next step.
    QByteArrayView utf8(int field) const;
    QString text(int field) const { return QString::fromUtf8(utf8(field)); }

private:
    sqlite3* m_handle;
    sqlite3_stmt* m_statement = nullptr;
    QString m_failure;
};

} // namespace db
