#pragma once

#include "db/search/ContactSearch.h"

#include <QHash>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

#include <optional>

// The column layout kept in the table sloupce: the rows "poradi" (display
// position per column), "sort" (direction of the one sorted column, nulls
// elsewhere) and "sirka" (widths). Columns are field names; positions count
// from 0 at the left.

// The display order after moving the columns to their stored positions. When
// the stored values are not a permutation of 0-4 over the five columns, the
// designed order is returned unchanged.
QStringList RestoreColumnOrder(const QStringList& designedOrder, const QHash<QString, int>& storedPositions);

// The leftmost column in display order with a stored direction; "jmeno" with
// direction 0 when there is none. direction may be null.
QString FindStoredSortColumn(const QStringList& displayOrder,
                             const QHash<QString, std::optional<int>>& sortRow, int* direction);

// "jmeno" or "jmeno desc" for a stored direction (0 ascending, other values descending).
QString OrderByFor(const QString& column, int direction);
// The grid's first search at start-up: all contacts in the stored sort.
db::ContactSearch InitialGridSearch(const QString& column, int direction);

// The remembered place of the main window (its top left corner and size, any values a settings
// file may hold) kept on the available screens: on the screen it overlaps most, or the first
// when it overlaps none, shrunk to that screen when larger but never below `minimum`, and
// moved inside it. `screens` must not be empty.
QRect KeepOnScreens(qint64 left, qint64 top, qint64 width, qint64 height, const QList<QRect>& screens,
                    const QSize& minimum);
