#pragma once

#include <QString>

namespace db {

// A count with its noun in the Czech form the number asks for: "1 řádek", "2 řádky", "5 řádků"
// (also "0 řádků", "12 řádků", "22 řádků").
QString CzechCount(qint64 count, const QString& one, const QString& few, const QString& many);

} // namespace db
