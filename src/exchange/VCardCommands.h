#pragma once

#include "formats/VCardReader.h"

struct Services;

// The vCard commands of the main window.
namespace vcard {

// Writes the contacts the grid shows, or only the selected one, as the user chooses.
void ExportContacts(const Services& app, Version version);
// Adds the contacts of a vCard file; numbers already in the directory are skipped.
void ImportContacts(const Services& app);

} // namespace vcard
