#include "db/contacts/LayoutStatements.h"

#include "db/engine/Columns.h"

using db::GridColumnNames;

QString BuildOrderUpdate(const QStringList& displayOrder)
{
    QStringList entries;
    for (qsizetype i = 0; i < displayOrder.size(); ++i)
        entries.append(displayOrder.at(i) + QStringLiteral(" = ") + QString::number(i));
    return QStringLiteral("update sloupce set ") + entries.join(QStringLiteral(", ")) +
           QStringLiteral(" where id = 'poradi'");
}

QString BuildSortClear()
{
    QStringList cleared;
    for (const QString& field : GridColumnNames())
        cleared << field + QStringLiteral(" = null");
    return QStringLiteral("update sloupce set ") + cleared.join(QStringLiteral(", ")) +
           QStringLiteral(" where id = 'sort'");
}

QString BuildSortUpdate(const QString& column, const QString& encodedDirection)
{
    // Only a known column with a 0/1 direction may reach the statement text.
    if (!GridColumnNames().contains(column) ||
        (encodedDirection != QLatin1String("0") && encodedDirection != QLatin1String("1")))
        return QString();
    return QStringLiteral("update sloupce set ") + column + QStringLiteral(" = ") + encodedDirection +
           QStringLiteral(" where id = 'sort'");
}

QString BuildWidthUpdate(const QStringList& displayOrder, const QList<int>& widths)
{
    QString list;
    for (qsizetype i = 0; i < displayOrder.size() && i < widths.size(); ++i) {
        const QString name = displayOrder.at(i).toLower();
        if (GridColumnNames().contains(name))
            list += name + QStringLiteral(" = ") + QString::number(widths.at(i)) + QStringLiteral(", ");
    }
    if (list.isEmpty())
        return QString();
    list.chop(2);
    return QStringLiteral("update sloupce set ") + list + QStringLiteral(" where id = 'sirka'");
}
