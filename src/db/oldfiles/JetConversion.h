#pragma once

#include "db/oldfiles/JetFile.h"

#include <QList>
#include <QString>

#include <functional>

// Bringing a directory file of the earlier Windows versions into this program's engine. The
// old file is read by the reader, a program of its own (src/jetreader/) started for each file;
// the result counts only when that process ended cleanly, said nothing on its error output, read
// as many rows as every table says it has, and the new file shows the same rows and text again.
// The old file is never written to.
namespace db {

// How long the reading process may take for a file of `bytes` before it counts as hung.
int OldFileReadLimitMs(qint64 bytes);

// Reads the Jet file into a new file at `outPath`, which appears only whole, flushed to the disk,
// and never replaces a file that exists. The file is made in a folder of the conversion's own
// beside it, so no file of another is ever written over or removed. `waiting` is called now and
// then while the reading process runs (to keep a window painted). On failure: false and a Czech
// reason.
bool ConvertJetFile(const QString& jetPath, const QString& outPath, QList<JetTableSummary>* tables,
                    QString* error, const std::function<void()>& waiting = {});

// The name the original keeps beside the converted file: "Zvonisty-puvodni.mdb" for
// "Zvonisty.mdb", with a number added when that name is taken by another file.
QString BackupNameFor(const QString& path, int attempt);
// The backup name the next conversion in place will use.
QString FreeBackupName(const QString& path);

// Converts the Jet file at `path` in place: into a folder of its own beside it, where it is checked,
// then the original is kept under the backup name (never over an existing file) and the new
// file takes the original's name in one step. Killed at any moment, `path` is either the
// original or the whole new file. On failure the original stays where it was, unchanged.
bool ConvertJetFileInPlace(const QString& path, QString* backupPath, QList<JetTableSummary>* tables,
                           QString* error, const std::function<void()>& waiting = {});

} // namespace db
