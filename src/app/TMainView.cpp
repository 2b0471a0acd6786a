// What the main grid shows: search and group filter, title clicks, and the column layout.
#include "app/TMain.h"

#include "app/IniFile.h"
#include "ui/Guard.h"
#include "view/SearchBar.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace {

// Reports the release of every key in the search box.
class KeyUpFilter : public QObject
{
public:
    KeyUpFilter(QObject* parent, std::function<void(int)> onKeyUp)
        : QObject(parent), m_onKeyUp(std::move(onKeyUp))
    {
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyRelease)
            m_onKeyUp(static_cast<QKeyEvent*>(event)->key());
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(int)> m_onKeyUp;
};

} // namespace

void TMain::setupSearchBar()
{
    Hledani->installEventFilter(new KeyUpFilter(Hledani, [this](int key) { HledaniKeyUp(key); }));
    connect(autoSearch, &QCheckBox::clicked, this, &TMain::autoSearchClick);
    connect(hledat_dleButtons, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            hledat_dleClick();
    });
    connect(VyberSkupinu, &QComboBox::activated, this, &TMain::VyberSkupinuChange);
}

void TMain::HledaniKeyUp(int key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // A delayed search that is already pending still runs.
        Najdi->click();
        return;
    }
    if (autoSearch->isChecked())
        Timer1->start();
    if (key == Qt::Key_Escape)
        Hledani->clear();
}

void TMain::Timer1Timer()
{
    Timer1->stop();
    Najdi->click();
}

void TMain::autoSearchClick()
{
    if (autoSearch->isChecked() && !Hledani->text().isEmpty())
        Timer1->start();
}

void TMain::hledat_dleClick()
{
    Najdi->click();
}

void TMain::VyberSkupinuChange()
{
    Najdi->click();
}

void TMain::NajdiClick()
{
    Guarded([this] { search(); });
}

SearchBar TMain::searchBar()
{
    return SearchBar(
        {this, Hledani, hledat_dleButtons, VyberSkupinu, Hledatbezohledunadiakritiku1, pocet, gridParts()});
}

GridParts TMain::gridParts()
{
    return {DBGrid1, ADOQuery1, ADOQuery2, &Sort};
}

void TMain::search()
{
    searchBar().search();
}

void TMain::DBGrid1TitleClick(const QString& fieldName)
{
    Guarded([this, &fieldName] { sortByTitle(fieldName); });
}

void TMain::sortByTitle(const QString& fieldName)
{
    searchBar().sortByTitle(fieldName);
}

void TMain::LoadLayout()
{
    ::LoadLayout(gridParts());
    RestoreWindowPlace(this, [this](const char* key, int current) {
        return IniReadInt(IniAccess(SettingsPath, 0, QStringLiteral("POZICE"), QLatin1String(key)), current);
    });
}

void TMain::SaveLayout()
{
    // A file opened for reading keeps the layout it has (the user was told at opening that
    // nothing is saved); the window's place is still remembered.
    if (!m_readOnly)
        ::SaveLayout(gridParts());
    StoreWindowPlace(this, [this](const char* key, int value) {
        IniAccess(SettingsPath, 1, QStringLiteral("POZICE"), QLatin1String(key), QString::number(value));
    });
}
