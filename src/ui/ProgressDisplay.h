#pragma once

#include <QObject>
#include <QString>

class QFrame;
class QProgressBar;
class QPushButton;

// The progress of a long operation over the main window's grid: how far it has got,
// and a "Přerušit" button with which the user asks it to stop.
class ProgressDisplay
{
public:
    virtual ~ProgressDisplay() = default;

    // Shows the display at position 0 of `maximum` and forgets an earlier stop request. The
    // caption says what runs; the display adds how far of how much it has got.
    virtual void start(int maximum, const QString& caption) = 0;
    virtual void setPosition(int position) = 0;
    // The user pressed "Přerušit" since start().
    virtual bool stopRequested() const = 0;
    virtual void finish() = 0;
};

// The display made of a panel holding a progress bar, to which it adds the stop button.
class ProgressPanel : public QObject, public ProgressDisplay
{
    Q_OBJECT
public:
    ProgressPanel(QFrame* panel, QProgressBar* bar);

    void start(int maximum, const QString& caption) override;
    void setPosition(int position) override;
    bool stopRequested() const override { return m_stop; }
    void finish() override;

    QPushButton* stopButton() const { return m_button; }

private:
    QFrame* m_panel;
    QProgressBar* m_bar;
    QPushButton* m_button;
    QString m_caption;
    bool m_stop = false;
};
