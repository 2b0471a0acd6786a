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

class GridWatcher : public QObject
{
public:
    explicit GridWatcher(TMain* main) : QObject(main), m_main(main)
    {
        main->DBGrid1->viewport()->setMouseTracking(true);
        main->DBGrid1->viewport()->installEventFilter(this);
        main->DBGrid1->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        db::DBGrid* grid = m_main->DBGrid1;
        const int titleHeight = grid->horizontalHeader()->isVisible() ? grid->horizontalHeader()->height() : 0;
        switch (event->type()) {
        case QEvent::MouseMove:
        case QEvent::MouseButtonDblClick:
            if (watched == grid->viewport()) {
                // Measured from the top of the grid, title row included.
                m_main->GridMouseY = int(static_cast<QMouseEvent*>(event)->position().y()) + titleHeight;
                if (event->type() == QEvent::MouseButtonDblClick) {
                    m_main->DBGrid1DblClick();
                    return true;
                }
            }
            break;
        case QEvent::KeyRelease:
            if (watched == grid) {
                const auto* key = static_cast<QKeyEvent*>(event);
                // Holding Delete down asks once: only the real release counts.
                if (key->key() == Qt::Key_Delete && !key->isAutoRepeat())
                    m_main->Odstranitvybranoupoloku1->trigger();
            }
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    TMain* m_main;
};

} // namespace

void NewContact(TMain* main)
{
    Run(new TDetailNovy(main, TDetailNovy::Mode::Insert));
}

void AddNumberToSelected(TMain* main)
{
    if (NothingSelected(main))
        return;
    main->id->setText(main->ADOQuery1->fieldText(u"id"));
    auto* dialog = new TDetailNovy(main, TDetailNovy::Mode::Insert);
    dialog->fillFrom(main->ADOQuery1, false);
    Run(dialog);
}

void EditSelected(TMain* main)
{
    if (NothingSelected(main))
        return;
    main->id->setText(main->ADOQuery1->fieldText(u"id"));
    auto* dialog = new TDetailNovy(main, TDetailNovy::Mode::Edit);
    dialog->fillFrom(main->ADOQuery1, true);
    Run(dialog);
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
