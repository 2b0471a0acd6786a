#include "app/UpgradeDialog.h"

#include "db/Upgrade.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

#include <memory>

TDialogUprStruct::TDialogUprStruct(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TDialogUprStruct"));
    setFixedSize(263, 70);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    outer->addWidget(panel);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(5, 4, 5, 4);
    layout->setSpacing(3);
    auto* label = new QLabel(QStringLiteral("Probíhá úprava struktur:"), panel);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    layout->addWidget(label);
    ProgressBarAkt = new QProgressBar(panel);
    ProgressBarAkt->setObjectName(QStringLiteral("ProgressBarAkt"));
    ProgressBarCelk = new QProgressBar(panel);
    ProgressBarCelk->setObjectName(QStringLiteral("ProgressBarCelk"));
    for (QProgressBar* bar : {ProgressBarAkt, ProgressBarCelk}) {
        bar->setFixedSize(252, 17);
        bar->setTextVisible(false);
        bar->setRange(0, 1);
        bar->setValue(0);
        layout->addWidget(bar);
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect r = screen->geometry();
        move(r.x() + (r.width() - width()) / 2, r.y() + (r.height() - height()) / 2);
    }
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
