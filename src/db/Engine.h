#pragma once

#include <QString>
#include <QStringView>

#include "db/Failure.h"

struct sqlite3;

namespace db {

// A failure reported by the database engine; the text is what the user is shown.
class EngineError : public Failure
{
public:
    using Failure::Failure;
};

// The collation every text column of the directory uses: Czech alphabetical order
// (ch after h, č after c), letter case ignored; equal only when equal but for case.
inline constexpr const char* kCzechCollation = "cz";
int CompareCzech(QStringView a, QStringView b);
int CompareCzechUtf8(const char* a, int lengthA, const char* b, int lengthB);

// LIKE with "%" and "_", letter case ignored for every letter.
bool LikeCzech(QStringView pattern, QStringView text, char32_t escape = 0);
bool LikeCzechUtf8(const char* pattern, int patternLength, const char* text, int textLength, char32_t escape);

// Installs the collation and the LIKE operator on a connection.
void RegisterEngine(sqlite3* handle);

// The engine's message for the last failure on the handle, in the program's language: a Czech
// sentence, with the engine's own words kept as the detail where no translation is known.
QString EngineErrorText(sqlite3* handle);
QString EngineErrorText(int code, const QString& engineMessage);
// Why a file operation failed, from the system's error number, in the program's language.
QString SystemErrorText(int err);

} // namespace db
