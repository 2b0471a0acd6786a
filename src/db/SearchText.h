#pragma once

#include <QList>
#include <QString>

#include <string>
#include <vector>

struct sqlite3;

namespace db {

// The five searched contact columns, in the order of the search column choice.
inline constexpr const char* kSearchColumns[] = {"jmeno", "poznamka", "telefon", "organizace", "email"};

// What a search or sort statement over the contacts asks: which rows (an optional group
// and an optional "or" of LIKE conditions) in which order.
struct ContactSearch
{
    struct Like
    {
        int column = 0;
        QString pattern;
    };
    bool hasGroup = false;
    QString group;
    QList<Like> likes;
    int orderColumn = 0;
    bool descending = false;
};

// Reads a statement of the forms the search and the title click build
// ("select * from zvonisty [where ...] order by <column>[ desc]"); false for any other text.
bool ParseContactSearch(const QString& statement, ContactSearch* out);

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
