#pragma once

#include "db/search/ContactSearch.h"

#include <QString>

// The search of the search bar: the search column index (0 jmeno, 1 poznamka, 2 telefon,
// 3 organizace, 4 email, 5 all five), the search text and the group item; "Vše" means all
// groups. Its order and accents are the caller's.
db::ContactSearch BarSearch(int index, const QString& text, const QString& group);

// The hint the search box gets after a search by that column index.
QString SearchHint(int index);

// The group item meaning "all groups".
QString AllGroups();
