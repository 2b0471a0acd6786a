#pragma once

#include <QString>

class QTextStream;

namespace db {
class Connection;
}

// The arguments of the application object of a run without the main window: the program's name
// alone, alive as long as the process.
int& CommandLineArgc();
char** CommandLineArgv();

// The directory file of the working directory as the commands of the command line write to it:
// a file of the earlier versions is converted in place and an older structure upgraded first,
// as the program's opening does, without a question. On failure `err` gets one Czech line
// starting with `failed`.
bool OpenWorkingFile(db::Connection& connection, const QString& failed, QTextStream& err);
