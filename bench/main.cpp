// Measures the program's own query path on a large directory against the same
// statements stepped through the raw sqlite3 API in the same run.
//
//   zvonisty_bench [number of contacts]      (default 100000)
#include "CsvFigure.h"
#include "PrintFigure.h"
#include "TimedRuns.h"
#include "app/AppContext.h"
#include "app/TMain.h"
#include "db/contacts/Query.h"
#include "db/contacts/QueryOps.h"
#include "db/contacts/Upgrade.h"
#include "db/engine/Connection.h"
#include "db/engine/Dialect.h"
#include "db/engine/Engine.h"
#include "db/engine/SearchText.h"
#include "db/oldfiles/JetConversion.h"
#include "db/search/SearchIndex.h"
#include "formats/TextCodec.h"
#include "sync/CardDavClient.h"
#include "sync/Synchronizer.h"
#include "testsupport/MainParts.h"
#include "testsupport/Radicale.h"
#include "ui/DBGrid.h"
#include "ui/FileDialog.h"
#include "ui/MessageDialog.h"
#include "view/LayoutLogic.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <functional>
#include <vector>

using testsupport::Parts;

namespace {

const char* const kFirst[] = {"Jan",      "Petr",  "Jiří",     "Pavel",   "Tomáš",  "Martin",
                              "Jaroslav", "Eva",   "Jana",     "Marie",   "Hana",   "Lenka",
                              "Věra",     "Alena", "Kateřina", "Lucie",   "Zdeněk", "Miroslav",
                              "Václav",   "Šárka", "Žaneta",   "Čestmír", "Řehoř",  "Ondřej"};
const char* const kLast[] = {"Novák",   "Svoboda", "Novotný",  "Dvořák",  "Černý", "Procházka", "Kučera",
                             "Veselý",  "Horák",   "Němec",    "Pokorný", "Marek", "Pospíšil",  "Hájek",
                             "Jelínek", "Král",    "Růžička",  "Beneš",   "Fiala", "Sedláček",  "Doležal",
                             "Zeman",   "Kolář",   "Navrátil", "Čermák",  "Šimek", "Chalupa",   "Žák"};
const char* const kOrg[] = {"Stavby Brno",  "Úřad města",     "Škola Na Výsluní", "Nemocnice",
                            "Pekárna Čech", "Doprava s.r.o.", "Zámečnictví",      "Knihovna"};
const char* const kGroups[] = {"new", "Rodina", "Práce", "Přátelé", "Škola"};

template <size_t N> QString Pick(const char* const (&list)[N], QRandomGenerator& rng)
{
    return QString::fromUtf8(list[rng.bounded(int(N))]);
}

// Numbers the filled directory does not hold (its numbers start with 6 or 7).
QString NewNumber(int i)
{
    return QStringLiteral("5%1 %2 %3")
        .arg(i / 1000000 % 100, 2, 10, QLatin1Char('0'))
        .arg(i / 1000 % 1000, 3, 10, QLatin1Char('0'))
        .arg(i % 1000, 3, 10, QLatin1Char('0'));
}

void Fill(sqlite3* handle, int count, bool newNumbers = false)
{
    QRandomGenerator rng(20261208);
    sqlite3_exec(handle, "begin", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(
        handle,
        "insert into zvonisty (telefon, jmeno, email, poznamka, datum, organizace, skupina, icq, skype) "
        "values (?, ?, ?, ?, '8.12.2026', ?, ?, ?, ?)",
        -1, &insert, nullptr);
    for (int i = 0; i < count; ++i) {
        const QString last = Pick(kLast, rng);
        const QString name = (i % 3 == 0 ? last.toUpper() : last) + QLatin1Char(' ') + Pick(kFirst, rng);
        const QString phone = newNumbers ? NewNumber(i)
                                         : QStringLiteral("%1 %2 %3")
                                               .arg(600 + rng.bounded(200))
                                               .arg(rng.bounded(1000), 3, 10, QLatin1Char('0'))
                                               .arg(rng.bounded(1000), 3, 10, QLatin1Char('0'));
        const QString values[] = {phone,
                                  name,
                                  QStringLiteral("osoba%1@example.cz").arg(i),
                                  i % 7 == 0 ? QStringLiteral("volat po 17:00") : QString(),
                                  Pick(kOrg, rng),
                                  Pick(kGroups, rng),
                                  QString::number(100000 + i),
                                  QStringLiteral("skype.%1").arg(i)};
        for (int c = 0; c < 8; ++c) {
            const QByteArray utf8 = values[c].toUtf8();
            sqlite3_bind_text(insert, c + 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        }
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(handle, "commit", nullptr, nullptr, nullptr);
}

double Median(std::function<void()> run, int times = 3)
{
    std::vector<double> ms;
    run(); // warm caches once
    for (int i = 0; i < times; ++i) {
        QElapsedTimer t;
        t.start();
        run();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// The same statement stepped through the raw API, every value read as text.
double RawMs(sqlite3* handle, const QString& statement, int* rows)
{
    const QByteArray text = db::TranslateStatement(statement).toUtf8();
    return Median([&] {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(handle, text.constData(), -1, &s, nullptr);
        int n = 0;
        const int columns = sqlite3_column_count(s);
        while (sqlite3_step(s) == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c) {
                sqlite3_column_text(s, c);
                sqlite3_column_bytes(s, c);
            }
            ++n;
        }
        sqlite3_finalize(s);
        *rows = n;
    });
}

struct Figure
{
    QString name;
    QString statement;
    double programMs;
    double rawMs;
    int rows;
    double limitMs;
    double maxRatio = 0; // 0: no bound on the ratio to the raw figure
    // Searched with accents ignored: the anchor runs with the engine's LIKE set so too.
    bool plain = false;
    // The rows the program found, where they are to be the anchor's (-1: not compared).
    int programRows = -1;
};

// An import or a merge: within 2 s and within 3 times its raw anchor (a merge within 1.3 times).
Figure ExchangeFigure(const QString& name, const QString& what, double programMs, double rawMs, int rows,
                      double maxRatio = 3)
{
    return Figure{name, what, programMs, rawMs, rows, 2000, maxRatio};
}

// Searches timed in a process of their own or at one moment, beside the same statements raw.
void AddSearches(QList<Figure>* figures, const QList<TimedRun>& runs)
{
    for (const TimedRun& r : runs)
        *figures << Figure{r.name, r.statement, r.programMs, 0, 0, 100, 0, false, r.rows};
}

// Peak resident memory of this process in MB.
double PeakMemoryMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

// Starts counting the peak resident memory again from what the process holds now.
void ResetPeakMemory()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

// Builds the directory in a process of its own, so that its memory is not counted.
int FillDirectory(const QString& path, int count)
{
    QString error;
    if (!db::CreateDirectoryDatabase(path, &error)) {
        QTextStream(stderr) << error << Qt::endl;
        return 1;
    }
    db::Connection setup;
    setup.setConnectionString(db::Connection::DefaultConnectionString());
    setup.open();
    db::Query work(&setup);
    for (const QString& s : UpgradeStatements(1)) {
        work.setSql(s);
        work.execSql();
    }
    Fill(setup.handle(), count);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() > 3 && args[1] == QLatin1String("--fill")) {
        QDir::setCurrent(args[2]);
        return FillDirectory(QDir(args[2]).filePath(QStringLiteral("Zvonisty.mdb")), args[3].toInt());
    }
    if (args.size() > 3 && args[1] == QLatin1String("--first-frame"))
        return RunFirstFrameSearches(args[2], args[3]);
    if (args.size() > 3 && args[1] == QLatin1String("--merge-into"))
        return RunMergeInto(args[2], args[3]);
    const int count = argc > 1 ? qMax(1, QString::fromLocal8Bit(argv[1]).toInt()) : 100000;
    // The groups of figures named after the count run alone (the searches always run): a change
    // to one of them is measured without waiting for the others.
    const QStringList only = args.mid(2);
    auto wanted = [&only](const char* group) {
        return only.isEmpty() || only.contains(QLatin1String(group));
    };
    QTextStream out(stdout);

    QTemporaryDir dir;
    if (qEnvironmentVariableIsSet("ZV_BENCH_KEEP")) {
        dir.setAutoRemove(false);
        out << "Directory kept in " << dir.path() << Qt::endl;
    }
    // The copies of the index kept at each close go with the directory, for this run and its helpers.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(dir.filePath(QStringLiteral("cache"))));
    {
        QElapsedTimer t;
        t.start();
        const int rc = QProcess::execute(application.applicationFilePath(),
                                         {QStringLiteral("--fill"), dir.path(), QString::number(count)});
        if (rc != 0)
            return 1;
        out << "Directory of " << count << " contacts built in " << t.elapsed() << " ms" << Qt::endl;
    }
    // Searches right after the first rows are shown, in a window of their own on the same
    // directory, opened and closed before this one.
    // ZV_BENCH_NO_FIRST_FRAME leaves them out, to time the start on a directory no window opened.
    // The first start on the new file has no copy of the index; the second finds the one its
    // close kept, as every start after the program's own clean close does.
    QList<TimedRun> firstFrame;
    if (!qEnvironmentVariableIsSet("ZV_BENCH_NO_FIRST_FRAME"))
        firstFrame << RunOnItsOwn({QStringLiteral("--first-frame"), dir.path(),
                                   QStringLiteral("first frame new file")})
                   << RunOnItsOwn(
                          {QStringLiteral("--first-frame"), dir.path(), QStringLiteral("first frame")});
    // Its settings go with it: the benchmark's window starts as on a new directory.
    for (const QString& ini : QDir(dir.path()).entryList({QStringLiteral("*.ini")}, QDir::Files))
        QFile::remove(dir.filePath(ini));
    QDir::setCurrent(dir.path());
    app::SetExecutableDir(dir.path());
    MessageDialogSeam::setTestMode(true);

    QList<Figure> figures;
    QElapsedTimer startClock;
    startClock.start();
    TMain window;
    if (!window.started())
        return 1;
    window.resize(800, 600);
    window.show();
    QCoreApplication::processEvents();
    Parts(window).DBGrid1->viewport()->repaint();
    const double startMs = double(startClock.nsecsElapsed()) / 1e6;
    sqlite3* handle = Parts(window).ADOConnection1->handle();

    // The search index reads the directory while the window is idle; the longest pause
    // between two events meanwhile is what a keystroke may wait.
    db::SearchIndex* index = db::SearchIndex::Of(Parts(window).ADOConnection1);
    double longestStepMs = 0;
    double nameReadyMs = -1;
    QElapsedTimer readClock;
    readClock.start();
    {
        QElapsedTimer gap;
        gap.start();
        QTimer tick;
        tick.setInterval(1);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longestStepMs = qMax(longestStepMs, double(gap.nsecsElapsed()) / 1e6);
            gap.restart();
        });
        tick.start();
        // When a search by name is first answered from memory, looked at every 50 ms.
        db::ContactSearch byName;
        byName.text = QStringLiteral("nov");
        byName.orderColumn = QStringLiteral("jmeno");
        QElapsedTimer sinceLook;
        sinceLook.start();
        std::vector<quint32> ids;
        while (index && !index->complete()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            if (nameReadyMs < 0 && sinceLook.elapsed() >= 50) {
                if (index->resolve(byName, &ids))
                    nameReadyMs = startMs + double(readClock.nsecsElapsed()) / 1e6;
                sinceLook.restart();
                gap.restart();
            }
        }
    }
    const double readMs = double(readClock.nsecsElapsed()) / 1e6;
    if (nameReadyMs < 0)
        nameReadyMs = startMs + readMs;

    auto measure = [&](const QString& name, const QString& statement, std::function<void()> programPath,
                       double limit) {
        const double programMs = Median([&] {
            programPath();
            // Until the grid can paint: its rows are known and one frame is drawn.
            Parts(window).DBGrid1->viewport()->repaint();
        });
        figures << Figure{
            name, statement, programMs, 0,
            0,    limit,     0,         Parts(window).Hledatbezohledunadiakritiku1->isChecked()};
    };

    const QString all = QStringLiteral("select * from zvonisty order by jmeno");
    figures << Figure{QStringLiteral("start until first rows"), all, startMs, 0, 0, 300};
    AddSearches(&figures, firstFrame);
    measure(
        QStringLiteral("open all contacts"), all,
        [&] { OpenSearch(InitialGridSearch(QStringLiteral("jmeno"), 0), Parts(window).ADOQuery1); }, 100);

    // Searches as the user runs them: the column chosen, the text in the box, then the search button.
    auto chooseColumn = [&](int index) { Parts(window).hledat_dleButtons->button(index)->setChecked(true); };
    auto search = [&](const QString& name, int index, const QString& text, double limit) {
        chooseColumn(index);
        Parts(window).Hledani->setText(text);
        Parts(window).Najdi->click();
        measure(
            name, Parts(window).ADOQuery1->sql(), [&] { Parts(window).Najdi->click(); }, limit);
    };
    search(QStringLiteral("search name \"nov\""), 0, QStringLiteral("nov"), 100);
    search(QStringLiteral("search name \"a\""), 0, QStringLiteral("a"), 100);
    search(QStringLiteral("search all columns \"nov\""), 5, QStringLiteral("nov"), 100);
    search(QStringLiteral("search all columns \"a\""), 5, QStringLiteral("a"), 100);
    search(QStringLiteral("search phone \"602 1\""), 2, QStringLiteral("6021"), 100);
    search(QStringLiteral("search phone \"60\""), 2, QStringLiteral("60"), 100);
    search(QStringLiteral("search phone grouped otherwise \"(60) 21-2\""), 2, QStringLiteral("(60) 21-2"),
           100);
    search(QStringLiteral("search all columns digits \"12 34\""), 5, QStringLiteral("12 34"), 100);
    // Right after a change of a contact the index reads the directory again while idle;
    // until then the engine answers the search.
    {
        chooseColumn(0);
        Parts(window).Hledani->setText(QStringLiteral("nov"));
        Parts(window).Najdi->click();
        index->buildNow();
        const QString edit = QStringLiteral("update zvonisty set poznamka = 'x' where id = 1");
        measure(
            QStringLiteral("search right after an edit"), Parts(window).ADOQuery1->sql(),
            [&] {
                ExecQuery(edit, Parts(window).ADOQuery2);
                Parts(window).Najdi->click();
            },
            100);
        index->buildNow();
    }
    Parts(window).Hledatbezohledunadiakritiku1->trigger();
    index->buildNow();
    search(QStringLiteral("no accents name \"cermak\""), 0, QStringLiteral("cermak"), 100);
    search(QStringLiteral("no accents all \"ruzicka\""), 5, QStringLiteral("ruzicka"), 100);
    Parts(window).Hledatbezohledunadiakritiku1->trigger();
    index->buildNow();

    Parts(window).Hledani->clear();
    chooseColumn(0);
    Parts(window).Najdi->click();
    measure(
        QStringLiteral("title click telefon"), QStringLiteral("select * from zvonisty order by telefon"),
        [&] { testsupport::ClickTitle(window, QStringLiteral("telefon")); }, 150);
    measure(
        QStringLiteral("title click organizace"),
        QStringLiteral("select * from zvonisty order by organizace"),
        [&] { testsupport::ClickTitle(window, QStringLiteral("organizace")); }, 150);
    Parts(window).Hledani->setText(QStringLiteral("a"));
    Parts(window).VyberSkupinu->setCurrentIndex(
        Parts(window).VyberSkupinu->findText(QStringLiteral("Práce")));
    measure(
        QStringLiteral("title click filtered jmeno"),
        QStringLiteral("select * from zvonisty where jmeno like '%a%' and skupina='Práce' order by jmeno"),
        [&] { testsupport::ClickTitle(window, QStringLiteral("jmeno")); }, 150);
    // The program's memory before the anchors, which run with the engine set up as before
    // the search index (a large page cache and the file mapped into memory).
    const double peak = PeakMemoryMb();
    sqlite3_exec(handle, "pragma cache_size = -131072", nullptr, nullptr, nullptr);
    sqlite3_exec(handle, "pragma mmap_size = 1073741824", nullptr, nullptr, nullptr);
    for (Figure& f : figures) {
        db::RegisterPlainLike(handle, f.plain);
        f.rawMs = RawMs(handle, f.statement, &f.rows);
    }
    db::RegisterPlainLike(handle, false);
    // Back to the program's own settings for the exchange.
    sqlite3_exec(handle, "pragma cache_size = -2048", nullptr, nullptr, nullptr);
    sqlite3_exec(handle, "pragma mmap_size = 0", nullptr, nullptr, nullptr);

    // Whole-list exchange: a text file of up to 100,000 new numbers, and another directory file of
    // as many, added to the directory.
    FileDialog::setTestMode(true);
    const int exchanged = qMin(count, 100000);
    if (wanted("exchange")) {
        // The last id before the exchange, whatever the grid shows: every undo removes only the rows
        // an exchange added, so each run starts from the whole directory.
        int firstNewId = 0;
        {
            sqlite3_stmt* last = nullptr;
            sqlite3_prepare_v2(handle, "select max(id) from zvonisty", -1, &last, nullptr);
            if (sqlite3_step(last) == SQLITE_ROW)
                firstNewId = sqlite3_column_int(last, 0);
            sqlite3_finalize(last);
        }
        std::vector<RowValues> importRows;
        QString text;
        for (int i = 0; i < exchanged; ++i) {
            const QString number = NewNumber(i);
            const QStringList v{QStringLiteral("Dovezený %1").arg(i),    number,
                                QStringLiteral("d%1@example.cz").arg(i), QStringLiteral("ze souboru"),
                                QStringLiteral("Dovoz s.r.o."),          QString::number(200000 + i),
                                QStringLiteral("dov.%1").arg(i)};
            text += v.at(0) + QLatin1Char(';') + QString(number).remove(QLatin1Char(' ')) + QLatin1Char(';') +
                    QStringList(v.mid(2)).join(QLatin1Char(';')) + QStringLiteral("\r\n");
            importRows.push_back({number.toUtf8(), v.at(0).toUtf8(), v.at(2).toUtf8(), v.at(3).toUtf8(),
                                  v.at(4).toUtf8(), v.at(5).toUtf8(), v.at(6).toUtf8(),
                                  QByteArray("8.12.2026")});
        }
        QByteArray bytes;
        exchange::EncodeCp1250(text, &bytes);
        const QString importFile = dir.filePath(QStringLiteral("seznam.csv"));
        QFile f(importFile);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        f.close();

        auto undo = [&] {
            sqlite3_exec(
                handle,
                QStringLiteral("delete from zvonisty where id > %1").arg(firstNewId).toUtf8().constData(),
                nullptr, nullptr, nullptr);
            window.reopenGrid();
            // Read whole again, as while a user looks at the result: each run starts as the first.
            index->buildNow();
        };
        const auto [importMs, importRawMs] = MedianPair(
            [&] {
                FileDialog::setNextFileName(importFile);
                MessageDialogSeam::setNextAnswer(0);
                Parts(window).Natitelseznamzesouboru2->trigger();
                Parts(window).DBGrid1->viewport()->repaint();
            },
            [&] {
                size_t next = 0;
                RawAdd(
                    handle,
                    "insert into zvonisty (telefon, jmeno, email, poznamka, organizace, icq, skype, datum) "
                    "values (?, ?, ?, ?, ?, ?, ?, ?)",
                    [&](RowValues& row) {
                        if (next >= importRows.size())
                            return false;
                        row = importRows[next++];
                        return true;
                    });
            },
            undo);
        figures << ExchangeFigure(QStringLiteral("import text file"),
                                  QStringLiteral("import of %1 lines").arg(exchanged), importMs, importRawMs,
                                  exchanged);
        // Searches right after an import into the grid of every contact, the index whole before
        // it; the anchors with the engine set up as for the other searches.
        {
            ClearSearchBar(window);
            index->buildNow();
            FileDialog::setNextFileName(importFile);
            MessageDialogSeam::setNextAnswer(0);
            Parts(window).Natitelseznamzesouboru2->trigger();
            Parts(window).DBGrid1->viewport()->repaint();
            QList<Figure> after;
            AddSearches(&after, TimeSearchesNow(window, QStringLiteral("after import")));
            sqlite3_exec(handle, "pragma cache_size = -131072", nullptr, nullptr, nullptr);
            sqlite3_exec(handle, "pragma mmap_size = 1073741824", nullptr, nullptr, nullptr);
            for (Figure& f : after)
                f.rawMs = RawMs(handle, f.statement, &f.rows);
            sqlite3_exec(handle, "pragma cache_size = -2048", nullptr, nullptr, nullptr);
            sqlite3_exec(handle, "pragma mmap_size = 0", nullptr, nullptr, nullptr);
            figures << after;
            undo();
        }

        const QString otherFile = dir.filePath(QStringLiteral("jina.mdb"));
        QString error;
        db::CreateDirectoryDatabase(otherFile, &error);
        {
            db::Connection other;
            other.setConnectionString(
                QStringLiteral("Provider=SQLite.3;Data Source=%1;Mode=Share Deny Read|Share "
                               "Deny Write;Persist Security Info=False")
                    .arg(otherFile));
            other.open();
            db::Query work(&other);
            for (const QString& s : UpgradeStatements(1)) {
                work.setSql(s);
                work.execSql();
            }
            Fill(other.handle(), exchanged, true);
        }
        const auto [mergeMs, mergeRawMs] = TimeMerge(window, otherFile, undo);
        figures << ExchangeFigure(QStringLiteral("merge into %1").arg(count),
                                  QStringLiteral("merge of %1 rows").arg(exchanged), mergeMs, mergeRawMs,
                                  exchanged, 1.3);
        // The same file merged into an empty directory, in a window of its own.
        const QString emptyDir = dir.filePath(QStringLiteral("prazdny"));
        QDir().mkpath(emptyDir);
        if (QProcess::execute(application.applicationFilePath(),
                              {QStringLiteral("--fill"), emptyDir, QStringLiteral("0")}) == 0) {
            for (const TimedRun& r : RunOnItsOwn({QStringLiteral("--merge-into"), emptyDir, otherFile}))
                figures << ExchangeFigure(QStringLiteral("merge into empty directory"),
                                          QStringLiteral("merge of %1 rows").arg(exchanged), r.programMs,
                                          r.rawMs, exchanged, 1.3);
        }
    }
    // CSV both ways: the import against the text import of the same rows in the same run, and
    // the export of the rows imported.
    if (wanted("csv")) {
        const CsvTimes csv = TimeCsv(
            window, dir.path(), exchanged, [](const std::function<void()>& run) { return Median(run); },
            MedianPair,
            [&] {
                sqlite3_exec(handle, "delete from zvonisty where telefon like '8%'", nullptr, nullptr,
                             nullptr);
                window.reopenGrid();
                // Each import starts with the directory read into memory, not while it is read.
                index->buildNow();
            });
        figures << Figure{
            QStringLiteral("import CSV file"),
            QStringLiteral("CSV import of %1 rows; raw: the text import of the same rows").arg(exchanged),
            csv.importMs,
            csv.textImportMs,
            exchanged,
            2000,
            1.5};
        figures << Figure{
            QStringLiteral("export CSV file"),
            QStringLiteral("CSV export of the %1 rows the grid shows; raw: the list export of them")
                .arg(csv.exported),
            csv.exportMs,
            csv.listExportMs,
            csv.exported,
            1000};
    }
    // A PDF of the contacts by name in the grid's columns; the anchor: the same rows as text lines.
    for (const int contacts : {10000, 100000}) {
        if (contacts > count || !wanted("pdf"))
            continue;
        const PrintTimes p = TimePrint(window.directory().connection(), window.shownLayout().columns,
                                       contacts, dir.path(), ResetPeakMemory, PeakMemoryMb);
        out << QStringLiteral("pdf of %1 contacts: %2 pages, peak memory %3 MB (%4 MB above its start)")
                   .arg(p.rows)
                   .arg(p.pages)
                   .arg(p.peakMb, 0, 'f', 1)
                   .arg(p.peakMb - p.startMb, 0, 'f', 1)
            << Qt::endl;
        figures << Figure{
            QStringLiteral("pdf %1 contacts").arg(contacts),
            QStringLiteral("a PDF of %1 contacts by name; raw: the same rows as text lines").arg(contacts),
            p.pdfMs,
            p.textMs,
            p.rows,
            contacts > 10000 ? 15000.0 : 2000.0};
    }
    if (wanted("jet")) {
        // A directory file of the earlier Windows versions, written by the test files' own tool;
        // the anchor is mdbtools exporting its contacts.
        const int contacts = qMin(count, 100000);
        const QString jet = dir.filePath(QStringLiteral("stary.mdb"));
        QProcess writer;
        writer.start(QStringLiteral("python3"),
                     {QStringLiteral(ZV_JET "/jetwrite.py"), jet, QStringLiteral("--zvonisty-version"),
                      QStringLiteral("4"), QStringLiteral("--extra-contacts"),
                      QString::number(contacts - 6)});
        writer.waitForFinished(-1);
        if (writer.exitCode() == 0 && QFileInfo::exists(jet)) {
            int round = 0;
            const auto [convertMs, exportMs] = MedianPair(
                [&] {
                    QString why;
                    const QString converted = dir.filePath(QStringLiteral("prevod-%1.mdb").arg(++round));
                    if (!db::ConvertJetFile(jet, converted, nullptr, &why))
                        QTextStream(stderr) << why << Qt::endl;
                    QFile::remove(converted);
                },
                [&] {
                    QProcess exporter;
                    exporter.setStandardOutputFile(QProcess::nullDevice());
                    exporter.start(QStringLiteral("mdb-export"), {jet, QStringLiteral("zvonisty")});
                    exporter.waitForFinished(-1);
                },
                [] {});
            figures << Figure{
                QStringLiteral("convert Jet 4 file"),
                QStringLiteral("conversion of a Jet 4 file of %1 contacts; raw: mdb-export of them")
                    .arg(contacts),
                convertMs,
                exportMs,
                contacts,
                3000};
        } else {
            out << QStringLiteral("convert Jet 4 file: the test file could not be written") << Qt::endl;
        }
    }
    if (wanted("sync")) {
        // Synchronisation with an address book server on this computer, its storage in memory.
        // Uploading is the server's own work and grows with its book (each card it takes costs
        // it time in proportion to the cards it holds), so the first synchronisation up is timed
        // with 2,000 contacts; a book of 10,000 cards is laid into the server's folder and taken
        // in by a first synchronisation down, and then synchronised again with nothing changed.
        // The anchors: as many plain uploads, the multiget of the cards alone, and the
        // sync-collection request alone.
        constexpr int kUpContacts = 2000;
        constexpr int kDownCards = 10000;
        const QByteArray previousTemp = qgetenv("TMPDIR");
        if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
            qputenv("TMPDIR", "/dev/shm");
        testsupport::Radicale upServer;
        testsupport::Radicale downServer;
        testsupport::Radicale rawServer; // the plain uploads start from an empty book as well
        const bool started = upServer.start() && downServer.start() && rawServer.start();
        qputenv("TMPDIR", previousTemp);
        const QString upDir = dir.filePath(QStringLiteral("sync-up"));
        const QString downDir = dir.filePath(QStringLiteral("sync-down"));
        QDir().mkpath(upDir);
        QDir().mkpath(downDir);
        auto openDirectory = [](db::Connection& c, const QString& folder) {
            c.setConnectionString(db::Connection::DefaultConnectionString());
            c.setFilePath(QDir(folder).filePath(QStringLiteral("Zvonisty.mdb")));
            c.open();
        };
        if (started &&
            QProcess::execute(application.applicationFilePath(),
                              {QStringLiteral("--fill"), upDir, QString::number(kUpContacts)}) == 0 &&
            QProcess::execute(application.applicationFilePath(),
                              {QStringLiteral("--fill"), downDir, QStringLiteral("0")}) == 0) {
            carddav::CardDavClient client;
            client.setCredentials(testsupport::Radicale::user(), testsupport::Radicale::password());
            QElapsedTimer t;
            double upMs = 0, downMs = 0, againMs = 0;
            {
                db::Connection up;
                openDirectory(up, upDir);
                synchro::Synchronizer synchronizer(&up, &client);
                t.start();
                const synchro::SyncOutcome first = synchronizer.run(upServer.book());
                upMs = double(t.nsecsElapsed()) / 1e6;
                if (!first.ok)
                    out << "sync: " << synchro::SyncSummary(first) << Qt::endl;
            }
            for (int i = 0; i < kDownCards; ++i) {
                QFile card(QDir(downServer.bookFolder()).filePath(QStringLiteral("k%1.vcf").arg(i)));
                card.open(QIODevice::WriteOnly);
                card.write(
                    QStringLiteral(
                        "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:k%1\r\nFN:Kontakt %1\r\nN:Kontakt %1;;;;\r\n"
                        "TEL;TYPE=CELL:60%1\r\nEMAIL:k%1@example.cz\r\nEND:VCARD\r\n")
                        .arg(i)
                        .toUtf8());
            }
            {
                // A server builds its cache of cards as they arrive; for cards laid into its
                // folder it builds it at the first look, which is its work, not the program's.
                client.setTimeoutMs(600000);
                QList<carddav::RemoteCard> listed;
                client.listEtags(downServer.book(), &listed);
                client.setTimeoutMs(carddav::CardDavClient::DefaultTimeoutMs);
            }
            {
                db::Connection down;
                openDirectory(down, downDir);
                synchro::Synchronizer synchronizer(&down, &client);
                ResetPeakMemory();
                t.restart();
                const synchro::SyncOutcome first = synchronizer.run(downServer.book());
                downMs = double(t.nsecsElapsed()) / 1e6;
                const double downPeak = PeakMemoryMb();
                ResetPeakMemory();
                t.restart();
                const synchro::SyncOutcome again = synchronizer.run(downServer.book());
                againMs = double(t.nsecsElapsed()) / 1e6;
                out << QStringLiteral("sync peak memory: first down %1 MB, again %2 MB")
                           .arg(downPeak, 0, 'f', 1)
                           .arg(PeakMemoryMb(), 0, 'f', 1)
                    << Qt::endl;
                if (!first.ok || !again.ok || again.counts.sent + again.counts.received > 0)
                    out << "sync: " << synchro::SyncSummary(first.ok ? again : first) << Qt::endl;
            }
            t.restart();
            for (int i = 0; i < kUpContacts; ++i)
                rawServer.put(
                    QStringLiteral("/test/adresar/raw-%1.vcf").arg(i),
                    QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:raw-%1\r\nFN:Raw %1\r\nTEL:600 %1\r\n"
                                   "END:VCARD\r\n")
                        .arg(i)
                        .toUtf8());
            const double rawUpMs = double(t.nsecsElapsed()) / 1e6;
            carddav::RemoteChanges all;
            t.restart();
            client.syncCollection(downServer.book(), QString(), &all);
            QStringList hrefs;
            for (const carddav::RemoteCard& card : all.changed)
                hrefs << card.href;
            QList<carddav::RemoteCard> cards;
            client.multiget(downServer.book(), hrefs, &cards);
            const double rawDownMs = double(t.nsecsElapsed()) / 1e6;
            t.restart();
            carddav::RemoteChanges none;
            client.syncCollection(downServer.book(), all.token, &none);
            const double rawAgainMs = double(t.nsecsElapsed()) / 1e6;
            figures << Figure{
                QStringLiteral("sync first, up"),
                QStringLiteral("first synchronisation of %1 contacts to the server; raw: as many plain "
                               "uploads")
                    .arg(kUpContacts),
                upMs,
                rawUpMs,
                kUpContacts,
                600000,
                2};
            figures << Figure{
                QStringLiteral("sync first, down"),
                QStringLiteral("first synchronisation of a book of %1 cards; raw: its listing and "
                               "multiget alone")
                    .arg(kDownCards),
                downMs,
                rawDownMs,
                kDownCards,
                600000,
                0};
            figures << Figure{
                QStringLiteral("sync again, nothing changed"),
                QStringLiteral("second synchronisation of the %1 cards, nothing changed; raw: the "
                               "sync-collection request alone")
                    .arg(kDownCards),
                againMs, rawAgainMs, kDownCards,
                // The server's own answer is most of it and grows with its book: the bound is
                // what the program adds.
                600000, 1.2};
        } else {
            out << QStringLiteral("sync: the address book server could not be started") << Qt::endl;
        }
    }
    out << Qt::endl;
    out << QStringLiteral("%1 %2 %3 %4 %5 %6")
               .arg(QStringLiteral("figure"), -30)
               .arg(QStringLiteral("rows"), 8)
               .arg(QStringLiteral("program ms"), 11)
               .arg(QStringLiteral("raw ms"), 9)
               .arg(QStringLiteral("ratio"), 7)
               .arg(QStringLiteral("limit ms"), 9)
        << Qt::endl;
    bool within = true;
    for (const Figure& f : figures) {
        const bool sameRows = f.programRows < 0 || f.programRows == f.rows;
        const bool ok = sameRows && f.programMs <= f.limitMs &&
                        (f.maxRatio <= 0 || (f.rawMs > 0 && f.programMs / f.rawMs <= f.maxRatio));
        within = within && ok;
        out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                   .arg(f.name, -30)
                   .arg(f.rows, 8)
                   .arg(f.programMs, 11, 'f', 1)
                   .arg(f.rawMs, 9, 'f', 1)
                   .arg(f.rawMs > 0 ? f.programMs / f.rawMs : 0.0, 7, 'f', 2)
                   .arg(f.limitMs, 9, 'f', 0)
                   .arg(ok         ? QStringLiteral("ok")
                        : sameRows ? QStringLiteral("OVER")
                                   : QStringLiteral("ROWS"))
            << Qt::endl;
    }
    out << QStringLiteral("%1 %2")
               .arg(QStringLiteral("index read while idle ms"), -30)
               .arg(readMs, 29, 'f', 1)
        << Qt::endl;
    out << QStringLiteral("%1 %2")
               .arg(QStringLiteral("name search from memory at ms"), -30)
               .arg(nameReadyMs, 29, 'f', 1)
        << Qt::endl;
    out << QStringLiteral("%1 %2")
               .arg(QStringLiteral("longest idle step ms"), -30)
               .arg(longestStepMs, 29, 'f', 1)
        << Qt::endl;
    within = within && peak <= 150;
    out << QStringLiteral("%1 %2 %3 %4")
               .arg(QStringLiteral("peak memory MB"), -30)
               .arg(peak, 29, 'f', 1)
               .arg(150, 17)
               .arg(peak <= 150 ? QStringLiteral("ok") : QStringLiteral("OVER"))
        << Qt::endl;
    for (const Figure& f : figures)
        out << "  " << f.name << ": " << f.statement << Qt::endl;
    Parts(window).MinimalizovataplikacipistiskuAltF41->setChecked(false);
    Parts(window).Dotazpiuzaven1->setChecked(false);
    return within ? 0 : 3;
}
