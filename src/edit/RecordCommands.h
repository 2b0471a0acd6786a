#pragma once

class TMain;
class QObject;

// The record commands of the main window, each behind its menu item.
namespace records {

// Opens the detail dialog: a new contact, a new number of the selected contact, or its full edit.
void NewContact(TMain* main);
void AddNumberToSelected(TMain* main);
void EditSelected(TMain* main);
// Deletes the selected contact after asking; its notes stay.
void DeleteSelected(TMain* main);
// Opens the note window for the selected contact.
void AddNoteToSelected(TMain* main);

// Watches the grid for a double click below its titles and for the release of Delete.
QObject* InstallGridWatcher(TMain* main);

} // namespace records
