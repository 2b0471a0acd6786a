#pragma once

#include <QByteArray>
#include <QString>

// The one way the program writes a whole file (settings, cards, exports): the bytes go to a
// temporary file beside it, every write is checked, the data is synced and only then renamed
// over the old file. On any failure the old file stays whole and `why` says what went wrong
// (in Czech).
bool SafeWriteFile(const QString& path, const QByteArray& data, QString* why = nullptr);
