// Answering search and sort statements from the search index: which rows match, in the
// order the engine would give them.
#include "db/search/SearchIndex.h"

#include "db/engine/Connection.h"
#include "db/engine/Engine.h"
#include "db/engine/PhoneText.h"
#include "db/engine/SearchText.h"
#include "db/search/ContactSearch.h"

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <future>
#include <system_error>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace db {

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
        m_quickCount = *count;
        m_quickCountChanges = sqlite3_total_changes64(handle);
    }
    sqlite3_finalize(s);
    return ok;
}

namespace {

size_t g_sideBySideMinimum = 50000;

// Where a part of a column's texts begins and ends in its arena.
std::pair<size_t, size_t> Bytes(const std::vector<quint32>& sparse, size_t arenaSize, size_t first,
                                size_t end)
{
    return {first < sparse.size() ? sparse[first] : arenaSize, end < sparse.size() ? sparse[end] : arenaSize};
}

// Whether the automaton, started afresh at `p`, finds the digits before the text's end; `p` is
// left past that end (the byte 0xFF that ends every text).
bool DigitsInText(const unsigned char*& p, const unsigned char* end, const quint32* table, quint32 found)
{
    for (quint32 state = 0; p < end;) {
        state = table[state + *p++];
        if (state >= found) {
            if (state != found)
                return false;
            p = static_cast<const unsigned char*>(std::memchr(p, 0xFF, size_t(end - p))) + 1;
            return true;
        }
    }
    return false;
}

#if defined(__SSE2__)
// Skims 16 bytes at a time for the places where the digits may begin, and runs the automaton from
// those alone. A place qualifies when it holds the first digit and what follows may still lead to
// the second and third: the digit itself, or a byte that may begin a filler (every ASCII filler
// lies below '0'; a no-break space begins with 0xC2). Two fillers in a row, or a no-break space,
// always qualify, so no match is ever skimmed over. Gives where the skimming stopped, at least 18
// bytes before the end; `entry` follows the texts passed.
const unsigned char* SkimDigits(const unsigned char* p, const unsigned char* end, const char lead[3],
                                const quint32* table, quint32 found, size_t& entry, std::vector<quint8>& hits)
{
    const __m128i first = _mm_set1_epi8(lead[0]), second = _mm_set1_epi8(lead[1]),
                  third = _mm_set1_epi8(lead[2]), below = _mm_set1_epi8(0x2F),
                  nbspLead = _mm_set1_epi8(char(0xC2)), nbspTrail = _mm_set1_epi8(char(0xA0)),
                  textEnd = _mm_set1_epi8(char(0xFF));
    const auto load = [](const unsigned char* at) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    };
    const auto filler = [&](__m128i b) {
        return _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(b, below), b), _mm_cmpeq_epi8(b, nbspLead));
    };
    const auto either = [](__m128i a, __m128i b) { return _mm_or_si128(a, b); };
    const auto both = [](__m128i a, __m128i b) { return _mm_and_si128(a, b); };
    for (; end - p >= 19; p += 16) {
        const __m128i x = load(p), y1 = load(p + 1), y2 = load(p + 2), y3 = load(p + 3);
        const __m128i f2 = filler(y2);
        const __m128i direct = both(_mm_cmpeq_epi8(y1, second), either(_mm_cmpeq_epi8(y2, third), f2));
        const __m128i skipped =
            both(filler(y1),
                 either(either(f2, _mm_cmpeq_epi8(y2, nbspTrail)),
                        both(_mm_cmpeq_epi8(y2, second), either(_mm_cmpeq_epi8(y3, third), filler(y3)))));
        auto places = unsigned(_mm_movemask_epi8(both(_mm_cmpeq_epi8(x, first), either(direct, skipped))));
        const auto ends = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(x, textEnd)));
        for (; places; places &= places - 1) {
            const unsigned at = unsigned(std::countr_zero(places));
            const size_t e = entry + size_t(std::popcount(ends & ((1u << at) - 1)));
            const unsigned char* from = p + at;
            if (!hits[e] && DigitsInText(from, end, table, found))
                hits[e] = 1;
        }
        entry += size_t(std::popcount(ends));
    }
    return p;
}
#endif

} // namespace

void SearchIndex::matchColumn(const Column& col, const std::string& pattern, Part part,
                              std::vector<quint8>& hits) const
{
    const char* base = col.arena.data();
    const auto [from, size] = Bytes(col.sparse, col.arena.size(), part.first, part.end);
    const bool wildcards = pattern.find_first_of("%_") != std::string::npos;
    // '%text%' without other wildcards: a plain substring search over the whole column.
    if (pattern.size() >= 2 && pattern.front() == '%' && pattern.back() == '%') {
        const std::string needle = pattern.substr(1, pattern.size() - 2);
        if (needle.find_first_of("%_") == std::string::npos) {
            if (needle.empty()) {
                size_t start = from;
                for (size_t entry = part.first * kSparse; start < size; ++entry) {
                    const char* end = static_cast<const char*>(std::memchr(base + start, kEnd, size - start));
                    if (base[start] != kNull)
                        hits[entry] = 1;
                    start = size_t(end - base) + 1;
                }
                return;
            }
            // Hits come in text order: the entry of each is found by walking on from the last
            // one, or by a jump through the sparse starts when it lies further away.
            size_t entry = part.first * kSparse, start = from;
            while (start < size) {
                const void* found = memmem(base + start, size - start, needle.data(), needle.size());
                if (!found)
                    break;
                const size_t at = size_t(static_cast<const char*>(found) - base);
                const size_t block = entry / kSparse + 2;
                if (block < part.end && col.sparse[block] <= at) {
                    const auto after = std::upper_bound(col.sparse.begin() + long(block),
                                                        col.sparse.begin() + long(part.end), quint32(at));
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
    size_t start = from;
    for (size_t entry = part.first * kSparse; start < size; ++entry) {
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

void SearchIndex::SetSideBySideMinimum(size_t contacts)
{
    g_sideBySideMinimum = contacts;
}

SearchIndex::DigitMatcher SearchIndex::Digits(const std::string& pattern)
{
    // '%digits%': the numbers are read without blanks and separators here, as the engine's
    // function reads them. Folding leaves digits, '+' and the separators as they are and turns
    // nothing into them, so the folded texts serve; a copy of the digits would cost memory.
    // One pass over the column through an automaton: a table gives, for each state (the digits
    // matched so far) and each byte, the next state, so that a byte costs one lookup.
    DigitMatcher digits;
    const std::string needle = pattern.substr(1, pattern.size() - 2);
    const size_t m = needle.size();
    digits.length = m;
    // No stored number has so many digits.
    if (m == 0 || m > 4096)
        return digits;
    for (size_t i = 0; i < 3 && i < m; ++i)
        digits.lead[i] = needle[i];
    // States 0..m: the digits matched; m + 1 + j: j matched and a lead byte 0xC2 just read, which
    // with 0xA0 makes a no-break space, left out as a blank is, and otherwise breaks the match.
    std::vector<quint16> next(2 * (m + 1) * 256, 0);
    // The matcher of Knuth, Morris and Pratt as a table: after a mismatch, what still counts.
    for (size_t j = 0, border = 0; j <= m; ++j) {
        quint16* row = &next[j * 256];
        for (int c = 0; c < 256; ++c)
            row[c] = j == 0 ? 0 : next[border * 256 + size_t(c)];
        if (j < m)
            row[static_cast<unsigned char>(needle[j])] = quint16(j + 1);
        if (j > 0 && j < m)
            border = next[border * 256 + static_cast<unsigned char>(needle[j])];
        for (int c = 0; c < 0x80; ++c)
            if (IsPhoneFillerAscii(char32_t(c)))
                row[c] = quint16(j);
        row[0xC2] = quint16(m + 1 + j);
        // Any other byte after the lead byte is read as from the start.
        quint16* lead = &next[(m + 1 + j) * 256];
        for (int c = 0; c < 256; ++c)
            lead[c] = next[size_t(c)];
        lead[0xA0] = quint16(j);
    }
    // The table read: j < m matched as j, a lead byte after j as m + j, then two states that end
    // the text's reading, a match and the text's end, so that one comparison a byte finds both.
    // Each state is held times 256, the start of its row.
    const auto place = [m](size_t state) {
        return state < m ? state : state > m && state <= 2 * m ? state - 1 : 2 * m;
    };
    digits.next.assign(2 * m * 256, 0);
    for (size_t state = 0; state <= 2 * m; ++state) {
        if (state == m)
            continue;
        quint32* row = &digits.next[place(state) * 256];
        for (size_t c = 0; c < 256; ++c)
            row[c] =
                quint32(c == static_cast<unsigned char>(kEnd) ? 2 * m + 1 : place(next[state * 256 + c])) *
                256;
    }
    return digits;
}

void SearchIndex::matchDigits(const Column& col, const DigitMatcher& digits, Part part,
                              std::vector<quint8>& hits) const
{
    const auto* const base = reinterpret_cast<const unsigned char*>(col.arena.data());
    const auto [from, size] = Bytes(col.sparse, col.arena.size(), part.first, part.end);
    const auto* p = base + from;
    const auto* const end = base + size;
    const size_t m = digits.length;
    // No digits match every number there is, as '%%' does; too many match none.
    if (digits.next.empty()) {
        if (m == 0)
            matchColumn(col, "%%", part, hits);
        return;
    }
    const quint32* const table = digits.next.data();
    const auto found = quint32(2 * m * 256);
    size_t entry = part.first * kSparse;
#if defined(__SSE2__)
    // Fewer digits begin too many places for skimming to pay.
    if (m >= 3)
        p = SkimDigits(p, end, digits.lead, table, found, entry, hits);
#endif
    for (; p < end; ++entry)
        if (DigitsInText(p, end, table, found))
            hits[entry] = 1;
}

bool SearchIndex::resolve(const ContactSearch& search, std::vector<quint32>* ids, bool* later)
{
    if (later)
        *later = false;
    const ContactColumn* orderColumn = FindColumn(search.orderColumn);
    const int orderPlace = orderColumn ? orderColumn->searchPlace : -1;
    if (orderPlace < 0 || BuildSearchStatement(search).isEmpty())
        return false;
    // Texts are compared only by a search with a text condition.
    const QList<SearchLike> likes = SearchLikes(search);
    // Waited for where comparing accents otherwise than the index does would give it up unseen.
    takeCopy(!likes.isEmpty() && search.ignoreAccents != m_ignoreAccents && !m_readingFile);
    if (!likes.isEmpty() && search.ignoreAccents != m_ignoreAccents) {
        m_ignoreAccents = search.ignoreAccents;
        restart();
    } else if (stale()) {
        restart();
    }
    const Column& order = m_columns[size_t(orderPlace)];
    if (m_broken)
        return false;
    if (m_phase == 0 || !order.ordered) {
        m_wanted = orderPlace;
        // Read at once what the search needs where the engine could not answer it sooner: it
        // finds one column's text along that column's index, but several columns or the digits
        // of the numbers only by reading every row. Orders and added contacts alone are little.
        const bool everyRow = likes.size() > 1 || std::any_of(likes.begin(), likes.end(),
                                                              [](const SearchLike& l) { return l.digits; });
        if (likes.isEmpty())
            return false;
        // Reading every row is long; the orders or the contacts added after all others are not,
        // unless a writer is still adding them. A search that need not wait shows its first rows
        // meanwhile, and takes the copy kept at the last close, if one is being read, once it is
        // read.
        if (later && m_phase == 0 && (!m_appending || m_moreToCome)) {
            *later = true;
            return false;
        }
        if (!(everyRow || m_appending || m_phase > 0))
            return false;
        // The copy, still being read, is sooner than reading every row.
        takeCopy(true);
        if (!order.ordered)
            stepFor(1000LL * 1000 * 1000 * 60, orderPlace);
        if (m_broken || !order.ordered)
            return false;
    }
    const size_t count = m_ids.size();
    std::vector<quint8>& hits = m_hits;
    hits.clear();
    if (!likes.isEmpty()) {
        hits.assign(count, 0);
        struct Condition
        {
            const Column* column;
            std::string pattern;
            DigitMatcher digits;
        };
        std::vector<Condition> conditions;
        for (const SearchLike& like : likes) {
            const QByteArray utf8 = like.pattern.toUtf8();
            Condition condition{&m_columns[size_t(like.column)], {}, {}};
            SearchFoldUtf8(utf8.constData(), int(utf8.size()), m_ignoreAccents, condition.pattern);
            if (like.digits)
                condition.digits = Digits(condition.pattern);
            conditions.push_back(std::move(condition));
        }
        const size_t blocks = conditions.front().column->sparse.size();
        auto matchPart = [&](Part part) {
            for (size_t i = 0; i < conditions.size(); ++i) {
                if (likes[qsizetype(i)].digits)
                    matchDigits(*conditions[i].column, conditions[i].digits, part, hits);
                else
                    matchColumn(*conditions[i].column, conditions[i].pattern, part, hits);
            }
        };
        // A large directory is matched in two halves side by side; each marks entries of its own.
        const size_t half = blocks / 2;
        std::future<void> other;
        if (count >= g_sideBySideMinimum && std::thread::hardware_concurrency() > 1) {
            try {
                other = std::async(std::launch::async, matchPart, Part{half, blocks});
            } catch (const std::system_error&) {
            }
        }
        matchPart(Part{0, other.valid() ? half : blocks});
        if (other.valid())
            other.get();
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
    // Equal values come in id order, which the engine's statement asks for as well, and a
    // descending order is the whole sequence backwards.
    const std::vector<quint32>& sequence = order.order;
    if (!search.descending) {
        for (quint32 entry : sequence)
            take(entry);
    } else {
        for (auto it = sequence.rbegin(); it != sequence.rend(); ++it)
            take(*it);
    }
    return true;
}

} // namespace db
