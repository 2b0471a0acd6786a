// Running statements: failures logged and shown once, and the grid refresh.
#include "db/engine/Connection.h"
#include "db/engine/ErrorLog.h"
#include "db/contacts/Query.h"
#include "db/contacts/QueryOps.h"
#include "testsupport/TestSupport.h"
#include "ui/DBGrid.h"
#include "ui/MessageDialog.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

using testsupport::Sandbox;

class TestQueryOps : public QObject
{
    Q_OBJECT

    std::unique_ptr<Sandbox> m_box;
    std::unique_ptr<db::Connection> m_connection;

    void fill(int rows)
    {
        testsupport::Exec(m_connection.get(), QStringLiteral("delete from zvonisty"));
        for (int i = 0; i < rows; ++i)
            testsupport::Exec(m_connection.get(),
                              QStringLiteral("insert into zvonisty (telefon, jmeno) values ('%1', 'N%2')")
                                  .arg(i)
                                  .arg(i, 2, 10, QLatin1Char('0')));
    }

private Q_SLOTS:
    void init()
    {
        m_box = std::make_unique<Sandbox>();
        m_box->createDirectory();
        m_connection = testsupport::OpenDefaultDirectory();
    }
    void cleanup()
    {
        m_connection.reset();
        m_box.reset();
    }

    void failingSelectIsLoggedAndShownOnce()
    {
        db::Query q(m_connection.get());
        QVERIFY(!QFile::exists(ErrorLogPath()));
        const QString select = QStringLiteral("select * from neni where telefon='603 123 456'");
        OpenQuery(select, &q);
        QVERIFY(!q.isOpen());
        QCOMPARE(q.sql(), select);
        QCOMPARE(MessageDialogSeam::shown().size(), 1);
        const auto shown = MessageDialogSeam::shown().first();
        QCOMPARE(shown.icon, 0);
        QCOMPARE(shown.buttonSet, 0);
        QVERIFY(shown.text.startsWith(QStringLiteral("Došlo k chybě! (kontaktuje prosím správce)\r{")));
        QVERIFY(shown.text.endsWith(QLatin1Char('}')));
        QVERIFY(shown.text.contains(QStringLiteral("neni")));

        // The first failure creates the log; the next ones append, in code page 1250 with CR LF.
        ExecQuery(QStringLiteral("insert into neni values ('žluťoučký')"), &q);
        QFile raw(ErrorLogPath());
        QVERIFY(raw.open(QIODevice::ReadOnly));
        const QByteArray bytes = raw.readAll();
        QVERIFY(bytes.contains("\x9Elu\x9Dou\xE8k\xFD"));
        QCOMPARE(bytes.count("\r\n"), 2);
        const QStringList lines = m_box->errorLogLines();
        QCOMPARE(lines.size(), 2);
        const QRegularExpression shape(
            QStringLiteral("^\\d{1,2}\\.\\d{1,2}\\.\\d{4} \\d{1,2}:\\d{2}:\\d{2}: (.*)$"));
        QCOMPARE(shape.match(lines[0]).captured(1), select);
        QCOMPARE(shape.match(lines[1]).captured(1), QStringLiteral("insert into neni values ('žluťoučký')"));
        QCOMPARE(MessageDialogSeam::shown().size(), 2);

        // A huge statement leaves a few kilobytes of itself and its length.
        const QString huge =
            QStringLiteral("insert into neni values ('%1')").arg(QString(100000, QLatin1Char('x')));
        ExecQuery(huge, &q);
        const QString logged = shape.match(m_box->errorLogLines().value(2)).captured(1);
        QVERIFY2(logged.size() < 5000, qPrintable(QString::number(logged.size())));
        QVERIFY(huge.startsWith(logged.section(QStringLiteral("…"), 0, 0)));
        QVERIFY(logged.endsWith(QStringLiteral("… (celkem %1 znaků)").arg(huge.size())));
    }

    void succeedingStatementsAreQuiet()
    {
        db::Query q(m_connection.get());
        ExecQuery(QStringLiteral("insert into zvonisty (telefon) values ('1')"), &q);
        OpenQuery(QStringLiteral("select * from zvonisty"), &q);
        QVERIFY(q.isOpen());
        QCOMPARE(q.recordCount(), 1);
        OpenQuery(QStringLiteral("select * from zvonisty"), &q, false);
        QVERIFY(!q.isOpen());
        QVERIFY(MessageDialogSeam::shown().isEmpty());
        QVERIFY(!QFile::exists(ErrorLogPath()));
    }

    // A log that cannot be written (a read-only install folder) never ends the program: the
    // failure is still shown, and the log's own failure is mentioned with the first one only.
    void unwritableLogIsToldOnceAndSurvived()
    {
        QDir(m_box->path()).mkdir(QStringLiteral("Error.log"));
        db::Query q(m_connection.get());
        QVERIFY(!OpenQuery(QStringLiteral("select * from neni"), &q));
        QVERIFY(!ExecQuery(QStringLiteral("insert into neni values (1)"), &q));
        QCOMPARE(MessageDialogSeam::shown().size(), 2);
        const QString first = MessageDialogSeam::shown().at(0).text;
        QVERIFY(first.startsWith(StatementFailureText(QString()).left(20)));
        QVERIFY(first.contains(QStringLiteral("Error.log")));
        QVERIFY(!MessageDialogSeam::shown().at(1).text.contains(QStringLiteral("Error.log")));
        QVERIFY(ExecQuery(QStringLiteral("insert into zvonisty (telefon) values ('9')"), &q));
    }

    void refreshKeepsTheRowNumber_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("after");
        QTest::addColumn<int>("expected");
        QTest::newRow("5 of 10 stays 5") << 10 << 5 << 10 << 5;
        QTest::newRow("5 of 10, then 4 rows") << 10 << 5 << 4 << 1;
        QTest::newRow("one row") << 1 << 1 << 3 << 1;
        QTest::newRow("last of 10, then 11") << 10 << 10 << 11 << 10;
        QTest::newRow("2 of 2, then 1") << 2 << 2 << 1 << 1;
    }
    void refreshKeepsTheRowNumber()
    {
        QFETCH(int, before);
        QFETCH(int, selected);
        QFETCH(int, after);
        QFETCH(int, expected);
        fill(before);
        db::Query q(m_connection.get());
        db::DBGrid grid;
        grid.setColumns({{QStringLiteral("jmeno"), QStringLiteral("Jméno")}});
        grid.setDataSource(&q);
        OpenQuery(QStringLiteral("select * from zvonisty order by jmeno"), &q);
        grid.selectRow(selected - 1);
        QCOMPARE(q.recNo(), selected);
        fill(after);
        RefreshGrid(&grid);
        QCOMPARE(q.recNo(), expected);
        QCOMPARE(grid.currentIndex().row(), expected - 1);
        QCOMPARE(grid.model()->rowCount(), after);
    }
};

QTEST_MAIN(TestQueryOps)
#include "test_queryops.moc"
