#include "app/Application.h"

#include "ui/Guard.h"
#include "ui/MessageDialog.h"

#include "Version.h"

#include <QLibraryInfo>

#include <exception>

Application::Application(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral(ZV_APPLICATION_NAME));
    setDesktopFileName(QStringLiteral(ZV_DESKTOP_ID));
    InstallDialogFailureReporter();
    // Czech whatever the user's language: the program speaks nothing else. Without the
    // translations installed the toolkit's dialogs stay in English; nothing else changes.
    if (m_toolkitTexts.load(QStringLiteral("qtbase_cs"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(&m_toolkitTexts);
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
