// The options in the settings file beside the executable.
#include "app/IniFile.h"
#include "app/TMain.h"
#include "db/contacts/Query.h"
#include "testsupport/MainParts.h"
#include "testsupport/TestSupport.h"
#include "ui/MessageDialog.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

using testsupport::Parts;
using testsupport::ReadCp1250;
using testsupport::Sandbox;
using testsupport::WriteCp1250;

namespace {

QString Option(const QString& path, const char* key)
{
    return IniAccess(path, 0, QStringLiteral("NASTAVENI"), QLatin1String(key));
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

    std::unique_ptr<Sandbox> m_box;

    QString iniPath() const { return m_box->path(QStringLiteral("zvonisty.ini")); }

private Q_SLOTS:
    void init()
    {
        m_box = std::make_unique<Sandbox>();
        m_box->createDirectory();
    }
    void cleanup() { m_box.reset(); }

    void firstStartWritesTheSixKeys()
    {
        TMain w;
        const QStringList expected = {QStringLiteral("AllwaysOnTop=0"), QStringLiteral("AutoSearch=1"),
                                      QStringLiteral("SearchBy=0"),     QStringLiteral("DotPriUzavr=0"),
                                      QStringLiteral("MinPriAltF4=1"),  QStringLiteral("PametSirkaSl=1")};
        const QString text = ReadCp1250(iniPath());
        QVERIFY(text.startsWith(QStringLiteral("[NASTAVENI]")));
        int at = 0;
        for (const QString& line : expected) {
            const int found = int(text.indexOf(line, at));
            QVERIFY2(found > at, qPrintable(line));
            at = found;
        }
    }

    void olderFileIsTakenOverOnceAndDeleted()
    {
        WriteCp1250(m_box->path(QStringLiteral("nastaveni.ini")),
                    QStringLiteral("AllwaysOnTop=1\r\nSearchBy= 3 \r\nnesmysl\r\n"));
        TMain w;
        QVERIFY(Parts(w).Vdynahoe1->isChecked());
        QVERIFY(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(Parts(w).hledat_dleButtons->checkedId(), 3);
        // Selecting the stored column ran its search once.
        QVERIFY(Parts(w).ADOQuery1->sql().startsWith(
            QStringLiteral("select * from zvonisty where organizace like '%%'")));
        QCOMPARE(Option(iniPath(), "AllwaysOnTop"), QStringLiteral("1"));
        QCOMPARE(Option(iniPath(), "SearchBy"), QStringLiteral("3"));
        QVERIFY(!QFileInfo::exists(m_box->path(QStringLiteral("nastaveni.ini"))));
    }

    void storedValuesAndDefaults_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("searchBy");
        QTest::addColumn<bool>("dotaz");
        QTest::addColumn<bool>("onTop");
        QTest::newRow("SearchBy=9 is Vše") << "[NASTAVENI]\r\nSearchBy=9\r\nDotPriUzavr=0\r\n"
                                           << 5 << false << false;
        QTest::newRow("missing key ticks the question") << "[nastaveni]\r\nsearchby=1\r\n"
                                                        << 1 << true << false;
        QTest::newRow("words and junk")
            << "[NASTAVENI]\r\nAllwaysOnTop=True\r\nSearchBy=x\r\nDotPriUzavr=FALSE\r\n"
            << 0 << false << true;
    }
    void storedValuesAndDefaults()
    {
        QFETCH(QString, file);
        QFETCH(int, searchBy);
        QFETCH(bool, dotaz);
        QFETCH(bool, onTop);
        WriteCp1250(iniPath(), file);
        TMain w;
        QCOMPARE(Parts(w).hledat_dleButtons->checkedId(), searchBy);
        QCOMPARE(Parts(w).Dotazpiuzaven1->isChecked(), dotaz);
        QCOMPARE(Parts(w).Vdynahoe1->isChecked(), onTop);
        QCOMPARE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
        QVERIFY(Parts(w).autoSearch->isChecked());
        QVERIFY(Parts(w).MinimalizovataplikacipistiskuAltF41->isChecked());
    }

    void optionsAreSavedOnlyOnRequestAndForeignLinesStay()
    {
        WriteCp1250(iniPath(),
                    QStringLiteral("; poznámka uživatele\r\n[NASTAVENI]\r\nAutoSearch=1\r\nCizi=ponechat\r\n"
                                   "[POZICE]\r\nTop=5\r\n"));
        {
            TMain w;
            Parts(w).autoSearch->setChecked(false);
        }
        QCOMPARE(Option(iniPath(), "AutoSearch"), QStringLiteral("1"));
        TMain w;
        Parts(w).autoSearch->setChecked(false);
        Parts(w).Uloitnastaven1->trigger();
        QCOMPARE(Option(iniPath(), "AutoSearch"), QStringLiteral("0"));
        const QString text = ReadCp1250(iniPath());
        QVERIFY(text.startsWith(
            QStringLiteral("; poznámka uživatele\r\n[NASTAVENI]\r\nAutoSearch=0\r\nCizi=ponechat\r\n")));
        QVERIFY(text.contains(QStringLiteral("[POZICE]\r\nTop=5")));
        // The save is confirmed by the picture, shown for two ticks.
        QVERIFY(Parts(w).TimerSaveAnim->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(!Parts(w).Image1->isHidden(), 1000);
        QTRY_VERIFY_WITH_TIMEOUT(Parts(w).Image1->isHidden(), 2000);
        QVERIFY(!Parts(w).TimerSaveAnim->isActive());
        // The count starts again: the next save is confirmed as the first was.
        Parts(w).Uloitnastaven1->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!Parts(w).Image1->isHidden(), 1000);
    }

    void failedSaveIsToldAndNotConfirmed()
    {
        TMain w;
        // A folder in place of the settings file: no write can succeed, even as root.
        QVERIFY(QDir().remove(iniPath()) && QDir().mkdir(iniPath()));
        MessageDialogSeam::clearShown();
        Parts(w).Uloitnastaven1->trigger();
        QVERIFY(!Parts(w).TimerSaveAnim->isActive());
        QVERIFY(Parts(w).Image1->isHidden());
        QCOMPARE(MessageDialogSeam::shown().size(), 1);
        QVERIFY(MessageDialogSeam::shown().first().text.startsWith(
            QStringLiteral("Nastavení se nepodařilo uložit")));
    }

    void settingsFileThatIsNoRegularFileIsNotRead_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("pipe") << "pipe";
        QTest::newRow("over 1 MB") << "huge";
    }
    void settingsFileThatIsNoRegularFileIsNotRead()
    {
        QFETCH(QString, kind);
        if (kind == QLatin1String("pipe")) {
            QCOMPARE(mkfifo(QFile::encodeName(iniPath()).constData(), 0600), 0);
        } else {
            QFile f(iniPath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[NASTAVENI]\r\nAutoSearch=0\r\n");
            f.write(QByteArray(1024 * 1024, ';'));
        }
        // The start does not wait on the pipe, and the options keep their defaults.
        TMain w;
        QVERIFY(w.started());
        QVERIFY(Parts(w).autoSearch->isChecked());
        QVERIFY(m_box->errorLog().contains(QStringLiteral("zvonisty.ini")));
    }

    void settingsFileThatCannotBeCreated()
    {
        // The settings path is taken by a folder: nothing is written and the older file stays.
        QDir(m_box->path()).mkdir(QStringLiteral("zvonisty.ini"));
        WriteCp1250(m_box->path(QStringLiteral("nastaveni.ini")), QStringLiteral("AutoSearch=0\r\n"));
        TMain w;
        QVERIFY(w.started());
        QVERIFY(!Parts(w).autoSearch->isChecked());
        QVERIFY(QFileInfo::exists(m_box->path(QStringLiteral("nastaveni.ini"))));
        QVERIFY(QFileInfo(iniPath()).isDir());
    }
};

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
