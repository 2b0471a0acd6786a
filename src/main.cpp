#include "app/AppServices.h"
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/TMain.h"
#include "app/UserPlaces.h"
#include "ui/Guard.h"
#include "ui/MessageDialog.h"

#include <QTimer>

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
    app::ChooseDataPlaces();
    if (request.userData) {
        QString why;
        if (!app::EnterUserDataFolder(&why)) {
            ShowMessageDialogOver(nullptr, why, 2, 0);
            return 1;
        }
    }
    app::Context context;
    TMain window(&context);
    if (!window.started())
        return 1;
    window.show();
    // Ends the run through "Konec" as soon as the window is up: a check that an installed
    // program starts and finds its places.
    if (qEnvironmentVariable("ZVONISTY_EXIT_AFTER_START") == QLatin1String("1"))
        QTimer::singleShot(0, &window, &TMain::Konec1Click);
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
