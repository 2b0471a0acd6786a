// The grid's column layout, kept in the directory's table sloupce.
#include "view/Layout.h"

#include "db/contacts/Query.h"
#include "db/contacts/QueryOps.h"
#include "ui/DBGrid.h"
#include "view/LayoutLogic.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {

QRect ScreenRect()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

} // namespace

void MarkSortTitles(const GridParts& parts)
{
    for (const QString& field : GridFields())
        parts.grid->setTitleOfField(field, TitleFor(*parts.sort, field));
}

StoredLayout ReadStoredLayout(db::Query* stored)
{
    const QStringList fields = GridFields();
    auto readRow = [&](const char* key) {
        OpenQuery(QStringLiteral("select * from sloupce where id ='%1'").arg(QLatin1String(key)), stored);
        return stored->isOpen() && !stored->eof();
    };
    StoredLayout layout;
    layout.order = fields;
    if (readRow("poradi")) {
        QHash<QString, int> positions;
        for (const QString& f : fields)
            positions.insert(f, stored->fieldIndex(f) >= 0 ? stored->fieldInt(f) : -1);
        layout.order = RestoreColumnOrder(fields, positions);
    }
    if (readRow("sort")) {
        QHash<QString, std::optional<int>> sortRow;
        for (const QString& f : fields)
            if (stored->fieldIndex(f) >= 0 && !stored->fieldIsNull(f))
                sortRow.insert(f, stored->fieldInt(f));
        layout.sortColumn = FindStoredSortColumn(layout.order, sortRow, &layout.direction);
    }
    if (readRow("sirka"))
        for (const QString& f : fields)
            if (stored->fieldIndex(f) >= 0 && stored->fieldInt(f) > 0)
                layout.widths.insert(f, stored->fieldInt(f));
    return layout;
}

void LoadLayout(const GridParts& parts)
{
    const StoredLayout stored = ReadStoredLayout(parts.work);
    for (int p = 0; p < stored.order.size(); ++p)
        parts.grid->moveColumnTo(stored.order[p], p);
    SortState& sort = *parts.sort;
    sort.SortColumn = stored.sortColumn;
    DecodeSortDirection(sort, stored.sortColumn, QString::number(stored.direction));
    OpenSearch(InitialGridSearch(stored.sortColumn, stored.direction), parts.rows);
    // A missing width would hide the column; it keeps its designed width then.
    for (auto w = stored.widths.cbegin(); w != stored.widths.cend(); ++w)
        parts.grid->setColumnWidthAt(parts.grid->positionOfField(w.key()), w.value());
    sort.SortOrderBy = OrderByFor(stored.sortColumn, stored.direction);
    MarkSortTitles(parts);
}

void SaveLayout(const GridParts& parts)
{
    const QStringList order = parts.grid->fieldsInDisplayOrder();
    ExecQuery(BuildOrderUpdate(order), parts.work);
    ExecQuery(BuildSortClear(), parts.work);
    const SortState& sort = *parts.sort;
    const QString stored = BuildSortUpdate(sort.SortColumn, EncodeSortDirection(sort, sort.SortColumn));
    if (!stored.isEmpty())
        ExecQuery(stored, parts.work);
    QList<int> widths;
    for (int p = 0; p < order.size(); ++p)
        widths << parts.grid->columnWidthAt(p);
    const QString sizes = BuildWidthUpdate(order, widths);
    if (!sizes.isEmpty())
        ExecQuery(sizes, parts.work);
}

void RestoreWindowPlace(QWidget* window, const std::function<int(const char*, int)>& read)
{
    const QRect screen = ScreenRect();
    if (read("ScreenW", screen.width()) != screen.width() ||
        read("ScreenH", screen.height()) != screen.height())
        return;
    const int top = read("Top", window->y());
    const int left = read("Left", window->x());
    const int w = read("Width", window->width());
    const int h = read("Height", window->height());
    // A place remembered on a screen that is gone, or written by hand, must not hide the window.
    QList<QRect> screens;
    for (const QScreen* s : QGuiApplication::screens())
        screens << s->availableGeometry();
    if (screens.isEmpty())
        screens << screen;
    // The size is the client area's; the frame around it must fit too.
    const QSize frame = window->frameGeometry().size() - window->geometry().size();
    for (QRect& s : screens)
        s.setSize(s.size() - frame);
    const QRect kept = KeepOnScreens(left, top, w, h, screens, window->minimumSize());
    window->move(kept.topLeft());
    window->resize(kept.size());
}

void StoreWindowPlace(const QWidget* window, const std::function<void(const char*, int)>& write)
{
    const QRect screen = ScreenRect();
    const QRect frame = window->geometry();
    const std::pair<const char*, int> values[] = {{"ScreenW", screen.width()}, {"ScreenH", screen.height()},
                                                  {"Top", window->pos().y()},  {"Left", window->pos().x()},
                                                  {"Width", frame.width()},    {"Height", frame.height()}};
    for (const auto& [key, value] : values)
        write(key, value);
}
