#include "app/Application.h"

#include "ui/MessageDialog.h"
#include "db/Failure.h"

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
    } catch (const Failure& failure) {
        ShowErrorReport(failure.message());
    } catch (const std::exception& error) {
        ShowErrorReport(QString::fromUtf8(error.what()));
    } catch (...) {
        ShowErrorReport(QStringLiteral("Neznámá chyba."));
    }
    return false;
}
