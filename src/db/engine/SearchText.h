#pragma once

#include <QString>

#include <string>
#include <vector>

struct sqlite3;

namespace db {

// The code point a text is compared by in LIKE: letter case folded, and accents dropped
// when `plain` is set (č -> c, Á -> a).
char32_t SearchFold(char32_t c, bool plain);
// A UTF-8 text folded code point by code point, as UTF-8 again. Undecodable bytes are read as
// the engine's LIKE reads them: each stands for itself and equals no real character.
void SearchFoldUtf8(const char* text, int length, bool plain, std::string& out);
void SearchFoldCodePoints(const char* text, int length, bool plain, std::vector<char32_t>& out);

// Makes the engine's LIKE ignore accents as well as case, or gives it back its own.
void RegisterPlainLike(sqlite3* handle, bool plain);

} // namespace db
