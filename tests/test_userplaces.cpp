// Where the settings file, Error.log and the directory file live: beside a writable executable,
// otherwise in the per-user places.
#include "app/AppContext.h"
#include "app/CommandLine.h"
#include "app/UserPlaces.h"
#include "db/engine/ErrorLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestUserPlaces : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousCurrent;

    QString path(const QString& name) const { return m_dir->filePath(name); }
    void setEnv(const char* name, const QString& value)
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value.toLocal8Bit());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Zvonisty"));
        m_previousCurrent = QDir::currentPath();
    }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QDir().mkpath(path(QStringLiteral("bin")));
        app::SetExecutableDir(path(QStringLiteral("bin")));
        setEnv("HOME", path(QStringLiteral("home")));
        setEnv("XDG_CONFIG_HOME", QString());
        setEnv("XDG_STATE_HOME", QString());
        setEnv("XDG_DATA_HOME", QString());
        setEnv("ZVONISTY_PER_USER", QString());
    }
    void cleanup()
    {
        QDir::setCurrent(m_previousCurrent);
        app::SetSettingsDir(QString());
        app::SetExecutableDir(QString());
        m_dir.reset();
    }

    void writableFolderKeepsEverythingBesideTheExecutable()
    {
        QVERIFY(!app::UsesPerUserPlaces());
        app::ChooseDataPlaces();
        QCOMPARE(app::SettingsDir(), path(QStringLiteral("bin/")));
        QCOMPARE(ErrorLogPath(), path(QStringLiteral("bin/Error.log")));
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("home"))));
    }

    void perUserPlaces_data()
    {
        QTest::addColumn<bool>("xdg");
        QTest::addColumn<QString>("config");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("data");
        QTest::newRow("XDG variables") << true << "xdg-config/Zvonisty/"
                                       << "xdg-state/Zvonisty/"
                                       << "xdg-data/Zvonisty";
        QTest::newRow("home only") << false << "home/.config/Zvonisty/"
                                   << "home/.local/state/Zvonisty/"
                                   << "home/.local/share/Zvonisty";
    }
    void perUserPlaces()
    {
        QFETCH(bool, xdg);
        QFETCH(QString, config);
        QFETCH(QString, state);
        QFETCH(QString, data);
        if (xdg) {
            setEnv("XDG_CONFIG_HOME", path(QStringLiteral("xdg-config")));
            setEnv("XDG_STATE_HOME", path(QStringLiteral("xdg-state")));
            setEnv("XDG_DATA_HOME", path(QStringLiteral("xdg-data")));
        }
        setEnv("ZVONISTY_PER_USER", QStringLiteral("1"));
        QVERIFY(app::UsesPerUserPlaces());
        app::ChooseDataPlaces();
        QCOMPARE(app::SettingsDir(), path(config));
        QVERIFY(QFileInfo(path(config)).isDir());
        QVERIFY(QFileInfo(path(state)).isDir());
        QVERIFY(WriteErrorLog(QStringLiteral("zkouška")));
        QVERIFY(QFileInfo::exists(path(state + QStringLiteral("Error.log"))));
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("bin/Error.log"))));

        QString why;
        QVERIFY(app::EnterUserDataFolder(&why));
        QCOMPARE(QDir::currentPath(), path(data));
        const QString file = path(data + QStringLiteral("/Zvonisty.mdb"));
        QVERIFY(QFileInfo(file).size() > 0);
        // A second start keeps the file.
        QFile f(file);
        QVERIFY(f.open(QIODevice::Append));
        f.write("x");
        f.close();
        const qint64 size = QFileInfo(file).size();
        QVERIFY(app::EnterUserDataFolder(&why));
        QCOMPARE(QFileInfo(file).size(), size);
    }

    void relativeStateHomeIsIgnored()
    {
        setEnv("XDG_STATE_HOME", QStringLiteral("relative/state"));
        QCOMPARE(app::PerUserStateDir(), path(QStringLiteral("home/.local/state/Zvonisty")));
    }

    void dataFolderThatCannotBeMadeIsReported()
    {
        setEnv("XDG_DATA_HOME", path(QStringLiteral("blocked")));
        QFile blocker(path(QStringLiteral("blocked")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QString why;
        QVERIFY(!app::EnterUserDataFolder(&why));
        QVERIFY(why.startsWith(QStringLiteral("Nelze použít složku dat")));
        QCOMPARE(QDir::currentPath(), m_previousCurrent);
    }

    void userDataOption()
    {
        QVERIFY(HandleCommandLine({QStringLiteral("zvonisty"), QStringLiteral("--user-data")}).userData);
        const CommandLineRequest plain = HandleCommandLine({QStringLiteral("zvonisty")});
        QVERIFY(!plain.userData);
        QCOMPARE(plain.action, CommandLineRequest::Action::Run);
    }
};

QTEST_GUILESS_MAIN(TestUserPlaces)
#include "test_userplaces.moc"
