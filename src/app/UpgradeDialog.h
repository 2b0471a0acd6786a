#pragma once

#include <QDialog>

class QProgressBar;
class QVBoxLayout;

namespace db {
class Query;
}

// The look the program's progress windows share: a raised panel filling the window with a bold
// caption at its top. Gives the panel's layout for what follows the caption.
QVBoxLayout* ProgressPanelLayout(QDialog* window, const QString& caption);
// Puts the window in the middle of the screen.
void CentreOnScreen(QWidget* window);

// The small progress window shown while the structure of the directory file is upgraded.
class TDialogUprStruct : public QDialog
{
    Q_OBJECT
public:
    explicit TDialogUprStruct(QWidget* parent = nullptr);
    QProgressBar* ProgressBarAkt = nullptr;
    QProgressBar* ProgressBarCelk = nullptr;
};

// Upgrades the open directory from `version` on the work query with the progress window
// shown. False, with the text to show in `error`, when the file was left as it was.
bool UpgradeWithProgress(int version, db::Query* work, QWidget* owner, QString* error);
