#pragma once

#include "view/SortState.h"

#include <QHash>
#include <QStringList>

#include <functional>

class QWidget;

namespace db {
class DBGrid;
class Directory;
class Query;
} // namespace db

// What the grid's column layout and its sorting work on; the main window owns them.
struct GridParts
{
    db::DBGrid* grid = nullptr;
    // The grid's rows.
    db::Query* rows = nullptr;
    // Keeps the stored layout.
    db::Directory* directory = nullptr;
    SortState* sort = nullptr;
};

// Gives every grid title its plain or marked form from the sort state.
void MarkSortTitles(const GridParts& parts);

// The column layout stored in the directory: the columns in display order, the sorted column
// ("jmeno" when none) and its direction (0 ascending), the stored widths by field.
struct StoredLayout
{
    QStringList order;
    QString sortColumn = QStringLiteral("jmeno");
    int direction = 0;
    QHash<QString, int> widths;
};
StoredLayout ReadStoredLayout(db::Directory& directory);

// Restores the column order, the sort and the widths stored in the directory, and opens the
// grid's first list of contacts in that sort.
void LoadLayout(const GridParts& parts);
// Stores the column order, the sort and the widths in the directory.
void SaveLayout(const GridParts& parts);

// The window's place and size as remembered in the settings, kept on the screens; `read` gives
// a stored number ("Top", "Left", "Width", "Height", "ScreenW", "ScreenH") or the current one.
// A place remembered on a screen of another size is not used.
void RestoreWindowPlace(QWidget* window, const std::function<int(const char* key, int current)>& read);
void StoreWindowPlace(const QWidget* window, const std::function<void(const char* key, int value)>& write);
