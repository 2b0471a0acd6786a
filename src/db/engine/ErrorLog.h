#pragma once

#include <QString>

// The folder Error.log lives in, with a trailing slash; by default the executable's.
void SetErrorLogDir(const QString& dir);

// The text as the log keeps it: a long statement cut to its first few kilobytes, with a note
// of its full length.
QString LoggedText(const QString& text);

// Appends one line "date time: text" (code page 1250, CR LF) to Error.log.
// Never throws: false when the line could not be written, with the reason in `why`.
bool WriteErrorLog(const QString& text, QString* why = nullptr);

// The full path of Error.log.
QString ErrorLogPath();

// The local date and time as the log line shows them ("8.12.2026 3:34:35").
QString LogTimestamp();
