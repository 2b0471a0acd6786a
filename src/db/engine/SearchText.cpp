#include "db/engine/SearchText.h"

#include "db/engine/Engine.h"

#include <QChar>

#include <sqlite3.h>

#include <array>
#include <cstdint>
#include <cstring>

namespace db {
namespace {

inline void Encode(char32_t c, std::string& out)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | ((c >> 18) & 0x07));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// Folded code points of the Latin blocks, without and with accents dropped.
struct FoldTable
{
    std::array<char32_t, 0x250> folded{};
    std::array<char32_t, 0x250> plain{};
    FoldTable()
    {
        for (char32_t c = 0; c < folded.size(); ++c) {
            folded[c] = Fold(c);
            plain[c] = folded[c];
            const QString decomposition = QChar::decomposition(folded[c]);
            if (folded[c] >= 128 && !decomposition.isEmpty()) {
                const char16_t base = decomposition.at(0).unicode();
                if (base < 128 && QChar::isLetter(base))
                    plain[c] = Fold(base);
            }
        }
    }
};

const FoldTable& Table()
{
    static const FoldTable table;
    return table;
}

char32_t PlainFold(char32_t c)
{
    return SearchFold(c, true);
}

void PlainLike(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    RunLike(context, argc, argv, &PlainFold);
}

} // namespace

char32_t SearchFold(char32_t c, bool plain)
{
    if (c < 0x250)
        return plain ? Table().plain[c] : Table().folded[c];
    return Fold(c);
}

void SearchFoldUtf8(const char* text, int length, bool plain, std::string& out)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    const std::array<char32_t, 0x250>& table = plain ? Table().plain : Table().folded;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    const auto* end = p + length;
    // Written in place: a byte folds to at most four (an invalid byte stands for itself beyond
    // Unicode).
    const size_t at = out.size();
    out.resize(at + 4 * size_t(length));
    auto* o = reinterpret_cast<unsigned char*>(out.data() + at);
    auto put = [&o](char32_t c) {
        if (c < 0x80) {
            *o++ = (unsigned char)c;
        } else if (c < 0x800) {
            *o++ = (unsigned char)(0xC0 | (c >> 6));
            *o++ = (unsigned char)(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *o++ = (unsigned char)(0xE0 | (c >> 12));
            *o++ = (unsigned char)(0x80 | ((c >> 6) & 0x3F));
            *o++ = (unsigned char)(0x80 | (c & 0x3F));
        } else {
            *o++ = (unsigned char)(0xF0 | ((c >> 18) & 0x07));
            *o++ = (unsigned char)(0x80 | ((c >> 12) & 0x3F));
            *o++ = (unsigned char)(0x80 | ((c >> 6) & 0x3F));
            *o++ = (unsigned char)(0x80 | (c & 0x3F));
        }
    };
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            // ASCII folds as Fold does: capitals to small letters, eight at a time where it can.
            std::uint64_t word = kHigh;
            if (end - p >= 8)
                std::memcpy(&word, p, 8);
            if ((word & kHigh) == 0) {
                // Each byte's high bit set from 'A' on and past 'Z'; no byte carries into the next.
                const std::uint64_t fromA = word + kOnes * (0x80 - 'A');
                const std::uint64_t pastZ = word + kOnes * (0x7F - 'Z');
                word ^= ((fromA & ~pastZ) & kHigh) >> 2;
                std::memcpy(o, &word, 8);
                o += 8;
                p += 8;
                continue;
            }
            *o++ = (c >= 'A' && c <= 'Z') ? (unsigned char)(c + 32) : c;
            ++p;
        } else if (c >= 0xC2 && c < 0xC9 && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
            // Two bytes below U+0240 carry most accented letters: decoded and looked up at once,
            // as DecodeUtf8 and SearchFold would.
            put(table[(char32_t(c & 0x1F) << 6) | char32_t(p[1] & 0x3F)]);
            p += 2;
        } else {
            put(SearchFold(DecodeUtf8(p, end), plain));
        }
    }
    out.resize(size_t(reinterpret_cast<char*>(o) - out.data()));
}

void SearchFoldCodePoints(const char* text, int length, bool plain, std::vector<char32_t>& out)
{
    out.clear();
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    const auto* end = p + length;
    while (p < end)
        out.push_back(SearchFold(DecodeUtf8(p, end), plain));
}

void RegisterPlainLike(sqlite3* handle, bool plain)
{
    if (!plain) {
        RegisterEngine(handle);
        return;
    }
    Table();
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function(handle, "like", 2, flags, nullptr, &PlainLike, nullptr, nullptr);
    sqlite3_create_function(handle, "like", 3, flags, nullptr, &PlainLike, nullptr, nullptr);
}

} // namespace db
