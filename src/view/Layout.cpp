// The grid's column layout, kept in the directory's table sloupce.
#include "view/Layout.h"

#include "db/contacts/Directory.h"
#include "db/contacts/Query.h"
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

StoredLayout ReadStoredLayout(db::Directory& directory)
{
    const QStringList fields = GridFields();
    StoredLayout layout;
    layout.order = fields;
    QHash<QString, int> row;
    if (directory.layoutRow("poradi", &row)) {
        QHash<QString, int> positions;
        // A null position reads as 0, as the engine gives it.
        for (const QString& f : fields)
            positions.insert(f, row.value(f, 0));
        layout.order = RestoreColumnOrder(fields, positions);
    }
    row.clear();
    if (directory.layoutRow("sort", &row)) {
        QHash<QString, std::optional<int>> sortRow;
        for (auto v = row.cbegin(); v != row.cend(); ++v)
            sortRow.insert(v.key(), v.value());
        layout.sortColumn = FindStoredSortColumn(layout.order, sortRow, &layout.direction);
    }
    row.clear();
    if (directory.layoutRow("sirka", &row))
        for (auto v = row.cbegin(); v != row.cend(); ++v)
            if (v.value() > 0)
                layout.widths.insert(v.key(), v.value());
    return layout;
}

void LoadLayout(const GridParts& parts)
{
    const StoredLayout stored = ReadStoredLayout(*parts.directory);
    for (int p = 0; p < stored.order.size(); ++p)
        parts.grid->moveColumnTo(stored.order[p], p);
    SortState& sort = *parts.sort;
    sort.SortColumn = stored.sortColumn;
    DecodeSortDirection(sort, stored.sortColumn, QString::number(stored.direction));
    db::Directory::openSearch(InitialGridSearch(stored.sortColumn, stored.direction), parts.rows);
    // A missing width would hide the column; it keeps its designed width then.
    for (auto w = stored.widths.cbegin(); w != stored.widths.cend(); ++w)
        parts.grid->setColumnWidthAt(parts.grid->positionOfField(w.key()), w.value());
    sort.SortOrderBy = OrderByFor(stored.sortColumn, stored.direction);
    MarkSortTitles(parts);
}

void SaveLayout(const GridParts& parts)
{
    const QStringList order = parts.grid->fieldsInDisplayOrder();
    const SortState& sort = *parts.sort;
    QList<int> widths;
    for (int p = 0; p < order.size(); ++p)
        widths << parts.grid->columnWidthAt(p);
    parts.directory->saveLayout(order, sort.SortColumn, EncodeSortDirection(sort, sort.SortColumn), widths);
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
