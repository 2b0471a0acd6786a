#pragma once

#include <QString>

struct Services;

namespace exchange {

// "Přidat záznamy z jiné DB (jen nová čísla)": copies every contact of another directory file
// whose number the open directory does not hold yet. `executableDir` ends with a separator.
void MergeOtherDirectory(const Services& app, const QString& executableDir);

// Whether the chosen file is the directory in use: the open file itself (whatever folder the
// program runs from), or a file of the directory's name in the executable's folder.
bool IsDirectoryInUse(const QString& chosen, const QString& openFile, const QString& executableDir);

// The connection string of the other file, without the file: read only, held exclusively while
// connected.
QString OtherDirectoryConnectionString();

} // namespace exchange
