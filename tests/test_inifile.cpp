#include "app/AppContext.h"
#include "app/IniFile.h"
#include "db/engine/ErrorLog.h"
#include "testsupport/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using testsupport::ReadBytes;
using testsupport::WriteBytes;

namespace {

QString Describe(const LegacySettings& s)
{
    const auto flag = [](const std::optional<bool>& v) { return v ? QString::number(*v) : QStringLiteral("-"); };
    return QStringList{flag(s.allwaysOnTop), flag(s.autoSearch), s.searchBy ? QString::number(*s.searchBy) : QStringLiteral("-"),
                       flag(s.dotPriUzavr), flag(s.minPriAltF4), flag(s.pametSirkaSl)}
        .join(QLatin1Char(' '));
}

} // namespace

class TestIniFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_logDir;
    QString m_ini;

    QString LogText() const { return testsupport::ReadCp1250(ErrorLogPath()); }

private slots:
    void init()
    {
        QVERIFY(m_logDir.isValid());
        app::SetExecutableDir(m_logDir.path());
        QFile::remove(ErrorLogPath());
        m_ini = m_logDir.filePath(QStringLiteral("Zvonisty.ini"));
        QFile::remove(m_ini);
    }

    void write_data()
    {
        QTest::addColumn<QByteArray>("before"); // null: no file yet
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("new file") << QByteArray() << "NASTAVENI" << "AutoSearch" << "1" << QByteArray("[NASTAVENI]\r\nAutoSearch=1\r\n");
        QTest::newRow("replace in place, others kept")
            << QByteArray("; moje poznámka\r\n[NASTAVENI]\r\nCizi=x\r\n\r\nAutoSearch = 0 \r\nSearchBy=2\r\n[POZICE]\r\nTop=5\r\n")
            << "NASTAVENI" << "AutoSearch" << "1"
            << QByteArray("; moje poznámka\r\n[NASTAVENI]\r\nCizi=x\r\n\r\nAutoSearch =1\r\nSearchBy=2\r\n[POZICE]\r\nTop=5\r\n");
        QTest::newRow("names without case")
            << QByteArray("[nastaveni]\r\nautosearch=0\r\n") << "NASTAVENI" << "AutoSearch" << "1"
            << QByteArray("[nastaveni]\r\nautosearch=1\r\n");
        QTest::newRow("key added at end of its section")
            << QByteArray("[NASTAVENI]\r\nA=1\r\n\r\n[POZICE]\r\nTop=5\r\n") << "NASTAVENI" << "SearchBy" << "3"
            << QByteArray("[NASTAVENI]\r\nA=1\r\nSearchBy=3\r\n\r\n[POZICE]\r\nTop=5\r\n");
        QTest::newRow("section added at end") << QByteArray("[NASTAVENI]\r\nA=1\r\n") << "POZICE" << "Top" << "12"
                                              << QByteArray("[NASTAVENI]\r\nA=1\r\n[POZICE]\r\nTop=12\r\n");
        QTest::newRow("unterminated last line, new section")
            << QByteArray("[NASTAVENI]\r\nPametSirkaSl=0") << "POZICE"
            << "Top"
            << "2" << QByteArray("[NASTAVENI]\r\nPametSirkaSl=0\r\n[POZICE]\r\nTop=2\r\n");
        QTest::newRow("unterminated last line") << QByteArray("[POZICE]\r\nLeft=1") << "POZICE" << "Top" << "2"
                                                << QByteArray("[POZICE]\r\nLeft=1\r\nTop=2\r\n");
        QTest::newRow("LF file stays LF") << QByteArray("[POZICE]\nLeft=1\n") << "POZICE" << "Top" << "2"
                                          << QByteArray("[POZICE]\nLeft=1\nTop=2\n");
        QTest::newRow("key with equals sign encoded") << QByteArray() << "S" << "a=b" << "v" << QByteArray("[S]\r\na#R#b=v\r\n");
        QTest::newRow("undefined byte of a foreign line kept")
            << QByteArray("x=\x81\x98\r\n[S]\r\nk=1\r\n") << "S" << "k" << "2" << QByteArray("x=\x81\x98\r\n[S]\r\nk=2\r\n");
    }

    void write()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        if (!before.isNull())
            WriteBytes(m_ini, before);

        bool written = false;
        QCOMPARE(IniAccess(m_ini, settings::IniWrite, section, key, value, &written), QString());
        QVERIFY(written);
        QCOMPARE(ReadBytes(m_ini), after);
        QCOMPARE(IniAccess(m_ini, settings::IniRead, section.toLower(), key.toUpper()), value);
        QVERIFY(!QFile::exists(ErrorLogPath()));
        // Nothing but the settings file is left beside it.
        QCOMPARE(QDir(m_logDir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Zvonisty.ini")});
    }

    void read_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");

        const QByteArray file("[NASTAVENI]\r\n; SearchBy=9\r\nsearchby = 3 \r\n[POZICE]\r\nTop=40\r\n[NASTAVENI]\r\nAutoSearch=0\r\n");
        QTest::newRow("trimmed, any case") << file << "nastaveni" << "SEARCHBY" << "3";
        QTest::newRow("other section") << file << "POZICE" << "Top" << "40";
        QTest::newRow("key of another section") << file << "NASTAVENI" << "Top" << "";
        QTest::newRow("repeated section ignored") << file << "NASTAVENI" << "AutoSearch" << "";
        QTest::newRow("value with equals sign") << QByteArray("[S]\nk=a=b\n") << "S" << "k" << "a=b";
        QTest::newRow("encoded key") << QByteArray("[S]\na#R#b=1\n") << "S" << "a=b" << "1";
        QTest::newRow("cp1250 text") << QByteArray("[S]\r\nk=\xe8\xed\x9a\xec\r\n") << "S" << "k" << QStringLiteral("číšě");
    }

    void read()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        WriteBytes(m_ini, content);
        QCOMPARE(IniAccess(m_ini, settings::IniRead, section, key), expected);
        QCOMPARE(ReadBytes(m_ini), content);
        QVERIFY(!QFile::exists(ErrorLogPath()));
    }

    void missingFileIsNoFailure()
    {
        QCOMPARE(IniAccess(m_ini, settings::IniRead, QStringLiteral("NASTAVENI"), QStringLiteral("AutoSearch")), QString());
        QVERIFY(!QFile::exists(m_ini));
        QVERIFY(!QFile::exists(ErrorLogPath()));
    }

    void czechRoundTrip()
    {
        const QString value = QStringLiteral("Příliš žluťoučký kůň úpěl ďábelské ódy");
        IniAccess(m_ini, settings::IniWrite, QStringLiteral("Skupiny"), QStringLiteral("Název"), value);
        QStringEncoder encoder("windows-1250");
        const QByteArray expected = encoder.encode(QStringLiteral("[Skupiny]\r\nNázev=") + value + QStringLiteral("\r\n"));
        QCOMPARE(ReadBytes(m_ini), expected);
        QCOMPARE(IniAccess(m_ini, settings::IniRead, QStringLiteral("SKUPINY"), QStringLiteral("NÁZEV")), value);
    }

    void failures_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("value");
        QTest::newRow("folder is a file") << "notAFolder" << settings::IniWrite << "1";
        QTest::newRow("disk full") << "full" << settings::IniWrite << "1";
        QTest::newRow("pipe, read") << "fifo" << settings::IniRead << "";
        QTest::newRow("pipe, write") << "fifo" << settings::IniWrite << "1";
        QTest::newRow("over 1 MB, read") << "huge" << settings::IniRead << "";
        QTest::newRow("over 1 MB, write") << "huge" << settings::IniWrite << "1";
        QTest::newRow("path is a folder, read") << "folder" << settings::IniRead << "";
        QTest::newRow("text outside cp1250") << "plain" << settings::IniWrite << QStringLiteral("日本");
        QTest::newRow("line break in value") << "plain" << settings::IniWrite << "1\r\n[X]";
    }

    void failures()
    {
        QFETCH(QString, kind);
        QFETCH(int, mode);
        QFETCH(QString, value);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("z.ini"));
        // Long enough for a write to run into the limit of the full disk below, which the
        // shorter log line does not reach.
        const QByteArray original =
            QByteArray("[S]\r\nk=old\r\n") + QByteArray("; ").append(QByteArray(3000, 'x')) + "\r\n";
        QByteArray expected = original;
        if (kind == QLatin1String("notAFolder")) {
            WriteBytes(dir.filePath(QStringLiteral("file")), "x");
            path = dir.filePath(QStringLiteral("file/z.ini"));
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("z.ini")));
        } else if (kind == QLatin1String("fifo")) {
            // Opening a pipe with no writer would block the program for good.
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == QLatin1String("huge")) {
            expected = QByteArray("[S]\r\nk=old\r\n") + QByteArray(1024 * 1024, ';');
            WriteBytes(path, expected);
        } else {
            WriteBytes(path, original);
        }

        bool written = true;
        if (kind == QLatin1String("full")) {
            // A disk that is full for this process, root or not.
            struct rlimit old
            {
            };
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
            const auto previousSignal = signal(SIGXFSZ, SIG_IGN);
            struct rlimit small = old;
            small.rlim_cur = 2000;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
            QCOMPARE(IniAccess(path, mode, QStringLiteral("S"), QStringLiteral("k"), value, &written),
                     QString());
            setrlimit(RLIMIT_FSIZE, &old);
            signal(SIGXFSZ, previousSignal);
        } else {
            QCOMPARE(IniAccess(path, mode, QStringLiteral("S"), QStringLiteral("k"), value, &written),
                     QString());
        }
        QVERIFY(!written);
        QVERIFY2(LogText().contains(QStringLiteral("z.ini")), qPrintable(LogText()));
        if (kind == QLatin1String("plain") || kind == QLatin1String("full") || kind == QLatin1String("huge"))
            QCOMPARE(ReadBytes(path), expected);
        // No temporary file is left beside it.
        QCOMPARE(
            QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Dirs | QDir::NoDotAndDotDot).size(),
            1);
    }

    void replaceAll_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("searched");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<QString>("expected");
        QTest::newRow("a=b=c") << "a=b=c" << "=" << "#R#" << "a#R#b#R#c";
        QTest::newRow("empty searched") << "abc" << "" << "x" << "abc";
        QTest::newRow("restart finds joined text") << "aabb" << "ab" << "" << "";
        QTest::newRow("restart, same length") << "aab" << "ab" << "ba" << "baa";
        QTest::newRow("replacement holds searched") << "a=b" << "=" << "==" << "a==b";
        QTest::newRow("never-ending growth") << "aab" << "ab" << "bbaa" << "abbaa";
    }

    void replaceAll()
    {
        QFETCH(QString, text);
        QFETCH(QString, searched);
        QFETCH(QString, replacement);
        QFETCH(QString, expected);
        QCOMPARE(ReplaceAll(text, searched, replacement), expected);
    }

    void readers_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("boolDefault");
        QTest::addColumn<bool>("asBool");
        QTest::addColumn<int>("asInt"); // default 7
        QTest::newRow("0") << "0" << true << false << 0;
        QTest::newRow("1") << "1" << false << true << 1;
        QTest::newRow("huge") << "99999999999999999999" << false << true << 7;
        QTest::newRow("TRUE") << "TRUE" << false << true << 7;
        QTest::newRow("False") << "False" << true << false << 7;
        QTest::newRow("empty") << "" << true << true << 7;
        QTest::newRow("word") << "ano" << true << true << 7;
        QTest::newRow("number and text") << "1x" << false << false << 7;
        QTest::newRow("blanks") << " 5 " << false << true << 5;
    }

    void readers()
    {
        QFETCH(QString, stored);
        QFETCH(bool, boolDefault);
        QFETCH(bool, asBool);
        QFETCH(int, asInt);
        QCOMPARE(IniReadBool(stored, boolDefault), asBool);
        QCOMPARE(IniReadInt(stored, 7), asInt);
    }


    void legacy_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("expected"); // top auto searchBy dot min width
        QTest::newRow("empty") << QStringList() << "- - - - - -";
        QTest::newRow("on top, organizace") << QStringList{"AllwaysOnTop=1", "SearchBy=3"} << "1 - 3 - - -";
        QTest::newRow("defaults are no change")
            << QStringList{"AllwaysOnTop=0", "AutoSearch=1", "DotPriUzavr=0", "MinPriAltF4=1", "PametSirkaSl=1"} << "- - - - - -";
        QTest::newRow("all moved") << QStringList{"AutoSearch=0", "DotPriUzavr=1", "MinPriAltF4=0", "PametSirkaSl=0"} << "- 0 - 1 0 0";
        QTest::newRow("substring anywhere") << QStringList{"xx AllwaysOnTop=1yy"} << "1 - - - - -";
        QTest::newRow("SearchBy junk") << QStringList{"SearchBy=abc"} << "- - 0 - - -";
        QTest::newRow("SearchBy after text") << QStringList{"x SearchBy=2"} << "- - 0 - - -";
        QTest::newRow("later line wins") << QStringList{"SearchBy=2", "SearchBy=9"} << "- - 9 - - -";
    }

    void legacy()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, expected);
        QCOMPARE(Describe(ParseLegacySettings(lines)), expected);
    }

    void legacyFile()
    {
        const QString path = m_logDir.filePath(QStringLiteral("nastaveni.ini"));
        QCOMPARE(Describe(ReadLegacySettingsFile(path)), QStringLiteral("- - - - - -"));
        testsupport::WriteCp1250(path, QStringLiteral("Poznámka čeština\r\nAllwaysOnTop=1\r\nSearchBy=3"));
        QCOMPARE(Describe(ReadLegacySettingsFile(path)), QStringLiteral("1 - 3 - - -"));
    }

    void settingsPath_data()
    {
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("expected");
        QTest::newRow("exe") << "C:/Program/" << "Zvonisty.exe" << "C:/Program/Zvonisty.ini";
        QTest::newRow("no extension") << "/opt/z/" << "zvonisty" << "/opt/z/zvonisty.ini";
        QTest::newRow("last dot only") << "/opt/z/" << "zvon.v2.exe" << "/opt/z/zvon.v2.ini";
    }

    void settingsPath()
    {
        QFETCH(QString, dir);
        QFETCH(QString, file);
        QFETCH(QString, expected);
        QCOMPARE(SettingsFilePath(dir, file), expected);
    }

};

QTEST_GUILESS_MAIN(TestIniFile)
#include "test_inifile.moc"
