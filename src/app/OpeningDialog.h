#pragma once

#include "db/engine/OpeningProgress.h"

#include <QDialog>
#include <QElapsedTimer>

#include <memory>

class QLabel;
class QProgressBar;

// The small window shown while the opening of the directory file does something slow, in the
// style of the upgrade's progress window: what is being done, the seconds it has taken so far,
// and a bar that counts the slow steps.
class TDialogOtevirani : public QDialog
{
    Q_OBJECT
public:
    explicit TDialogOtevirani(QWidget* parent = nullptr);
    void showStep(const db::OpeningStep& step);
    void showElapsed(qint64 ms);

    QLabel* Popis = nullptr;
    QLabel* Uplynulo = nullptr;
    QProgressBar* ProgressBarCelk = nullptr;
};

// While it lives, the opening's slow steps are shown: the window appears only once the opening
// has taken longer than `showAfterMs`, so a quick opening never flashes it, and it is closed
// when the guard ends, whether the opening succeeded or failed.
class OpeningProgressWindow
{
public:
    explicit OpeningProgressWindow(QWidget* owner, int showAfterMs = DefaultDelay());
    ~OpeningProgressWindow();
    OpeningProgressWindow(const OpeningProgressWindow&) = delete;
    OpeningProgressWindow& operator=(const OpeningProgressWindow&) = delete;

    // How long an opening runs before its window appears (tests show it at once).
    static int DefaultDelay();
    static void SetDefaultDelay(int ms);

private:
    void report(const db::OpeningStep& step);
    void pump();

    QWidget* m_owner;
    int m_showAfterMs;
    QElapsedTimer m_clock;     // since the opening started
    QElapsedTimer m_sincePump; // since the window last painted
    db::OpeningStep m_step;
    std::unique_ptr<TDialogOtevirani> m_window;
};
