#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/TMain.h"

int main(int argc, char** argv)
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
