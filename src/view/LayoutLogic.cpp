#include "view/LayoutLogic.h"

#include "view/SortState.h"

#include <QSet>

namespace {

bool IsPermutation(const QHash<QString, int>& storedPositions)
{
    const QStringList& fields = GridFields();
    QSet<int> seen;
    for (const QString& name : fields) {
        const auto it = storedPositions.constFind(name);
        if (it == storedPositions.constEnd() || *it < 0 || *it >= fields.size() || seen.contains(*it))
            return false;
        seen.insert(*it);
    }
    return true;
}

} // namespace

QStringList RestoreColumnOrder(const QStringList& designedOrder, const QHash<QString, int>& storedPositions)
{
    const QStringList& fields = GridFields();
    if (designedOrder.size() != fields.size() || !IsPermutation(storedPositions))
        return designedOrder;
    QStringList order = designedOrder;
    // Each check looks at the column standing at p at that moment; from the
    // designed order two passes would do, five are made to be sure.
    for (int pass = 0; pass < 5; ++pass) {
        for (qsizetype p = 0; p < order.size(); ++p) {
            for (const QString& name : fields) {
                if (order.at(p).toLower() == name)
                    order.move(p, storedPositions.value(name));
            }
        }
    }
    return order;
}

QString FindStoredSortColumn(const QStringList& displayOrder,
                             const QHash<QString, std::optional<int>>& sortRow, int* direction)
{
    QString column = QStringLiteral("jmeno");
    int value = 0;
    for (const QString& field : displayOrder) {
        const std::optional<int> stored = sortRow.value(field.toLower());
        if (stored) {
            column = field;
            value = *stored;
            break;
        }
    }
    if (direction)
        *direction = value;
    return column;
}

QString OrderByFor(const QString& column, int direction)
{
    return direction != 0 ? column + QStringLiteral(" desc") : column;
}

db::ContactSearch InitialGridSearch(const QString& column, int direction)
{
    db::ContactSearch search;
    search.form = db::ContactSearch::Form::TitleClick;
    search.orderColumn = column;
    search.descending = direction != 0;
    return search;
}

namespace {

// The overlap of two spans along one axis, in 64 bits so that hostile values cannot overflow.
qint64 Overlap(qint64 start, qint64 length, qint64 otherStart, qint64 otherLength)
{
    return qMax<qint64>(0, qMin(start + length, otherStart + otherLength) - qMax(start, otherStart));
}

// The span [start, start + length) moved inside [areaStart, areaStart + areaLength); a span
// longer than the area starts where the area starts.
qint64 Inside(qint64 start, qint64 length, qint64 areaStart, qint64 areaLength)
{
    return qMax(areaStart, qMin(start, areaStart + areaLength - length));
}

} // namespace

QRect KeepOnScreens(qint64 left, qint64 top, qint64 width, qint64 height, const QList<QRect>& screens,
                    const QSize& minimum)
{
    if (screens.isEmpty())
        return QRect(QPoint(0, 0), minimum);
    QRect chosen = screens.first();
    qint64 best = 0;
    for (const QRect& s : screens) {
        const qint64 area = Overlap(left, width, s.x(), s.width()) * Overlap(top, height, s.y(), s.height());
        if (area > best) {
            best = area;
            chosen = s;
        }
    }
    const qint64 w = qMax<qint64>(minimum.width(), qMin<qint64>(width, chosen.width()));
    const qint64 h = qMax<qint64>(minimum.height(), qMin<qint64>(height, chosen.height()));
    const qint64 x = Inside(left, w, chosen.x(), chosen.width());
    const qint64 y = Inside(top, h, chosen.y(), chosen.height());
    return QRect(int(x), int(y), int(w), int(h));
}
