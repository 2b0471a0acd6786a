#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace db {
class Directory;
class Query;
} // namespace db

// What the subsystems may ask of the main window itself; settings, the selection, the status line
// and progress are services of their own (ui/Services.h). Nothing below the application sees
// the window.
class MainWindowPort
{
public:
    virtual ~MainWindowPort() = default;

    // The window that owns and centres the subsystems' dialogs.
    virtual QWidget* window() = 0;

    // The open directory, asked by typed requests.
    virtual db::Directory& directory() = 0;
    // The rows the grid shows, in its order, read only: what the exports write.
    virtual const db::Query& shownContacts() const = 0;
    // How the grid shows them: its visible columns in their order with plain titles and widths,
    // the line that says what narrows the list (empty when nothing does), the sort by name.
    struct ShownColumn
    {
        QString field;
        QString title;
        int width = 0;
    };
    struct ShownLayout
    {
        QList<ShownColumn> columns;
        QString selection;
        bool sortedByName = false;
    };
    virtual ShownLayout shownLayout() const { return {}; }
    // The canonical path of the open directory file.
    virtual QString directoryFilePath() const = 0;
    // The directory was opened read-only: commands that write refuse at once.
    virtual bool readOnly() const = 0;

    // Reopens the grid's statement keeping the selected row number, and shows the count.
    virtual bool refreshGrid() = 0;
    // Reopens the grid's statement on its first row, and shows the count.
    virtual bool reopenGrid() = 0;
    // Shows in the grid the contacts that hold the number.
    virtual void showNumberHolders(const QString& number) = 0;

    // The groups of the group filter, without "Vše"; a new one is added unless present (case ignored).
    virtual QStringList groups() const = 0;
    virtual void addGroup(const QString& group) = 0;
    // Reads the groups of the directory again, after a command that may have brought new ones;
    // the chosen group stays chosen.
    virtual void reloadGroups() {}

    virtual void focusSearch() = 0;
    // Off while a long operation runs: every command of the window is disabled.
    virtual void setCommandsEnabled(bool enabled) = 0;
};
