// The update check against a small HTTP server on the loopback address.
#include "app/TMain.h"
#include "db/contacts/Directory.h"
#include "db/contacts/Query.h"
#include "testsupport/MainParts.h"
#include "testsupport/TestSupport.h"
#include "ui/MainWindowPort.h"
#include "ui/MessageDialog.h"
#include "ui/OpenUrl.h"
#include "update/CheckForUpdates.h"

#include "Version.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QStringEncoder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

using testsupport::Parts;

namespace {

const QString Failed = QStringLiteral("Nepodařilo se zjistit informace o aktualizacích!\r"
                                      "Ověřte funkčnost připojení k internetu.");
const QString Same = QStringLiteral("Na Webu není aktuálně nová verze ke stažení.");
const QString NotNewer = QStringLiteral("Na Webu není novější verze programu.");

QString Question(const QString& version, const QString& date)
{
    return QStringLiteral(
               "Na Webu je nová verze programu \"%1\" z %2 ke stažení, chcete otevřít stránku programu?")
        .arg(version, date);
}

// Answers every request with one status and body, or never answers at all.
class UpdateServer : public QObject
{
public:
    int status = 200;
    QByteArray body;
    bool silent = false;
    QByteArray redirectTo; // a path: "302 Found" with a Location header for any other path
    QList<QByteArray> requests;
    std::function<void()> onRequest;

    bool start() { return m_server.listen(QHostAddress::LocalHost); }
    QString site() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }

    UpdateServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
            }
        });
    }

private:
    void answer(QTcpSocket* socket)
    {
        QByteArray& request = m_pending[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        requests << request;
        if (onRequest)
            onRequest();
        if (silent)
            return;
        const QByteArray path = request.split(' ').value(1);
        QByteArray head;
        if (!redirectTo.isEmpty() && path != redirectTo)
            head = "HTTP/1.1 302 Found\r\nLocation: " + redirectTo + "\r\nContent-Length: 0\r\n";
        else
            head = "HTTP/1.1 " + QByteArray::number(status) + (status == 200 ? " OK" : " Error") +
                   "\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(body.size()) +
                   "\r\n";
        socket->write(head + "Connection: close\r\n\r\n" +
                      (path == redirectTo || redirectTo.isEmpty() ? body : ""));
        socket->disconnectFromHost();
        request.clear();
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_pending;
};

// The main window as the update check sees it.
class FakeWindow : public MainWindowPort
{
public:
    QWidget widget;
    QWidget* window() override { return &widget; }
    db::Directory nowhere{nullptr};
    db::Directory& directory() override { return nowhere; }
    db::Query none{nullptr};
    const db::Query& shownContacts() const override { return none; }
    QString directoryFilePath() const override { return QString(); }
    bool readOnly() const override { return false; }
    bool refreshGrid() override { return true; }
    bool reopenGrid() override { return true; }
    void showNumberHolders(const QString&) override {}
    QStringList groups() const override { return {}; }
    void addGroup(const QString&) override {}
    void focusSearch() override {}
    void setCommandsEnabled(bool) override {}
};

QByteArray Cp1250(const QString& text)
{
    QStringEncoder encoder("windows-1250");
    return encoder.encode(text);
}

QStringList ShownTexts()
{
    QStringList texts;
    for (const MessageDialogSeam::Record& r : MessageDialogSeam::shown())
        texts << r.text;
    return texts;
}

} // namespace

class TestUpdateCheck : public QObject
{
    Q_OBJECT

    FakeWindow* m_window = nullptr;
    QLabel* m_panel = nullptr;

    void check(const QString& site, int timeoutMs = 3000)
    {
        update::CheckOptions options;
        options.site = site;
        options.timeoutMs = timeoutMs;
        options.ownVersion = QStringLiteral("1.1.1.101");
        update::CheckForUpdates(*m_window, m_panel, options);
    }

private Q_SLOTS:
    void init()
    {
        MessageDialogSeam::setTestMode(true);
        MessageDialogSeam::clearShown();
        OpenUrlSeam::setTestMode(true);
        OpenUrlSeam::clearOpened();
        m_window = new FakeWindow;
        m_panel = new QLabel(QStringLiteral("Zjišťuji aktualizace..."), &m_window->widget);
        m_panel->hide();
        m_window->widget.show();
    }
    void cleanup()
    {
        delete m_window;
        m_window = nullptr;
    }

    void verdicts_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QList<int>>("icons");
        const QString ask = Question(QStringLiteral("1.1.1.102"), QStringLiteral("5.3.2009"));
        QTest::newRow("equal") << 200 << "[zvonisty]\r\nverze=1.1.1.101\r\ndatum=1.2.2009\r\n"
                               << QStringList{Same} << QList<int>{0};
        QTest::newRow("newer in the fourth field")
            << 200 << "[zvonisty]\r\nverze=1.1.1.102\r\ndatum=5.3.2009\r\n"
            << QStringList{ask} << QList<int>{1};
        QTest::newRow("newer in the third field")
            << 200 << "[zvonisty]\r\nverze=1.1.2.0\r\ndatum=1.4.2009\r\n"
            << QStringList{Question(QStringLiteral("1.1.2.0"), QStringLiteral("1.4.2009"))} << QList<int>{1};
        QTest::newRow("older") << 200 << "[zvonisty]\r\nverze=1.1.0.200\r\ndatum=x\r\n"
                               << QStringList{NotNewer} << QList<int>{0};
        QTest::newRow("compared as numbers") << 200 << "[zvonisty]\r\nverze=1.1.1.99\r\n"
                                             << QStringList{NotNewer} << QList<int>{0};
        QTest::newRow("01.1.1.101") << 200 << "[zvonisty]\r\nverze=01.1.1.101\r\n"
                                    << QStringList{NotNewer} << QList<int>{0};
        QTest::newRow("reversed key order") << 200 << "[zvonisty]\r\ndatum=5.3.2009\r\nverze=1.1.1.102\r\n"
                                            << QStringList{ask} << QList<int>{1};
        QTest::newRow("keys three lines down") << 200 << "[zvonisty]\r\n\r\n\r\nverze=1.1.1.102\r\n"
                                               << QStringList{NotNewer} << QList<int>{0};
        QTest::newRow("two section lines")
            << 200 << "[zvonisty]\r\nverze=1.1.1.101\r\n[zvonisty2]\r\nverze=1.1.1.5\r\n"
            << QStringList{Same, NotNewer} << QList<int>{0, 0};
        QTest::newRow("no section word")
            << 200 << "<html><body>Stránka nenalezena</body></html>" << QStringList{} << QList<int>{};
        QTest::newRow("empty body") << 200 << "" << QStringList{Failed} << QList<int>{0};
        QTest::newRow("404 with the section word") << 404 << "[zvonisty]\r\nverze=9.9.9.9\r\n"
                                                   << QStringList{Failed} << QList<int>{0};
        QTest::newRow("500") << 500 << "zvonisty" << QStringList{Failed} << QList<int>{0};
        QTest::newRow("larger than 64 KiB")
            << 200
            << QStringLiteral("[zvonisty]\r\nverze=1.1.1.101\r\n") + QString(70 * 1024, QLatin1Char('x'))
            << QStringList{Failed} << QList<int>{0};
    }
    void verdicts()
    {
        QFETCH(int, status);
        QFETCH(QString, body);
        QFETCH(QStringList, messages);
        QFETCH(QList<int>, icons);
        UpdateServer server;
        QVERIFY(server.start());
        server.status = status;
        server.body = Cp1250(body);
        check(server.site());
        QCOMPARE(ShownTexts(), messages);
        for (qsizetype i = 0; i < icons.size(); ++i) {
            QCOMPARE(MessageDialogSeam::shown()[i].icon, icons[i]);
            QCOMPARE(MessageDialogSeam::shown()[i].buttonSet, icons[i]);
            QCOMPARE(MessageDialogSeam::shown()[i].over, m_window->widget.frameGeometry());
        }
        QVERIFY(OpenUrlSeam::opened().isEmpty()); // unanswered questions count as "Ne"
        QCOMPARE(server.requests.size(), 1);
        QVERIFY(server.requests[0].startsWith("GET /data/verze.ini HTTP/1.1\r\n"));
    }

    void yesOpensTheProgramPage()
    {
        UpdateServer server;
        QVERIFY(server.start());
        server.body = "[zvonisty]\r\nverze=1.1.1.102\r\ndatum=5.3.2009\r\n";
        MessageDialogSeam::setNextAnswer(0);
        check(server.site() + QStringLiteral("/"));
        QCOMPARE(OpenUrlSeam::opened(),
                 QList<QUrl>{QUrl(server.site() + QStringLiteral("/index.php?menu=zvonisty"))});
    }

    void requestCarriesTheAgentAndAvoidsCaches()
    {
        UpdateServer server;
        QVERIFY(server.start());
        server.body = "zvonisty\r\n";
        check(server.site());
        QCOMPARE(server.requests.size(), 1);
        const QByteArray request = server.requests[0].toLower();
        QVERIFY(request.contains("\r\nuser-agent: zvonisty/1.1.1.101\r\n"));
        QCOMPARE(update::UserAgent(), QStringLiteral("Zvonisty/1.1.1.101"));
    }

    void redirectOnTheSameSiteIsFollowed()
    {
        UpdateServer server;
        QVERIFY(server.start());
        server.redirectTo = "/jinde/verze.ini";
        server.body = "[zvonisty]\r\nverze=1.1.1.101\r\n";
        check(server.site());
        QCOMPARE(ShownTexts(), QStringList{Same});
        QCOMPARE(server.requests.size(), 2);
    }

    void serverThatNeverAnswersEndsInTime()
    {
        QCOMPARE(update::DefaultDownloadTimeoutMs, 15000);
        QCOMPARE(update::CheckOptions().timeoutMs, 15000);
        UpdateServer server;
        QVERIFY(server.start());
        server.silent = true;
        QElapsedTimer clock;
        clock.start();
        check(server.site(), 400);
        QVERIFY(clock.elapsed() >= 390);
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(server.requests.size(), 1);
        QCOMPARE(ShownTexts(), QStringList{Failed});
    }

    void noServerListening()
    {
        QString site;
        {
            UpdateServer gone;
            QVERIFY(gone.start());
            site = gone.site();
        }
        check(site);
        QCOMPARE(ShownTexts(), QStringList{Failed});
    }

    void unusableAddressesFailWithoutRequest()
    {
        check(QStringLiteral("file:///etc"));
        check(QStringLiteral("není adresa"));
        QCOMPARE(ShownTexts(), (QStringList{Failed, Failed}));
    }

    void busyPanelShowsAndTheWindowKeepsWorking()
    {
        UpdateServer server;
        QVERIFY(server.start());
        server.body = "zvonisty\r\nverze=1.1.1.101\r\n";
        bool panelShown = false;
        bool timerRan = false;
        QTimer::singleShot(0, [&] { timerRan = true; });
        server.onRequest = [&] { panelShown = m_panel->isVisible(); };
        check(server.site());
        QVERIFY(panelShown);
        QVERIFY(timerRan);
        QVERIFY(!m_panel->isVisible());
    }

    // The menu item runs the check on the site the settings file names.
    void menuItemUsesTheSiteFromTheSettingsFile()
    {
        testsupport::Sandbox box;
        box.createDirectory();
        UpdateServer server;
        QVERIFY(server.start());
        server.body = "[zvonisty]\r\nverze=1.1.1.101\r\n";
        auto window = testsupport::StartMain();
        QVERIFY(window->started());
        QVERIFY(app::IniSettings().setValue(QStringLiteral("AKTUALIZACE"), QStringLiteral("Web"), server.site()));
        QCOMPARE(Parts(*window).Zjistitnovaktualizace1->text(), QStringLiteral("Zjistit nové aktualizace"));
        MessageDialogSeam::clearShown();
        Parts(*window).Zjistitnovaktualizace1->trigger();
        QCOMPARE(ShownTexts(), QStringList{Same});
        QCOMPARE(server.requests.size(), 1);
    }
};

QTEST_MAIN(TestUpdateCheck)
#include "test_updatecheck.moc"
