#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The statements that keep the grid's column layout in the table sloupce.

// "update sloupce set jmeno = 0, telefon = 1, ... where id = 'poradi'"
QString BuildOrderUpdate(const QStringList& displayOrder);
// Clears the directions of all grid columns in the "sort" row.
QString BuildSortClear();
// "update sloupce set jmeno = 0 where id = 'sort'"; empty when there is no
// valid column or direction to store, so the caller runs nothing.
QString BuildSortUpdate(const QString& column, const QString& encodedDirection);
// "update sloupce set jmeno = 120, telefon = 95, ... where id = 'sirka'";
// widths run parallel to displayOrder. Empty when no column is one of the five.
QString BuildWidthUpdate(const QStringList& displayOrder, const QList<int>& widths);
