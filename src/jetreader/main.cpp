// The reader of the earlier Windows versions' directory files: libmdb runs here, apart from the
// program, which limits its time and counts every word on its error output as damage. The
// standard output carries the summary of what was read or the Czech reason.
#include "db/oldfiles/JetFile.h"

#include <QFile>
#include <QTextStream>

#include <csignal>
#include <sys/prctl.h>

int main(int argc, char** argv)
{
    // Ends with the program that asked, wherever it is.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    QTextStream out(stdout);
    if (argc != 3) {
        out << QStringLiteral("Použití: zvonisty-jet STARY NOVY. Čte soubor seznamu starší verze do "
                              "nového souboru; spouští ho program Zvonisty.")
            << Qt::endl;
        return 2;
    }
    QList<db::JetTableSummary> tables;
    QString why;
    if (!db::CopyJetTables(QFile::decodeName(argv[1]), QFile::decodeName(argv[2]), &tables, &why)) {
        out << why << Qt::endl;
        return 1;
    }
    out << db::FormatJetSummary(tables) << Qt::endl;
    return 0;
}
