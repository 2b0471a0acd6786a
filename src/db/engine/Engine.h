#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

#include <vector>

#include "db/engine/ErrorText.h"
#include "db/engine/Failure.h"

struct sqlite3;
struct sqlite3_context;
struct sqlite3_value;

namespace db {

// A failure reported by the database engine; the text is what the user is shown.
class EngineError : public Failure
{
public:
    using Failure::Failure;
};

// Letter case folded away, as the collation and LIKE see a character.
inline char32_t Fold(char32_t c)
{
    if (c > 0x10FFFF)
        return c;
    if (c < 128)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return QChar::toCaseFolded(c);
}

// Beyond Unicode: an invalid byte is never equal to a real character.
constexpr char32_t kInvalidByteBase = 0x110000;

// Decodes one UTF-8 character; an invalid byte (or an overlong form) stands for itself.
inline char32_t DecodeUtf8(const unsigned char*& p, const unsigned char* end)
{
    const unsigned char c = *p++;
    if (c < 0x80)
        return c;
    const char32_t invalid = kInvalidByteBase + c;
    int extra = 0;
    char32_t value = 0;
    if ((c & 0xE0) == 0xC0) {
        extra = 1;
        value = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2;
        value = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3;
        value = c & 0x07;
    } else {
        return invalid;
    }
    if (end - p < extra)
        return invalid;
    for (int i = 0; i < extra; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return invalid;
        value = (value << 6) | (p[i] & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[extra] || value > 0x10FFFF)
        return invalid;
    p += extra;
    return value;
}

// LIKE over case-folded code points, with "%", "_" and an optional escape character.
bool LikeFolded(const std::vector<char32_t>& pattern, const std::vector<char32_t>& text, char32_t escape);
// The body of an SQL LIKE function whose characters are compared as `fold` leaves them.
void RunLike(sqlite3_context* context, int argc, sqlite3_value** argv, char32_t (*fold)(char32_t));

// The collation every text column of the directory uses: Czech alphabetical order
// (ch after h, č after c), letter case ignored; equal only when equal but for case.
inline constexpr const char* kCzechCollation = "cz";
int CompareCzech(QStringView a, QStringView b);
int CompareCzechUtf8(const char* a, int lengthA, const char* b, int lengthB);

// LIKE with "%" and "_", letter case ignored for every letter.
bool LikeCzech(QStringView pattern, QStringView text, char32_t escape = 0);
bool LikeCzechUtf8(const char* pattern, int patternLength, const char* text, int textLength, char32_t escape);

// The SQL function that reads a number without its blanks and separators (PhoneSearchDigits).
inline constexpr const char* kPhoneDigitsFunction = "cislice";

// Installs the collation, the LIKE operator and the reading of numbers on a connection.
void RegisterEngine(sqlite3* handle);

// The engine's message for the last failure on the handle, in the program's language: a Czech
// sentence, with the engine's own words kept as the detail where no translation is known.
QString EngineErrorText(sqlite3* handle);
QString EngineErrorText(int code, const QString& engineMessage);

} // namespace db
