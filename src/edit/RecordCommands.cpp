#include "edit/RecordCommands.h"

#include "db/contacts/Directory.h"
#include "db/contacts/Query.h"
#include "db/engine/Columns.h"
#include "db/engine/Engine.h"
#include "edit/ReadOnlyRefusal.h"
#include "edit/TDetailNovy.h"
#include "edit/TpoznamkaM.h"
#include "ui/DBGrid.h"
#include "ui/Guard.h"
#include "ui/MainWindowPort.h"
#include "ui/MessageDialog.h"
#include "ui/Services.h"

#include <QAction>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyleHints>
#include <QTimer>

namespace records {
namespace {

// The grid's query is not open or has no row: there is nothing to act on.
bool NothingSelected(const Services& app)
{
    if (app.selection.selected())
        return false;
    ShowMessageDialogOver(app.window.window(), QStringLiteral("Není vybrán žádný záznam."), 0, 0);
    return true;
}

void Run(TDetailNovy* dialog)
{
    dialog->exec();
    delete dialog;
}

// The detail dialog on the selected contact: its full edit, or a new contact with its
// values but an empty number.
void OpenForSelected(const Services& app, TDetailNovy::Mode mode)
{
    if (NothingSelected(app))
        return;
    const auto contact = app.selection.selected();
    app.selection.setCommandId(contact->id);
    auto* dialog = new TDetailNovy(app, mode);
    dialog->fillFrom(contact->values, mode == TDetailNovy::Mode::Edit);
    Run(dialog);
}

// Owned by the grid and holding it itself: the grid keeps sending events (hiding,
// focus) while the main window is already being destroyed.
class GridWatcher : public QObject
{
public:
    GridWatcher(db::DBGrid* grid, std::function<void(int)> doubleClick, QAction* openCommand,
                QAction* deleteCommand)
        : QObject(grid), m_grid(grid), m_doubleClick(std::move(doubleClick)), m_open(openCommand),
          m_delete(deleteCommand)
    {
        m_grid->viewport()->setMouseTracking(true);
        m_grid->viewport()->installEventFilter(this);
        m_grid->installEventFilter(this);
        // On X11 a release of a held key may come marked as real when the repeated press that
        // follows is not queued yet; so a release counts only when no press of the key follows
        // within about one repeat interval.
        m_deleteReleased.setSingleShot(true);
        m_deleteReleased.setInterval(DeleteReleaseDelay());
        connect(&m_deleteReleased, &QTimer::timeout, this,
                [this] { Guarded([this] { m_delete->trigger(); }); });
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        return GuardedResult(false, [&] {
            const QEvent::Type type = event->type();
            if ((type == QEvent::MouseMove || type == QEvent::MouseButtonDblClick) &&
                watched == m_grid->viewport()) {
                // Measured from the top of the grid, title row included.
                const int titleHeight =
                    m_grid->horizontalHeader()->isVisible() ? m_grid->horizontalHeader()->height() : 0;
                m_mouseY = int(static_cast<QMouseEvent*>(event)->position().y()) + titleHeight;
                if (type == QEvent::MouseButtonDblClick) {
                    m_doubleClick(m_mouseY);
                    return true;
                }
            } else if (type == QEvent::KeyPress && watched == m_grid &&
                       OpensTheRow(*static_cast<QKeyEvent*>(event))) {
                // In copy mode, Enter in a cell's editor comes here too once the editor has passed it on.
                if (m_grid->editing())
                    return false;
                if (m_grid->currentIndex().isValid())
                    m_open->trigger();
                return true;
            } else if ((type == QEvent::KeyPress || type == QEvent::KeyRelease) && watched == m_grid &&
                       static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
                // Holding Delete down asks once, when the key is really released.
                if (type == QEvent::KeyPress)
                    m_deleteReleased.stop();
                else
                    m_deleteReleased.start();
            }
            return QObject::eventFilter(watched, event);
        });
    }

private:
    // A held Enter opens the row once: the repeats would reach the dialog it opened.
    static bool OpensTheRow(const QKeyEvent& key)
    {
        return (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) && !key.isAutoRepeat() &&
               (key.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    }
    static int DeleteReleaseDelay()
    {
        const int rate = QGuiApplication::styleHints()->keyboardAutoRepeatRate();
        // One repeat interval and a margin for a busy event queue.
        return (rate > 0 ? 1000 / rate : 40) + 40;
    }

    db::DBGrid* m_grid;
    std::function<void(int)> m_doubleClick;
    QAction* m_open;
    QAction* m_delete;
    QTimer m_deleteReleased;
    int m_mouseY = 0;
};

} // namespace

void NewContact(const Services& app)
{
    // Refused before anything is typed, not after a whole contact.
    if (RefusedAsReadOnly(app, app.window.window()))
        return;
    Run(new TDetailNovy(app, TDetailNovy::Mode::Insert));
}

void AddNumberToSelected(const Services& app)
{
    if (RefusedAsReadOnly(app, app.window.window()))
        return;
    OpenForSelected(app, TDetailNovy::Mode::Insert);
}

void EditSelected(const Services& app)
{
    OpenForSelected(app, TDetailNovy::Mode::Edit);
}

void DeleteSelected(const Services& app)
{
    if (RefusedAsReadOnly(app, app.window.window()) || NothingSelected(app))
        return;
    const auto contact = app.selection.selected();
    app.selection.setCommandId(contact->id);
    const QString question = QStringLiteral("Opravdu odstranit položku s telefonem ") +
                             contact->values.telefon + QStringLiteral(" ?");
    if (ShowMessageDialogOver(app.window.window(), question, 1, 1) != 0)
        return;
    if (!app.window.directory().remove(app.selection.commandId()))
        return;
    // The same statement again, so the search, filter and sort stay; the grid starts on its first row.
    app.window.reopenGrid();
}

void AddNoteToSelected(const Services& app)
{
    if (RefusedAsReadOnly(app, app.window.window()) || NothingSelected(app))
        return;
    auto* window = new TpoznamkaM(app);
    window->id->setText(app.selection.selected()->id);
    window->exec();
    delete window;
}

QObject* InstallGridWatcher(db::DBGrid* grid, std::function<void(int)> doubleClick, QAction* openCommand,
                            QAction* deleteCommand)
{
    return new GridWatcher(grid, std::move(doubleClick), openCommand, deleteCommand);
}

} // namespace records
