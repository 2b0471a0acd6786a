// The first reading of a large directory, beside the window: connections of their own read the
// file through the descriptor that holds it, each about half the texts on a processor of its own,
// while the window stays free to answer. Whatever the program writes meanwhile stops the reading
// and throws it away; it is read again once the writing has stopped.
#include "db/engine/Columns.h"
#include "db/engine/Connection.h"
#include "db/engine/HeldFile.h"
#include "db/search/LargePages.h"
#include "db/search/SearchIndex.h"

#include <QThread>

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>

namespace db {
namespace {

size_t g_fileReadingMinimum = 50000;

// Reads one column of the first row of a statement; false when there is none.
bool First(sqlite3* handle, const char* text, std::string* out)
{
    sqlite3_stmt* s = nullptr;
    const bool read = sqlite3_prepare_v2(handle, text, -1, &s, nullptr) == SQLITE_OK &&
                      sqlite3_step(s) == SQLITE_ROW && sqlite3_column_type(s, 0) != SQLITE_NULL;
    if (read)
        out->assign(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    sqlite3_finalize(s);
    return read;
}

} // namespace

void SearchIndex::SetFileReadingMinimum(size_t contacts)
{
    g_fileReadingMinimum = contacts;
}

bool SearchIndex::readFileBeside()
{
    sqlite3* handle = m_connection->handle();
    const int fd = m_connection->fileDescriptor();
    // Only a file as its last transaction left it: what an open one wrote may still be undone.
    if (m_phase != 0 || !m_ids.empty() || m_reading || m_copy.valid() || m_readingFailed || m_broken ||
        m_dirty || !handle || fd < 0 || !sqlite3_get_autocommit(handle))
        return false;
    // A write-ahead journal holds rows that the file itself does not.
    std::string mode, lowest, highest;
    if (!First(handle, "pragma journal_mode", &mode) || qstricmp(mode.c_str(), "wal") == 0 ||
        !First(handle, "select min(id) from zvonisty", &lowest) ||
        !First(handle, "select max(id) from zvonisty", &highest))
        return false;
    const qint64 low = std::atoll(lowest.c_str());
    const qint64 high = std::atoll(highest.c_str());
    // Ids the index cannot hold are found by the idle steps, which leave them to the engine.
    if (low < 0 || high > qint64(UINT32_MAX) || high < low || size_t(high - low) + 1 < g_fileReadingMinimum)
        return false;
    // The reading finds the file as it is now, with every change written before it.
    m_contactsWritten = false;
    m_totalChanges = sqlite3_total_changes64(handle);
    m_heard = 0;
    m_stopReading = std::make_shared<std::atomic<bool>>(false);
    m_writesAtReading = m_writes;
    m_readingFile = true;
    // Room for the count the grid has just asked for; otherwise for the ids between, within reason.
    const size_t expected = m_quickCountChanges == m_totalChanges
                                ? size_t(qMax<qint64>(0, m_quickCount))
                                : size_t(qMin<qint64>(high - low + 1, 1 << 24));
    try {
        m_copy = std::async(std::launch::async, &SearchIndex::ReadFile, fd, expected, m_ignoreAccents,
                            QThread::idealThreadCount() > 1, m_stopReading);
    } catch (const std::system_error&) {
        // No thread to be had: the idle steps read.
        m_readingFile = false;
        m_readingFailed = true;
        return false;
    }
    return true;
}

bool SearchIndex::ReadRows(int fd, unsigned columns, bool groups, bool ignoreAccents, size_t expected,
                           const std::atomic<bool>& stop, const RowLists& to, quint64* digest)
{
    sqlite3* handle = OpenHeldFile(fd);
    if (!handle)
        return false;
    sqlite3_stmt* rows = nullptr;
    bool read = false;
    if (sqlite3_prepare_v2(handle, RowsStatement(columns, groups).constData(), -1, &rows, nullptr) ==
        SQLITE_OK) {
        sqlite3_bind_int64(rows, 1, -1);
        if (to.ids)
            ReserveLarge(*to.ids, WithRoom(expected), expected);
        if (groups)
            ReserveLarge(to.group, WithRoom(expected), expected);
        int rc;
        size_t n = 0;
        quint64 mixed = 0;
        while ((rc = sqlite3_step(rows)) == SQLITE_ROW &&
               AppendRow(rows, n, to, ignoreAccents, expected, columns, groups)) {
            mixed = (mixed ^ quint64(sqlite3_column_int64(rows, 0))) * 0x100000001B3ULL;
            if (++n % 512 == 0 && stop.load(std::memory_order_relaxed))
                break;
        }
        read = rc == SQLITE_DONE;
        *digest = mixed ^ n;
    }
    sqlite3_finalize(rows);
    sqlite3_close(handle);
    return read;
}

bool SearchIndex::ReadOrder(int fd, int column, const std::vector<quint32>& ids,
                            const std::atomic<bool>& stop, Column& to)
{
    sqlite3* handle = OpenHeldFile(fd);
    if (!handle)
        return false;
    sqlite3_stmt* order = nullptr;
    const QByteArray text = OrderStatement(column);
    bool read = false;
    if (sqlite3_prepare_v2(handle, text.constData(), -1, &order, nullptr) == SQLITE_OK) {
        ReserveLarge(to.order, WithRoom(ids.size()), ids.size());
        int rc;
        int n = 0;
        while ((rc = sqlite3_step(order)) == SQLITE_ROW) {
            const qint64 id = sqlite3_column_int64(order, 0);
            if (id < 0 || id > qint64(UINT32_MAX) || (++n % 512 == 0 && stop.load(std::memory_order_relaxed)))
                break;
            to.order.push_back(quint32(id));
        }
        // The ids turned into entries in one pass of their own, whose lookups do not wait for
        // one another.
        for (quint32& id : to.order) {
            const qint64 entry = EntryOfSortedId(ids, id);
            if (entry < 0) {
                rc = SQLITE_CORRUPT;
                break;
            }
            id = quint32(entry);
        }
        read = rc == SQLITE_DONE && to.order.size() == ids.size();
    }
    sqlite3_finalize(order);
    sqlite3_close(handle);
    to.ordered = read;
    return read;
}

std::unique_ptr<SearchIndex::Copy> SearchIndex::ReadFile(int fd, size_t expected, bool ignoreAccents,
                                                         bool halves, std::shared_ptr<std::atomic<bool>> stop)
{
    // Memory or a thread refused is a reading failed, left to the idle steps: nothing is thrown
    // to the window.
    try {
        return ReadFileOnce(fd, expected, ignoreAccents, halves, *stop);
    } catch (const std::exception&) {
        return nullptr;
    }
}

std::unique_ptr<SearchIndex::Copy> SearchIndex::ReadFileOnce(int fd, size_t expected, bool ignoreAccents,
                                                             bool halves, const std::atomic<bool>& stop)
{
    auto copy = std::make_unique<Copy>();
    // Side by side, each connection steps through every row and takes about half the texts:
    // the names, the organisations and the groups on one side, the rest on the other, as the
    // texts of directories are shared. Nothing is joined but the columns themselves.
    unsigned beside = 0;
    if (halves)
        for (int c = 0; c < kColumns; ++c)
            if (qstrcmp(SearchColumn(c)->name, "jmeno") != 0 &&
                qstrcmp(SearchColumn(c)->name, "organizace") != 0)
                beside |= 1u << c;
    std::vector<quint8> noGroups;
    std::vector<std::string> noGroupNames;
    std::array<Column, kColumns> columns;
    quint64 rows = 0;
    quint64 besideRows = 0;
    std::future<bool> other;
    if (beside != 0)
        other = std::async(std::launch::async, [&] {
            return ReadRows(fd, beside, false, ignoreAccents, expected, stop,
                            RowLists{nullptr, noGroups, noGroupNames, columns}, &besideRows);
        });
    bool read = ReadRows(fd, kAllColumns & ~beside, true, ignoreAccents, expected, stop,
                         RowLists{&copy->ids, copy->group, copy->groupNames, copy->columns}, &rows);
    if (other.valid())
        read = other.get() && read;
    // Both read the same rows, as nothing was written meanwhile.
    if (!read || stop.load() || (beside != 0 && besideRows != rows))
        return nullptr;
    for (int c = 0; c < kColumns; ++c)
        if (beside & (1u << c))
            copy->columns[size_t(c)] = std::move(columns[size_t(c)]);

    // The usual sort and the grid's first column side by side; the others in the idle steps.
    const std::array<int, kColumns>& phases = OrderPhases();
    const auto& all = copy->ids;
    auto second = std::async(std::launch::async, [&] {
        return ReadOrder(fd, phases[1], all, stop, copy->columns[size_t(phases[1])]);
    });
    read = ReadOrder(fd, phases[0], all, stop, copy->columns[size_t(phases[0])]);
    read = second.get() && read;
    if (!read || stop.load())
        return nullptr;
    copy->ignoreAccents = ignoreAccents;
    copy->lastRead = copy->ids.empty() ? -1 : qint64(copy->ids.back());
    copy->sorted = copy->ids.size();
    return copy;
}

} // namespace db
