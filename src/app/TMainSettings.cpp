// The options of the main window in the settings file beside the executable.
#include "app/TMain.h"

#include "app/AppContext.h"
#include "app/IniFile.h"
#include "ui/Guard.h"
#include "ui/MessageDialog.h"
#include "ui/SafeWrite.h"

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
    if (QFileInfo(settingsPath()).isFile()) {
        auto readBool = [&](const char* key, bool whenMissing) {
            return IniReadBool(IniAccess(settingsPath(), settings::IniRead, section, QLatin1String(key)),
                               whenMissing);
        };
        const bool onTop = readBool(settings::KeyAllwaysOnTop, false);
        Vdynahoe1->setChecked(onTop);
        setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
        autoSearch->setChecked(readBool(settings::KeyAutoSearch, true));
        setSearchIndex(ClampSearchIndex(IniReadInt(
            IniAccess(settingsPath(), settings::IniRead, section, QLatin1String(settings::KeySearchBy)), 0)));
        Dotazpiuzaven1->setChecked(readBool(settings::KeyDotPriUzavr, true));
        MinimalizovataplikacipistiskuAltF41->setChecked(readBool(settings::KeyMinPriAltF4, true));
        Pamatovatsikusloupchlavnhoseznamu1->setChecked(readBool(settings::KeyPametSirkaSl, true));
        Hledatbezohledunadiakritiku1->setChecked(readBool(settings::KeyBezDiakritiky, false));
        Hledatbezohledunadiakritiku1Click();
        applyResizeRules();
        return;
    }

    // First start: the settings file takes over from the older one.
    // Something else in its place (a folder, a pipe) is left alone.
    if (QFileInfo::exists(settingsPath()) || QFileInfo(settingsPath()).isSymLink() ||
        !SafeWriteFile(settingsPath(), QByteArray()))
        return;
    if (QFileInfo::exists(LegacyPath()))
        QFile::remove(LegacyPath());
    writeOptions();
}

bool TMain::writeOptions()
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
    bool all = true;
    for (const auto& [key, value] : values) {
        bool written = false;
        IniAccess(settingsPath(), settings::IniWrite, section, QLatin1String(key), value, &written);
        all = all && written;
    }
    return all;
}

void TMain::Uloitnastaven1Click()
{
    Guarded([this] {
        // The picture confirms a save only when the file really holds the options.
        if (writeOptions()) {
            TimerSaveAnim->start();
            return;
        }
        ShowMessageDialogOver(this,
                              QStringLiteral("Nastavení se nepodařilo uložit do souboru ") +
                                  QDir::toNativeSeparators(settingsPath()) + QStringLiteral("."),
                              0, 0);
    });
}
