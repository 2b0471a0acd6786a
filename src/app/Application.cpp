#include "app/Application.h"

#include "ui/Guard.h"
#include "ui/MessageDialog.h"

#include "Version.h"

#include <exception>

Application::Application(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Zvonisty"));
    setDesktopFileName(QStringLiteral(ZV_DESKTOP_ID));
    InstallDialogFailureReporter();
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportEscapedFailure(std::current_exception());
    }
    return false;
}
