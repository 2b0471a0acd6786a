// What the subsystems may ask of the main window.
#include "app/TMain.h"

#include "db/contacts/Directory.h"
#include "db/contacts/Query.h"
#include "db/engine/Connection.h"
#include "print/PageLayout.h"
#include "ui/DBGrid.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QSystemTrayIcon>

QString TMain::directoryFilePath() const
{
    // As the opening found it, not parsed back from the connection string nor looked up in a
    // working directory that may have changed since.
    QString file = ADOConnection1->openedPath();
    if (file.isEmpty())
        file = db::Connection::ConnectionStringValue(ADOConnection1->connectionString(),
                                                     QStringLiteral("Data Source"));
    const QFileInfo info(file);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

MainWindowPort::ShownLayout TMain::shownLayout() const
{
    ShownLayout layout;
    for (int p = 0; p < DBGrid1->gridColumnCount(); ++p) {
        const QString field = DBGrid1->fieldNameAt(p);
        if (const int width = DBGrid1->columnWidthAt(p); width > 0)
            layout.columns.append({field, PlainTitle(field), width});
    }
    const QAbstractButton* column = hledat_dleButtons->checkedButton();
    const bool everyColumn = hledat_dleButtons->checkedId() == db::kAllSearchColumns;
    layout.selection =
        print::SelectionLine(Hledani->text().trimmed(), column && !everyColumn ? column->text() : QString(),
                             VyberSkupinu->currentIndex() > 0 ? VyberSkupinu->currentText() : QString());
    layout.sortedByName = Sort.SortColumn == QLatin1String("jmeno");
    return layout;
}

bool TMain::refreshGrid()
{
    const bool ok = RefreshGrid(DBGrid1);
    pocet->setText(RowCountText(*ADOQuery1));
    return ok;
}

bool TMain::reopenGrid()
{
    ADOQuery1->close();
    const bool ok = RefreshGrid(DBGrid1);
    pocet->setText(RowCountText(*ADOQuery1));
    return ok;
}

void TMain::showNumberHolders(const QString& number)
{
    db::Directory::openNumberHolders(number, ADOQuery1);
    RefreshGrid(DBGrid1);
}

QStringList TMain::groups() const
{
    QStringList list;
    for (int i = 1; i < VyberSkupinu->count(); ++i)
        list << VyberSkupinu->itemText(i);
    return list;
}

void TMain::addGroup(const QString& group)
{
    for (int i = 0; i < VyberSkupinu->count(); ++i)
        if (VyberSkupinu->itemText(i).compare(group, Qt::CaseInsensitive) == 0)
            return;
    VyberSkupinu->addItem(group);
}

void TMain::reloadGroups()
{
    const QString chosen = VyberSkupinu->currentText();
    const QSignalBlocker quiet(VyberSkupinu);
    FillGroupList();
    const int index = VyberSkupinu->findText(chosen, Qt::MatchFixedString);
    VyberSkupinu->setCurrentIndex(index < 0 ? 0 : index);
}

void TMain::focusSearch()
{
    Hledani->setFocus();
}

bool TMain::event(QEvent* event)
{
    // Qt clears the bar when the pointer leaves a control with a hint; the summary returns instead.
    if (event->type() == QEvent::StatusTip && !m_context->status.summary().isEmpty()) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        StatusBar1->showMessage(tip.isEmpty() ? m_context->status.summary() : tip);
        return true;
    }
    return QMainWindow::event(event);
}

void TMain::setCommandsEnabled(bool enabled)
{
    menuBar()->setEnabled(enabled);
    // Not the whole central widget: the progress panel and its stop button live there too.
    DBGrid1->setEnabled(enabled);
    DolniLista->setEnabled(enabled);
    if (taskMenu)
        taskMenu->setEnabled(enabled);
    if (vlastnostiGridu)
        vlastnostiGridu->setEnabled(enabled);
    if (PopupMenu1)
        PopupMenu1->setEnabled(enabled);
}
