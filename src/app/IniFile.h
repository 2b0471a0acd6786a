#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// Key-by-key access to the settings file. Every call opens the file, reads or
// writes one key and closes it again, so nothing is cached and two running
// programs see each other's last written key.

namespace settings {

inline constexpr char SectionOptions[] = "NASTAVENI";
inline constexpr char SectionPosition[] = "POZICE";

inline constexpr char KeyAllwaysOnTop[] = "AllwaysOnTop";
inline constexpr char KeyAutoSearch[] = "AutoSearch";
inline constexpr char KeySearchBy[] = "SearchBy";
inline constexpr char KeyDotPriUzavr[] = "DotPriUzavr";
inline constexpr char KeyMinPriAltF4[] = "MinPriAltF4";
inline constexpr char KeyPametSirkaSl[] = "PametSirkaSl";
inline constexpr char KeyBezDiakritiky[] = "HledatBezDiakritiky";

inline constexpr char KeyScreenW[] = "ScreenW";
inline constexpr char KeyScreenH[] = "ScreenH";
inline constexpr char KeyTop[] = "Top";
inline constexpr char KeyLeft[] = "Left";
inline constexpr char KeyWidth[] = "Width";
inline constexpr char KeyHeight[] = "Height";

struct OptionKey
{
    const char* name;
    bool isBool;      // stored as "1"/"0"; otherwise a decimal integer
    int whenMissing;  // value used when the key is missing or unreadable
};

// The options of NASTAVENI in the order in which they are read and written.
inline constexpr std::array<OptionKey, 7> OptionKeys{{
    {KeyAllwaysOnTop, true, 0},
    {KeyAutoSearch, true, 1},
    {KeySearchBy, false, 0},
    {KeyDotPriUzavr, true, 1},
    {KeyMinPriAltF4, true, 1},
    {KeyPametSirkaSl, true, 1},
    {KeyBezDiakritiky, true, 0},
}};

inline constexpr int IniRead = 0;
inline constexpr int IniWrite = 1;

} // namespace settings

// mode 0 reads the key and returns its value (empty when the file or key is
// missing); mode 1 writes the value and returns an empty text, with `written`
// telling whether the file really holds it now. A failure gives an empty text
// and its message goes to the error log; nothing is thrown. Writes replace the
// file as a whole or leave it as it was. A file that is not a regular file or
// is larger than 1 MB is neither read nor written.
QString IniAccess(const QString& path, int mode, const QString& section, const QString& key,
                  const QString& value = QString(), bool* written = nullptr);

// Every "=" of a key name becomes "#R#".
QString EncodeIniKey(const QString& key);

// Replaces occurrences of searched, each time searching again from the start,
// so text formed by a replacement with its neighbours is replaced too. When that
// could never end (the replacement reproduces the searched text), a single left
// to right pass is made instead.
QString ReplaceAll(const QString& text, const QString& searched, const QString& replacement);

// "1" for true, "0" for false.
QString BoolToFlag(bool value);

// A number gives false for zero and true otherwise; "true"/"false" in any case;
// anything else gives the default.
bool IniReadBool(const QString& stored, bool defaultValue);
// A decimal integer, otherwise the default.
int IniReadInt(const QString& stored, int defaultValue);

// The stored search column is used as -1 (nothing selected) up to 5 ("Vše").
int ClampSearchIndex(int index);

// The executable's name with its extension replaced by ".ini", in its folder.
QString SettingsFilePath(const QString& executableDir, const QString& executableFileName);

// Options found in the older "nastaveni.ini"; an empty member was not mentioned.
struct LegacySettings
{
    std::optional<bool> allwaysOnTop;
    std::optional<bool> autoSearch;
    std::optional<bool> dotPriUzavr;
    std::optional<bool> minPriAltF4;
    std::optional<bool> pametSirkaSl;
    std::optional<int> searchBy;
};

// The older file is not an INI file: each line is searched for fixed patterns,
// and a later line overrides an earlier one.
LegacySettings ParseLegacySettings(const QStringList& lines);
// Reads the older file (code page 1250); a missing or unreadable file gives no options.
LegacySettings ReadLegacySettingsFile(const QString& path);
