#pragma once

#include <QString>

#include "db/Failure.h"

// A failure to write the error log itself; it is passed on to the caller.
class FileError : public Failure
{
public:
    using Failure::Failure;
};

// Appends one line "date time: text" (code page 1250, CR LF) to Error.log beside the executable.
// Throws FileError when the log can be neither opened for appending nor created.
void WriteErrorLog(const QString& text);

// The full path of Error.log.
QString ErrorLogPath();

// The local date and time as the log line shows them ("8.12.2026 3:34:35").
QString LogTimestamp();
