#pragma once

#include <QString>

#include <string>

// Phone numbers are stored in the form FormatPhone gives them:
// the first nine characters in three groups of three, the rest unbroken,
// at most 20 characters. Texts shorter than four characters are left alone.
QString FormatPhone(const QString& text);
// The same grouping without the cut, for a number that must be refused rather than shortened.
QString GroupPhone(const QString& text);
// Whether FormatPhone keeps all of the text, cutting nothing.
bool PhoneFits(const QString& text);

// Trims characters with codes 0-32 at both ends, then drops every remaining blank.
QString StripSpaces(const QString& text);

// A search text made only of digits, "+", blanks and the separators - / . ( ) finds a number by
// its digits, however either is grouped: gives the text without blanks and separators, or an
// empty text for any other text.
QString PhoneSearchDigits(const QString& text);
// Whether an ASCII character is a blank or a separator that a number's digits leave out; a
// no-break space is left out as well.
constexpr bool IsPhoneFillerAscii(char32_t c)
{
    return c == ' ' || c == '\t' || c == '-' || c == '/' || c == '.' || c == '(' || c == ')';
}
// A stored number (UTF-8) read the same way, appended to `out`.
void AppendPhoneDigitsUtf8(const char* text, size_t length, std::string& out);
// The same into `out`, which has room for `length` bytes; gives the bytes written.
size_t PhoneDigitsUtf8(const char* text, size_t length, char* out);
