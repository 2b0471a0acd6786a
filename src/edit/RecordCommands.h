#pragma once

#include <functional>

struct Services;
class QAction;
class QObject;

namespace db {
class DBGrid;
}

// The record commands of the main window, each behind its menu item.
namespace records {

// Opens the detail dialog: a new contact, a new number of the selected contact, or its full edit.
void NewContact(const Services& app);
void AddNumberToSelected(const Services& app);
void EditSelected(const Services& app);
// Deletes the selected contact after asking; its notes stay.
void DeleteSelected(const Services& app);
// Opens the note window for the selected contact.
void AddNoteToSelected(const Services& app);

// Watches the grid for a double click below its titles (`doubleClick`, with the pointer's height
// from the grid's top, titles included), for Enter on a row (`openCommand`) and for the release
// of Delete (`deleteCommand`).
QObject* InstallGridWatcher(db::DBGrid* grid, std::function<void(int)> doubleClick, QAction* openCommand,
                            QAction* deleteCommand);

} // namespace records
