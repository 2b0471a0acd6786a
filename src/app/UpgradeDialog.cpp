#include "app/UpgradeDialog.h"

#include "db/contacts/Upgrade.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

#include <memory>

QVBoxLayout* ProgressPanelLayout(QDialog* window, const QString& caption)
{
    auto* outer = new QVBoxLayout(window);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* panel = new QFrame(window);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    outer->addWidget(panel);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(5, 4, 5, 4);
    layout->setSpacing(3);
    auto* label = new QLabel(caption, panel);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    layout->addWidget(label);
    return layout;
}

void CentreOnScreen(QWidget* window)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect r = screen->geometry();
        window->move(r.x() + (r.width() - window->width()) / 2, r.y() + (r.height() - window->height()) / 2);
    }
}

TDialogUprStruct::TDialogUprStruct(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TDialogUprStruct"));
    setFixedSize(263, 70);
    QVBoxLayout* layout = ProgressPanelLayout(this, QStringLiteral("Probíhá úprava struktur:"));
    ProgressBarAkt = new QProgressBar(this);
    ProgressBarAkt->setObjectName(QStringLiteral("ProgressBarAkt"));
    ProgressBarCelk = new QProgressBar(this);
    ProgressBarCelk->setObjectName(QStringLiteral("ProgressBarCelk"));
    for (QProgressBar* bar : {ProgressBarAkt, ProgressBarCelk}) {
        bar->setFixedSize(252, 17);
        bar->setTextVisible(false);
        bar->setRange(0, 1);
        bar->setValue(0);
        layout->addWidget(bar);
    }
    CentreOnScreen(this);
}

bool UpgradeWithProgress(int version, db::Query* work, QWidget* owner, QString* error)
{
    auto progress = std::make_unique<TDialogUprStruct>(owner);
    // The bars are set twice: the current one full at the start, the overall one at the end.
    auto show = [&](int done, int total) {
        if (done == 0) {
            progress->show();
            progress->ProgressBarAkt->setValue(1);
            QApplication::processEvents();
        }
        if (done == total) {
            progress->ProgressBarCelk->setValue(1);
            QApplication::processEvents();
        }
    };
    const bool upgraded = UpgradeDatabase(version, work, show, error);
    progress->close();
    return upgraded;
}
