#pragma once

#include "db/contacts/BulkWriter.h"
#include "db/engine/Columns.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace db {

class Connection;
class Query;
struct ContactSearch;

// The directory as the layers above the database use it: contacts, their notes, groups and the
// grid's stored layout, by typed requests. The statements behind them stay here, and they are
// what the error log records. A failed request is logged and told once; it answers false (or
// nothing) and leaves the rows of a query closed.
class Directory
{
public:
    explicit Directory(Connection* connection);
    ~Directory();
    Directory(const Directory&) = delete;
    Directory& operator=(const Directory&) = delete;

    // A query on this directory, for rows that a window shows and the requests below fill.
    Query* newQuery(QObject* parent) const;
    // The synchronisation's store and the start-up need the open file itself.
    Connection* connection() const { return m_connection; }

    // Rows into a query of the directory. The contacts of a search, in its order:
    static bool openSearch(const ContactSearch& search, Query* rows);
    // The contacts that hold the number, by name:
    static bool openNumberHolders(const QString& number, Query* rows);
    // The dated notes of a contact (fields dat and pozn):
    static bool openNotes(const QString& id, Query* rows);
    // Every contact by name, for a grid before its layout is read (not opened):
    static void prepareAllByName(Query* rows);

    // Whether a contact holds the number; nothing when the directory could not be asked.
    std::optional<bool> numberTaken(const QString& number);
    // The stored values of the contact, when it is there.
    std::optional<ContactValues> contact(const QString& id);
    bool insert(const ContactValues& values);
    bool save(const QString& id, const ContactValues& values);
    bool remove(const QString& id);

    bool addNote(const QString& id, const QString& text);
    // The note of the contact shown with that date.
    bool deleteNote(const QString& id, const QString& shownDate);
    // Every dated note of the directory: contact id, date as shown, text; once, not per contact.
    bool
    forEachNote(const std::function<void(const QString& id, const QString& date, const QString& text)>& take);

    // The groups that contacts belong to, in order, an empty group included.
    bool groups(QStringList* groups);

    // The grid's stored layout: the named row ("poradi", "sort", "sirka") of numbers by column,
    // null values left out; false when the row is not there.
    bool layoutRow(const char* key, QHash<QString, int>* values);
    bool saveLayout(const QStringList& displayOrder, const QString& sortColumn, const QString& sortDirection,
                    const QList<int>& widths);

    // Grouped writing of many new contacts (imports, merges, cards).
    std::unique_ptr<BulkWriter> writer(BulkWriter::Kind kind);

private:
    Connection* m_connection;
    Query* m_work;
};

} // namespace db
