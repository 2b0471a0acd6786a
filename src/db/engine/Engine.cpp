#include "db/engine/Engine.h"

#include "db/engine/Columns.h"
#include "db/engine/PhoneText.h"

#include <QChar>
#include <QRegularExpression>

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <vector>

namespace db {
namespace {

// Weights of one collation element. Secondary tells accented letters from their base letter.
struct Weight
{
    quint32 primary = 0;
    quint32 secondary = 0;
};

constexpr quint32 kLetterBase = 1000;
constexpr quint32 kOtherBase = 0x20000;

// Czech alphabet order; "ch" is a letter of its own after "h".
constexpr char32_t kAlphabet[] = {U'a', U'b', U'c', U'č', U'd', U'e', U'f', U'g', U'h', 0 /* ch */, U'i',
                                  U'j', U'k', U'l', U'm', U'n', U'o', U'p', U'q', U'r', U'ř',       U's',
                                  U'š', U't', U'u', U'v', U'w', U'x', U'y', U'z', U'ž'};
constexpr quint32 kChPrimary = kLetterBase + 9 * 4;

// Weights for the first 0x250 code points (ASCII, Latin-1 and Latin Extended A/B),
// computed once; everything else sorts after the letters by its code point.
struct WeightTable
{
    std::array<Weight, 0x250> table;

    WeightTable()
    {
        for (char32_t c = 0; c < table.size(); ++c)
            table[c] = compute(c);
    }

    static quint32 letterPrimary(char32_t folded)
    {
        for (size_t i = 0; i < std::size(kAlphabet); ++i)
            if (kAlphabet[i] == folded)
                return kLetterBase + quint32(i) * 4;
        return 0;
    }

    static Weight compute(char32_t c)
    {
        const char32_t f = Fold(c);
        // Blanks and control characters sort together, but a tab is never equal to a blank.
        if (f <= 32)
            return {1, f == 32 ? 0 : f + 1};
        if (f >= '0' && f <= '9')
            return {500 + quint32(f - '0'), 0};
        if (f < 128 && !(f >= 'a' && f <= 'z'))
            return {2 + quint32(f), 0};
        if (const quint32 p = letterPrimary(f))
            return {p, 0};
        // Accented letters that Czech does not treat as letters of their own (á, ď, é, ě, ...)
        // sort with their base letter and differ only in the second pass.
        const QString decomposition = QChar::decomposition(f);
        if (!decomposition.isEmpty() && decomposition.at(0).unicode() < 128) {
            const char32_t base = Fold(decomposition.at(0).unicode());
            if (const quint32 p = letterPrimary(base))
                return {p, quint32(f)};
        }
        return {kOtherBase + quint32(f), 0};
    }
};

const WeightTable& Weights()
{
    static const WeightTable table;
    return table;
}

// A source of collation elements over a UTF-8 or UTF-16 text.
template <typename Source> class ElementReader
{
public:
    explicit ElementReader(Source source) : m_source(source) {}

    bool next(Weight& w)
    {
        if (m_pending) {
            m_current = m_lookahead;
            m_pending = false;
        } else if (!m_source.read(m_current)) {
            return false;
        }
        const char32_t f = Fold(m_current);
        if (f == U'c') {
            if (m_source.read(m_lookahead)) {
                if (Fold(m_lookahead) == U'h') {
                    w = {kChPrimary, 0};
                    return true;
                }
                m_pending = true;
            }
        }
        // By the folded character, so that letters equal but for case weigh the same
        // wherever they lie (the Kelvin sign and k).
        if (f < 0x250)
            w = Weights().table[f];
        else
            w = {kOtherBase + quint32(f), 0};
        return true;
    }

private:
    Source m_source;
    char32_t m_current = 0;
    char32_t m_lookahead = 0;
    bool m_pending = false;
};

struct Utf8Source
{
    const unsigned char* p;
    const unsigned char* end;
    bool read(char32_t& c)
    {
        if (p >= end)
            return false;
        c = DecodeUtf8(p, end);
        return true;
    }
};

struct Utf16Source
{
    QStringView text;
    qsizetype i = 0;
    bool read(char32_t& c)
    {
        if (i >= text.size())
            return false;
        const QChar ch = text.at(i++);
        if (ch.isHighSurrogate() && i < text.size() && text.at(i).isLowSurrogate())
            c = QChar::surrogateToUcs4(ch, text.at(i++));
        else
            c = ch.unicode();
        return true;
    }
};

template <typename Source> int CompareElements(Source a, Source b)
{
    ElementReader<Source> ra(a), rb(b);
    int secondary = 0;
    for (;;) {
        Weight wa, wb;
        const bool ha = ra.next(wa);
        const bool hb = rb.next(wb);
        if (!ha || !hb)
            return ha ? 1 : (hb ? -1 : secondary);
        if (wa.primary != wb.primary)
            return wa.primary < wb.primary ? -1 : 1;
        if (secondary == 0 && wa.secondary != wb.secondary)
            secondary = wa.secondary < wb.secondary ? -1 : 1;
    }
}

// Case-folded code points of a text, into a reused buffer.
template <typename Source> void FoldInto(Source source, std::vector<char32_t>& out)
{
    out.clear();
    char32_t c;
    while (source.read(c))
        out.push_back(Fold(c));
}

int SqliteCollate(void*, int na, const void* a, int nb, const void* b)
{
    return CompareCzechUtf8(static_cast<const char*>(a), na, static_cast<const char*>(b), nb);
}

void SqliteLike(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    RunLike(context, argc, argv, &Fold);
}

void SqlitePhoneDigits(sqlite3_context* context, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    std::string digits;
    AppendPhoneDigitsUtf8(text, size_t(sqlite3_value_bytes(argv[0])), digits);
    sqlite3_result_text(context, digits.data(), int(digits.size()), SQLITE_TRANSIENT);
}

} // namespace

void RunLike(sqlite3_context* context, int argc, sqlite3_value** argv, char32_t (*fold)(char32_t))
{
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
            sqlite3_result_null(context);
            return;
        }
    }
    char32_t escape = 0;
    if (argc == 3) {
        const auto* e = sqlite3_value_text(argv[2]);
        const int n = sqlite3_value_bytes(argv[2]);
        const unsigned char* p = e;
        if (n > 0)
            escape = fold(DecodeUtf8(p, e + n));
        if (n == 0 || p != e + n) {
            sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
            return;
        }
    }
    // Reused buffers: LIKE runs once per row and column of a search.
    static thread_local std::vector<char32_t> pattern, text;
    const auto foldValue = [fold](sqlite3_value* value, std::vector<char32_t>& out) {
        out.clear();
        const unsigned char* p = sqlite3_value_text(value);
        const unsigned char* end = p + sqlite3_value_bytes(value);
        while (p < end)
            out.push_back(fold(DecodeUtf8(p, end)));
    };
    foldValue(argv[0], pattern);
    foldValue(argv[1], text);
    sqlite3_result_int(context, LikeFolded(pattern, text, escape) ? 1 : 0);
}

bool LikeFolded(const std::vector<char32_t>& pat, const std::vector<char32_t>& txt, char32_t escape)
{
    const size_t np = pat.size(), nt = txt.size();
    size_t p = 0, t = 0;
    size_t starP = SIZE_MAX, starT = 0;
    while (t < nt) {
        if (p < np) {
            const char32_t pc = pat[p];
            if (escape && pc == escape && p + 1 < np) {
                if (pat[p + 1] == txt[t]) {
                    p += 2;
                    ++t;
                    continue;
                }
            } else if (pc == U'%') {
                starP = p++;
                starT = t;
                continue;
            } else if (pc == U'_' || pc == txt[t]) {
                ++p;
                ++t;
                continue;
            }
        }
        if (starP == SIZE_MAX)
            return false;
        p = starP + 1;
        t = ++starT;
    }
    while (p < np && pat[p] == U'%')
        ++p;
    return p == np;
}

int CompareCzech(QStringView a, QStringView b)
{
    return CompareElements(Utf16Source{a}, Utf16Source{b});
}

int CompareCzechUtf8(const char* a, int lengthA, const char* b, int lengthB)
{
    const auto* ua = reinterpret_cast<const unsigned char*>(a);
    const auto* ub = reinterpret_cast<const unsigned char*>(b);
    // Index upkeep compares many texts with long equal beginnings (numbers, names). Equal bytes
    // weigh the same, so the comparison starts where they part: at a character's first byte in
    // both texts, and before a closing "c", which may still become "ch" with what follows.
    const auto continuation = [](unsigned char c) { return (c & 0xC0) == 0x80; };
    const int shorter = std::min(lengthA, lengthB);
    int i = 0;
    while (i < shorter && ua[i] == ub[i])
        ++i;
    if (i == lengthA && i == lengthB)
        return 0;
    while (i > 0 && ((i < lengthA && continuation(ua[i])) || (i < lengthB && continuation(ub[i]))))
        --i;
    if (i > 0) {
        int last = i - 1;
        while (last > 0 && continuation(ua[last]))
            --last;
        const unsigned char* p = ua + last;
        if (Fold(DecodeUtf8(p, ua + i)) == U'c')
            i = last;
    }
    return CompareElements(Utf8Source{ua + i, ua + lengthA}, Utf8Source{ub + i, ub + lengthB});
}

bool LikeCzech(QStringView pattern, QStringView text, char32_t escape)
{
    std::vector<char32_t> p, t;
    FoldInto(Utf16Source{pattern}, p);
    FoldInto(Utf16Source{text}, t);
    return LikeFolded(p, t, escape ? Fold(escape) : 0);
}

bool LikeCzechUtf8(const char* pattern, int patternLength, const char* text, int textLength, char32_t escape)
{
    // Reused buffers: LIKE runs once per row and column of a search.
    static thread_local std::vector<char32_t> p, t;
    const auto* up = reinterpret_cast<const unsigned char*>(pattern);
    const auto* ut = reinterpret_cast<const unsigned char*>(text);
    FoldInto(Utf8Source{up, up + patternLength}, p);
    FoldInto(Utf8Source{ut, ut + textLength}, t);
    return LikeFolded(p, t, escape);
}

void RegisterEngine(sqlite3* handle)
{
    Weights();
    sqlite3_create_collation(handle, kCzechCollation, SQLITE_UTF8, nullptr, &SqliteCollate);
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function(handle, "like", 2, flags, nullptr, &SqliteLike, nullptr, nullptr);
    sqlite3_create_function(handle, "like", 3, flags, nullptr, &SqliteLike, nullptr, nullptr);
    sqlite3_create_function(handle, kPhoneDigitsFunction, 1, flags, nullptr, &SqlitePhoneDigits, nullptr,
                            nullptr);
}

QString EngineErrorText(sqlite3* handle)
{
    if (!handle)
        return QStringLiteral("Databáze není otevřena.");
    const int code = sqlite3_extended_errcode(handle);
    if ((code & 0xFF) == SQLITE_CANTOPEN || (code & 0xFF) == SQLITE_IOERR || (code & 0xFF) == SQLITE_PERM)
        if (const int err = sqlite3_system_errno(handle))
            return SystemErrorText(err);
    return EngineErrorText(code, QString::fromUtf8(sqlite3_errmsg(handle)));
}

QString EngineErrorText(int code, const QString& engineMessage)
{
    // A write refused by the system without its reason (a file size limit, for one).
    if (code == SQLITE_IOERR_WRITE || code == SQLITE_IOERR_FSYNC || code == SQLITE_IOERR_TRUNCATE)
        return QStringLiteral("Zápis do souboru databáze selhal.");
    switch (code & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("Databázi právě používá jiný program.");
    case SQLITE_NOTADB:
        return QStringLiteral("Soubor není databází.");
    case SQLITE_CANTOPEN:
        return QStringLiteral("Soubor databáze nelze otevřít.");
    case SQLITE_READONLY:
        return QStringLiteral("Do databáze nelze zapisovat.");
    case SQLITE_CORRUPT:
        return QStringLiteral("Soubor databáze je poškozen.");
    case SQLITE_FULL:
        return SystemErrorText(ENOSPC);
    case SQLITE_IOERR:
        return QStringLiteral("Chyba čtení nebo zápisu souboru databáze.");
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("K souboru databáze chybí oprávnění.");
    case SQLITE_NOMEM:
        return QStringLiteral("Nedostatek paměti.");
    case SQLITE_TOOBIG:
        return QStringLiteral("Hodnota je příliš velká.");
    case SQLITE_INTERRUPT:
        return QStringLiteral("Příkaz byl přerušen.");
    case SQLITE_SCHEMA:
        return QStringLiteral("Struktura databáze se změnila; zkuste akci znovu.");
    case SQLITE_MISMATCH:
        return QStringLiteral("Hodnota nemá správný typ.");
    case SQLITE_NOLFS:
        return QStringLiteral("Soubor databáze je pro tento systém příliš velký.");
    default:
        break;
    }
    // A width check of a contact's column: told by the field's name in the detail dialog.
    static const QRegularExpression widthCheck(
        QStringLiteral("^CHECK constraint failed: length\\((\\w+)\\) <= (\\d+)$"));
    if (const auto m = widthCheck.match(engineMessage); m.hasMatch()) {
        return QStringLiteral("Hodnota pole %1 je delší, než pole dovoluje (nejvýše %2 znaků).")
            .arg(ColumnLabel(m.captured(1)), m.captured(2));
    }
    // Translate the common statement errors; keep the engine's own detail.
    static const struct
    {
        const char* pattern;
        const char* czech;
    } kTranslations[] = {
        {"^no such table: (.*)$", "Tabulka %1 neexistuje."},
        {"^no such column: (.*)$", "Sloupec %1 neexistuje."},
        {"^no such function: (.*)$", "Funkce %1 neexistuje."},
        {"^no such collation sequence: (.*)$", "Řazení %1 neexistuje."},
        {"^ambiguous column name: (.*)$", "Název sloupce %1 není jednoznačný."},
        {"^duplicate column name: (.*)$", "Sloupec %1 již existuje."},
        {"^table (.*) already exists$", "Tabulka %1 již existuje."},
        {"^index (.*) already exists$", "Klíč %1 již existuje."},
        {"^table (.*) has no column named (.*)$", "Tabulka %1 nemá sloupec %2."},
        {"^near \"(.*)\": syntax error$", "Chyba syntaxe u \"%1\"."},
        {"^unrecognized token: (.*)$", "Nerozpoznaný text %1."},
        {"^CHECK constraint failed: (.*)$", "Hodnota je delší, než pole dovoluje (%1)."},
        {"^UNIQUE constraint failed: (.*)$", "Hodnota pole %1 již v tabulce je."},
        {"^NOT NULL constraint failed: (.*)$", "Pole %1 musí být vyplněno."},
        {"^incomplete input$", "Neúplný příkaz."},
    };
    for (const auto& t : kTranslations) {
        const QRegularExpression re(QString::fromLatin1(t.pattern));
        const auto m = re.match(engineMessage);
        if (m.hasMatch()) {
            const QString text = QString::fromUtf8(t.czech);
            if (m.lastCapturedIndex() >= 2)
                return text.arg(m.captured(1), m.captured(2));
            return m.lastCapturedIndex() == 1 ? text.arg(m.captured(1)) : text;
        }
    }
    // Anything else: a Czech sentence with the engine's own words as the detail.
    return QStringLiteral("Databáze ohlásila chybu: %1").arg(engineMessage);
}

} // namespace db
