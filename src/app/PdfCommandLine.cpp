#include "app/PdfCommandLine.h"

#include "app/UserPlaces.h"
#include "app/WorkingFile.h"
#include "db/contacts/Directory.h"
#include "db/contacts/Query.h"
#include "db/engine/Connection.h"
#include "db/engine/Engine.h"
#include "db/engine/FailureReporter.h"
#include "db/oldfiles/JetConversion.h"
#include "print/DirectoryPrint.h"
#include "view/Layout.h"
#include "view/LayoutLogic.h"

#include <QDir>
#include <QGuiApplication>
#include <QTextStream>

int RunPdfCommand(const QString& path)
{
    // The fonts need the toolkit's graphical side, though nothing is shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QGuiApplication application(CommandLineArgc(), CommandLineArgv());
    QTextStream out(stdout);
    QTextStream err(stderr);
    app::ChooseDataPlaces();
    const QString failed =
        QStringLiteral("PDF %1 se nepodařilo uložit: ").arg(QDir::toNativeSeparators(path));

    // A directory without a stored layout is printed in the designed one, without a word.
    db::SetFailureReporter([](const QString&, bool) {});
    db::Connection connection;
    connection.setConnectionString(db::Connection::DefaultConnectionString());
    if (const QString source = connection.sourcePath(); !source.isEmpty() && db::IsJetFile(source)) {
        err << failed
            << QStringLiteral("seznam je ve formátu starší verze programu; otevřete jej nejprve v programu.")
            << Qt::endl;
        return 1;
    }
    print::PrintRequest request;
    db::Query rows(&connection);
    try {
        connection.open();
        db::Directory directory(&connection);
        const StoredLayout stored = ReadStoredLayout(directory);
        for (const QString& field : stored.order)
            request.layout.columns.append({field, PlainTitle(field), stored.widths.value(field, 100)});
        request.layout.sortedByName = stored.sortColumn == QLatin1String("jmeno");
        rows.setSearch(InitialGridSearch(stored.sortColumn, stored.direction));
        rows.open();
    } catch (const db::EngineError& error) {
        err << failed << QStringLiteral("seznam nelze otevřít: ") << error.message() << Qt::endl;
        return 1;
    }
    print::PrintOutcome outcome;
    QString why;
    if (!print::WritePdf(path, rows, request, {}, &outcome, &why)) {
        err << failed << why << Qt::endl;
        return 1;
    }
    out << QStringLiteral("Uloženo do PDF %1: kontaktů %2, stran %3.")
               .arg(QDir::toNativeSeparators(path))
               .arg(outcome.contacts)
               .arg(outcome.pages)
        << Qt::endl;
    return 0;
}
