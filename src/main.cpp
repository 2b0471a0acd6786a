#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/TMain.h"
#include "ui/Guard.h"

#include <exception>

namespace {

int Run(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLineRequest request = HandleCommandLine(arguments);
    if (request.action == CommandLineRequest::Action::Exit)
        return request.exitCode;

    Application application(argc, argv);
    TMain window;
    if (!window.started())
        return 1;
    window.show();
    return application.exec();
}

} // namespace

int main(int argc, char** argv)
{
    // The last resort: a failure that escaped every handler ends the program with a word, not an abort.
    try {
        return Run(argc, argv);
    } catch (...) {
        ReportEscapedFailure(std::current_exception());
    }
    return 1;
}
