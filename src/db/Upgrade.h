#pragma once

#include <QDialog>
#include <QStringList>

class QProgressBar;

namespace db {
class Query;
}

// The structure version of the open directory: 1 when the version table cannot be read,
// otherwise its DB value (0 for an empty table or a null). Leaves `query` holding the result.
int ReadStructureVersion(db::Query* query);

// The statements that bring a file of the given version to the current structure, in order.
QStringList UpgradeStatements(int version);

// Runs every upgrade step above `version` on the work query, showing the progress window.
// A failing statement is reported and logged, and the upgrade goes on.
bool UpgradeDatabase(int version, db::Query* work, QWidget* owner);

inline constexpr int kCurrentStructureVersion = 4;

// The small progress window shown while the structure is upgraded.
class TDialogUprStruct : public QDialog
{
    Q_OBJECT
public:
    explicit TDialogUprStruct(QWidget* parent = nullptr);
    QProgressBar* ProgressBarAkt = nullptr;
    QProgressBar* ProgressBarCelk = nullptr;
};
