// What the main grid shows: search and group filter, title clicks, and the column layout.
#include "app/TMain.h"

#include "app/IniFile.h"
#include "ui/Guard.h"
#include "view/SearchBar.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include <algorithm>
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
    // Whatever has the focus, the next search is typed over the last one.
    auto* find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    connect(find, &QShortcut::activated, this, [this] {
        Hledani->setFocus(Qt::ShortcutFocusReason);
        Hledani->selectAll();
    });
}

void TMain::layOutSearchBar()
{
    constexpr int left = 8;
    constexpr int top = 4;
    constexpr int gap = 6;
    // The search box under its label and "auto".
    const QSize label = HledaniLabel->sizeHint();
    const QSize check = autoSearch->sizeHint();
    const int row = qMax(label.height(), check.height());
    const int boxWidth = qMax(121, label.width() + gap + check.width());
    HledaniLabel->setGeometry(left, top, label.width(), row);
    autoSearch->setGeometry(left + boxWidth - check.width(), top, check.width(), row);
    Hledani->setGeometry(left, top + row, boxWidth, Hledani->sizeHint().height());

    hledat_dle->layout()->setContentsMargins(gap, 0, gap, 2);
    hledat_dle->layout()->setSpacing(0);
    static_cast<QGridLayout*>(hledat_dle->layout())->setHorizontalSpacing(gap);
    hledat_dle->setGeometry(QRect(QPoint(Hledani->geometry().right() + gap, 0), hledat_dle->sizeHint()));

    // The group list under its label, the save picture beside it, the count at the right edge.
    const int groupLeft = hledat_dle->geometry().right() + gap;
    const QSize groupLabel = SkupinaLabel->sizeHint();
    SkupinaLabel->setGeometry(groupLeft, top, groupLabel.width(), row);
    VyberSkupinu->setGeometry(groupLeft, top + row, qMax(115, groupLabel.width()),
                              VyberSkupinu->sizeHint().height());
    Image1->setGeometry(VyberSkupinu->geometry().right() + 2, top + row - 6, 34, 34);
    const QFontMetrics digits(pocet->font());
    pocet->resize(digits.horizontalAdvance(QStringLiteral("0000000")) + 4, row);
    // Never over the picture: the bar is at least as wide as all of it.
    const int narrowest = Image1->geometry().right() + 1 + gap + pocet->width() + 10;
    DolniLista->setMinimumWidth(narrowest);
    pocet->move(qMax(narrowest, DolniLista->width()) - pocet->width() - 10, top);

    const int bottom = std::max({Hledani->geometry().bottom(), hledat_dle->geometry().bottom(),
                                 VyberSkupinu->geometry().bottom(), Image1->geometry().bottom()});
    DolniLista->setFixedHeight(qMax(53, bottom + 2));
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
    return {DBGrid1, ADOQuery1, m_directory.get(), &Sort};
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
        return IniReadInt(IniAccess(settingsPath(), 0, QStringLiteral("POZICE"), QLatin1String(key)),
                          current);
    });
}

void TMain::SaveLayout()
{
    // A file opened for reading keeps the layout it has (the user was told at opening that
    // nothing is saved); the window's place is still remembered.
    if (!m_readOnly)
        ::SaveLayout(gridParts());
    StoreWindowPlace(this, [this](const char* key, int value) {
        IniAccess(settingsPath(), 1, QStringLiteral("POZICE"), QLatin1String(key), QString::number(value));
    });
}
