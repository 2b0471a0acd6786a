#include "view/SearchStatement.h"

QString AllGroups()
{
    return QStringLiteral("Vše");
}

db::ContactSearch BarSearch(int index, const QString& text, const QString& group)
{
    db::ContactSearch search;
    search.column = index;
    search.text = text;
    if (group != AllGroups())
        search.group = group;
    return search;
}

QString SearchHint(int index)
{
    if (index == db::kAllSearchColumns)
        return QStringLiteral("Vše");
    const db::ContactColumn* column = db::SearchColumn(index);
    return column ? QString::fromUtf8(column->searchHint) : QString();
}
