// The grid's column layout, kept in the directory's table sloupce.
#include "view/Layout.h"

#include "db/Query.h"
#include "db/QueryOps.h"
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

void LoadLayout(const GridParts& parts)
{
    db::Query* stored = parts.work;
    const QStringList fields = GridFields();
    auto readRow = [&](const char* key) {
        OpenQuery(QStringLiteral("select * from sloupce where id ='%1'").arg(QLatin1String(key)), stored);
        return stored->isOpen() && !stored->eof();
    };

    if (readRow("poradi")) {
        QHash<QString, int> positions;
        for (const QString& f : fields)
            positions.insert(f, stored->fieldIndex(f) >= 0 ? stored->fieldInt(f) : -1);
        const QStringList order = RestoreColumnOrder(fields, positions);
        for (int p = 0; p < order.size(); ++p)
            parts.grid->moveColumnTo(order[p], p);
    }

    int direction = 0;
    QString column = QStringLiteral("jmeno");
    if (readRow("sort")) {
        QHash<QString, std::optional<int>> sortRow;
        for (const QString& f : fields)
            if (stored->fieldIndex(f) >= 0 && !stored->fieldIsNull(f))
                sortRow.insert(f, stored->fieldInt(f));
        column = FindStoredSortColumn(parts.grid->fieldsInDisplayOrder(), sortRow, &direction);
    }
    SortState& sort = *parts.sort;
    sort.SortColumn = column;
    DecodeSortDirection(sort, column, QString::number(direction));
    OpenSearch(InitialGridSearch(column, direction), parts.rows);

    if (readRow("sirka")) {
        for (int p = 0; p < parts.grid->gridColumnCount(); ++p) {
            const QString f = parts.grid->fieldNameAt(p);
            // A missing width would hide the column; it keeps its designed width then.
            const int width = stored->fieldIndex(f) >= 0 ? stored->fieldInt(f) : 0;
            if (width > 0)
                parts.grid->setColumnWidthAt(p, width);
        }
    }
    sort.SortOrderBy = OrderByFor(column, direction);
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
