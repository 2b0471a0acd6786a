#pragma once

#include "db/search/ContactSearch.h"

#include <QString>
#include <QStringList>

#include <array>

// The grid columns, named after the contacts columns they show, in their designed order.
const QStringList& GridFields();

// The grid's sort for the whole run. A column's flag is true when its last
// sort was ascending, so that its next title click sorts descending.
struct SortState
{
    QString SortColumn;
    QString SortOrderBy;

    // False for a name that is not one of the five columns.
    bool SortedAscending(const QString& field) const;
    // Does nothing for a name that is not one of the five columns.
    void setSortedAscending(const QString& field, bool ascending);

private:
    std::array<bool, db::kGridColumnCount> m_ascending{};
};

// The column and direction of SortOrderBy, as a search is ordered.
QString OrderColumn(const SortState& state);
bool OrderDescending(const SortState& state);

// Column titles: "Zvonisty" for telefon, "Jméno", "Organizace", "Email",
// "Poznámka"; the marked forms add two blanks and « (ascending) or » (descending).
// Empty for an unknown field.
QString PlainTitle(const QString& field);
QString AscendingTitle(const QString& field);
QString DescendingTitle(const QString& field);

// The title a column gets from the sort state: marked only for the sorted column.
QString TitleFor(const SortState& state, const QString& field);

// Stored sort direction: "0" ascending, "1" descending; empty for an unknown column.
QString EncodeSortDirection(const SortState& state, const QString& field);
// Exactly "0" means ascending, anything else descending; unknown columns are ignored.
void DecodeSortDirection(SortState& state, const QString& field, const QString& text);

struct SortClickResult
{
    bool handled = false;     // false: not one of the five columns, nothing changed
    db::ContactSearch search; // the grid's new search; its accents are the caller's
    bool descending = false;  // direction of this sort
};

// A click on the title of the column showing field: moves the sort there,
// toggles that column's flag and makes the search from the search
// controls. Afterwards TitleFor gives every column its new title.
SortClickResult ApplyTitleClick(SortState& state, const QString& field, int index, const QString& text,
                                const QString& group);
