#include "view/SearchBar.h"

#include "db/contacts/Query.h"
#include "db/engine/Engine.h"
#include "ui/DBGrid.h"
#include "ui/MessageDialog.h"
#include "view/SearchStatement.h"

#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

void SearchBar::search()
{
    db::Query* rows = m.grid.rows;
    rows->close();
    const int index = m.columns->checkedId();
    db::ContactSearch asked = BarSearch(index, m.text->text(), m.groups->currentText());
    asked.orderColumn = OrderColumn(*m.grid.sort);
    asked.descending = OrderDescending(*m.grid.sort);
    asked.ignoreAccents = m.ignoreAccents->isChecked();
    rows->setSearch(asked);
    m.text->setToolTip(SearchHint(index));
    m.text->setStatusTip(SearchHint(index));
    try {
        rows->open();
    } catch (const db::EngineError& error) {
        ShowMessageDialogOver(m.window, QStringLiteral("Došlo k chybě: ") + error.message(), 0, 0);
        return;
    }
    m.grid.grid->reattach();
    m.count->setText(RowCountText(*rows));
}

void SearchBar::sortByTitle(const QString& fieldName)
{
    SortClickResult click = ApplyTitleClick(*m.grid.sort, fieldName, m.columns->checkedId(), m.text->text(),
                                            m.groups->currentText());
    if (!click.handled)
        return;
    click.search.ignoreAccents = m.ignoreAccents->isChecked();
    db::Query* rows = m.grid.rows;
    rows->close();
    rows->setSearch(click.search);
    MarkSortTitles(m.grid);
    try {
        rows->open();
    } catch (const db::EngineError& error) {
        // Not logged: the failure ends the click and is reported like any uncaught one.
        ShowErrorReport(error.message());
    }
}
