#include "db/engine/Columns.h"

namespace db {

const ContactColumn* FindColumn(QStringView name)
{
    for (const ContactColumn& c : kContactColumns)
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

QString ColumnList(QLatin1StringView prefix)
{
    QString list;
    for (const ContactColumn& c : kContactColumns) {
        if (!list.isEmpty())
            list += QLatin1String(", ");
        list += prefix + QLatin1String(c.name);
    }
    return list;
}

QString ColumnLabel(const QString& column)
{
    const ContactColumn* known = FindColumn(column);
    return known ? ColumnTitle(*known) : column;
}

} // namespace db
