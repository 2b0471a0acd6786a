// The options of the main window in the settings file beside the executable.
#include "app/TMain.h"

#include "app/AppContext.h"
#include "app/IniFile.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace {

QString LegacyPath()
{
    return QDir::current().filePath(QStringLiteral("nastaveni.ini"));
}

} // namespace

void TMain::applyLegacySettings()
{
    const LegacySettings legacy = ReadLegacySettingsFile(LegacyPath());
    if (legacy.allwaysOnTop.value_or(false)) {
        Vdynahoe1->setChecked(true);
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }
    if (legacy.autoSearch && !*legacy.autoSearch)
        autoSearch->setChecked(false);
    if (legacy.searchBy)
        setSearchIndex(ClampSearchIndex(*legacy.searchBy));
    if (legacy.dotPriUzavr.value_or(false))
        Dotazpiuzaven1->setChecked(true);
    if (legacy.minPriAltF4 && !*legacy.minPriAltF4)
        MinimalizovataplikacipistiskuAltF41->setChecked(false);
    if (legacy.pametSirkaSl && !*legacy.pametSirkaSl)
        Pamatovatsikusloupchlavnhoseznamu1->setChecked(false);
}

void TMain::ReadSettings()
{
    applyLegacySettings();

    const QString section = QLatin1String(settings::SectionOptions);
    if (QFileInfo(SettingsPath).isFile()) {
        auto readBool = [&](const char* key, bool whenMissing) {
            return IniReadBool(IniAccess(SettingsPath, settings::IniRead, section, QLatin1String(key)), whenMissing);
        };
        const bool onTop = readBool(settings::KeyAllwaysOnTop, false);
        Vdynahoe1->setChecked(onTop);
        setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
        autoSearch->setChecked(readBool(settings::KeyAutoSearch, true));
        setSearchIndex(ClampSearchIndex(
            IniReadInt(IniAccess(SettingsPath, settings::IniRead, section, QLatin1String(settings::KeySearchBy)), 0)));
        Dotazpiuzaven1->setChecked(readBool(settings::KeyDotPriUzavr, true));
        MinimalizovataplikacipistiskuAltF41->setChecked(readBool(settings::KeyMinPriAltF4, true));
        Pamatovatsikusloupchlavnhoseznamu1->setChecked(readBool(settings::KeyPametSirkaSl, true));
        Hledatbezohledunadiakritiku1->setChecked(readBool(settings::KeyBezDiakritiky, false));
        Hledatbezohledunadiakritiku1Click();
        applyResizeRules();
        return;
    }

    // First start: the settings file takes over from the older one.
    QFile file(SettingsPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return;
    file.close();
    if (QFileInfo::exists(LegacyPath()))
        QFile::remove(LegacyPath());
    writeOptions();
}

void TMain::writeOptions()
{
    const QString section = QLatin1String(settings::SectionOptions);
    const std::pair<const char*, QString> values[] = {
        {settings::KeyAllwaysOnTop, BoolToFlag(Vdynahoe1->isChecked())},
        {settings::KeyAutoSearch, BoolToFlag(autoSearch->isChecked())},
        {settings::KeySearchBy, QString::number(searchIndex())},
        {settings::KeyDotPriUzavr, BoolToFlag(Dotazpiuzaven1->isChecked())},
        {settings::KeyMinPriAltF4, BoolToFlag(MinimalizovataplikacipistiskuAltF41->isChecked())},
        {settings::KeyPametSirkaSl, BoolToFlag(Pamatovatsikusloupchlavnhoseznamu1->isChecked())},
        {settings::KeyBezDiakritiky, BoolToFlag(Hledatbezohledunadiakritiku1->isChecked())},
    };
    for (const auto& [key, value] : values)
        IniAccess(SettingsPath, settings::IniWrite, section, QLatin1String(key), value);
}

void TMain::Uloitnastaven1Click()
{
    writeOptions();
    TimerSaveAnim->start();
}
