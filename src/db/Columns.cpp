#include "db/Columns.h"

namespace db {

const ContactColumn* FindColumn(QStringView name)
{
    for (const ContactColumn& c : kContactColumns)
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

} // namespace db
