#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <array>

// The update information file the program's web site publishes, and how its version is judged.
// The file: a line holding the word "zvonisty", and on the one or two lines directly after it
// "verze=" and "datum=" in either order. Several such lines give several verdicts.
namespace update {

// Where the file and the program's page live on a site given as "scheme://host[/path]".
QString UpdateFileUrl(const QString& site);
QString ProgramPageUrl(const QString& site);

// The text split into lines at CR LF, LF or CR; a line end at the end adds no empty line.
QStringList SplitLines(const QString& text);

// Four numbers of a dotted version; a field that is not a decimal integer counts as 0,
// and the fourth field is all that remains after the third dot.
std::array<int, 4> ReadVersionNumber(const QString& text);

// True when the published version is greater in the first field in which the two differ.
bool IsNewerVersion(const QString& published, const QString& own);

enum class Verdict {
    Same,     // the published text equals the own version
    NotNewer, // differs as text, not greater as numbers
    Newer,
};

struct Finding
{
    Verdict verdict = Verdict::NotNewer;
    QString version; // as published, no blanks trimmed
    QString date;
};

// One finding per section line, in the order of the lines. A key found at one section line
// stays in force for the next, which has none of its own.
QList<Finding> JudgeUpdateText(const QStringList& lines, const QString& ownVersion);

} // namespace update
