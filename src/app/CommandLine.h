#pragma once

#include <QStringList>

// What the command line asks for before any window exists.
struct CommandLineRequest
{
    enum class Action { Run, Exit };
    Action action = Action::Run;
    int exitCode = 0;
    // --user-data: the per-user data folder is the working directory.
    bool userData = false;
};

// Handles --help, --version, --create-database FILE, --convert OLD NEW, --pdf FILE, --import-csv FILE,
// --export-csv FILE [--cp1250] and --user-data; prints to the standard streams.
CommandLineRequest HandleCommandLine(const QStringList& arguments);
