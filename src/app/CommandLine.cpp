#include "app/CommandLine.h"

#include "app/CsvCommandLine.h"
#include "app/PdfCommandLine.h"
#include "app/SyncCommandLine.h"
#include "app/WorkingFile.h"
#include "db/engine/Connection.h"
#include "db/oldfiles/JetConversion.h"
#include "formats/InputFile.h"

#include "Version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
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

// A path of hundreds of characters would bury the message; its beginning and end tell which file it is.
constexpr int kLongestShownPath = 200;

QString ShownPath(const QString& path)
{
    const QString native = QDir::toNativeSeparators(path);
    if (native.size() <= kLongestShownPath)
        return native;
    qsizetype head = kLongestShownPath / 2;
    qsizetype tail = kLongestShownPath / 2 - 1;
    if (native.at(head - 1).isHighSurrogate())
        --head;
    if (native.at(native.size() - tail).isLowSurrogate())
        --tail;
    return native.left(head) + QChar(0x2026) + native.right(tail);
}

// A message from elsewhere names the paths in full.
QString WithShortPaths(QString text, const QStringList& paths)
{
    for (const QString& path : paths)
        if (path.size() > kLongestShownPath)
            text.replace(QDir::toNativeSeparators(path), ShownPath(path));
    return text;
}

int Convert(const QString& from, const QString& to, QTextStream& out, QTextStream& err)
{
    // The reading process is started through the toolkit, which wants an application object.
    const QCoreApplication application(CommandLineArgc(), CommandLineArgv());
    const QString refusal = QStringLiteral("Soubor %1 nelze převést: ").arg(ShownPath(from));
    // A pipe or a device would never end; a folder is no file to read.
    if (const QString what = exchange::NotRegularFileReason(from); !what.isEmpty()) {
        err << refusal << what << QLatin1Char('.') << Qt::endl;
        return 1;
    }
    if (!QFileInfo(from).isFile()) {
        err << refusal << QStringLiteral("soubor nebyl nalezen.") << Qt::endl;
        return 1;
    }
    if (!db::IsJetFile(from)) {
        err << refusal << QStringLiteral("není to soubor starší verze programu.") << Qt::endl;
        return 1;
    }
    QList<db::JetTableSummary> tables;
    QString why;
    if (!db::ConvertJetFile(from, to, &tables, &why)) {
        err << refusal << WithShortPaths(why, {from, to}) << Qt::endl;
        return 1;
    }
    out << QStringLiteral("Soubor %1 byl převeden do %2: kontaktů %3, doplňujících poznámek %4.")
               .arg(ShownPath(from), ShownPath(to))
               .arg(db::JetRowsOf(tables, QStringLiteral("zvonisty")))
               .arg(db::JetRowsOf(tables, QStringLiteral("poznamky")))
        << Qt::endl;
    return 0;
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
        QStringLiteral(
            "Pracuje ve složce dat uživatele; při prvním spuštění v ní vytvoří prázdný soubor seznamu."));
    const QCommandLineOption convert(
        QStringLiteral("convert"),
        QStringLiteral(
            "Převede soubor seznamu starší verze programu (STARY) do nového souboru NOVY a skončí."),
        QStringLiteral("STARY> <NOVY"));
    parser.addOption(create);
    parser.addOption(userData);
    const QCommandLineOption sync(QStringLiteral("sync"),
                                  QStringLiteral("Jednou synchronizuje seznam se serverem podle uloženého "
                                                 "nastavení, bez okna, a skončí."));
    const QCommandLineOption syncUrl(QStringLiteral("sync-url"),
                                     QStringLiteral("Adresa adresáře na serveru místo uložené (s --sync)."),
                                     QStringLiteral("adresa"));
    const QCommandLineOption forceDelete(
        QStringLiteral("force-delete"),
        QStringLiteral("S --sync smaže i tehdy, když byla jedna strana od poslední synchronizace celá "
                       "vyprázdněna."));
    parser.addOption(convert);
    parser.addOption(sync);
    parser.addOption(syncUrl);
    parser.addOption(forceDelete);
    const QCommandLineOption pdf(QStringLiteral("pdf"),
                                 QStringLiteral("Uloží celý seznam do souboru PDF, bez okna, a skončí."),
                                 QStringLiteral("soubor"));
    parser.addOption(pdf);
    const QCommandLineOption importCsv(
        QStringLiteral("import-csv"),
        QStringLiteral(
            "Přidá kontakty ze souboru CSV s rozpoznaným nebo uloženým přiřazením sloupců, bez okna, "
            "a skončí."),
        QStringLiteral("soubor"));
    const QCommandLineOption exportCsv(QStringLiteral("export-csv"),
                                       QStringLiteral("Uloží celý seznam do souboru CSV (UTF-8, čárka), bez "
                                                      "okna, a skončí."),
                                       QStringLiteral("soubor"));
    const QCommandLineOption cp1250(
        QStringLiteral("cp1250"),
        QStringLiteral("S --export-csv zapíše kódování windows-1250 se středníkem."));
    parser.addOption(importCsv);
    parser.addOption(exportCsv);
    parser.addOption(cp1250);

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
        out << HelpText(
            program.isEmpty() ? QStringLiteral("zvonisty") : program,
            {help, version, create, convert, sync, syncUrl, forceDelete, pdf, importCsv, exportCsv, cp1250});
        return {CommandLineRequest::Action::Exit, 0};
    }
    if (parser.isSet(version)) {
        out << ZV_FILE_VERSION << Qt::endl;
        return {CommandLineRequest::Action::Exit, 0};
    }
    // Without --sync these would be ignored and the window would start, as if they had been heeded.
    for (const QCommandLineOption& syncOnly : {syncUrl, forceDelete})
        if (parser.isSet(syncOnly) && !parser.isSet(sync)) {
            err << QStringLiteral("Volba --%1 platí jen spolu s volbou --sync.")
                       .arg(syncOnly.names().constFirst())
                << Qt::endl;
            return {CommandLineRequest::Action::Exit, 2};
        }
    if (parser.isSet(cp1250) && !parser.isSet(exportCsv)) {
        err << QStringLiteral("Volba --cp1250 platí jen spolu s volbou --export-csv.") << Qt::endl;
        return {CommandLineRequest::Action::Exit, 2};
    }
    if (parser.isSet(create)) {
        QString error;
        if (!db::CreateDirectoryDatabase(parser.value(create), &error)) {
            err << WithShortPaths(error, {parser.value(create)}) << Qt::endl;
            return {CommandLineRequest::Action::Exit, 1};
        }
        return {CommandLineRequest::Action::Exit, 0};
    }
    if (parser.isSet(convert)) {
        const QStringList rest = parser.positionalArguments();
        if (rest.size() != 1) {
            err << QStringLiteral("Volba --convert chce dva soubory: starý a nový.") << Qt::endl;
            return {CommandLineRequest::Action::Exit, 2};
        }
        return {CommandLineRequest::Action::Exit, Convert(parser.value(convert), rest[0], out, err)};
    }
    if (parser.isSet(sync))
        return {CommandLineRequest::Action::Exit,
                RunSyncCommand(parser.value(syncUrl), parser.isSet(forceDelete))};
    if (parser.isSet(pdf))
        return {CommandLineRequest::Action::Exit, RunPdfCommand(parser.value(pdf))};
    if (parser.isSet(importCsv) || parser.isSet(exportCsv))
        return {CommandLineRequest::Action::Exit,
                RunCsvCommand(parser.value(importCsv), parser.value(exportCsv), parser.isSet(cp1250))};
    CommandLineRequest run;
    run.userData = parser.isSet(userData);
    return run;
}
