#include "app/CommandLine.h"

#include "db/Connection.h"

#include "Version.h"

#include <QCommandLineParser>
#include <QTextStream>

CommandLineRequest HandleCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Zvonisty – telefonní seznam."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Vypíše tuto nápovědu."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Vypíše verzi programu."));
    const QCommandLineOption create(QStringLiteral("create-database"),
                                    QStringLiteral("Vytvoří nový prázdný soubor seznamu a skončí."),
                                    QStringLiteral("FILE"));
    parser.addOption(help);
    parser.addOption(version);
    const QCommandLineOption userData(
        QStringLiteral("user-data"),
        QStringLiteral("Pracuje ve složce dat uživatele; při prvním spuštění v ní vytvoří prázdný soubor seznamu."));
    parser.addOption(create);
    parser.addOption(userData);

    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!parser.parse(arguments)) {
        err << parser.errorText() << Qt::endl;
        return {CommandLineRequest::Action::Exit, 2};
    }
    if (parser.isSet(help)) {
        out << parser.helpText();
        return {CommandLineRequest::Action::Exit, 0};
    }
    if (parser.isSet(version)) {
        out << ZV_FILE_VERSION << Qt::endl;
        return {CommandLineRequest::Action::Exit, 0};
    }
    if (parser.isSet(create)) {
        QString error;
        if (!db::CreateDirectoryDatabase(parser.value(create), &error)) {
            err << error << Qt::endl;
            return {CommandLineRequest::Action::Exit, 1};
        }
        return {CommandLineRequest::Action::Exit, 0};
    }
    CommandLineRequest run;
    run.userData = parser.isSet(userData);
    return run;
}
