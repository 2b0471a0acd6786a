#pragma once

#include "ui/Services.h"

#include <QPointer>

class QStatusBar;

namespace db {
class Query;
}

namespace app {

// The settings file, one key per access, as IniAccess keeps it.
class IniSettings : public SettingsService
{
public:
    // The settings file of this program in its settings folder.
    IniSettings();
    explicit IniSettings(const QString& path) : m_path(path) {}

    QString value(const QString& section, const QString& key) const override;
    bool setValue(const QString& section, const QString& key, const QString& value) override;

    const QString& path() const { return m_path; }
    void setPath(const QString& path) { m_path = path; }

private:
    QString m_path;
};

// The current row of the rows the grid shows.
class GridSelection : public SelectionService
{
public:
    void setShown(const db::Query* shown) { m_shown = shown; }

    std::optional<SelectedContact> selected() const override;
    QString commandId() const override { return m_commandId; }
    void setCommandId(const QString& id) override { m_commandId = id; }

private:
    const db::Query* m_shown = nullptr;
    QString m_commandId;
};

// The status bar keeps the last summary, which a control's hint covers only while it is shown.
class StatusLine : public StatusService
{
public:
    void attach(QStatusBar* bar, ProgressDisplay* progress);

    void show(const QString& text) override;
    ProgressDisplay* progress() override { return m_progress; }
    const QString& summary() const { return m_summary; }

private:
    QPointer<QStatusBar> m_bar;
    ProgressDisplay* m_progress = nullptr;
    QString m_summary;
};

// The services of one run of the window, which the commands are given beside the window.
struct Context
{
    IniSettings settings;
    GridSelection selection;
    StatusLine status;

    Services services(MainWindowPort& window) { return {window, settings, selection, status}; }
};

} // namespace app
