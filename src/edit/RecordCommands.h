#pragma once

#include <functional>

class MainWindowPort;
class QAction;
class QObject;

namespace db {
class DBGrid;
}

// The record commands of the main window, each behind its menu item.
namespace records {

// Opens the detail dialog: a new contact, a new number of the selected contact, or its full edit.
void NewContact(MainWindowPort* main);
void AddNumberToSelected(MainWindowPort* main);
void EditSelected(MainWindowPort* main);
// Deletes the selected contact after asking; its notes stay.
void DeleteSelected(MainWindowPort* main);
// Opens the note window for the selected contact.
void AddNoteToSelected(MainWindowPort* main);

// Watches the grid for a double click below its titles (`doubleClick`, with the pointer's height
// from the grid's top, titles included), for Enter on a row (`openCommand`) and for the release
// of Delete (`deleteCommand`).
QObject* InstallGridWatcher(db::DBGrid* grid, std::function<void(int)> doubleClick, QAction* openCommand,
                            QAction* deleteCommand);

} // namespace records
