#pragma once

#include "info/InfoWindow.h"

#include <QStringList>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The help window: six lines on how the main commands are reached.
class TNapoveda : public info::InfoWindow
{
    Q_OBJECT
public:
    explicit TNapoveda(QWidget* owner);
    static QStringList HelpLines();

    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* Zavrit = nullptr;
};

// The change-log window: a banner and one entry per version, newest first.
class TZmenyProgramu : public info::InfoWindow
{
    Q_OBJECT
public:
    explicit TZmenyProgramu(QWidget* owner);
    static QStringList ChangeLogLines();

    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* OK = nullptr;

protected:
    // The window sees Esc before its controls.
    void keyPressEvent(QKeyEvent* event) override;
};

// The data-structure window: the columns the text-file import expects.
class TstrukturaDat : public info::InfoWindow
{
    Q_OBJECT
public:
    explicit TstrukturaDat(QWidget* owner);
    static QStringList StructureLines();

    QPlainTextEdit* Memo1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label1 = nullptr;
    QFrame* Bevel1 = nullptr;
    QPushButton* OK = nullptr;
};
