#pragma once

#include "view/Layout.h"

class QAction;
class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

// The search bar's search and the grid's sorting by a title click, over the controls the
// main window owns.
class SearchBar
{
public:
    struct Parts
    {
        // Owns the messages of a failed search.
        QWidget* window = nullptr;
        QLineEdit* text = nullptr;
        // The search column choice, by the ids of its buttons.
        QButtonGroup* columns = nullptr;
        QComboBox* groups = nullptr;
        // Checked: searches ignore accents as well as letter case.
        QAction* ignoreAccents = nullptr;
        // Shows the number of rows found.
        QLabel* count = nullptr;
        GridParts grid;
    };

    explicit SearchBar(const Parts& parts) : m(parts) {}

    // Lists in the grid the contacts the bar's controls ask for, in the grid's sort.
    void search();
    // Sorts the grid by the clicked column's field, keeping the bar's filter; a field that is
    // no grid column does nothing.
    void sortByTitle(const QString& fieldName);

private:
    Parts m;
};
