#pragma once

#include "db/engine/Columns.h"

#include <QString>

#include <optional>

class MainWindowPort;
class ProgressDisplay;

// The settings file beside the executable.
class SettingsService
{
public:
    virtual ~SettingsService() = default;
    // A value, empty when missing.
    virtual QString value(const QString& section, const QString& key) const = 0;
    // False when the file does not hold the value afterwards.
    virtual bool setValue(const QString& section, const QString& key, const QString& value) = 0;
};

struct SelectedContact
{
    QString id;
    ContactValues values;
};

// The contact selected in the grid, and the one a command acts on, chosen when it starts:
// a dialog may outlive a change of the selection.
class SelectionService
{
public:
    virtual ~SelectionService() = default;
    // None when the grid shows no row.
    virtual std::optional<SelectedContact> selected() const = 0;
    virtual QString commandId() const = 0;
    virtual void setCommandId(const QString& id) = 0;
};

// The status bar's line and the progress display of long operations.
class StatusService
{
public:
    virtual ~StatusService() = default;
    virtual void show(const QString& text) = 0;
    // Null where there is nothing to show progress on.
    virtual ProgressDisplay* progress() = 0;
};

// What a command is given: the window's own part and the application's services.
struct Services
{
    MainWindowPort& window;
    SettingsService& settings;
    SelectionService& selection;
    StatusService& status;
};
