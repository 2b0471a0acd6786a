#pragma once

#include "exchange/VCardReader.h"

class MainWindowPort;

// The vCard commands of the main window.
namespace vcard {

// Writes the contacts the grid shows, or only the selected one, as the user chooses.
void ExportContacts(MainWindowPort* main, Version version);
// Adds the contacts of a vCard file; numbers already in the directory are skipped.
void ImportContacts(MainWindowPort* main);

// The directory's rows of one card: one per number (none when the card has no number), values
// cut to their columns' widths in characters; `shortened` counts the values cut.
QList<ContactValues> RowsOfCard(const Card& card, const QString& datum, int* shortened = nullptr);

} // namespace vcard
