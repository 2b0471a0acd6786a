// Directory files of the earlier Windows versions (Jet 3 and Jet 4): converted value for value,
// opened at start, and merged; what is refused is in test_oldfilerefusals.cpp.
#include "app/TMain.h"
#include "db/oldfiles/JetConversion.h"
#include "testsupport/MainParts.h"
#include "testsupport/OldFiles.h"
#include "testsupport/TestSupport.h"
#include "ui/FileDialog.h"
#include "ui/MessageDialog.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <cstring>

using testsupport::Digest;
using testsupport::Fixture;
using testsupport::Made;
using testsupport::Parts;
using testsupport::Rows;
using testsupport::RunPython;
using testsupport::Sandbox;

namespace {

// What the test files' writer was asked to write, each table's rows in its column order; dates
// in the program's own form, a contact's id as its autonumber gave it.
QJsonObject Expected(int version, bool jet3, bool doubleNumeric)
{
    static const QString script = QStringLiteral(R"(
import sys, json, datetime
sys.path.insert(0, sys.argv[1])
import jetwrite
out = {}
for t in jetwrite.zvonisty_tables(int(sys.argv[2]), jet3=sys.argv[3] == '1', numeric=sys.argv[4]):
    names = [c[0] for c in t[1]]
    rows = []
    for i, r in enumerate(t[2]):
        row = []
        for c in names:
            v = i + 1 if (t[0] == 'zvonisty' and c == 'id') else r.get(c)
            if isinstance(v, datetime.datetime):
                v = '%d.%d.%d %d:%02d:%02d' % (v.day, v.month, v.year, v.hour, v.minute, v.second)
            row.append(v)
        rows.append(row)
    out[t[0]] = {'columns': names, 'rows': rows}
print(json.dumps(out))
)");
    return QJsonDocument::fromJson(
               RunPython(script, {QString::number(version), jet3 ? QStringLiteral("1") : QStringLiteral("0"),
                                  doubleNumeric ? QStringLiteral("double") : QStringLiteral("decimal")}))
        .object();
}

QString Text(const QJsonValue& v)
{
    if (v.isNull())
        return QString();
    if (v.isDouble())
        return QString::number(v.toDouble(), 'g', 15);
    return v.toString();
}

// mdbtools' own export of a table, read as CSV; its NULL marker stands for NULL and for an
// empty text alike.
const QString kNullMark = QStringLiteral("\x01");
QList<QStringList> Exported(const QString& file, const QString& table)
{
    QProcess p;
    p.start(QStringLiteral("mdb-export"), {QStringLiteral("-0"), kNullMark, QStringLiteral("-T"),
                                           QStringLiteral("%Y-%m-%d %H:%M:%S"), file, table});
    p.waitForFinished(60000);
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"'))
                field += text.at(++i);
            else if (c == QLatin1Char('"'))
                quoted = false;
            else
                field += c;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            row << field;
            field.clear();
        } else if (c == QLatin1Char('\n')) {
            rows << (row << field);
            row.clear();
            field.clear();
        } else {
            field += c;
        }
    }
    return rows.mid(1); // the header line
}

// mdb-export's form of a value, next to the converted file's.
bool SameAsExported(const QString& ours, const QString& exported)
{
    if (exported == kNullMark)
        return ours.isEmpty();
    const QDateTime moment = QDateTime::fromString(exported, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (moment.isValid())
        return ours == moment.toString(QStringLiteral("d.M.yyyy H:mm:ss"));
    bool a = false, b = false;
    const double x = ours.toDouble(&a), y = exported.toDouble(&b);
    return ours == exported || (a && b && x == y);
}

int Version(const QString& path)
{
    return Rows(path, QStringLiteral("verze"), {QStringLiteral("DB")}).value(0).value(0).toInt();
}

// The conversion in place alone, in a process of its own that the kill test ends at will.
constexpr const char* kInPlaceOption = "--in-place";
int ConvertInPlace(const char* path)
{
    QString why;
    if (!db::ConvertJetFileInPlace(QString::fromLocal8Bit(path), nullptr, nullptr, &why)) {
        fprintf(stderr, "%s\n", why.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

} // namespace

class TestOldFiles : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Sandbox> m_box;
    std::unique_ptr<TMain> m_w;

private Q_SLOTS:
    void init() { m_box = std::make_unique<Sandbox>(); }
    void cleanup()
    {
        m_w.reset();
        m_box.reset();
    }

    void everyFixture_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("version");
        QTest::addColumn<bool>("jet3");
        QTest::addColumn<bool>("doubleNumeric");
        for (int v = 1; v <= 4; ++v)
            for (const bool jet3 : {false, true})
                QTest::addRow("version %d, Jet %d", v, jet3 ? 3 : 4)
                    << QStringLiteral("zvonisty-v%1-jet%2.mdb").arg(v).arg(jet3 ? 3 : 4) << v << jet3
                    << false;
        QTest::addRow("version 4, Jet 4, numbers as double")
            << QStringLiteral("zvonisty-v4-jet4-double.mdb") << 4 << false << true;
    }

    // Converted value for value, NULL apart from empty text, as the writer was asked and as
    // mdbtools reads it; then opened at start, where it ends where the upgrade leads.
    void everyFixture()
    {
        QFETCH(QString, file);
        QFETCH(int, version);
        QFETCH(bool, jet3);
        QFETCH(bool, doubleNumeric);
        const QString old = Fixture(file);
        const QByteArray before = Digest(old);
        const QString converted = m_box->path(QStringLiteral("prevedeny.mdb"));
        QString why;
        QList<db::JetTableSummary> tables;
        QVERIFY2(db::ConvertJetFile(old, converted, &tables, &why), qPrintable(why));
        QCOMPARE(Digest(old), before);

        const QJsonObject expected = Expected(version, jet3, doubleNumeric);
        QCOMPARE(expected.keys().size(), version == 1 ? 2 : version == 2 ? 3 : 4);
        QCOMPARE(tables.size(), expected.size());
        for (const QString& table : expected.keys()) {
            const QJsonObject t = expected.value(table).toObject();
            QStringList columns;
            for (const QJsonValue& c : t.value(QStringLiteral("columns")).toArray())
                columns << c.toString();
            const QList<QStringList> ours = Rows(converted, table, columns);
            const QList<QStringList> exported = Exported(old, table);
            const QJsonArray rows = t.value(QStringLiteral("rows")).toArray();
            QCOMPARE(ours.size(), rows.size());
            QCOMPARE(exported.size(), rows.size());
            for (int r = 0; r < rows.size(); ++r) {
                QCOMPARE(ours[r].size(), columns.size());
                for (int c = 0; c < columns.size(); ++c) {
                    const QJsonValue want = rows[r].toArray().at(c);
                    const QString where = QStringLiteral("%1.%2, row %3").arg(table, columns[c]).arg(r + 1);
                    QVERIFY2(ours[r][c] == Text(want) && ours[r][c].isNull() == want.isNull(),
                             qPrintable(where + QStringLiteral(": ") + ours[r][c].left(40)));
                    QVERIFY2(SameAsExported(ours[r][c], exported[r].value(c)), qPrintable(where));
                }
            }
        }
        QCOMPARE(
            Rows(converted, QStringLiteral("poznamky"), {QStringLiteral("length(pozn)")}).value(2).value(0),
            QStringLiteral("9358"));

        // At start, with the user's consent: the original kept byte for byte under the backup
        // name, the new file opened, upgraded, and holding every contact and note.
        QVERIFY(QFile::copy(old, m_box->dbPath()));
        MessageDialogSeam::setNextAnswer(0);
        m_w = testsupport::StartMain();
        QVERIFY(m_w->started());
        const QList<MessageDialogSeam::Record> shown = MessageDialogSeam::shown();
        QVERIFY(!shown.isEmpty());
        QCOMPARE(shown.first().text,
                 QStringLiteral("Soubor Zvonisty.mdb pochází ze starší verze programu. Převést "
                                "jej do nového formátu? Původní soubor zůstane uložen jako "
                                "Zvonisty-puvodni.mdb."));
        QCOMPARE(shown.first().buttonSet, 1);
        QCOMPARE(
            Parts(*m_w).StatusBar1->currentMessage(),
            QStringLiteral("Soubor Zvonisty.mdb byl převeden do nového formátu: 6 kontaktů, 6 doplňujících "
                           "poznámek. Původní soubor je uložen jako Zvonisty-puvodni.mdb."));
        QCOMPARE(Digest(m_box->path(QStringLiteral("Zvonisty-puvodni.mdb"))), before);
        m_w.reset();
        const QString now = m_box->dbPath();
        QCOMPARE(Version(now), 4);
        QCOMPARE(Rows(now, QStringLiteral("sloupce"), {QStringLiteral("id")}),
                 (QList<QStringList>{
                     {QStringLiteral("poradi")}, {QStringLiteral("sort")}, {QStringLiteral("sirka")}}));
        const QList<QStringList> contacts =
            Rows(now, QStringLiteral("zvonisty"),
                 {QStringLiteral("id"), QStringLiteral("jmeno"), QStringLiteral("skype")});
        QCOMPARE(contacts.size(), 6);
        QCOMPARE(contacts[1], (QStringList{QStringLiteral("2"), QStringLiteral("Šťastná Věra"),
                                           version >= 2 ? QStringLiteral("") : QString()}));
        QCOMPARE(Rows(now, QStringLiteral("poznamky"), {QStringLiteral("id")}).size(), 6);
        QCOMPARE(QDir(m_box->path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
    }

    // A note longer than any buffer libmdb is first given comes whole, character for character.
    void longNoteReadWhole()
    {
        const QString old = m_box->path(QStringLiteral("dlouha.mdb"));
        const QByteArray note = RunPython(
            QStringLiteral("import sys; sys.path.insert(0, sys.argv[1]); import jetwrite\n"
                           "t = jetwrite.zvonisty_tables(4)\n"
                           "note = ''.join('řádek %05d; Žluťoučký kůň\\r\\n' % i for i in range(4000))\n"
                           "t[1][2].append({'id': 1, 'pozn': note, 'dat': None})\n"
                           "jetwrite.write_mdb(sys.argv[2], t, version='jet4')\n"
                           "sys.stdout.buffer.write(note.encode('utf-8'))"),
            {old});
        QVERIFY(note.size() > 128 * 1024);
        const QString converted = m_box->path(QStringLiteral("prevedeny.mdb"));
        QString why;
        QVERIFY2(db::ConvertJetFile(old, converted, nullptr, &why), qPrintable(why));
        QCOMPARE(Rows(converted, QStringLiteral("poznamky"), {QStringLiteral("pozn")}).last().value(0),
                 QString::fromUtf8(note));
    }

    // New contacts continue after the highest id, so every note stays with its contact.
    void newContactsContinueAfterTheOldIds()
    {
        QVERIFY(QFile::copy(Fixture(QStringLiteral("zvonisty-v2-jet4.mdb")), m_box->dbPath()));
        MessageDialogSeam::setNextAnswer(0);
        m_w = testsupport::StartMain();
        QVERIFY(m_w->started());
        testsupport::Exec(m_w->directory().connection(), QStringLiteral("insert into zvonisty (jmeno) values ('Nový')"));
        m_w.reset();
        QCOMPARE(Rows(m_box->dbPath(), QStringLiteral("zvonisty"), {QStringLiteral("id")}).last().value(0),
                 QStringLiteral("7"));
    }

    void declinedEndsAndLeavesTheFile()
    {
        QVERIFY(QFile::copy(Fixture(QStringLiteral("zvonisty-v4-jet3.mdb")), m_box->dbPath()));
        const QByteArray before = Digest(m_box->dbPath());
        MessageDialogSeam::setNextAnswer(1);
        m_w = testsupport::StartMain();
        QVERIFY(!m_w->started());
        QCOMPARE(MessageDialogSeam::shown().size(), 1);
        QCOMPARE(Digest(m_box->dbPath()), before);
        QCOMPARE(QDir(m_box->path()).entryList(QDir::Files), QStringList{QStringLiteral("Zvonisty.mdb")});
    }

    // A backup name that is taken is never written over: the next number is used and named.
    void takenBackupNameGetsANumber()
    {
        QVERIFY(QFile::copy(Fixture(QStringLiteral("zvonisty-v4-jet4.mdb")), m_box->dbPath()));
        testsupport::WriteBytes(m_box->path(QStringLiteral("Zvonisty-puvodni.mdb")), "jiny soubor");
        testsupport::WriteBytes(m_box->path(QStringLiteral("Zvonisty-prevod.tmp")), "taky jiny");
        MessageDialogSeam::setNextAnswer(0);
        m_w = testsupport::StartMain();
        QVERIFY(m_w->started());
        QVERIFY(
            MessageDialogSeam::shown().first().text.endsWith(QStringLiteral("jako Zvonisty-puvodni-2.mdb.")));
        QVERIFY(Parts(*m_w).StatusBar1->currentMessage().endsWith(
            QStringLiteral("Původní soubor je uložen jako Zvonisty-puvodni-2.mdb.")));
        QCOMPARE(testsupport::ReadBytes(m_box->path(QStringLiteral("Zvonisty-prevod.tmp"))),
                 QByteArray("taky jiny"));
        QCOMPARE(testsupport::ReadBytes(m_box->path(QStringLiteral("Zvonisty-puvodni.mdb"))),
                 QByteArray("jiny soubor"));
        QCOMPARE(Digest(m_box->path(QStringLiteral("Zvonisty-puvodni-2.mdb"))),
                 Digest(Fixture(QStringLiteral("zvonisty-v4-jet4.mdb"))));
    }

    // Killed at any moment, the name holds the original or the whole new file, never a half one.
    void killedConversionLeavesOneWholeFile()
    {
        const QString big = Made().big;
        const QByteArray original = Digest(big);
        QElapsedTimer clock;
        qint64 fullMs = 0;
        for (int round = 0; round < 10; ++round) {
            QTemporaryDir dir;
            const QString path = dir.filePath(QStringLiteral("Zvonisty.mdb"));
            QVERIFY(QFile::copy(big, path));
            QProcess p;
            p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            clock.start();
            p.start(QApplication::applicationFilePath(), {QString::fromLatin1(kInPlaceOption), path});
            if (round == 0) {
                QVERIFY(p.waitForFinished(120000));
                QCOMPARE(p.exitCode(), 0);
                fullMs = clock.elapsed();
            } else {
                QTest::qWait(int(fullMs * round / 9));
                p.kill();
                p.waitForFinished(10000);
            }
            QTest::qWait(50); // the reading process ends with its parent
            const QByteArray now = Digest(path);
            if (now == original)
                continue;
            QCOMPARE(Rows(path, QStringLiteral("zvonisty"), {QStringLiteral("count(*)")}).value(0).value(0),
                     QStringLiteral("20006"));
            QCOMPARE(Rows(path, QStringLiteral("poznamky"), {QStringLiteral("count(*)")}).value(0).value(0),
                     QStringLiteral("6"));
            QCOMPARE(Digest(dir.filePath(QStringLiteral("Zvonisty-puvodni.mdb"))), original);
        }
    }

    void mergeOfEveryVersion_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("icqSkype");
        for (int v = 1; v <= 4; ++v)
            QTest::addRow("version %d", v) << QStringLiteral("zvonisty-v%1-jet4.mdb").arg(v) << (v >= 2);
        QTest::newRow("version 2, Jet 3") << QStringLiteral("zvonisty-v2-jet3.mdb") << true;
    }

    // Merged as any other directory: icq and skype only from version 2, the file untouched.
    void mergeOfEveryVersion()
    {
        QFETCH(QString, file);
        QFETCH(bool, icqSkype);
        m_box->createDirectory(4);
        m_w = testsupport::StartMain();
        const QByteArray before = Digest(Fixture(file));
        FileDialog::setNextFileName(Fixture(file));
        Parts(*m_w).PidatzznamyzjinDBjennovsla1->trigger();
        QCOMPARE(MessageDialogSeam::shown().last().text, QStringLiteral("Počet přidaných položek: 6"));
        QCOMPARE(Digest(Fixture(file)), before);
        const QStringList novak = testsupport::Column(
            m_w->directory().connection(), QStringLiteral("select icq from zvonisty where jmeno = 'Novák Jan'"),
            QStringLiteral("icq"));
        QCOMPARE(novak, QStringList{icqSkype ? QStringLiteral("123456789") : QString()});
        QCOMPARE(
            testsupport::Column(m_w->directory().connection(),
                                QStringLiteral("select jmeno from zvonisty where telefon = '543 210 999'"),
                                QStringLiteral("jmeno")),
            QStringList{QStringLiteral("ÚDRŽBA – Žďár nad Sázavou")});
    }
};

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], kInPlaceOption) == 0) {
        QCoreApplication application(argc, argv);
        return ConvertInPlace(argv[2]);
    }
    QApplication application(argc, argv);
    TestOldFiles test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_oldfiles.moc"
