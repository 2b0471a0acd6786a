#include "app/OpeningDialog.h"

#include "app/UpgradeDialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace {

// How often a long statement lets the window paint.
constexpr int kPaintIntervalMs = 50;

int& Delay()
{
    static int ms = 300;
    return ms;
}

} // namespace

TDialogOtevirani::TDialogOtevirani(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TDialogOtevirani"));
    setWindowTitle(QStringLiteral("Otevírání seznamu"));
    QVBoxLayout* layout = ProgressPanelLayout(this, QStringLiteral("Probíhá otevírání seznamu:"));
    Popis = new QLabel(this);
    Popis->setObjectName(QStringLiteral("Popis"));
    // The seconds keep counting during a long statement: the window is alive, not hung.
    Uplynulo = new QLabel(this);
    Uplynulo->setObjectName(QStringLiteral("Uplynulo"));
    Uplynulo->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* line = new QHBoxLayout;
    line->addWidget(Popis, 1);
    line->addWidget(Uplynulo);
    layout->addLayout(line);
    ProgressBarCelk = new QProgressBar(this);
    ProgressBarCelk->setObjectName(QStringLiteral("ProgressBarCelk"));
    ProgressBarCelk->setFixedHeight(17);
    ProgressBarCelk->setTextVisible(false);
    ProgressBarCelk->setRange(0, 1);
    ProgressBarCelk->setValue(0);
    layout->addWidget(ProgressBarCelk);
    setFixedSize(300, sizeHint().height());
    CentreOnScreen(this);
}

void TDialogOtevirani::showStep(const db::OpeningStep& step)
{
    Popis->setText(step.total > 1
                       ? QStringLiteral("%1 (%2 z %3)").arg(step.text).arg(step.done + 1).arg(step.total)
                       : step.text);
    ProgressBarCelk->setRange(0, qMax(1, step.total));
    ProgressBarCelk->setValue(qBound(0, step.done, qMax(1, step.total)));
}

void TDialogOtevirani::showElapsed(qint64 ms)
{
    Uplynulo->setText(QStringLiteral("%1 s").arg(ms / 1000));
}

int OpeningProgressWindow::DefaultDelay()
{
    return Delay();
}

void OpeningProgressWindow::SetDefaultDelay(int ms)
{
    Delay() = ms;
}

OpeningProgressWindow::OpeningProgressWindow(QWidget* owner, int showAfterMs)
    : m_owner(owner), m_showAfterMs(showAfterMs)
{
    m_clock.start();
    db::SetOpeningProgress([this](const db::OpeningStep& step) { report(step); });
}

OpeningProgressWindow::~OpeningProgressWindow()
{
    db::SetOpeningProgress(nullptr);
    if (m_window)
        m_window->close();
}

void OpeningProgressWindow::report(const db::OpeningStep& step)
{
    if (!step.working)
        m_step = step;
    if (!m_window) {
        if (m_clock.elapsed() < m_showAfterMs)
            return;
        m_window = std::make_unique<TDialogOtevirani>(m_owner);
        m_window->showStep(m_step);
        m_window->showElapsed(m_clock.elapsed());
        m_window->show();
        m_window->raise();
        pump();
        return;
    }
    if (!step.working) {
        m_window->showStep(m_step);
        pump();
    } else if (m_sincePump.elapsed() >= kPaintIntervalMs) {
        pump();
    }
}

void OpeningProgressWindow::pump()
{
    m_window->showElapsed(m_clock.elapsed());
    // Input waits: the opening runs inside the engine and nothing may reach the directory.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    m_sincePump.start();
}
