#pragma once

#include <QString>

// `zvonisty --import-csv FILE`: the file's contacts added to the working directory's file with
// the mapping of its recognised export, or the one remembered for its header row, without a
// window. Gives 1, naming the columns found, when there is neither.
// `zvonisty --export-csv FILE [--cp1250]`: the whole directory by name, in UTF-8 with "," or in
// code page 1250 with ";".
// Both bring a file of an older structure or of the earlier versions up to date first, print
// one Czech line and give the exit status.
// One of the two paths is given.
int RunCsvCommand(const QString& importPath, const QString& exportPath, bool cp1250);
