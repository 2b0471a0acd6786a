#pragma once

struct Services;

namespace exchange {

// "Načti tel. seznam ze souboru...": adds the contacts of a semicolon-separated text file whose
// numbers the directory does not hold yet.
void ImportTextFile(const Services& app);

// The filter of the import's file dialog (and of the export's save dialog).
extern const char* const kTextFileFilter;

// Shown by commands that would write into a directory opened read-only.
void ShowReadOnlyRefusal(const Services& app);

} // namespace exchange
