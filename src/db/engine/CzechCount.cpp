#include "db/engine/CzechCount.h"

namespace db {

QString CzechCount(qint64 count, const QString& one, const QString& few, const QString& many)
{
    const QString& noun = count == 1 ? one : count >= 2 && count <= 4 ? few : many;
    return QString::number(count) + QLatin1Char(' ') + noun;
}

} // namespace db
