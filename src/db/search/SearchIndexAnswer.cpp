// Answering search and sort statements from the search index: which rows match, in the
// order the engine would give them.
#include "db/search/SearchIndex.h"

#include "db/engine/Connection.h"
#include "db/engine/Dialect.h"
#include "db/engine/Engine.h"
#include "db/engine/SearchText.h"
#include "db/search/ContactSearch.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>

namespace db {
namespace {

enum Plan { TiesAscending = 1, TiesFollow = 2, PlanUnknown = 3 };

} // namespace

bool SearchIndex::quickCount(const ContactSearch& search, int* count)
{
    if (search.group || !SearchLikes(search).isEmpty())
        return false;
    sqlite3* handle = m_connection->handle();
    sqlite3_stmt* s = nullptr;
    bool ok = false;
    if (handle && sqlite3_prepare_v2(handle, "select count(*) from zvonisty", -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW) {
        *count = sqlite3_column_int(s, 0);
        ok = true;
    }
    sqlite3_finalize(s);
    return ok;
}

bool SearchIndex::tiesAscending(const ContactSearch& search, bool* known)
{
    const QString key = QStringLiteral("%1/%2/%3/%4")
                            .arg(search.group.has_value())
                            .arg(SearchLikes(search).size())
                            .arg(search.orderColumn)
                            .arg(search.descending);
    int plan = m_plans.value(key);
    if (plan == 0) {
        // The engine reads the rows either along the order column's index (equal values then
        // come in the index's direction) or in id order and sorts them (equal values keep
        // that order). Which one, its query plan tells.
        plan = PlanUnknown;
        sqlite3_stmt* s = nullptr;
        const QByteArray text =
            "explain query plan " + TranslateStatement(BuildSearchStatement(search)).toUtf8();
        if (sqlite3_prepare_v2(m_connection->handle(), text.constData(), -1, &s, nullptr) == SQLITE_OK) {
            const QByteArray orderIndex = "ix_zvonisty_" + search.orderColumn.toLatin1();
            bool sorts = false, alongOrder = false, inIdOrder = false, other = false;
            int steps = 0;
            while (sqlite3_step(s) == SQLITE_ROW) {
                const QByteArray detail(reinterpret_cast<const char*>(sqlite3_column_text(s, 3)));
                ++steps;
                if (detail.startsWith("USE TEMP B-TREE FOR ORDER BY"))
                    sorts = true;
                else if (detail == "SCAN zvonisty USING INDEX " + orderIndex ||
                         detail == "SCAN zvonisty USING COVERING INDEX " + orderIndex)
                    alongOrder = true;
                else if (detail == "SCAN zvonisty" ||
                         detail == "SEARCH zvonisty USING INDEX ix_zvonisty_skupina (skupina=?)")
                    inIdOrder = true;
                else
                    other = true;
            }
            if (!other && steps == 2 && sorts && inIdOrder)
                plan = TiesAscending;
            else if (!other && steps == 1 && alongOrder)
                plan = TiesFollow;
        }
        sqlite3_finalize(s);
        m_plans.insert(key, plan);
    }
    *known = plan != PlanUnknown;
    return plan == TiesAscending;
}

void SearchIndex::matchColumn(const Column& col, const std::string& pattern, std::vector<quint8>& hits) const
{
    const char* base = col.arena.data();
    const size_t size = col.arena.size();
    const bool wildcards = pattern.find_first_of("%_") != std::string::npos;
    // '%text%' without other wildcards: a plain substring search over the whole column.
    if (pattern.size() >= 2 && pattern.front() == '%' && pattern.back() == '%') {
        const std::string needle = pattern.substr(1, pattern.size() - 2);
        if (needle.find_first_of("%_") == std::string::npos) {
            if (needle.empty()) {
                size_t start = 0;
                for (size_t entry = 0; start < size; ++entry) {
                    const char* end = static_cast<const char*>(std::memchr(base + start, kEnd, size - start));
                    if (base[start] != kNull)
                        hits[entry] = 1;
                    start = size_t(end - base) + 1;
                }
                return;
            }
            // Hits come in text order: the entry of each is found by walking on from the last
            // one, or by a jump through the sparse starts when it lies further away.
            size_t entry = 0, start = 0;
            while (start < size) {
                const void* found = memmem(base + start, size - start, needle.data(), needle.size());
                if (!found)
                    break;
                const size_t at = size_t(static_cast<const char*>(found) - base);
                const size_t block = entry / kSparse + 2;
                if (block < col.sparse.size() && col.sparse[block] <= at) {
                    const auto after = std::upper_bound(col.sparse.begin(), col.sparse.end(), quint32(at));
                    const size_t k = size_t(after - col.sparse.begin() - 1);
                    entry = k * kSparse;
                    start = col.sparse[k];
                }
                for (;;) {
                    const char* end = static_cast<const char*>(std::memchr(base + start, kEnd, size - start));
                    start = size_t(end - base) + 1;
                    if (at < start) {
                        hits[entry++] = 1;
                        break;
                    }
                    ++entry;
                }
            }
            return;
        }
    }
    std::vector<char32_t> folded, text;
    SearchFoldCodePoints(pattern.data(), int(pattern.size()), false, folded);
    size_t start = 0;
    for (size_t entry = 0; start < size; ++entry) {
        const char* end = static_cast<const char*>(std::memchr(base + start, kEnd, size - start));
        const size_t stop = size_t(end - base);
        if (base[start] != kNull && !hits[entry]) {
            if (!wildcards) {
                hits[entry] = stop - start == pattern.size() &&
                              std::memcmp(base + start, pattern.data(), pattern.size()) == 0;
            } else {
                SearchFoldCodePoints(base + start, int(stop - start), false, text);
                hits[entry] = LikeFolded(folded, text, 0) ? 1 : 0;
            }
        }
        start = stop + 1;
    }
}

bool SearchIndex::resolve(const ContactSearch& search, std::vector<quint32>* ids)
{
    const ContactColumn* orderColumn = FindColumn(search.orderColumn);
    const int orderPlace = orderColumn ? orderColumn->searchPlace : -1;
    if (orderPlace < 0 || BuildSearchStatement(search).isEmpty())
        return false;
    // Texts are compared only by a search with a text condition.
    const QList<SearchLike> likes = SearchLikes(search);
    if (!likes.isEmpty() && search.ignoreAccents != m_ignoreAccents) {
        m_ignoreAccents = search.ignoreAccents;
        restart();
        return false;
    }
    if (stale()) {
        restart();
        return false;
    }
    const Column& order = m_columns[size_t(orderPlace)];
    if (m_broken || m_phase == 0 || !order.ordered) {
        m_wanted = orderPlace;
        return false;
    }
    bool known = false;
    const bool tiesUp = tiesAscending(search, &known);
    if (!known)
        return false;

    const size_t count = m_ids.size();
    std::vector<quint8> hits;
    if (!likes.isEmpty()) {
        hits.assign(count, 0);
        for (const SearchLike& like : likes) {
            const QByteArray utf8 = like.pattern.toUtf8();
            std::string pattern;
            SearchFoldUtf8(utf8.constData(), int(utf8.size()), m_ignoreAccents, pattern);
            matchColumn(like.digits ? m_phoneDigits : m_columns[size_t(like.column)], pattern, hits);
        }
    }
    if (search.group) {
        // skupina = 'G' compares by the column's collation.
        const QByteArray group = search.group->toUtf8();
        std::vector<quint8> groupMatches(m_groupNames.size(), 0);
        for (size_t g = 0; g < m_groupNames.size(); ++g)
            groupMatches[g] = CompareCzechUtf8(m_groupNames[g].data(), int(m_groupNames[g].size()),
                                               group.constData(), int(group.size())) == 0;
        if (hits.empty())
            hits.assign(count, 1);
        for (size_t e = 0; e < count; ++e)
            if (hits[e] && (m_group[e] >= groupMatches.size() || !groupMatches[m_group[e]]))
                hits[e] = 0;
    }

    ids->clear();
    ids->reserve(hits.empty() ? count : size_t(std::count(hits.begin(), hits.end(), quint8(1))));
    auto take = [&](quint32 entry) {
        if (hits.empty() || hits[entry])
            ids->push_back(m_ids[entry]);
    };
    const std::vector<quint32>& sequence = order.order;
    if (!search.descending) {
        for (quint32 entry : sequence)
            take(entry);
    } else if (!tiesUp) {
        for (auto it = sequence.rbegin(); it != sequence.rend(); ++it)
            take(*it);
    } else {
        // Runs of equal values from the last one back, each run in its own order.
        size_t end = sequence.size();
        while (end > 0) {
            size_t start = end - 1;
            while (start > 0 && !order.runStart[start])
                --start;
            for (size_t i = start; i < end; ++i)
                take(sequence[i]);
            end = start;
        }
    }
    return true;
}

} // namespace db
