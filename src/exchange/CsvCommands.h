#pragma once

struct Services;

namespace exchange {

// "Nástroje" › "Importovat z CSV…": the file's columns mapped in a dialog, then its contacts
// added; numbers already in the directory are skipped.
void ImportCsvFile(const Services& app);
// "Nástroje" › "Exportovat do CSV…": the contacts the grid shows.
void ExportCsvFile(const Services& app);

// The filter of both file dialogs.
extern const char* const kCsvFileFilter;

} // namespace exchange
