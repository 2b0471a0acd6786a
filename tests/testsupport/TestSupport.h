#pragma once

#include <QString>
#include <QTemporaryDir>

// Shared helpers of the test programs.
namespace testsupport {

// Reads a whole file as code page 1250 text.
QString ReadCp1250(const QString& path);
// Writes a text as code page 1250.
void WriteCp1250(const QString& path, const QString& text);

} // namespace testsupport
