// How the rows and the orders of the directory are read into the index's lists: shared by the
// window's idle steps and the reading beside the window.
#include "db/engine/Columns.h"
#include "db/engine/SearchText.h"
#include "db/search/LargePages.h"
#include "db/search/SearchIndex.h"

#include <sqlite3.h>

#include <algorithm>

namespace db {

// The orders of the columns are read after the rows: the usual sort (by jmeno) first, then
// as the grid shows them.
const std::array<int, SearchIndex::kColumns>& SearchIndex::OrderPhases()
{
    static const std::array<int, kColumns> phases = [] {
        std::array<int, kColumns> order{};
        for (int c = 0; c < kColumns; ++c)
            order[size_t(c)] = c;
        auto rank = [](int c) {
            const ContactColumn* column = SearchColumn(c);
            if (qstrcmp(column->name, "jmeno") == 0)
                return -1;
            return column->gridPlace < 0 ? kGridColumnCount : column->gridPlace;
        };
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return rank(a) < rank(b); });
        return order;
    }();
    return phases;
}

QByteArray SearchIndex::RowsStatement(unsigned columns, bool groups)
{
    QByteArray text = "select id";
    for (int c = 0; c < kColumns; ++c)
        if (columns & (1u << c))
            text += ", " + QByteArray(SearchColumn(c)->name);
    return text + (groups ? ", skupina" : "") + " from zvonisty where id > ? order by id";
}

QByteArray SearchIndex::OrderStatement(int column)
{
    return "select id from zvonisty order by " + QByteArray(SearchColumn(column)->name) + ", id";
}

// The ids of a directory have few gaps, so the place is found near the one it would have
// without any, which is never below it: a look at one place instead of a binary search through
// cold memory.
qint64 SearchIndex::EntryOfSortedId(const std::vector<quint32>& ids, qint64 id)
{
    if (ids.empty() || id < ids.front() || id > ids.back())
        return -1;
    size_t high = size_t(std::min<qint64>(id - ids.front(), qint64(ids.size()) - 1));
    if (ids[high] == id)
        return qint64(high);
    // Back in growing steps to a place at or below the id, then a binary search between.
    size_t low = high, step = 1;
    while (low > 0 && ids[low] > id) {
        high = low;
        low = low > step ? low - step : 0;
        step *= 2;
    }
    const auto at = std::lower_bound(ids.begin() + qint64(low), ids.begin() + qint64(high) + 1, id);
    return at != ids.end() && *at == id ? at - ids.begin() : -1;
}

bool SearchIndex::AppendRow(sqlite3_stmt* row, size_t entry, const RowLists& to, bool ignoreAccents,
                            size_t expected, unsigned columns, bool groups)
{
    const qint64 id = sqlite3_column_int64(row, 0);
    if (id < 0 || id > qint64(UINT32_MAX))
        return false;
    if (to.ids)
        to.ids->push_back(quint32(id));
    if (entry == 16384 && expected > entry) {
        // Room for the rest at the size of the first rows, so the texts are not copied on
        // growing.
        for (int c = 0; c < kColumns; ++c)
            if (columns & (1u << c))
                to.columns[size_t(c)].arena.reserve(WithRoom(
                    size_t(double(to.columns[size_t(c)].arena.size()) * double(expected) / 16384.0)));
    }
    int at = 1;
    for (int c = 0; c < kColumns; ++c) {
        if (!(columns & (1u << c)))
            continue;
        Column& col = to.columns[size_t(c)];
        if (entry % kSparse == 0)
            col.sparse.push_back(quint32(col.arena.size()));
        if (sqlite3_column_type(row, at) == SQLITE_NULL) {
            col.arena += kNull;
        } else {
            SearchFoldUtf8(reinterpret_cast<const char*>(sqlite3_column_text(row, at)),
                           sqlite3_column_bytes(row, at), ignoreAccents, col.arena);
        }
        col.arena += kEnd;
        ++at;
    }
    if (!groups)
        return true;
    quint8 group = kNoGroup;
    if (sqlite3_column_type(row, at) != SQLITE_NULL) {
        const std::string name(reinterpret_cast<const char*>(sqlite3_column_text(row, at)),
                               size_t(sqlite3_column_bytes(row, at)));
        const auto found = std::find(to.groupNames.begin(), to.groupNames.end(), name);
        if (found != to.groupNames.end()) {
            group = quint8(found - to.groupNames.begin());
        } else if (to.groupNames.size() < kDead) {
            group = quint8(to.groupNames.size());
            to.groupNames.push_back(name);
        } else {
            // Too many distinct groups to keep apart: everything is left to the engine.
            return false;
        }
    }
    to.group.push_back(group);
    return true;
}

} // namespace db
