// The first reading of a large directory, beside the window: connections of their own read the
// file through the descriptor that holds it, each one half of the ids on a processor of its own,
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
#include <bit>
#include <cstring>

namespace db {
namespace {

// The place after the `count`th end of a text from `at` on, eight bytes at a time.
size_t PassEnds(const std::string& arena, size_t at, size_t count, char end)
{
    const char* const base = arena.data();
    const size_t size = arena.size();
    constexpr quint64 kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    constexpr quint64 kHigh = 0x8080808080808080ULL;
    const quint64 ends = 0x0101010101010101ULL * quint8(end);
    while (count > 0 && at < size) {
        if constexpr (std::endian::native == std::endian::little) {
            if (at + 8 <= size) {
                quint64 word;
                std::memcpy(&word, base + at, 8);
                // The high bit of every byte that equals `end`, and of no other.
                const quint64 y = word ^ ends;
                quint64 found = ~(((y & kLow7) + kLow7) | y) & kHigh;
                const size_t here = size_t(std::popcount(found));
                if (here < count) {
                    count -= here;
                    at += 8;
                    continue;
                }
                for (; count > 1; --count)
                    found &= found - 1;
                return at + size_t(std::countr_zero(found)) / 8 + 1;
            }
        }
        if (base[at++] == end)
            --count;
    }
    return at;
}

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
    m_copy = std::async(std::launch::async, &SearchIndex::ReadFile, fd, low, high, m_ignoreAccents,
                        QThread::idealThreadCount() > 1, m_stopReading);
    return true;
}

bool SearchIndex::ReadPart(int fd, qint64 first, qint64 last, bool ignoreAccents, bool sparse,
                           size_t expected, const std::atomic<bool>& stop, const RowLists& to)
{
    sqlite3* handle = OpenHeldFile(fd);
    if (!handle)
        return false;
    sqlite3_stmt* rows = nullptr;
    bool read = false;
    if (sqlite3_prepare_v2(handle, RowsStatement(true).constData(), -1, &rows, nullptr) == SQLITE_OK) {
        sqlite3_bind_int64(rows, 1, first - 1);
        sqlite3_bind_int64(rows, 2, last);
        ReserveLarge(to.ids, WithRoom(expected), expected);
        ReserveLarge(to.group, WithRoom(expected), expected);
        int rc;
        int n = 0;
        while ((rc = sqlite3_step(rows)) == SQLITE_ROW &&
               AppendRow(rows, to, ignoreAccents, expected, sparse))
            if (++n % 512 == 0 && stop.load(std::memory_order_relaxed))
                break;
        read = rc == SQLITE_DONE;
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
    const QByteArray text =
        "select id from zvonisty order by " + QByteArray(SearchColumn(column)->name) + ", id";
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

std::unique_ptr<SearchIndex::Copy> SearchIndex::ReadFile(int fd, qint64 lowest, qint64 highest,
                                                         bool ignoreAccents, bool halves,
                                                         std::shared_ptr<std::atomic<bool>> stop)
{
    auto copy = std::make_unique<Copy>();
    const qint64 middle = halves ? lowest + (highest - lowest) / 2 : highest;
    const RowLists whole{copy->ids, copy->group, copy->groupNames, copy->columns};
    // The later half apart, appended to the first once both are read.
    std::vector<quint32> ids;
    std::vector<quint8> group;
    std::vector<std::string> groupNames;
    std::array<Column, kColumns> columns;
    std::future<bool> later;
    if (middle < highest)
        later = std::async(std::launch::async, [&] {
            return ReadPart(fd, middle + 1, highest, ignoreAccents, false, size_t(highest - middle), *stop,
                            RowLists{ids, group, groupNames, columns});
        });
    bool read = ReadPart(fd, lowest, middle, ignoreAccents, true, size_t(highest - lowest) + 1, *stop, whole);
    if (later.valid())
        read = later.get() && read;
    if (!read || stop->load())
        return nullptr;

    // The later half's groups by name among the first's.
    std::vector<quint8> groupOf(groupNames.size());
    for (size_t g = 0; g < groupNames.size(); ++g) {
        const auto found = std::find(copy->groupNames.begin(), copy->groupNames.end(), groupNames[g]);
        if (found == copy->groupNames.end() && copy->groupNames.size() >= kDead)
            return nullptr;
        groupOf[g] = quint8(found - copy->groupNames.begin());
        if (found == copy->groupNames.end())
            copy->groupNames.push_back(groupNames[g]);
    }
    const size_t before = copy->ids.size();
    const size_t n = before + ids.size();
    GrowLarge(copy->ids, n);
    copy->ids.insert(copy->ids.end(), ids.begin(), ids.end());
    ids = {};
    GrowLarge(copy->group, n);
    for (quint8 g : group)
        copy->group.push_back(g == kNoGroup ? g : groupOf[g]);
    group = {};
    for (int c = 0; c < kColumns; ++c) {
        Column& col = copy->columns[size_t(c)];
        std::string& rest = columns[size_t(c)].arena;
        size_t at = col.arena.size();
        GrowLarge(col.arena, at + rest.size());
        PreferLargePages(col.arena.data() + at, rest.size());
        col.arena += rest;
        // One column at a time given back, so that the halves are never held twice whole.
        std::string().swap(rest);
        // The start of every 32nd entry, counted on from the first half's.
        for (size_t e = before; e < n;) {
            if (e % kSparse == 0)
                col.sparse.push_back(quint32(at));
            const size_t pass = std::min(size_t(kSparse) - e % size_t(kSparse), n - e);
            at = PassEnds(col.arena, at, pass, kEnd);
            e += pass;
        }
    }

    // The usual sort and the grid's first column side by side; the others in the idle steps.
    const std::array<int, kColumns>& phases = OrderPhases();
    const auto& all = copy->ids;
    auto second = std::async(std::launch::async, [&] {
        return ReadOrder(fd, phases[1], all, *stop, copy->columns[size_t(phases[1])]);
    });
    read = ReadOrder(fd, phases[0], all, *stop, copy->columns[size_t(phases[0])]);
    read = second.get() && read;
    if (!read || stop->load())
        return nullptr;
    copy->ignoreAccents = ignoreAccents;
    copy->lastRead = copy->ids.empty() ? -1 : qint64(copy->ids.back());
    copy->sorted = copy->ids.size();
    return copy;
}

} // namespace db
