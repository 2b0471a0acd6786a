#pragma once

#include "db/engine/Columns.h"
#include "db/engine/FileState.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <array>
#include <atomic>
#include <future>
#include <memory>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace db {

class Connection;
struct ContactSearch;

// A compact copy of the searched contact columns and the group, kept beside the
// connection so that a search or a sort of the whole directory costs a pass over memory
// instead of a pass over the file. It answers searches of the contacts; any other
// statement, and everything while it is being read or after the contacts changed, is left
// to the engine. It reads the directory in short steps while the window is idle, and afterwards
// follows the changes of single contacts in place; a larger change is read again whole. A large
// directory's index is kept whole at a clean close and taken over at the next start, when the
// file is as that close left it.
class SearchIndex : public QObject
{
    Q_OBJECT
public:
    static constexpr int kColumns = kSearchColumnCount;
    // Contacts written at once that are still taken over in place.
    static constexpr size_t kMostInPlace = 200;

    // The index of the connection, or null when it has none.
    static SearchIndex* Of(const Connection* connection);
    // Gives the connection an index; reading starts when the event loop next runs.
    static SearchIndex* Attach(Connection* connection);
    // Told by a writer of many contacts how many it has written so far. More than are taken
    // over in place: contacts added after all others are read after the writing, with the
    // orders; after other changes the memory is given back, and the directory read again whole.
    static void Wrote(Connection* connection, qint64 contacts);
    // Told by a writer whose rows are shown before it has finished: until it says otherwise, the
    // contacts added after all others are not read for a search that can show its first rows
    // from the engine meanwhile, as they would be read again after the next part anyway.
    static void MoreToCome(Connection* connection, bool more);

    ~SearchIndex() override;

    // True with the contact ids in the search's order when the index answers it. A search
    // comparing accents otherwise than the texts held are folded makes it read them again.
    // Given `later`, a search of texts the index is not ready for is not read for at once: it
    // is set when the index will answer the search once its reading, going on while the window
    // is idle, has come far enough.
    bool resolve(const ContactSearch& search, std::vector<quint32>* ids, bool* later = nullptr);
    // The row count of a search without a condition, known without reading rows.
    bool quickCount(const ContactSearch& search, int* count);

    // Reads the whole directory now (tests and measurements).
    void buildNow();
    // A directory of at least this many contacts keeps a copy of its whole index beside the
    // program's cache at a clean close, taken over at the next start when the file is as that
    // close left it: the first search need not wait for the directory to be read.
    static void SetCopyMinimum(size_t contacts);
    // A directory of at least this many contacts is searched in two halves side by side, where
    // the machine has a second processor.
    static void SetSideBySideMinimum(size_t contacts);
    // A directory of at least this many contacts is read whole beside the window, in two halves
    // side by side, through connections of their own; a smaller one is read in the window's idle
    // steps.
    static void SetFileReadingMinimum(size_t contacts);
    // Where the copy of the index of a directory file is kept.
    static QString CopyPath(const QString& databasePath);
    // Starts reading the copy of a directory file about to be opened, so that its index can
    // take it over sooner; whether it still describes the file is decided then.
    static void Prefetch(const QString& databasePath);
    // Whether what the index holds came from the copy kept at the last close.
    bool fromCopy() const { return m_fromCopy; }
    // Whether the rows are being read beside the window, and whether those held were.
    bool readingBeside() const { return m_readingFile; }
    bool readBeside() const { return m_readBeside; }
    bool complete() const { return m_phase == kDone && !m_dirty && m_appended == 0; }
    // The contacts the index holds.
    size_t contacts() const { return live(); }
    // Ends a statement kept open between two reading steps; a write follows.
    void interrupt();

private:
    struct Copy;
    explicit SearchIndex(Connection* connection);
    // Reads and checks the copy kept in the cache; null when it is missing or damaged. Runs on
    // a thread of its own.
    static std::unique_ptr<Copy> ReadCopy(const QString& path);
    static QString s_prefetchedPath;
    static std::future<std::unique_ptr<Copy>> s_prefetched;
    void writeCopy(const FileStamp& stamp);
    // Starts reading the whole directory beside the window, where it is large enough; false
    // when it is left to the idle steps.
    bool readFileBeside();
    // Ends the reading of the copy or of the file, waiting for the threads to stop.
    void dropCopy();
    struct Column;
    struct RowLists;
    // Reads the given columns (and groups) of every row through a connection of its own, with
    // a digest of the ids read; false when they are not all read.
    static bool ReadRows(int fd, unsigned columns, bool groups, bool ignoreAccents, size_t expected,
                         const std::atomic<bool>& stop, const RowLists& to, quint64* digest);
    static bool ReadOrder(int fd, int column, const std::vector<quint32>& ids, const std::atomic<bool>& stop,
                          Column& to);
    static std::unique_ptr<Copy> ReadFile(int fd, size_t expected, bool ignoreAccents, bool halves,
                                          std::shared_ptr<std::atomic<bool>> stop);
    static std::unique_ptr<Copy> ReadFileOnce(int fd, size_t expected, bool ignoreAccents, bool halves,
                                              const std::atomic<bool>& stop);
    static constexpr unsigned kAllColumns = (1u << kColumns) - 1;
    // Appends the row of a reading of RowsStatement with the same columns and groups as the
    // given entry; false when the index cannot hold it.
    static bool AppendRow(sqlite3_stmt* row, size_t entry, const RowLists& to, bool ignoreAccents,
                          size_t expected, unsigned columns, bool groups);
    // The rows in id order after a given id: the id, the given searched columns, and the group.
    static QByteArray RowsStatement(unsigned columns, bool groups);
    // The ids in the order of a column's index, equal values by id.
    static QByteArray OrderStatement(int column);
    // The orders read first: the usual sort, then as the grid shows the columns.
    static const std::array<int, kColumns>& OrderPhases();
    // The place of an id in ascending distinct ids, or -1.
    static qint64 EntryOfSortedId(const std::vector<quint32>& ids, qint64 id);
    // Takes over the copy being read, waiting for it when `wait`; false while it is not read yet.
    bool takeCopy(bool wait);
    void restart();
    // Forgets everything read; asks the engine nothing.
    void clearContents();
    void step();
    // What a reading step goes on to: everything, or the rows and one column's order.
    static constexpr int kEverything = -1;
    bool reached(int goal) const;
    bool stepFor(qint64 nanoseconds, int goal);
    void reserveRows(size_t more);
    bool stale();
    static void UpdateHook(void* self, int operation, const char* database, const char* table, qint64 rowid);
    static void RollbackHook(void* self);
    static int CommitHook(void* self);
    // Something was written: a reading beside the window is stopped and thrown away.
    void heardWrite();

    // The changed and added contacts taken over into the index; false when they cannot be, and
    // the directory must be read again.
    bool applyChanges();
    bool applyInPlace(std::vector<qint64> changed);
    // Reads the contacts added after all others as rows, and every order again after them.
    void readAdded();
    // The entry of a contact, or -1.
    qint64 entryOf(quint32 id) const;
    void removeEntries(const std::vector<quint32>& entries);
    size_t live() const { return m_ids.size() - m_dead; }
    // The entries of the blocks [first, end) of the sparse starts: a search matches the parts of
    // a large directory side by side.
    struct Part
    {
        size_t first = 0;
        size_t end = 0;
    };
    // Finds the digits of a number, read without blanks and separators; built once per search.
    struct DigitMatcher
    {
        std::vector<quint32> next;
        size_t length = 0;
        // The first three digits, for skimming the texts before the automaton reads them.
        char lead[3] = {};
    };
    static DigitMatcher Digits(const std::string& pattern);
    void matchColumn(const Column& col, const std::string& pattern, Part part,
                     std::vector<quint8>& hits) const;
    void matchDigits(const Column& col, const DigitMatcher& digits, Part part,
                     std::vector<quint8>& hits) const;

    static constexpr int kDone = 100;
    // While contacts are being written in bulk, reading them would be undone by the next write.
    static constexpr qint64 kQuietMs = 250;
    // Ends every text in a column's arena; a null is this single byte.
    static constexpr char kEnd = char(0xFF);
    static constexpr char kNull = char(0xFE);
    // The group byte of a contact without a group, and of an entry no longer used.
    static constexpr quint8 kNoGroup = 0xFF;
    static constexpr quint8 kDead = 0xFE;
    static constexpr int kSparse = 32;

    Connection* m_connection;
    QPointer<Connection> m_alive;
    QTimer m_timer;
    QElapsedTimer m_sinceBulkWrite;
    // The texts held are folded without accents.
    bool m_ignoreAccents = false;
    bool m_dirty = true;
    int m_phase = 0;
    // The column whose order is being read, and the one a search last waited for.
    int m_column = -1;
    int m_wanted = 0;
    int m_columnsRead = 0;
    sqlite3_stmt* m_reading = nullptr;
    // The id of the last row read: the rows are read in id order, so every contact above it is
    // still to be read.
    qint64 m_lastRead = -1;
    // Rows are being read that were added after the index was whole; the column of m_reading.
    bool m_appending = false;
    bool m_moreToCome = false;
    // Contacts written after all those read, heard of once the rows were whole.
    qint64 m_appended = 0;
    int m_readingColumn = -1;
    qint64 m_totalChanges = -1;
    // Rows the update hook heard of since m_totalChanges was taken.
    qint64 m_heard = 0;
    int m_schemaVersion = -1;
    // A contact was written since the index was last started: a copy no longer describes them.
    bool m_contactsWritten = false;
    std::future<std::unique_ptr<Copy>> m_copy;
    // The stamp of the clean close the file was opened as; a copy of another is not taken.
    FileStamp m_copyStamp;
    bool m_fromCopy = false;
    // m_copy is a reading of the file beside the window, begun when m_writes was as kept here.
    bool m_readingFile = false;
    bool m_readBeside = false;
    qint64 m_writesAtReading = -1;
    std::shared_ptr<std::atomic<bool>> m_stopReading;
    // A reading beside the window failed on its own: the idle steps read until the next restart.
    bool m_readingFailed = false;
    // Every write, commit and rollback heard on the connection.
    qint64 m_writes = 0;

    struct Column
    {
        // Folded texts, one after another, each ended by 0xFF; a null is the single byte 0xFE.
        std::string arena;
        // Start of every 32nd entry's text.
        std::vector<quint32> sparse;
        // Entries in the order of the column's index, equal values by id.
        std::vector<quint32> order;
        bool ordered = false;
    };
    // Contact ids by entry: ascending up to m_sorted, where the entries of changed contacts
    // follow (found through m_moved). An id beyond 32 bits leaves the directory to the engine.
    std::vector<quint32> m_ids;
    size_t m_sorted = 0;
    QHash<quint32, quint32> m_moved;
    // Entries of contacts since changed or deleted; their texts stay in the arenas unused.
    size_t m_dead = 0;
    // Contacts written since the index was last brought up to date.
    std::vector<qint64> m_changed;
    size_t m_expected = 0;
    // The last count of every contact, and the engine's count of changes it was taken at; it
    // sizes a reading of the whole directory without counting again.
    qint64 m_quickCount = 0;
    qint64 m_quickCountChanges = -1;
    bool m_broken = false;
    std::vector<quint8> m_group;
    std::vector<std::string> m_groupNames;
    // Which entries a search found, kept between searches: a list this long taken anew each time
    // would have its pages mapped anew by the system each time.
    std::vector<quint8> m_hits;
    std::array<Column, kColumns> m_columns;

    // What a copy kept at a clean close gives the index.
    struct Copy
    {
        FileStamp stamp;
        int schemaVersion = -1;
        bool ignoreAccents = false;
        qint64 lastRead = -1;
        std::vector<quint32> ids;
        size_t sorted = 0;
        QHash<quint32, quint32> moved;
        size_t dead = 0;
        std::vector<quint8> group;
        std::vector<std::string> groupNames;
        std::array<Column, kColumns> columns;
    };
    struct RowLists
    {
        // Null where the ids are kept by another reading.
        std::vector<quint32>* ids;
        std::vector<quint8>& group;
        std::vector<std::string>& groupNames;
        std::array<Column, kColumns>& columns;
    };
};

} // namespace db
