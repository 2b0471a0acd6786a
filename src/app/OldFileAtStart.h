#pragma once

#include <QString>

class QWidget;

// A directory file of the earlier Windows versions found at start: converted into the current
// format when the user agrees, before the opening goes on as for any other file.
enum class OldFileAtStart { NotOld, Converted, Declined, Failed };

// `why` gets the reason of a failed conversion; the original is then left as it was. `done` gets
// the line that tells a finished one: what was converted and where the original is kept.
OldFileAtStart ConvertOldFileAtStart(QWidget* owner, const QString& path, QString* why, QString* done);
