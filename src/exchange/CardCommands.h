#pragma once

struct Services;

// The contact card commands of the main window.
namespace cards {

// Writes the contact on which the grid stands into a card file the user names.
void WriteSelectedCard(const Services& app);
// Reads a card file and adds its contact, unless its number is already in the directory.
void ReadCardFile(const Services& app);

} // namespace cards
