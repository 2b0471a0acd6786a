#pragma once

#include "db/contacts/RecordStatements.h"

#include <QByteArrayView>
#include <QElapsedTimer>
#include <QString>

#include <array>
#include <functional>
#include <memory>

struct sqlite3_stmt;

// Adding many contacts in one go: the duplicate check by number and the INSERT of each are
// prepared once and run with the row's values bound, and the rows are committed in groups, so
// the cost per row is that of the engine alone. The search index hears from the writer how
// many contacts it has written.
namespace db {

class Connection;
class Query;

// The INSERT of the text import: values in the order telefon, jmeno, email, poznamka,
// organizace, icq, skype, datum.
QString ImportInsertStatement(const ContactValues& v);
// The INSERT of the merge; icq and skype only when the other file has them.
QString MergeInsertStatement(const ContactValues& v, bool withIcqSkype);
// The INSERT of the vCard import: the text import's values and skupina.
QString VCardInsertStatement(const ContactValues& v);

class BulkWriter
{
public:
    // `Card` adds a single contact: every statement stands on its own, without groups.
    enum class Kind { Import, Merge, MergeWithIcqSkype, VCard, Card };
    enum class Check { Absent, Present, Failed };

    // `fallback` runs the statements as texts when they cannot be prepared.
    BulkWriter(Connection* connection, Query* fallback, Kind kind);
    // With a fallback query of its own.
    BulkWriter(Connection* connection, Kind kind);
    // Commits what is still open.
    ~BulkWriter();
    BulkWriter(const BulkWriter&) = delete;
    BulkWriter& operator=(const BulkWriter&) = delete;

    // Whether the directory holds the number. A failed check is shown and logged.
    Check check(const QString& telefon);
    Check check(QByteArrayView telefonUtf8);
    // Inserts one contact; a failure is shown and logged, and the work goes on.
    bool insert(const ContactValues& v);
    // The merge's values in UTF-8 as the other file holds them, in the order of the column
    // table: bound as they are, without a way through QString. `decoded` gives them as texts,
    // for a failure's report only.
    using MergedValues = std::array<QByteArrayView, kContactColumnCount>;
    bool insert(const MergedValues& values, const std::function<ContactValues()>& decoded);

    // Adds a dated note to a contact in the open group; an empty `dat` takes the engine's now.
    bool insertNote(qint64 id, const QString& dat, const QString& text);
    // The id of the contact inserted last, 0 before the first.
    qint64 lastId() const { return m_lastId; }

    // Ends the open group when it has been open for 0.2 s of work (a merge's only at its end);
    // false once the writing has stopped.
    bool commitIfDue();
    // Ends the open group. A failed commit is shown; the group's rows are lost and no
    // longer counted, and the writing has stopped.
    bool commit();
    // Until released, nothing is committed, so that all rows written can still be undone;
    // the writer's end undoes them.
    void holdCommits() { m_held = true; }
    // Ends the hold: the rows written so far go with the next commit, or are undone.
    void releaseCommits(bool keep);

    // Why no further row can be written (a full disk, a damaged or unwritable file), as a
    // Czech sentence; empty while a failure concerns its row alone.
    QString stopReason() const { return m_stopReason; }
    bool stopped() const { return !m_stopReason.isEmpty(); }

    // Rows inserted by this writer (those of a failed commit not counted).
    int added() const { return m_added; }
    // Inserted rows the grid has not been shown yet.
    bool changedSinceMark() const { return m_added != m_mark; }
    void mark() { m_mark = m_added; }
    // Says whether the rows shown now are followed by more; the search index then leaves the
    // grid to the engine rather than read what is still growing. The writer's end says no more.
    void setMoreToCome(bool more);

private:
    QString insertText(const ContactValues& v) const;
    bool begin();
    bool stepInsert(const std::function<ContactValues()>& values);
    void counted();
    // Commits, then shows and logs the failed statement, so no group stays open behind a dialog.
    void reportFailure(const QString& statement, const QString& text);
    // Remembers why, when the failure just met will meet every further row too.
    void noteBlocking(bool groupLost = false);

    Connection* m_connection;
    std::unique_ptr<Query> m_ownFallback;
    Query* m_fallback;
    Kind m_kind;
    sqlite3_stmt* m_check = nullptr;
    sqlite3_stmt* m_insert = nullptr;
    bool m_inGroup = false;
    QElapsedTimer m_groupTimer;
    int m_added = 0;
    int m_addedInGroup = 0;
    int m_mark = 0;
    int m_previousCache = 0; // the engine's cache size to give back, 0 when unchanged
    bool m_held = false;
    bool m_moreToCome = false;
    sqlite3_stmt* m_note = nullptr;
    qint64 m_lastId = 0;
    QString m_stopReason;
};

} // namespace db
