#include "db/engine/SearchText.h"

#include "db/engine/Engine.h"

#include <QChar>

#include <sqlite3.h>

#include <array>

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
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    const auto* end = p + length;
    while (p < end) {
        // Runs of ASCII that folding leaves as they are are copied at once.
        const auto* run = p;
        while (p < end && *p < 0x80 && !(*p >= 'A' && *p <= 'Z'))
            ++p;
        if (p > run)
            out.append(reinterpret_cast<const char*>(run), size_t(p - run));
        if (p < end)
            Encode(SearchFold(DecodeUtf8(p, end), plain), out);
    }
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
