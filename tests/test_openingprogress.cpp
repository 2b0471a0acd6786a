// The slow steps of opening a directory file are told, and shown by the main window's start;
// a normal opening tells nothing and leaves no progress handler behind.
#include "app/OpeningDialog.h"
#include "app/TMain.h"
#include "db/engine/Connection.h"
#include "db/engine/OpeningProgress.h"
#include "testsupport/TestSupport.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <sqlite3.h>

#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>

using db::Connection;
using db::OpeningStep;
using testsupport::Column;
using testsupport::Sandbox;

namespace {

const QString kIndexes = QStringLiteral("Vytvářím rejstříky seznamu...");
const QString kCheck = QStringLiteral("Kontroluji soubor seznamu...");
const QString kReindex = QStringLiteral("Přestavuji rejstříky seznamu...");
const QString kRebuild = QStringLiteral("Převádím soubor seznamu...");

const QStringList kIndexNames{QStringLiteral("ix_zvonisty_telefon"),    QStringLiteral("ix_zvonisty_jmeno"),
                              QStringLiteral("ix_zvonisty_organizace"), QStringLiteral("ix_zvonisty_email"),
                              QStringLiteral("ix_zvonisty_poznamka"),   QStringLiteral("ix_zvonisty_skupina"),
                              QStringLiteral("ix_poznamky_id")};

QStringList DropIndexes()
{
    QStringList drops;
    for (const QString& name : kIndexNames)
        drops << QStringLiteral("drop index %1").arg(name);
    return drops;
}

// Every call of the reporter, recorded while it lives; uninstalled at the end.
struct Recorder
{
    explicit Recorder(int beatInstructions = 100)
    {
        db::SetOpeningProgress([this](const OpeningStep& s) { calls << s; }, beatInstructions);
    }
    ~Recorder() { db::SetOpeningProgress(nullptr); }
    QList<OpeningStep> steps() const
    {
        QList<OpeningStep> list;
        for (const OpeningStep& s : calls)
            if (!s.working)
                list << s;
        return list;
    }
    int beats() const { return int(calls.size() - steps().size()); }
    QList<OpeningStep> calls;
};

// A directory of a few thousand contacts, closed cleanly, with `statements` run on it last.
void CreateFilled(Sandbox& box, const QStringList& statements)
{
    QStringList all{QStringLiteral("begin")};
    for (int i = 0; i < 3000; ++i)
        all << QStringLiteral("insert into zvonisty (telefon, jmeno, organizace, skupina) values ('%1', "
                              "'Jméno %2', 'Firma %3', 'Skupina %4')")
                   .arg(100000 + i)
                   .arg((i * 7919) % 3000)
                   .arg(i % 97)
                   .arg(i % 7);
    all << QStringLiteral("insert into poznamky (id, pozn) values (1, 'Poznámka')")
        << QStringLiteral("commit");
    box.createDirectory(4, all + statements);
}

// A file as another tool writes it: the plain engine, no comparison, no indexes, no marker.
void WriteForeignFile(const QString& path, const QString& name = QStringLiteral("Novák"))
{
    QFile::remove(path);
    sqlite3* handle = nullptr;
    QVERIFY(sqlite3_open(QFile::encodeName(path).constData(), &handle) == SQLITE_OK);
    for (const char* s : {"create table zvonisty (id integer primary key, telefon text, jmeno text, email "
                          "text, poznamka text, datum text, organizace text, skupina text)",
                          "create table poznamky (id integer, pozn text, dat datetime)"})
        QVERIFY(sqlite3_exec(handle, s, nullptr, nullptr, nullptr) == SQLITE_OK);
    const QByteArray insert =
        QStringLiteral("insert into zvonisty (telefon, jmeno) values ('602 111 222', '%1')")
            .arg(name)
            .toUtf8();
    QVERIFY(sqlite3_exec(handle, insert.constData(), nullptr, nullptr, nullptr) == SQLITE_OK);
    sqlite3_close(handle);
}

// Runs one statement on a file through the plain engine, as another program would.
void RunRaw(const QString& path, const char* statement)
{
    sqlite3* handle = nullptr;
    QVERIFY(sqlite3_open(QFile::encodeName(path).constData(), &handle) == SQLITE_OK);
    QVERIFY(sqlite3_exec(handle, statement, nullptr, nullptr, nullptr) == SQLITE_OK);
    sqlite3_close(handle);
}

// Records the texts of the opening's window while it is visible; it is shown at once.
struct WindowWatch
{
    WindowWatch()
    {
        OpeningProgressWindow::SetDefaultDelay(0);
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<TDialogOtevirani*>(w); d && d->isVisible()) {
                    window = d;
                    if (seen.isEmpty() || seen.last() != d->Popis->text())
                        seen << d->Popis->text();
                }
        });
        timer.start();
    }
    ~WindowWatch() { OpeningProgressWindow::SetDefaultDelay(300); }

    QTimer timer;
    QStringList seen;
    QPointer<QWidget> window;
};

} // namespace

class TestOpeningProgress : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void slowStepsAreTold_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("expected");
        const QStringList indexes(kIndexNames.size(), kIndexes);
        QTest::newRow("clean close, indexed") << QString() << QStringList();
        QTest::newRow("outside change") << QStringLiteral("write") << QStringList{kCheck};
        QTest::newRow("older comparison") << QStringLiteral("collation") << QStringList{kReindex};
        QTest::newRow("indexes missing") << QStringLiteral("drop") << indexes;
        QTest::newRow("indexes missing, outside change")
            << QStringLiteral("drop write") << QStringList{kCheck} + indexes;
        QTest::newRow("another tool's file")
            << QStringLiteral("foreign") << QStringList{kReindex, kCheck, kRebuild} + indexes;
    }

    void slowStepsAreTold()
    {
        QFETCH(QString, change);
        QFETCH(QStringList, expected);
        Sandbox box;
        if (change == QLatin1String("foreign"))
            WriteForeignFile(box.dbPath());
        else
            CreateFilled(box, change.contains(QLatin1String("drop")) ? DropIndexes()
                              : change.contains(QLatin1String("collation"))
                                  ? QStringList{QStringLiteral("update stav_souboru set razeni = 1")}
                                  : QStringList());
        if (change.contains(QLatin1String("write"))) {
            // Another program writes into the file and puts its time back.
            const QByteArray name = QFile::encodeName(box.dbPath());
            struct stat closed;
            QVERIFY(stat(name.constData(), &closed) == 0);
            RunRaw(box.dbPath(), "pragma user_version = 5");
            const struct timespec times[2] = {closed.st_atim, closed.st_mtim};
            QVERIFY(utimensat(AT_FDCWD, name.constData(), times, 0) == 0);
        }

        QString before;
        if (change != QLatin1String("foreign")) {
            // Read without opening: an opening would build what is missing.
            sqlite3* raw = nullptr;
            QVERIFY(sqlite3_open_v2(QFile::encodeName(box.dbPath()).constData(), &raw, SQLITE_OPEN_READONLY,
                                    nullptr) == SQLITE_OK);
            sqlite3_stmt* stmt = nullptr;
            QVERIFY(sqlite3_prepare_v2(raw, "select count(*), sum(length(jmeno)), max(id) from zvonisty", -1,
                                       &stmt, nullptr) == SQLITE_OK);
            QVERIFY(sqlite3_step(stmt) == SQLITE_ROW);
            before = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))) +
                     QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1))) +
                     QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 2)));
            sqlite3_finalize(stmt);
            sqlite3_close(raw);
        }

        Recorder recorder;
        Connection c;
        c.setConnectionString(Connection::DefaultConnectionString());
        c.open();
        QVERIFY(!c.readOnly());

        const QList<OpeningStep> steps = recorder.steps();
        QStringList texts;
        for (int i = 0; i < steps.size(); ++i) {
            texts << steps[i].text;
            QCOMPARE(steps[i].done, i);
            QCOMPARE(steps[i].total, int(expected.size()));
        }
        QCOMPARE(texts, expected);
        for (const OpeningStep& beat : recorder.calls)
            QVERIFY(beat.total == int(expected.size()) && beat.done < beat.total);
        if (!expected.isEmpty() && change != QLatin1String("foreign"))
            QVERIFY(recorder.beats() > 0);

        // Every index is there afterwards, and the contacts are as they were.
        QStringList indexNames = kIndexNames;
        indexNames.sort();
        QCOMPARE(
            Column(&c,
                   QStringLiteral("select name from sqlite_master where type = 'index' and name like 'ix!_%' "
                                  "escape '!' order by name"),
                   QStringLiteral("name")),
            indexNames);
        if (!before.isEmpty())
            QCOMPARE(
                Column(&c,
                       QStringLiteral("select count(*) || sum(length(jmeno)) || max(id) as v from zvonisty"),
                       QStringLiteral("v")),
                QStringList{before});

        // The large page cache of the grid is back after the indexes were sorted in small runs.
        QCOMPARE(Column(&c, QStringLiteral("pragma cache_size"), QStringLiteral("cache_size")),
                 QStringList{QStringLiteral("-131072")});

        // The engine calls nothing back once the opening is over.
        const qsizetype calls = recorder.calls.size();
        Column(&c,
               QStringLiteral(
                   "select count(*) as n from zvonisty a, zvonisty b where a.id < 40 and b.jmeno like '%5%'"),
               QStringLiteral("n"));
        QCOMPARE(recorder.calls.size(), calls);
        c.close();

        // The next opening of the file, closed cleanly, is quick and tells nothing.
        recorder.calls.clear();
        c.open();
        QCOMPARE(recorder.calls.size(), 0);
    }

    void failingDisplayDoesNotStopTheOpening()
    {
        Sandbox box;
        CreateFilled(box, DropIndexes());
        int calls = 0;
        db::SetOpeningProgress(
            [&calls](const OpeningStep&) {
                ++calls;
                throw std::runtime_error("display gone");
            },
            100);
        Connection c;
        c.setConnectionString(Connection::DefaultConnectionString());
        c.open();
        db::SetOpeningProgress(nullptr);
        QVERIFY(calls > kIndexNames.size());
        QVERIFY(!c.readOnly());
        QCOMPARE(Column(&c,
                        QStringLiteral(
                            "select count(*) as n from sqlite_master where name like 'ix!_%' escape '!'"),
                        QStringLiteral("n")),
                 QStringList{QStringLiteral("7")});
        QCOMPARE(Column(&c, QStringLiteral("select count(*) as n from zvonisty"), QStringLiteral("n")),
                 QStringList{QStringLiteral("3000")});
    }

    void startShowsTheWindowWhileIndexesAreBuilt()
    {
        Sandbox box;
        CreateFilled(box, DropIndexes());
        WindowWatch watch;
        auto main = testsupport::StartMain();
        QVERIFY(main->started());
        QVERIFY(!watch.seen.isEmpty());
        QCOMPARE(watch.seen.first(), kIndexes + QStringLiteral(" (1 z 7)"));
        QCOMPARE(watch.seen.last(), kIndexes + QStringLiteral(" (7 z 7)"));
        // Gone once the opening is over.
        QVERIFY(watch.window.isNull());
        QVERIFY(main->findChildren<TDialogOtevirani*>().isEmpty());
        QCOMPARE(testsupport::MessagesShown(), QStringList());
    }

    void failedOpeningClosesTheWindow()
    {
        Sandbox box;
        WriteForeignFile(box.dbPath());
        // Another tool's view in the name the conversion needs for a moment.
        RunRaw(box.dbPath(), "create view zvonisty_nova as select 1");
        const QByteArray before = testsupport::FileHash(box.dbPath());
        WindowWatch watch;
        auto main = testsupport::StartMain();
        QVERIFY(!main->started());
        QVERIFY(watch.seen.contains(kRebuild + QStringLiteral(" (3 z 10)")));
        QVERIFY(watch.window.isNull());
        QCOMPARE(testsupport::MessagesShown().size(), 1);
        QVERIFY(testsupport::MessagesShown().first().startsWith(
            QStringLiteral("Nastala chyba při otevření DB: Soubor nelze převést do tvaru tohoto programu")));
        QCOMPARE(testsupport::FileHash(box.dbPath()), before);
    }
};

QTEST_MAIN(TestOpeningProgress)
#include "test_openingprogress.moc"
