#pragma once

#include <QString>

#include "db/RecordStatements.h"

// The search statement for a search column index (0 jmeno, 1 poznamka,
// 2 telefon, 3 organizace, 4 email, 5 all five), search text, group and
// ORDER BY tail. The group "Vše" means all groups. An empty text still adds
// the condition (like '%%'). Empty text for an index outside 0-5.
QString BuildSearchStatement(int index, const QString& text, const QString& group, const QString& orderBy);

// The statement of a title click: the filter of the search controls (no text
// condition for an empty text), then ordered by column, descending if asked.
QString BuildSortStatement(const QString& column, bool descending, int index, const QString& text, const QString& group);

// The hint the search box gets after a search by that column index.
QString SearchHint(int index);

// The group item meaning "all groups".
QString AllGroups();
