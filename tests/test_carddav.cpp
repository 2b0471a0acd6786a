// The address book client against real servers on 127.0.0.1: Radicale and Xandikos, each with
// answers of its own spelling.
#include "sync/CardDavClient.h"
#include "testsupport/Radicale.h"
#include "testsupport/Xandikos.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include <memory>

using carddav::CardDavClient;
using carddav::RemoteCard;
using Failure = carddav::CardDavClient::Failure;

namespace {

QByteArray Card(const QString& uid, const QString& name)
{
    return QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:%1\r\nFN:%2\r\nN:%2;;;;\r\n"
                          "TEL;TYPE=CELL:+420 601 000 001\r\nEND:VCARD\r\n")
        .arg(uid, name)
        .toUtf8();
}

// Servers answer a write with 200, 201 or 204 as they please.
bool Written(int status)
{
    return status >= 200 && status < 300;
}

QStringList Hrefs(const QList<RemoteCard>& cards)
{
    QStringList hrefs;
    for (const RemoteCard& card : cards)
        hrefs << card.href;
    hrefs.sort();
    return hrefs;
}

QString EtagOf(const QList<RemoteCard>& cards, const QString& href)
{
    for (const RemoteCard& card : cards)
        if (card.href == href)
            return card.etag;
    return QString();
}

} // namespace

class TestCardDav : public QObject
{
    Q_OBJECT

    std::unique_ptr<testsupport::Radicale> m_server;
    std::unique_ptr<testsupport::Xandikos> m_xandikos;

    testsupport::DavServer& serverNamed(const QString& name) const
    {
        return name == m_xandikos->name() ? static_cast<testsupport::DavServer&>(*m_xandikos) : *m_server;
    }
    // The cases every real server has to pass, one row a server.
    static void addServerRows()
    {
        QTest::addColumn<QString>("server");
        QTest::newRow("Radicale") << "Radicale";
        QTest::newRow("Xandikos") << "Xandikos";
    }

    std::unique_ptr<CardDavClient> client(const QString& password = testsupport::Radicale::password())
    {
        auto result = std::make_unique<CardDavClient>();
        result->setCredentials(testsupport::Radicale::user(), password);
        return result;
    }

private slots:
    void initTestCase()
    {
        m_server = std::make_unique<testsupport::Radicale>();
        QVERIFY2(m_server->start(), qPrintable(m_server->log()));
        m_xandikos = std::make_unique<testsupport::Xandikos>();
        QVERIFY2(m_xandikos->start(), qPrintable(m_xandikos->log()));
    }

    void cleanupTestCase()
    {
        m_server.reset();
        m_xandikos.reset();
    }

    void resolvesHrefs_data()
    {
        QTest::addColumn<QString>("href");
        QTest::addColumn<QString>("url");
        QTest::newRow("path") << "/u/kniha/a.vcf"
                              << "http://h:81/u/kniha/a.vcf";
        QTest::newRow("relative") << "a.vcf"
                                  << "http://h:81/u/kniha/a.vcf";
        QTest::newRow("escapes kept") << "/u/kniha/a%20b%2Fc.vcf"
                                      << "http://h:81/u/kniha/a%20b%2Fc.vcf";
        QTest::newRow("same server in full") << "http://h:81/u/b.vcf"
                                             << "http://h:81/u/b.vcf";
        QTest::newRow("another server gets nothing") << "http://jinde/u/b.vcf"
                                                     << "";
        QTest::newRow("another port gets nothing") << "http://h:82/u/b.vcf"
                                                   << "";
    }

    void resolvesHrefs()
    {
        QFETCH(QString, href);
        QFETCH(QString, url);
        const QUrl resolved = CardDavClient().resolve(QUrl(QStringLiteral("http://h:81/u/kniha/")), href);
        QCOMPARE(resolved.toString(QUrl::FullyEncoded), url);
    }

    void discovers_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("address");
        for (const char* server : {"Radicale", "Xandikos"}) {
            const auto row = [server](const char* what) -> QTestData& {
                return QTest::newRow(QByteArray(server).append(": ").append(what).constData())
                       << QString::fromLatin1(server);
            };
            row("server") << "";
            row("server without slash") << "-";
            row("the book") << "book";
            row("the book without slash") << "book-";
            row("the user's home") << "home";
        }
    }

    void discovers()
    {
        QFETCH(QString, server);
        QFETCH(QString, address);
        const testsupport::DavServer& peer = serverNamed(server);
        QUrl url = address.startsWith(QLatin1String("book")) ? peer.book()
                   : address == QLatin1String("home")        ? peer.home()
                                                             : peer.root();
        if (address.endsWith(u'-'))
            url.setPath(url.path().chopped(1));
        const auto dav = client();
        QUrl book;
        QVERIFY2(dav->discover(url, &book), qPrintable(dav->errorText()));
        QCOMPARE(book, peer.book());
        bool sync = false;
        QVERIFY(dav->supportsSyncCollection(book, &sync));
        QVERIFY(sync);
    }

    void writesOnlyOverWhatItKnows_data() { addServerRows(); }

    void writesOnlyOverWhatItKnows()
    {
        QFETCH(QString, server);
        testsupport::DavServer& peer = serverNamed(server);
        const auto dav = client();
        const QUrl book = peer.book();
        const auto href = [&book](const QString& name) { return book.path() + name; };
        const QString name = href(QStringLiteral("zapis%201.vcf"));
        const QUrl url = dav->resolve(book, name);
        QString etag;
        QVERIFY2(dav->put(url, Card(QStringLiteral("z1"), QStringLiteral("Zápis")), QString(), &etag),
                 qPrintable(dav->errorText()));
        QVERIFY(!etag.isEmpty());

        QString other;
        QVERIFY(!dav->put(url, Card(QStringLiteral("z1"), QStringLiteral("Jiný")), QString(), &other));
        QCOMPARE(dav->failure(), Failure::PreconditionFailed);
        QCOMPARE(dav->lastStatus(), 412);
        QVERIFY(dav->errorText().contains(QStringLiteral("už na serveru je")));

        QString second;
        QVERIFY(dav->put(url, Card(QStringLiteral("z1"), QStringLiteral("Zápis II")), etag, &second));
        QVERIFY(!second.isEmpty() && second != etag);
        QVERIFY(!dav->put(url, Card(QStringLiteral("z1"), QStringLiteral("Zastaralý")), etag, &other));
        QCOMPARE(dav->failure(), Failure::PreconditionFailed);
        QCOMPARE(dav->errorText(), QStringLiteral("Karta se na serveru mezitím změnila (HTTP 412)."));
        QVERIFY(!dav->remove(url, etag));
        QCOMPARE(dav->failure(), Failure::PreconditionFailed);

        QList<RemoteCard> cards;
        QVERIFY(dav->listEtags(book, &cards));
        QVERIFY(Hrefs(cards).contains(name));
        QCOMPARE(EtagOf(cards, name), second);

        // A card in another encoding is the reader's to judge, but it has to arrive: Xandikos
        // fails a whole multiget over it.
        const QString latin = href(QStringLiteral("latin.vcf"));
        const QByteArray latinCard = QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:l1\r\nFN:Žluťoučký\r\n"
                                                    "END:VCARD\r\n")
                                         .toLatin1();
        QVERIFY(Written(peer.put(latin, latinCard)));
        QStringList undelivered;
        QVERIFY(dav->multiget(book, {name, latin, href(QStringLiteral("nikdy.vcf"))}, &cards, &undelivered));
        QCOMPARE(undelivered, QStringList{href(QStringLiteral("nikdy.vcf"))});
        QCOMPARE(cards.size(), 2);
        QCOMPARE(cards.at(0).href, name);
        QCOMPARE(cards.at(0).etag, second);
        QVERIFY(QString::fromUtf8(cards.at(0).data).contains(QStringLiteral("FN:Zápis II")));
        QCOMPARE(cards.at(1).href, latin);
        QVERIFY(cards.at(1).data.contains("UID:l1"));
        QVERIFY(!cards.at(1).etag.isEmpty());
        QVERIFY(Written(peer.remove(latin)));

        QVERIFY(dav->remove(url, second));
        QVERIFY(dav->remove(url, second)); // already gone
        QCOMPARE(peer.get(name), 404);
    }

    void followsChangesOfAnotherClient_data() { addServerRows(); }

    void followsChangesOfAnotherClient()
    {
        QFETCH(QString, server);
        testsupport::DavServer& peer = serverNamed(server);
        const auto dav = client();
        const QUrl book = peer.book();
        const auto href = [&book](const QString& name) { return book.path() + name; };
        const QString kept = href(QStringLiteral("zustane.vcf"));
        const QString changed = href(QStringLiteral("zmeni%20se.vcf"));
        const QString gone = href(QStringLiteral("zmizi.vcf"));
        QVERIFY(Written(peer.put(kept, Card(QStringLiteral("k"), QStringLiteral("Zůstane")))));
        QVERIFY(Written(peer.put(changed, Card(QStringLiteral("c"), QStringLiteral("Změní se")))));
        QVERIFY(Written(peer.put(gone, Card(QStringLiteral("g"), QStringLiteral("Zmizí")))));

        carddav::RemoteChanges initial;
        QVERIFY2(dav->syncCollection(book, QString(), &initial), qPrintable(dav->errorText()));
        QVERIFY(!initial.token.isEmpty());
        QVERIFY(initial.deleted.isEmpty());
        QVERIFY(Hrefs(initial.changed).contains(kept));
        QVERIFY(Hrefs(initial.changed).contains(changed));

        const QString fresh = href(QStringLiteral("nova.vcf"));
        QVERIFY(Written(peer.put(changed, Card(QStringLiteral("c"), QStringLiteral("Změněná")))));
        QVERIFY(Written(peer.put(fresh, Card(QStringLiteral("n"), QStringLiteral("Nová")))));
        QVERIFY(Written(peer.remove(gone)));

        carddav::RemoteChanges since;
        QVERIFY(dav->syncCollection(book, initial.token, &since));
        QCOMPARE(Hrefs(since.changed), QStringList({fresh, changed}));
        QCOMPARE(since.deleted, QStringList{gone});
        QVERIFY(since.token != initial.token);
        QVERIFY(EtagOf(since.changed, changed) != EtagOf(initial.changed, changed));

        carddav::RemoteChanges none;
        QVERIFY(dav->syncCollection(book, since.token, &none));
        QVERIFY(none.changed.isEmpty() && none.deleted.isEmpty());

        QVERIFY(!dav->syncCollection(book, since.token + QStringLiteral("0"), &none));
        QCOMPARE(dav->failure(), Failure::InvalidToken);
    }

    void failures_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("text");
        QTest::newRow("wrong password")
            << "password" << int(Failure::Unauthorized) << "Server odmítl jméno nebo heslo (HTTP 401).";
        QTest::newRow("server stopped")
            << "stopped" << int(Failure::Network) << "Server 127.0.0.1 nepřijímá spojení.";
        QTest::newRow("server silent") << "silent" << int(Failure::Timeout) << "Server neodpověděl do 1,2 s.";
        QTest::newRow("aborted") << "aborted" << int(Failure::Aborted)
                                 << "Spojení se serverem bylo přerušeno na žádost uživatele.";
    }

    void failures()
    {
        QFETCH(QString, how);
        QFETCH(int, failure);
        QFETCH(QString, text);
        const auto dav = client(how == QLatin1String("password") ? QStringLiteral("spatne")
                                                                 : testsupport::Radicale::password());
        QUrl book = m_server->book();
        QTcpServer silent;
        if (how == QLatin1String("stopped"))
            m_server->stop();
        if (how == QLatin1String("silent") || how == QLatin1String("aborted")) {
            QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
            book.setPort(silent.serverPort());
        }
        if (how == QLatin1String("silent"))
            dav->setTimeoutMs(300);
        if (how == QLatin1String("aborted"))
            QTimer::singleShot(200, dav.get(), &CardDavClient::abort);
        QList<RemoteCard> cards;
        QVERIFY(!dav->listEtags(book, &cards));
        QCOMPARE(int(dav->failure()), failure);
        QCOMPARE(dav->errorText(), text);

        // The same client carries on once the server is back.
        if (how == QLatin1String("stopped")) {
            QVERIFY2(m_server->start(), qPrintable(m_server->log()));
            QVERIFY2(dav->listEtags(book, &cards), qPrintable(dav->errorText()));
            QCOMPARE(dav->failure(), Failure::None);
        }
    }
};

QTEST_GUILESS_MAIN(TestCardDav)
#include "test_carddav.moc"
