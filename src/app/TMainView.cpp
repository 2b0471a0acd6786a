// What the main grid shows: search and group filter, title clicks, and the column layout.
#include "app/TMain.h"

#include "app/IniFile.h"
#include "ui/DBGrid.h"
#include "db/Engine.h"
#include "db/Query.h"
#include "db/QueryOps.h"
#include "ui/Guard.h"
#include "ui/MessageDialog.h"
#include "view/LayoutLogic.h"
#include "view/SearchStatement.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <functional>

namespace {

// Reports the release of every key in the search box.
class KeyUpFilter : public QObject
{
public:
    KeyUpFilter(QObject* parent, std::function<void(int)> onKeyUp) : QObject(parent), m_onKeyUp(std::move(onKeyUp))
    {
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyRelease)
            m_onKeyUp(static_cast<QKeyEvent*>(event)->key());
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(int)> m_onKeyUp;
};

QRect ScreenRect()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

} // namespace

void TMain::setupSearchBar()
{
    Hledani->installEventFilter(new KeyUpFilter(Hledani, [this](int key) { HledaniKeyUp(key); }));
    connect(autoSearch, &QCheckBox::clicked, this, &TMain::autoSearchClick);
    connect(hledat_dleButtons, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            hledat_dleClick();
    });
    connect(VyberSkupinu, &QComboBox::activated, this, &TMain::VyberSkupinuChange);
}

void TMain::HledaniKeyUp(int key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // A delayed search that is already pending still runs.
        Najdi->click();
        return;
    }
    if (autoSearch->isChecked())
        Timer1->start();
    if (key == Qt::Key_Escape)
        Hledani->clear();
}

void TMain::Timer1Timer()
{
    Timer1->stop();
    Najdi->click();
}

void TMain::autoSearchClick()
{
    if (autoSearch->isChecked() && !Hledani->text().isEmpty())
        Timer1->start();
}

void TMain::hledat_dleClick()
{
    Najdi->click();
}

void TMain::VyberSkupinuChange()
{
    Najdi->click();
}

void TMain::NajdiClick()
{
    Guarded([this] { search(); });
}

void TMain::search()
{
    ADOQuery1->close();
    ADOQuery1->clearSql();
    const int index = searchIndex();
    const QString statement = BuildSearchStatement(index, Hledani->text(), VyberSkupinu->currentText(), Sort.SortOrderBy);
    if (!statement.isEmpty())
        ADOQuery1->addSql(statement);
    Hledani->setToolTip(SearchHint(index));
    Hledani->setStatusTip(SearchHint(index));
    try {
        ADOQuery1->open();
    } catch (const db::EngineError& error) {
        ShowMessageDialogOver(this, QStringLiteral("Došlo k chybě: ") + error.message(), 0, 0);
        return;
    }
    DBGrid1->reattach();
    pocet->setText(QString::number(ADOQuery1->recordCount()));
}

void TMain::DBGrid1TitleClick(const QString& fieldName)
{
    Guarded([this, &fieldName] { sortByTitle(fieldName); });
}

void TMain::sortByTitle(const QString& fieldName)
{
    const SortClickResult click =
        ApplyTitleClick(Sort, fieldName, searchIndex(), Hledani->text(), VyberSkupinu->currentText());
    if (!click.handled)
        return;
    ADOQuery1->close();
    ADOQuery1->clearSql();
    ADOQuery1->addSql(click.statement);
    MarkSortTitles();
    try {
        ADOQuery1->open();
    } catch (const db::EngineError& error) {
        // Not logged: the failure ends the click and is reported like any uncaught one.
        ShowErrorReport(error.message());
    }
}

void TMain::MarkSortTitles()
{
    for (const QString& field : GridFields())
        DBGrid1->setTitleOfField(field, TitleFor(Sort, field));
}

void TMain::LoadLayout()
{
    const QStringList fields = GridFields();
    auto readRow = [&](const char* key) {
        OpenQuery(QStringLiteral("select * from sloupce where id ='%1'").arg(QLatin1String(key)), ADOQuery2);
        return ADOQuery2->isOpen() && !ADOQuery2->eof();
    };

    if (readRow("poradi")) {
        QHash<QString, int> positions;
        for (const QString& f : fields)
            positions.insert(f, ADOQuery2->fieldIndex(f) >= 0 ? ADOQuery2->fieldInt(f) : -1);
        const QStringList order = RestoreColumnOrder(fields, positions);
        for (int p = 0; p < order.size(); ++p)
            DBGrid1->moveColumnTo(order[p], p);
    }

    int direction = 0;
    QString column = QStringLiteral("jmeno");
    if (readRow("sort")) {
        QHash<QString, std::optional<int>> sortRow;
        for (const QString& f : fields)
            if (ADOQuery2->fieldIndex(f) >= 0 && !ADOQuery2->fieldIsNull(f))
                sortRow.insert(f, ADOQuery2->fieldInt(f));
        column = FindStoredSortColumn(DBGrid1->fieldsInDisplayOrder(), sortRow, &direction);
    }
    Sort.SortColumn = column;
    DecodeSortDirection(Sort, column, QString::number(direction));
    OpenQuery(BuildInitialGridStatement(column, direction), ADOQuery1);

    if (readRow("sirka")) {
        for (int p = 0; p < DBGrid1->gridColumnCount(); ++p) {
            const QString f = DBGrid1->fieldNameAt(p);
            // A missing width would hide the column; it keeps its designed width then.
            const int width = ADOQuery2->fieldIndex(f) >= 0 ? ADOQuery2->fieldInt(f) : 0;
            if (width > 0)
                DBGrid1->setColumnWidthAt(p, width);
        }
    }
    Sort.SortOrderBy = OrderByFor(column, direction);
    MarkSortTitles();

    const QRect screen = ScreenRect();
    auto position = [&](const char* key, int current) {
        return IniReadInt(IniAccess(SettingsPath, 0, QStringLiteral("POZICE"), QLatin1String(key)), current);
    };
    if (position("ScreenW", screen.width()) != screen.width() || position("ScreenH", screen.height()) != screen.height())
        return;
    const int top = position("Top", y());
    const int left = position("Left", x());
    const int w = position("Width", width());
    const int h = position("Height", height());
    // A place remembered on a screen that is gone, or written by hand, must not hide the window.
    QList<QRect> screens;
    for (const QScreen* s : QGuiApplication::screens())
        screens << s->availableGeometry();
    if (screens.isEmpty())
        screens << screen;
    // The size is the client area's; the frame around it must fit too.
    const QSize frame = frameGeometry().size() - geometry().size();
    for (QRect& s : screens)
        s.setSize(s.size() - frame);
    const QRect kept = KeepOnScreens(left, top, w, h, screens, minimumSize());
    move(kept.topLeft());
    resize(kept.size());
}

void TMain::SaveLayout()
{
    // A file opened for reading keeps the layout it has (the user was told at opening that
    // nothing is saved); the window's place is still remembered.
    if (!m_readOnly) {
        const QStringList order = DBGrid1->fieldsInDisplayOrder();
        ExecQuery(BuildOrderUpdate(order), ADOQuery2);
        ExecQuery(BuildSortClear(), ADOQuery2);
        const QString sort = BuildSortUpdate(Sort.SortColumn, EncodeSortDirection(Sort, Sort.SortColumn));
        if (!sort.isEmpty())
            ExecQuery(sort, ADOQuery2);
        QList<int> widths;
        for (int p = 0; p < order.size(); ++p)
            widths << DBGrid1->columnWidthAt(p);
        const QString sizes = BuildWidthUpdate(order, widths);
        if (!sizes.isEmpty())
            ExecQuery(sizes, ADOQuery2);
    }

    const QRect screen = ScreenRect();
    const QRect frame = geometry();
    const std::pair<const char*, int> values[] = {{"ScreenW", screen.width()}, {"ScreenH", screen.height()},
                                                  {"Top", pos().y()},          {"Left", pos().x()},
                                                  {"Width", frame.width()},    {"Height", frame.height()}};
    for (const auto& [key, value] : values)
        IniAccess(SettingsPath, 1, QStringLiteral("POZICE"), QLatin1String(key), QString::number(value));
}
