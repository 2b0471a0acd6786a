#pragma once

#include <QFileDevice>
#include <QString>

// Why a file operation failed, in the program's language. The system's and the toolkit's own
// texts are English (or half translated); these sentences name no path, so a caller names the
// file once, in its own words. The engine's result codes are told by EngineErrorText (Engine.h),
// which uses these for the failures that come from the system.
namespace db {

// From the system's error number.
QString SystemErrorText(int err);
// From a failed file object: the toolkit keeps only its own text, from which the error number is
// found again; where it cannot be, the kind of failure is told.
QString FileErrorText(const QFileDevice& file);
QString FileErrorText(QFileDevice::FileError error, const QString& toolkitText);

} // namespace db
