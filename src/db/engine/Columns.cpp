#include "db/engine/Columns.h"

#include <array>

QString DateText(const QDate& date)
{
    return QStringLiteral("%1.%2.%3").arg(date.day()).arg(date.month()).arg(date.year());
}

namespace db {

const ContactColumn* FindColumn(QStringView name)
{
    for (const ContactColumn& c : kContactColumns)
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

const QStringList& GridColumnNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (int place = 0; place < kGridColumnCount; ++place)
            list << ColumnName(*ColumnAt(&ContactColumn::gridPlace, place));
        return list;
    }();
    return names;
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

const ContactColumn& ColumnOf(QString ContactValues::*member)
{
    for (const ContactColumn& c : kContactColumns)
        if (c.member == member)
            return c;
    Q_UNREACHABLE();
}

QStringList PersonKey(const ContactValues& contact)
{
    static const auto members = [] {
        std::array<QString ContactValues::*, kPersonColumnCount> list{};
        for (int place = 0; place < kPersonColumnCount; ++place)
            list[place] = ColumnAt(&ContactColumn::personPlace, place)->member;
        return list;
    }();
    QStringList key;
    key.reserve(kPersonColumnCount);
    for (QString ContactValues::*member : members)
        key << contact.*member;
    return key;
}

QString ColumnLabel(const QString& column)
{
    const ContactColumn* known = FindColumn(column);
    return known ? ColumnTitle(*known) : column;
}

} // namespace db
