#include "app/CommandLine.h"

#include "db/Connection.h"

#include "Version.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>

namespace {

// The help in Czech and with the program's own name: Qt's text names "<executable_name>"
// while no application object exists yet, and its headings are English.
QString HelpText(const QString& program, const QList<QCommandLineOption>& options)
{
    QStringList names;
    int widest = 0;
    for (const QCommandLineOption& option : options) {
        QStringList forms;
        for (const QString& name : option.names())
            forms << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        QString shown = forms.join(QStringLiteral(", "));
        if (!option.valueName().isEmpty())
            shown += QStringLiteral(" <") + option.valueName() + QLatin1Char('>');
        widest = qMax(widest, int(shown.size()));
        names << shown;
    }
    QString text = QStringLiteral("Použití: ") + program + QStringLiteral(" [volby]\n");
    text += QStringLiteral("Zvonisty – telefonní seznam.\n\nVolby:\n");
    for (int i = 0; i < options.size(); ++i)
        text += QStringLiteral("  ") + names[i].leftJustified(widest + 2) + options[i].description() +
                QLatin1Char('\n');
    return text;
}

} // namespace

CommandLineRequest HandleCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Vypíše tuto nápovědu."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Vypíše verzi programu."));
    const QCommandLineOption create(QStringLiteral("create-database"),
                                    QStringLiteral("Vytvoří nový prázdný soubor seznamu a skončí."),
                                    QStringLiteral("soubor"));
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
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty())
            err << QStringLiteral("Neznámá volba: ") << unknown.join(QStringLiteral(", ")) << Qt::endl;
        else
            err << QStringLiteral("Chybná volba: ") << parser.errorText() << Qt::endl;
        return {CommandLineRequest::Action::Exit, 2};
    }
    if (parser.isSet(help)) {
        const QString program = QFileInfo(arguments.value(0)).fileName();
        out << HelpText(program.isEmpty() ? QStringLiteral("zvonisty") : program, {help, version, create});
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
