// The address book client against a real server on 127.0.0.1, and the reading of its answers.
#include "sync/CardDavClient.h"
#include "sync/DavXml.h"
#include "testsupport/Radicale.h"

#include <QHash>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
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

// One line a response: href, status, etag, what it is, and the card's data.
QString Summary(const carddav::Multistatus& result)
{
    QStringList lines;
    for (const carddav::DavResponse& r : result.responses) {
        QStringList parts{r.href, QString::number(r.status), r.etag.isEmpty() ? QStringLiteral("-") : r.etag};
        if (r.isCollection)
            parts << QStringLiteral("collection");
        if (r.isAddressBook)
            parts << QStringLiteral("addressbook");
        if (!r.currentUserPrincipal.isEmpty())
            parts << QStringLiteral("principal=") + r.currentUserPrincipal;
        if (!r.addressBookHomeSet.isEmpty())
            parts << QStringLiteral("home=") + r.addressBookHomeSet.join(u',');
        if (!r.supportedReports.isEmpty())
            parts << QStringLiteral("reports=") + r.supportedReports.join(u',');
        if (!r.addressData.isEmpty())
            parts << QString::fromUtf8(r.addressData);
        lines << parts.join(u' ');
    }
    return lines.join(u'\n');
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

// An HTTP answer of the written server.
QByteArray Answer(int status, const QByteArray& body = {}, const QByteArray& headers = {})
{
    return "HTTP/1.1 " + QByteArray::number(status) + " X\r\n" + headers +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

// A server on 127.0.0.1 that answers each request with the next of its written answers: what no
// real server can be made to say on purpose. It keeps the methods of the requests it saw.
class WrittenServer
{
public:
    explicit WrittenServer(const QList<QByteArray>& answers) : m_answers(answers)
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(socket); });
        });
    }
    QUrl url(const QString& path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }
    QStringList verbs() const { return m_verbs; }

private:
    void read(QTcpSocket* socket)
    {
        QByteArray& buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        qsizetype length = 0;
        for (const QByteArray& line : buffer.left(end).split('\n'))
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toLongLong();
        if (buffer.size() < end + 4 + length)
            return;
        m_verbs << QString::fromLatin1(buffer.left(buffer.indexOf(' ')));
        buffer.clear();
        socket->write(m_answers.isEmpty() ? Answer(500) : m_answers.takeFirst());
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QList<QByteArray> m_answers;
    QStringList m_verbs;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};

QByteArray Multistatus(const QByteArray& inner)
{
    return "<multistatus xmlns='DAV:' xmlns:C='urn:ietf:params:xml:ns:carddav'>" + inner + "</multistatus>";
}

QByteArray Member(const QByteArray& href, const QByteArray& etag, const QByteArray& more = {})
{
    return "<response><href>" + href + "</href><propstat><prop><getetag>" + etag + "</getetag>" + more +
           "</prop><status>HTTP/1.1 200 OK</status></propstat></response>";
}

QByteArray Gone(const QByteArray& href, int status = 404)
{
    return "<response><href>" + href + "</href><status>HTTP/1.1 " + QByteArray::number(status) +
           " X</status></response>";
}

} // namespace

class TestCardDav : public QObject
{
    Q_OBJECT

    std::unique_ptr<testsupport::Radicale> m_server;

    std::unique_ptr<CardDavClient> client(const QString& password = testsupport::Radicale::password())
    {
        auto result = std::make_unique<CardDavClient>();
        result->setCredentials(testsupport::Radicale::user(), password);
        return result;
    }
    QString href(const QString& name) const { return m_server->book().path() + name; }

private slots:
    void initTestCase()
    {
        m_server = std::make_unique<testsupport::Radicale>();
        QVERIFY2(m_server->start(), qPrintable(m_server->log()));
    }

    void cleanupTestCase() { m_server.reset(); }

    void readsMultistatus_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("token");

        QTest::newRow("prefixes of its own")
            << QByteArray(
                   "<x:multistatus xmlns:x='DAV:' xmlns:k='urn:ietf:params:xml:ns:carddav'><x:response>"
                   "<x:href>/u/kniha/</x:href><x:propstat><x:prop><x:resourcetype><x:collection/>"
                   "<k:addressbook/></x:resourcetype><x:current-user-principal><x:href>/u/</x:href>"
                   "</x:current-user-principal><k:addressbook-home-set><x:href>/u/</x:href>"
                   "</k:addressbook-home-set><x:supported-report-set><x:supported-report><x:report>"
                   "<x:sync-collection/></x:report></x:supported-report></x:supported-report-set>"
                   "</x:prop><x:status>HTTP/1.1 200 OK</x:status></x:propstat></x:response>"
                   "</x:multistatus>")
            << true
            << "/u/kniha/ 0 - collection addressbook principal=/u/ home=/u/ reports=DAV: sync-collection"
            << "";
        QTest::newRow("same names in a foreign namespace count for nothing")
            << QByteArray("<multistatus xmlns='DAV:' xmlns:z='urn:example:z'><response><href>/a.vcf</href>"
                          "<propstat><prop><z:getetag>\"z\"</z:getetag><resourcetype><z:addressbook/>"
                          "</resourcetype></prop><status>HTTP/1.1 200 OK</status></propstat></response>"
                          "</multistatus>")
            << true << "/a.vcf 0 -"
            << "";
        QTest::newRow("escaped href kept as written")
            << QByteArray(
                   "<d:multistatus xmlns:d='DAV:'><d:response><d:href> /u/kniha/a%20b%C3%A1.vcf </d:href>"
                   "<d:propstat><d:prop><d:getetag>\"1\"</d:getetag></d:prop>"
                   "<d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response></d:multistatus>")
            << true << "/u/kniha/a%20b%C3%A1.vcf 0 \"1\""
            << "";
        QTest::newRow("properties of a 404 propstat are missing ones")
            << QByteArray(
                   "<multistatus xmlns='DAV:'><response><href>/a.vcf</href><propstat><prop><getetag>\"x\""
                   "</getetag></prop><status>HTTP/1.1 404 Not Found</status></propstat><propstat><prop>"
                   "<getcontenttype>text/vcard</getcontenttype></prop><status>HTTP/1.1 200 OK</status>"
                   "</propstat></response></multistatus>")
            << true << "/a.vcf 0 -"
            << "";
        QTest::newRow("gone members and the token")
            << QByteArray(
                   "<multistatus xmlns='DAV:'><response><href>/k/a.vcf</href><href>/k/b.vcf</href>"
                   "<status>HTTP/1.1 404 Not Found</status></response><sync-token>http://t/2</sync-token>"
                   "</multistatus>")
            << true << "/k/a.vcf 404 -\n/k/b.vcf 404 -"
            << "http://t/2";
        QTest::newRow("card data with its line breaks")
            << QByteArray("<multistatus xmlns='DAV:' xmlns:C='urn:ietf:params:xml:ns:carddav'><response>"
                          "<href>/a.vcf</href><propstat><prop><getetag>\"e\"</getetag><C:address-data>"
                          "BEGIN:VCARD&#13;\nFN:Žofie&#13;\nEND:VCARD&#13;\n</C:address-data></prop>"
                          "<status>HTTP/1.1 200 OK</status></propstat></response></multistatus>")
            << true << "/a.vcf 0 \"e\" BEGIN:VCARD\r\nFN:Žofie\r\nEND:VCARD\r\n"
            << "";
        QTest::newRow("an error body is no multistatus")
            << QByteArray("<error xmlns='DAV:'><valid-sync-token/></error>") << false << ""
            << "";
        QTest::newRow("broken XML") << QByteArray("<multistatus xmlns='DAV:'><response><href>/a") << false
                                    << ""
                                    << "";
    }

    void readsMultistatus()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, ok);
        QFETCH(QString, summary);
        QFETCH(QString, token);
        const carddav::Multistatus result = carddav::ParseMultistatus(body);
        QCOMPARE(result.ok, ok);
        QCOMPARE(Summary(result), summary);
        QCOMPARE(result.syncToken, token);
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
        QTest::addColumn<QString>("address");
        QTest::newRow("server") << "";
        QTest::newRow("server without slash") << "-";
        QTest::newRow("the book") << "test/adresar/";
        QTest::newRow("the book without slash") << "test/adresar";
        QTest::newRow("the user's home") << "test/";
    }

    void discovers()
    {
        QFETCH(QString, address);
        QUrl url = m_server->root().resolved(QUrl(address));
        if (address == QLatin1String("-"))
            url.setPath(QString());
        const auto dav = client();
        QUrl book;
        QVERIFY2(dav->discover(url, &book), qPrintable(dav->errorText()));
        QCOMPARE(book, m_server->book());
        bool sync = false;
        QVERIFY(dav->supportsSyncCollection(book, &sync));
        QVERIFY(sync);
    }

    void writesOnlyOverWhatItKnows()
    {
        const auto dav = client();
        const QUrl book = m_server->book();
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

        QVERIFY(dav->multiget(book, {name, href(QStringLiteral("nikdy.vcf"))}, &cards));
        QCOMPARE(cards.size(), 1);
        QCOMPARE(cards.at(0).href, name);
        QCOMPARE(cards.at(0).etag, second);
        QVERIFY(QString::fromUtf8(cards.at(0).data).contains(QStringLiteral("FN:Zápis II")));

        QVERIFY(dav->remove(url, second));
        QVERIFY(dav->remove(url, second)); // already gone
        QCOMPARE(m_server->get(name), 404);
    }

    void followsChangesOfAnotherClient()
    {
        const auto dav = client();
        const QUrl book = m_server->book();
        const QString kept = href(QStringLiteral("zustane.vcf"));
        const QString changed = href(QStringLiteral("zmeni%20se.vcf"));
        const QString gone = href(QStringLiteral("zmizi.vcf"));
        QCOMPARE(m_server->put(kept, Card(QStringLiteral("k"), QStringLiteral("Zůstane"))), 201);
        QCOMPARE(m_server->put(changed, Card(QStringLiteral("c"), QStringLiteral("Změní se"))), 201);
        QCOMPARE(m_server->put(gone, Card(QStringLiteral("g"), QStringLiteral("Zmizí"))), 201);

        carddav::RemoteChanges initial;
        QVERIFY2(dav->syncCollection(book, QString(), &initial), qPrintable(dav->errorText()));
        QVERIFY(!initial.token.isEmpty());
        QVERIFY(initial.deleted.isEmpty());
        QVERIFY(Hrefs(initial.changed).contains(kept));
        QVERIFY(Hrefs(initial.changed).contains(changed));

        const QString fresh = href(QStringLiteral("nova.vcf"));
        QCOMPARE(m_server->put(changed, Card(QStringLiteral("c"), QStringLiteral("Změněná"))), 201);
        QCOMPARE(m_server->put(fresh, Card(QStringLiteral("n"), QStringLiteral("Nová"))), 201);
        QCOMPARE(m_server->remove(gone), 200);

        carddav::RemoteChanges since;
        QVERIFY(dav->syncCollection(book, initial.token, &since));
        QCOMPARE(Hrefs(since.changed), QStringList({fresh, changed}));
        QCOMPARE(since.deleted, QStringList{gone});
        QVERIFY(since.token != initial.token);
        QVERIFY(EtagOf(since.changed, changed) != EtagOf(initial.changed, changed));

        carddav::RemoteChanges none;
        QVERIFY(dav->syncCollection(book, since.token, &none));
        QVERIFY(none.changed.isEmpty() && none.deleted.isEmpty());

        QVERIFY(!dav->syncCollection(book, QStringLiteral("http://radicale.org/ns/sync/neznamy"), &none));
        QCOMPARE(dav->failure(), Failure::InvalidToken);
    }

    void answersOnlyAServerCanChoose_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QList<QByteArray>>("answers");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("verbs");

        const QByteArray token = "<sync-token>t2</sync-token>";
        QTest::newRow("a write without ETag asks for it")
            << "put" << QList<QByteArray>{Answer(201), Answer(207, Multistatus(Member("/k/a.vcf", "\"n\"")))}
            << int(Failure::None) << "\"n\""
            << "PUT PROPFIND";
        QTest::newRow("changes in rounds")
            << "sync:t0"
            << QList<QByteArray>{Answer(207, Multistatus(Member("/k/a.vcf", "1") + Member("/k/c.vcf", "1") +
                                                         Gone("/k/", 507) + "<sync-token>t1</sync-token>")),
                                 Answer(207, Multistatus(Member("/k/b.vcf", "2") + Gone("/k/a.vcf") + token))}
            << int(Failure::None) << "changed=/k/b.vcf,/k/c.vcf deleted=/k/a.vcf token=t2"
            << "REPORT REPORT";
        QTest::newRow("409 refusing the token")
            << "sync:t0" << QList<QByteArray>{Answer(409, "<error xmlns='DAV:'><valid-sync-token/></error>")}
            << int(Failure::InvalidToken) << "Server už nezná stav poslední synchronizace (HTTP 409)."
            << "REPORT";
        QTest::newRow("400 on a token")
            << "sync:t0" << QList<QByteArray>{Answer(400)} << int(Failure::InvalidToken)
            << "Server už nezná stav poslední synchronizace (HTTP 400)."
            << "REPORT";
        QTest::newRow("400 without a token is no token's fault")
            << "sync:" << QList<QByteArray>{Answer(400)} << int(Failure::Protocol)
            << "Server požadavek odmítl (HTTP 400)."
            << "REPORT";
        QTest::newRow("changes without a token")
            << "sync:" << QList<QByteArray>{Answer(207, Multistatus(Member("/k/a.vcf", "1")))}
            << int(Failure::Protocol) << "Server poslal odpověď, které program nerozumí."
            << "REPORT";
        QTest::newRow("unreadable list")
            << "list" << QList<QByteArray>{Answer(207, "<multistatus xmlns='DAV:'>")}
            << int(Failure::Protocol) << "Server poslal odpověď, které program nerozumí."
            << "PROPFIND";
        QTest::newRow("server error") << "list" << QList<QByteArray>{Answer(503)} << int(Failure::ServerError)
                                      << "Chyba serveru (HTTP 503)."
                                      << "PROPFIND";
        const QByteArray data = "<C:address-data>BEGIN:VCARD\nEND:VCARD\n</C:address-data>";
        QTest::newRow("fetching in batches of a hundred")
            << "multiget:101"
            << QList<QByteArray>{Answer(207,
                                        Multistatus(Member("/k/0.vcf", "\"0\"", data) + Gone("/k/1.vcf"))),
                                 Answer(207, Multistatus(Member("/k/100.vcf", "\"9\"", data)))}
            << int(Failure::None) << "/k/0.vcf \"0\" /k/100.vcf \"9\""
            << "REPORT REPORT";
        QTest::newRow("a failing server is no missing book")
            << "discover" << QList<QByteArray>{Answer(404), Answer(503)} << int(Failure::ServerError)
            << "Chyba serveru (HTTP 503)."
            << "PROPFIND PROPFIND";
        QTest::newRow("no token to refuse")
            << "sync:" << QList<QByteArray>{Answer(403, "<error xmlns='DAV:'><valid-sync-token/></error>")}
            << int(Failure::Forbidden) << "Přístup odepřen (HTTP 403)."
            << "REPORT";
        QTest::newRow("redirect on the same server followed")
            << "discover"
            << QList<QByteArray>{Answer(301, {}, "Location: /dav/\r\n"),
                                 Answer(207, Multistatus(
                                                 "<response><href>/dav/</href><propstat><prop><resourcetype>"
                                                 "<collection/><C:addressbook/></resourcetype></prop><status>"
                                                 "HTTP/1.1 200 OK</status></propstat></response>"))}
            << int(Failure::None) << "/dav/"
            << "PROPFIND PROPFIND";
        QTest::newRow("redirect to another plain server not followed")
            << "discover"
            << QList<QByteArray>{Answer(301, {}, "Location: http://localhost:1/\r\n"), Answer(404)}
            << int(Failure::NotFound) << "Na adrese %1 se nenašel žádný adresář kontaktů."
            << "PROPFIND PROPFIND";
    }

    void answersOnlyAServerCanChoose()
    {
        QFETCH(QString, call);
        QFETCH(QList<QByteArray>, answers);
        QFETCH(int, failure);
        QFETCH(QString, result);
        QFETCH(QString, verbs);
        WrittenServer server(answers);
        const auto dav = client();
        const QUrl book = server.url(QStringLiteral("/k/"));
        QString got;
        bool ok = false;
        if (call == QLatin1String("put")) {
            ok = dav->put(server.url(QStringLiteral("/k/a.vcf")),
                          Card(QStringLiteral("a"), QStringLiteral("A")), QString(), &got);
        } else if (call.startsWith(QLatin1String("sync:"))) {
            carddav::RemoteChanges changes;
            ok = dav->syncCollection(book, call.mid(5), &changes);
            got = QStringLiteral("changed=%1 deleted=%2 token=%3")
                      .arg(Hrefs(changes.changed).join(u','), changes.deleted.join(u','), changes.token);
        } else if (call.startsWith(QLatin1String("multiget:"))) {
            QStringList hrefs;
            for (int i = 0; i < call.mid(9).toInt(); ++i)
                hrefs << QStringLiteral("/k/%1.vcf").arg(i);
            QList<RemoteCard> cards;
            ok = dav->multiget(book, hrefs, &cards);
            for (const RemoteCard& card : std::as_const(cards))
                got += (got.isEmpty() ? QString() : QStringLiteral(" ")) + card.href + u' ' + card.etag;
        } else if (call == QLatin1String("list")) {
            QList<RemoteCard> cards;
            ok = dav->listEtags(book, &cards);
        } else if (call == QLatin1String("discover")) {
            QUrl found;
            ok = dav->discover(server.url(QStringLiteral("/")), &found);
            got = found.path();
        }
        QCOMPARE(ok, failure == int(Failure::None));
        QCOMPARE(int(dav->failure()), failure);
        if (result.contains(QLatin1String("%1")))
            result = result.arg(server.url(QStringLiteral("/")).toString());
        QCOMPARE(ok ? got : dav->errorText(), result);
        QCOMPARE(server.verbs().join(u' '), verbs);
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
        QTest::newRow("server silent") << "silent" << int(Failure::Timeout) << "Server neodpověděl do 0,3 s.";
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
