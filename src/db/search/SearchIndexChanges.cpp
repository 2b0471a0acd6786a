// Keeping the search index up to date with changes of single contacts, without reading the
// directory again: the old entry of a changed contact leaves the orders, its new values are
// appended and placed into each order by a binary search that reads the compared values
// from the engine.
#include "db/search/SearchIndex.h"

#include "db/engine/Connection.h"
#include "db/engine/Engine.h"
#include "db/engine/SearchText.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>

namespace db {
namespace {

// A contact's value of a searched column as the engine orders it.
struct Value
{
    bool null = true;
    std::string text;
};

// As "order by <column>" compares: a null first, then the Czech comparison.
int CompareValues(const Value& a, const Value& b)
{
    if (a.null || b.null)
        return int(b.null) - int(a.null);
    return CompareCzechUtf8(a.text.data(), int(a.text.size()), b.text.data(), int(b.text.size()));
}

// Reads single values of contacts by id, one prepared statement per column.
class ValueReader
{
public:
    explicit ValueReader(sqlite3* handle) : m_handle(handle) {}
    ~ValueReader()
    {
        for (sqlite3_stmt* s : m_statements)
            sqlite3_finalize(s);
    }
    ValueReader(const ValueReader&) = delete;
    ValueReader& operator=(const ValueReader&) = delete;

    // 1 with the value, 0 when the contact is gone, -1 when it cannot be read or is no text
    // (numbers and blobs order apart from texts; the whole directory is then read again).
    int read(quint32 id, int column, Value* out)
    {
        sqlite3_stmt*& s = m_statements[size_t(column)];
        if (!s) {
            const QByteArray text =
                column < SearchIndex::kColumns
                    ? "select " + QByteArray(SearchColumn(column)->name) + " from zvonisty where id = ?"
                    : QByteArray("select skupina from zvonisty where id = ?");
            if (sqlite3_prepare_v2(m_handle, text.constData(), -1, &s, nullptr) != SQLITE_OK)
                return -1;
        }
        sqlite3_reset(s);
        sqlite3_bind_int64(s, 1, id);
        const int rc = sqlite3_step(s);
        if (rc == SQLITE_DONE)
            return 0;
        if (rc != SQLITE_ROW)
            return -1;
        const int type = sqlite3_column_type(s, 0);
        if (type != SQLITE_NULL && type != SQLITE_TEXT)
            return -1;
        out->null = type == SQLITE_NULL;
        out->text.assign(out->null ? "" : reinterpret_cast<const char*>(sqlite3_column_text(s, 0)),
                         out->null ? 0 : size_t(sqlite3_column_bytes(s, 0)));
        sqlite3_reset(s);
        return 1;
    }

private:
    sqlite3* m_handle;
    std::array<sqlite3_stmt*, SearchIndex::kColumns + 1> m_statements{};
};

struct Added
{
    quint32 id = 0;
    quint8 group = 0;
    std::array<Value, SearchIndex::kColumns> values;
    std::array<std::string, SearchIndex::kColumns> folded;
};

// Whether a list may grow by `more` without being copied to a larger place; small lists may.
template <typename List> bool Roomy(const List& list, size_t more)
{
    return list.size() + more <= list.capacity() || list.capacity() * sizeof(list[0]) < (size_t(1) << 22);
}

} // namespace

qint64 SearchIndex::entryOf(quint32 id) const
{
    const auto moved = m_moved.constFind(id);
    if (moved != m_moved.constEnd())
        return moved.value();
    const auto end = m_ids.begin() + qint64(m_sorted);
    const auto at = std::lower_bound(m_ids.begin(), end, id);
    if (at == end || *at != id)
        return -1;
    const qint64 entry = at - m_ids.begin();
    return m_group[size_t(entry)] == kDead ? -1 : entry;
}

void SearchIndex::removeEntries(const std::vector<quint32>& entries)
{
    for (quint32 entry : entries) {
        m_group[entry] = kDead;
        ++m_dead;
        if (entry >= m_sorted)
            m_moved.remove(m_ids[entry]);
    }
    for (Column& col : m_columns)
        col.order.erase(std::remove_if(col.order.begin(), col.order.end(),
                                       [&](quint32 entry) { return m_group[entry] == kDead; }),
                        col.order.end());
}

bool SearchIndex::applyChanges()
{
    std::vector<qint64> changed;
    changed.swap(m_changed);
    sqlite3* handle = m_connection->handle();
    if (m_broken || !handle)
        return false;
    if (m_appended == 0)
        return applyInPlace(std::move(changed));
    if (m_phase == kDone && changed.size() + size_t(m_appended) <= kMostInPlace) {
        // A few added: taken over in place as well.
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(handle, "select id from zvonisty where id > ?", -1, &s, nullptr) != SQLITE_OK)
            return false;
        sqlite3_bind_int64(s, 1, m_lastRead);
        while (sqlite3_step(s) == SQLITE_ROW)
            changed.push_back(sqlite3_column_int64(s, 0));
        sqlite3_finalize(s);
        m_appended = 0;
        return applyInPlace(std::move(changed));
    }
    // Many: the changes of earlier contacts in place, the added ones read as rows.
    if (!changed.empty() && !applyInPlace(std::move(changed)))
        return false;
    readAdded();
    return true;
}

void SearchIndex::readAdded()
{
    interrupt();
    m_appended = 0;
    m_appending = true;
    m_phase = 0;
    m_column = -1;
    m_columnsRead = 0;
    for (Column& c : m_columns)
        c.ordered = false;
    // Read while idle, once the writing has stopped, if no search asks first.
    m_timer.start(int(kQuietMs));
}

bool SearchIndex::applyInPlace(std::vector<qint64> changed)
{
    sqlite3* handle = m_connection->handle();
    if (m_phase != kDone || m_broken || !handle)
        return false;
    std::sort(changed.begin(), changed.end());
    changed.erase(std::unique(changed.begin(), changed.end()), changed.end());

    // Everything is read and checked before the index is touched.
    ValueReader reader(handle);
    std::vector<quint32> gone;
    std::vector<Added> added;
    std::vector<std::string> newGroups;
    std::array<size_t, kColumns> bytes{};
    for (qint64 rowid : changed) {
        if (rowid < 0 || rowid > qint64(UINT32_MAX))
            return false;
        const quint32 id = quint32(rowid);
        const qint64 entry = entryOf(id);
        if (entry >= 0)
            gone.push_back(quint32(entry));
        Added row;
        row.id = id;
        Value group;
        const int found = reader.read(id, kColumns, &group);
        if (found < 0)
            return false;
        if (found == 0)
            continue;
        for (int c = 0; c < kColumns; ++c) {
            if (reader.read(id, c, &row.values[size_t(c)]) != 1)
                return false;
            const Value& v = row.values[size_t(c)];
            if (v.null)
                row.folded[size_t(c)] = std::string(1, kNull);
            else
                SearchFoldUtf8(v.text.data(), int(v.text.size()), m_ignoreAccents, row.folded[size_t(c)]);
            bytes[size_t(c)] += row.folded[size_t(c)].size() + 1;
        }
        row.group = kNoGroup;
        if (!group.null) {
            auto known = std::find(m_groupNames.begin(), m_groupNames.end(), group.text);
            if (known == m_groupNames.end()) {
                if (m_groupNames.size() >= kDead)
                    return false;
                m_groupNames.push_back(group.text);
                known = m_groupNames.end() - 1;
            }
            row.group = quint8(known - m_groupNames.begin());
        }
        added.push_back(std::move(row));
    }
    // Grown lists of a large directory would for a moment take twice their memory.
    if (!Roomy(m_ids, added.size()) || !Roomy(m_group, added.size()))
        return false;
    for (int c = 0; c < kColumns; ++c) {
        const Column& col = m_columns[size_t(c)];
        if (!Roomy(col.arena, bytes[size_t(c)]) || !Roomy(col.order, added.size()))
            return false;
    }

    removeEntries(gone);
    const size_t firstNew = m_ids.size();
    for (const Added& row : added) {
        const size_t entry = m_ids.size();
        for (int c = 0; c < kColumns; ++c) {
            Column& col = m_columns[size_t(c)];
            if (entry % kSparse == 0)
                col.sparse.push_back(quint32(col.arena.size()));
            col.arena += row.folded[size_t(c)];
            col.arena += kEnd;
        }
        if (m_sorted == entry && (entry == 0 || row.id > m_ids[entry - 1]))
            m_sorted = entry + 1;
        else
            m_moved.insert(row.id, quint32(entry));
        m_ids.push_back(row.id);
        m_group.push_back(row.group);
        m_lastRead = qMax<qint64>(m_lastRead, row.id);
    }

    for (int c = 0; c < kColumns; ++c) {
        Column& col = m_columns[size_t(c)];
        // The compared value of the entry at a place of the order, none of them new.
        auto valueAt = [&](size_t place, Value* out) {
            return reader.read(m_ids[col.order[place]], c, out) == 1;
        };
        // Where each new entry goes: after everything ordered before it by value, then id.
        std::vector<std::pair<size_t, size_t>> places;
        places.reserve(added.size());
        Value probe;
        for (size_t k = 0; k < added.size(); ++k) {
            const Value& value = added[k].values[size_t(c)];
            size_t low = 0, high = col.order.size();
            while (low < high) {
                const size_t middle = low + (high - low) / 2;
                if (!valueAt(middle, &probe))
                    return false;
                int order = CompareValues(value, probe);
                if (order == 0)
                    order = added[k].id < m_ids[col.order[middle]] ? -1 : 1;
                if (order < 0)
                    high = middle;
                else
                    low = middle + 1;
            }
            places.emplace_back(low, k);
        }
        std::sort(places.begin(), places.end(), [&](const auto& a, const auto& b) {
            if (a.first != b.first)
                return a.first < b.first;
            const int order =
                CompareValues(added[a.second].values[size_t(c)], added[b.second].values[size_t(c)]);
            return order != 0 ? order < 0 : added[a.second].id < added[b.second].id;
        });
        // Merged in from the back, so that nothing is moved twice.
        size_t from = col.order.size();
        size_t to = from + places.size();
        col.order.resize(to);
        for (size_t p = places.size(); p-- > 0;) {
            while (from > places[p].first)
                col.order[--to] = col.order[--from];
            col.order[--to] = quint32(firstNew + places[p].second);
        }
    }
    return true;
}

} // namespace db
