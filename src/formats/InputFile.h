#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>

class QIODevice;

namespace exchange {

// Why a chosen input cannot be read as a file, as a Czech sentence naming it; empty for a
// regular file and for a path that does not exist (each command tells a missing file in its own
// words). A pipe would block the window for good and a device would never end, so both are
// refused before anything opens them.
QString SpecialInputRefusal(const QString& path);
// The same reason alone, for a sentence of the caller's: "není to obyčejný soubor, ale složka".
QString NotRegularFileReason(const QString& path);

// Hands the device's bytes to `take` a piece at a time up to the end, for a look at the whole
// file before its rows are read; false when the device could not be read through.
bool ReadInPieces(QIODevice& device, const std::function<void(QByteArrayView)>& take);

} // namespace exchange
