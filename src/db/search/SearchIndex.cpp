#include "db/search/SearchIndex.h"

#include "db/engine/Connection.h"
#include "db/engine/Engine.h"
#include "db/search/ContactSearch.h"
#include "db/search/LargePages.h"

#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>
#include <array>

namespace db {
namespace {

qint64 CountAfter(sqlite3* handle, qint64 id)
{
    sqlite3_stmt* s = nullptr;
    qint64 count = 0;
    // All of them through the smallest index, pages alone: a few times quicker than a range of
    // ids, which steps through every row of the table.
    const char* text =
        id < 0 ? "select count(*) from zvonisty" : "select count(*) from zvonisty where id > ?";
    if (sqlite3_prepare_v2(handle, text, -1, &s, nullptr) == SQLITE_OK) {
        if (id >= 0)
            sqlite3_bind_int64(s, 1, id);
        if (sqlite3_step(s) == SQLITE_ROW)
            count = sqlite3_column_int64(s, 0);
    }
    sqlite3_finalize(s);
    return count;
}

} // namespace

SearchIndex* SearchIndex::Of(const Connection* connection)
{
    return connection ? connection->findChild<SearchIndex*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

SearchIndex* SearchIndex::Attach(Connection* connection)
{
    if (SearchIndex* index = Of(connection))
        return index;
    return new SearchIndex(connection);
}

void SearchIndex::Wrote(Connection* connection, qint64 contacts)
{
    SearchIndex* index = Of(connection);
    if (!index || contacts <= qint64(kMostInPlace))
        return;
    index->interrupt();
    index->m_sinceBulkWrite.start();
    index->m_timer.start(int(kQuietMs));
    // Read again whole after the writing: its memory is given back meanwhile, as the writer
    // wants the engine's cache larger. Contacts added after all others are read once the
    // writing has stopped, or by the next search.
    if (index->stale()) {
        index->m_dirty = true;
        index->clearContents();
    }
}

void SearchIndex::MoreToCome(Connection* connection, bool more)
{
    if (SearchIndex* index = Of(connection))
        index->m_moreToCome = more;
}

SearchIndex::SearchIndex(Connection* connection)
    : QObject(connection), m_connection(connection), m_alive(connection)
{
    if (sqlite3* handle = m_connection->handle()) {
        sqlite3_update_hook(handle, &SearchIndex::UpdateHook, this);
        sqlite3_rollback_hook(handle, &SearchIndex::RollbackHook, this);
        sqlite3_commit_hook(handle, &SearchIndex::CommitHook, this);
        // The index holds what searches read; the engine need not keep the whole file in memory.
        sqlite3_exec(handle, "pragma mmap_size = 0", nullptr, nullptr, nullptr);
        sqlite3_exec(handle, "pragma cache_size = -2048", nullptr, nullptr, nullptr);
    }
    m_timer.setSingleShot(true);
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &SearchIndex::step);
    connect(m_connection, &Connection::readingSuspended, this, &SearchIndex::interrupt);
    connect(m_connection, &Connection::closingCleanly, this, &SearchIndex::writeCopy);
    restart();
    // The copy kept at the last clean close is read beside the start, while the engine shows the
    // first rows; one whose reading started before the opening is taken where it is.
    m_copyStamp = m_connection->untouchedStamp();
    const QString copy = CopyPath(m_connection->openedPath());
    if (m_copyStamp.valid() && s_prefetched.valid() && s_prefetchedPath == copy)
        m_copy = std::move(s_prefetched);
    else if (m_copyStamp.valid() && m_schemaVersion >= 0 && QFileInfo::exists(copy))
        m_copy = std::async(std::launch::async, &SearchIndex::ReadCopy, copy);
}

SearchIndex::~SearchIndex()
{
    interrupt();
    // Destroyed with its connection, which is then no longer one.
    if (m_alive && m_alive->handle()) {
        sqlite3_update_hook(m_alive->handle(), nullptr, nullptr);
        sqlite3_rollback_hook(m_alive->handle(), nullptr, nullptr);
        sqlite3_commit_hook(m_alive->handle(), nullptr, nullptr);
    }
}

void SearchIndex::UpdateHook(void* self, int, const char*, const char* table, qint64 rowid)
{
    auto* index = static_cast<SearchIndex*>(self);
    ++index->m_heard;
    index->heardWrite();
    if (!table || qstricmp(table, "zvonisty") != 0)
        return;
    index->m_contactsWritten = true;
    // Only noted here: the engine may not be asked anything while it writes.
    if (index->m_dirty) {
        index->m_sinceBulkWrite.start();
        return;
    }
    if (rowid > index->m_lastRead && !index->m_broken) {
        // Not read yet: one the reading of the rows has still to reach, or a contact added after
        // all others, taken over before the next search or once the writing has stopped.
        if (index->m_phase != 0)
            ++index->m_appended;
        index->m_sinceBulkWrite.start();
        return;
    }
    if (index->m_phase != kDone || index->m_broken || index->m_changed.size() >= kMostInPlace) {
        index->m_dirty = true;
        index->m_changed = {};
        index->m_sinceBulkWrite.start();
        // Its memory is given back at once: a bulk write wants the engine's cache larger.
        if (!index->m_reading)
            index->clearContents();
        // Read again once the writing has stopped, without waiting for the next search.
        index->m_timer.start(int(kQuietMs));
        return;
    }
    index->m_changed.push_back(rowid);
}

void SearchIndex::RollbackHook(void* self)
{
    // What was taken over may have been undone without the update hook hearing of it.
    auto* index = static_cast<SearchIndex*>(self);
    index->heardWrite();
    index->m_dirty = true;
    index->m_changed = {};
    index->m_timer.start(0);
}

int SearchIndex::CommitHook(void* self)
{
    static_cast<SearchIndex*>(self)->heardWrite();
    return 0;
}

void SearchIndex::heardWrite()
{
    ++m_writes;
    // Only told here: the engine's hooks may not wait for the threads.
    if (m_readingFile && m_stopReading)
        m_stopReading->store(true);
}

void SearchIndex::dropCopy()
{
    if (m_readingFile && m_stopReading)
        m_stopReading->store(true);
    m_copy = {};
    m_readingFile = false;
}

void SearchIndex::interrupt()
{
    sqlite3_finalize(m_reading);
    m_reading = nullptr;
    // The file is about to be written or closed: a reading beside the window stops before, and
    // starts again once the writing has stopped.
    if (m_readingFile) {
        dropCopy();
        m_timer.start(int(kQuietMs));
    }
}

void SearchIndex::clearContents()
{
    m_phase = 0;
    m_column = -1;
    m_columnsRead = 0;
    m_lastRead = -1;
    m_appending = false;
    m_appended = 0;
    m_ids = {};
    m_sorted = 0;
    m_moved.clear();
    m_dead = 0;
    m_changed = {};
    m_broken = false;
    m_expected = 0;
    m_group = {};
    m_groupNames.clear();
    m_hits = {};
    m_fromCopy = false;
    m_readBeside = false;
    for (Column& c : m_columns)
        c = Column();
}

void SearchIndex::restart()
{
    interrupt();
    // A copy still being read describes the file as it was opened, no longer as it is.
    dropCopy();
    m_readingFailed = false;
    m_contactsWritten = false;
    m_dirty = false;
    clearContents();
    sqlite3* handle = m_connection->handle();
    m_totalChanges = handle ? sqlite3_total_changes64(handle) : -1;
    m_heard = 0;
    m_schemaVersion = -1;
    if (handle) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(handle, "pragma schema_version", -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW)
            m_schemaVersion = sqlite3_column_int(s, 0);
        sqlite3_finalize(s);
        m_timer.start(0);
    }
}

bool SearchIndex::stale()
{
    sqlite3* handle = m_connection->handle();
    if (!handle)
        return true;
    if (m_dirty)
        return true;
    int schema = -2;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(handle, "pragma schema_version", -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW)
        schema = sqlite3_column_int(s, 0);
    sqlite3_finalize(s);
    if (schema != m_schemaVersion)
        return true;
    if ((!m_changed.empty() || m_appended > 0) && !applyChanges())
        return true;
    const qint64 total = sqlite3_total_changes64(handle);
    if (total - m_totalChanges > m_heard) {
        // More rows were written than the update hook heard of: a deletion of all rows
        // passes it by.
        qint64 rows = -1;
        if (sqlite3_prepare_v2(handle, "select count(*) from zvonisty", -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW)
            rows = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
        // While rows are still to be read, the count tells nothing: read again.
        if (!m_broken && (m_phase > 0 ? rows != qint64(live()) : !m_ids.empty()))
            return true;
    }
    m_totalChanges = total;
    m_heard = 0;
    return false;
}

void SearchIndex::step()
{
    if (m_sinceBulkWrite.isValid() && m_sinceBulkWrite.elapsed() < kQuietMs) {
        m_timer.start(int(kQuietMs - m_sinceBulkWrite.elapsed()) + 1);
        return;
    }
    // A copy read ahead for a file that turned out otherwise gives its memory back once read.
    if (s_prefetched.valid() && s_prefetched.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        s_prefetched = {};
    if (!takeCopy(false)) {
        m_timer.start(5);
        return;
    }
    if (stale())
        restart();
    if (readFileBeside()) {
        m_timer.start(5);
        return;
    }
    if (m_phase != kDone && !stepFor(12 * 1000 * 1000, kEverything))
        m_timer.start(0);
}

void SearchIndex::buildNow()
{
    takeCopy(true);
    if (stale())
        restart();
    while (m_phase != kDone && !stepFor(1000LL * 1000 * 1000 * 60, kEverything)) {
    }
    m_timer.stop();
}

bool SearchIndex::reached(int goal) const
{
    if (m_broken || m_phase == kDone)
        return true;
    if (goal == kEverything)
        return false;
    return m_phase > 0 && m_columns[size_t(goal)].ordered;
}

void SearchIndex::reserveRows(size_t more)
{
    const size_t rows = m_ids.size() + more;
    GrowLarge(m_ids, rows);
    GrowLarge(m_group, rows);
    // The texts at the size of those read so far; a first reading sizes them after its first
    // rows.
    if (m_ids.empty())
        return;
    for (Column& c : m_columns)
        GrowLarge(c.arena, c.arena.size() +
                               size_t(double(c.arena.size()) / double(m_ids.size()) * double(more) * 1.04) +
                               4096);
}

// Reads for at most the given time; true when the goal is reached.
bool SearchIndex::stepFor(qint64 nanoseconds, int goal)
{
    sqlite3* handle = m_connection->handle();
    if (!handle)
        return true;
    QElapsedTimer clock;
    clock.start();
    while (!reached(goal)) {
        if (m_phase > 0 && m_column < 0) {
            // The order a search last waited for first, then the usual ones.
            for (int c : OrderPhases())
                if (!(m_columnsRead & (1 << c)) && (m_column < 0 || c == m_wanted))
                    m_column = c;
            m_columnsRead |= 1 << m_column;
        }
        const int column = m_phase == 0 ? -1 : m_column;
        // A statement of another phase, left when contacts were added meanwhile.
        if (m_reading && m_readingColumn != column)
            interrupt();
        if (!m_reading) {
            m_readingColumn = column;
            const QByteArray text = m_phase == 0 ? RowsStatement(kAllColumns, true) : OrderStatement(column);
            if (sqlite3_prepare_v2(handle, text.constData(), -1, &m_reading, nullptr) != SQLITE_OK) {
                interrupt();
                m_phase = kDone;
                m_broken = true;
                return true;
            }
            if (column < 0) {
                // A reading ended halfway by a write goes on after the last row read; counted
                // here, not at attaching: the start of the program does not wait for it.
                sqlite3_bind_int64(m_reading, 1, m_lastRead);
                // The count the grid has just asked for serves, while nothing was written since.
                const bool known = m_lastRead < 0 && m_quickCountChanges == sqlite3_total_changes64(handle);
                const size_t more =
                    size_t(qMax<qint64>(0, known ? m_quickCount : CountAfter(handle, m_lastRead)));
                m_expected = m_ids.size() + more;
                reserveRows(more);
            } else {
                m_columns[size_t(column)].order.clear();
                GrowLarge(m_columns[size_t(column)].order, m_ids.size());
            }
        }
        int rc;
        int n = 0;
        while ((rc = sqlite3_step(m_reading)) == SQLITE_ROW) {
            if (m_phase == 0) {
                const size_t entry = m_ids.size();
                if (!AppendRow(m_reading, entry, RowLists{&m_ids, m_group, m_groupNames, m_columns},
                               m_ignoreAccents, m_expected, kAllColumns, true)) {
                    interrupt();
                    m_phase = kDone;
                    m_broken = true;
                    return true;
                }
                const quint32 id = m_ids.back();
                m_lastRead = id;
                // Added after all others: in id order behind the sorted entries, unless changed
                // contacts already follow them.
                if (m_sorted == entry)
                    m_sorted = entry + 1;
                else
                    m_moved.insert(id, quint32(entry));
            } else {
                const qint64 id = sqlite3_column_int64(m_reading, 0);
                if (id < 0 || id > qint64(UINT32_MAX)) {
                    m_dirty = true;
                    break;
                }
                // The id for now; turned into its entry when the column is read, in one pass
                // whose lookups do not wait for one another.
                m_columns[size_t(column)].order.push_back(quint32(id));
            }
            if (++n == 512) {
                n = 0;
                if (clock.nsecsElapsed() > nanoseconds)
                    return false;
            }
        }
        interrupt();
        if (m_dirty || (rc != SQLITE_DONE && rc != SQLITE_ROW)) {
            restart();
            return false;
        }
        if (m_phase == 0)
            m_appending = false;
        if (m_phase > 0) {
            Column& col = m_columns[size_t(column)];
            const bool sorted = m_sorted == m_ids.size();
            for (quint32& id : col.order) {
                const qint64 entry = sorted ? EntryOfSortedId(m_ids, id) : entryOf(id);
                if (entry < 0) {
                    restart();
                    return false;
                }
                id = quint32(entry);
            }
            col.ordered = col.order.size() == live();
        }
        m_phase = m_phase == kColumns ? kDone : m_phase + 1;
        m_column = -1;
    }
    return true;
}

} // namespace db
