#pragma once

#include "info/InfoWindow.h"

class QFrame;
class QLabel;
class QPushButton;
class QTimer;

// The about window: the program's picture with its name, years and web link, and the version.
// It fades in when shown and out when it closes.
class Tabout : public info::InfoWindow
{
    Q_OBJECT
public:
    // `site`: the address the link shows and opens.
    Tabout(QWidget* owner, const QString& site);

    QLabel* Image1 = nullptr;
    QLabel* rozmeziFCEstin = nullptr;
    QLabel* rozmeziFCE = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* LabelWWW = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* verzion = nullptr;
    QPushButton* OK = nullptr;
    QTimer* Timer1 = nullptr;

    // The pause between two steps of a fade; tests shorten it.
    static void setFadeStepMs(int ms);

public Q_SLOTS:
    void Timer1Timer();
    void LabelWWWMouseEnter();
    void LabelWWWMouseLeave();
    void LabelWWWClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int result) override;

private:
    void fadeTo(int from, int to, int step);
    QString m_site;
    bool m_closing = false;
};

// The picture of the about window, 217 × 154 pixels.
QPixmap AboutPicture();
