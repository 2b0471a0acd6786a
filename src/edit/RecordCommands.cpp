#include "edit/RecordCommands.h"

#include "app/MessageDialog.h"
#include "app/TMain.h"
#include "db/DBGrid.h"
#include "db/Engine.h"
#include "db/Query.h"
#include "edit/RecordStatements.h"
#include "edit/TDetailNovy.h"
#include "edit/TpoznamkaM.h"
#include "db/QueryOps.h"

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

namespace records {
namespace {

// The grid's query is not open or has no row: there is nothing to act on.
bool NothingSelected(TMain* main)
{
    if (main->ADOQuery1->isOpen() && main->ADOQuery1->recordCount() > 0)
        return false;
    ShowMessageDialogOver(main, QStringLiteral("Není vybrán žádný záznam."), 0, 0);
    return true;
}

void Run(TDetailNovy* dialog)
{
    dialog->exec();
    delete dialog;
}

// The detail dialog on the selected contact: its full edit, or a new contact with its
// values but an empty number.
void OpenForSelected(TMain* main, TDetailNovy::Mode mode)
{
    if (NothingSelected(main))
        return;
    main->id->setText(main->ADOQuery1->fieldText(u"id"));
    auto* dialog = new TDetailNovy(main, mode);
    dialog->fillFrom(main->ADOQuery1, mode == TDetailNovy::Mode::Edit);
    Run(dialog);
}

// Owned by the grid and holding it itself: the grid keeps sending events (hiding,
// focus) while the main window is already being destroyed.
class GridWatcher : public QObject
{
public:
    explicit GridWatcher(TMain* main) : QObject(main->DBGrid1), m_main(main), m_grid(main->DBGrid1)
    {
        m_grid->viewport()->setMouseTracking(true);
        m_grid->viewport()->installEventFilter(this);
        m_grid->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if ((type == QEvent::MouseMove || type == QEvent::MouseButtonDblClick) && watched == m_grid->viewport()) {
            // Measured from the top of the grid, title row included.
            const int titleHeight = m_grid->horizontalHeader()->isVisible() ? m_grid->horizontalHeader()->height() : 0;
            m_main->GridMouseY = int(static_cast<QMouseEvent*>(event)->position().y()) + titleHeight;
            if (type == QEvent::MouseButtonDblClick) {
                m_main->DBGrid1DblClick();
                return true;
            }
        } else if (type == QEvent::KeyRelease && watched == m_grid) {
            const auto* key = static_cast<QKeyEvent*>(event);
            // Holding Delete down asks once: only the real release counts.
            if (key->key() == Qt::Key_Delete && !key->isAutoRepeat())
                m_main->Odstranitvybranoupoloku1->trigger();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    TMain* m_main;
    db::DBGrid* m_grid;
};

} // namespace

void NewContact(TMain* main)
{
    Run(new TDetailNovy(main, TDetailNovy::Mode::Insert));
}

void AddNumberToSelected(TMain* main)
{
    OpenForSelected(main, TDetailNovy::Mode::Insert);
}

void EditSelected(TMain* main)
{
    OpenForSelected(main, TDetailNovy::Mode::Edit);
}

void DeleteSelected(TMain* main)
{
    if (NothingSelected(main))
        return;
    main->id->setText(main->ADOQuery1->fieldText(u"id"));
    const QString question = QStringLiteral("Opravdu odstranit položku s telefonem ") +
                             main->ADOQuery1->fieldText(u"telefon") + QStringLiteral(" ?");
    if (ShowMessageDialogOver(main, question, 1, 1) != 0)
        return;
    ExecQuery(DeleteContactStatement(main->id->text()), main->ADOQuery2);
    // The same statement again, so the search, filter and sort stay; the grid starts on its first row.
    main->ADOQuery1->close();
    try {
        main->ADOQuery1->open();
    } catch (const db::EngineError& error) {
        ShowErrorReport(error.message());
    }
    main->DBGrid1->reattach();
    main->pocet->setText(QString::number(main->ADOQuery1->recordCount()));
}

void AddNoteToSelected(TMain* main)
{
    if (NothingSelected(main))
        return;
    auto* window = new TpoznamkaM(main);
    window->id->setText(main->ADOQuery1->fieldText(u"id"));
    window->exec();
    delete window;
}

QObject* InstallGridWatcher(TMain* main)
{
    return new GridWatcher(main);
}

} // namespace records
