#include "app/AppServices.h"

#include "app/AppContext.h"
#include "app/IniFile.h"
#include "app/UserPlaces.h"
#include "db/contacts/Query.h"

#include <QStatusBar>

namespace app {

IniSettings::IniSettings() : m_path(SettingsFilePath(SettingsDir(), ExecutableFileName())) {}

QString IniSettings::value(const QString& section, const QString& key) const
{
    return m_path.isEmpty() ? QString() : IniAccess(m_path, settings::IniRead, section, key);
}

bool IniSettings::setValue(const QString& section, const QString& key, const QString& value)
{
    bool written = false;
    if (!m_path.isEmpty())
        IniAccess(m_path, settings::IniWrite, section, key, value, &written);
    return written;
}

std::optional<SelectedContact> GridSelection::selected() const
{
    if (!m_shown || !m_shown->isOpen() || m_shown->knownCount() == 0)
        return std::nullopt;
    return SelectedContact{m_shown->fieldText(u"id"), CurrentValues(*m_shown)};
}

void StatusLine::attach(QStatusBar* bar, ProgressDisplay* progress)
{
    m_bar = bar;
    m_progress = progress;
}

void StatusLine::show(const QString& text)
{
    m_summary = text;
    if (m_bar)
        m_bar->showMessage(text);
}

} // namespace app
