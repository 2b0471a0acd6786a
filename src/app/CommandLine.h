#pragma once

#include <QStringList>

// What the command line asks for before any window exists.
struct CommandLineRequest
{
    enum class Action { Run, Exit };
    Action action = Action::Run;
    int exitCode = 0;
};

// Handles --help, --version and --create-database FILE; prints to the standard streams.
CommandLineRequest HandleCommandLine(const QStringList& arguments);
