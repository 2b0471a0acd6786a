// The address book client against a server that says what no real server can be made to say on
// purpose: hostile, broken or slow answers, and the reading of answers without any network.
#include "sync/CardDavClient.h"
#include "sync/DavXml.h"
#include "testsupport/DavServer.h"
#include "testsupport/WrittenServer.h"

#include <QTest>

#include <memory>

using carddav::CardDavClient;
using carddav::RemoteCard;
using Failure = carddav::CardDavClient::Failure;
using testsupport::Answer;
using testsupport::WrittenServer;

namespace {

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

class TestCardDavAnswers : public QObject
{
    Q_OBJECT

    static std::unique_ptr<CardDavClient> client()
    {
        auto result = std::make_unique<CardDavClient>();
        result->setCredentials(testsupport::DavServer::user(), testsupport::DavServer::password());
        return result;
    }

private slots:
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
        QTest::newRow("500 on a token, and without one too, is a failing server")
            << "sync:t0" << QList<QByteArray>{Answer(500), Answer(500)} << int(Failure::ServerError)
            << "Chyba serveru (HTTP 500)."
            << "REPORT REPORT";
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
        QStringList leftOut;
        for (int i = 1; i < 100; ++i)
            leftOut << QStringLiteral("/k/%1.vcf").arg(i);
        QTest::newRow("fetching in batches of a hundred")
            << "multiget:101"
            << QList<QByteArray>{Answer(207,
                                        Multistatus(Member("/k/0.vcf", "\"0\"", data) + Gone("/k/1.vcf"))),
                                 Answer(207, Multistatus(Member("/k/100.vcf", "\"9\"", data)))}
            << int(Failure::None) << "/k/0.vcf \"0\" /k/100.vcf \"9\" undelivered=" + leftOut.join(u',')
            << "REPORT REPORT";
        QTest::newRow("a card twice, the later answer wins")
            << "multiget:2"
            << QList<QByteArray>{Answer(207, Multistatus(Member("/k/0.vcf", "\"a\"", data) +
                                                         Gone("/k/0.vcf") + Member("/k/1.vcf", "\"b\"") +
                                                         Member("/k/1.vcf", "\"c\"", data)))}
            << int(Failure::None) << "/k/1.vcf \"c\" undelivered=/k/0.vcf"
            << "REPORT";
        QTest::newRow("a batch the server fails comes card by card")
            << "multiget:3"
            << QList<QByteArray>{Answer(500), Answer(200, "BEGIN:VCARD\r\nEND:VCARD\r\n", "ETag: \"g\"\r\n"),
                                 Answer(500), Answer(404)}
            << int(Failure::None) << "/k/0.vcf \"g\" undelivered=/k/1.vcf,/k/2.vcf"
            << "REPORT GET GET GET";
        QTest::newRow("a refusal of the user ends card by card too")
            << "multiget:2" << QList<QByteArray>{Answer(500), Answer(401)} << int(Failure::Unauthorized)
            << "Server odmítl jméno nebo heslo (HTTP 401)."
            << "REPORT GET";
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
            << int(Failure::NotAddressBook) << "Na adrese %1 není adresář kontaktů (CardDAV)."
            << "PROPFIND PROPFIND";
        QTest::newRow("no WebDAV at all")
            << "discover" << QList<QByteArray>{Answer(501), Answer(405)} << int(Failure::NotAddressBook)
            << "Na adrese %1 není adresář kontaktů (CardDAV)."
            << "PROPFIND PROPFIND";
        QTest::newRow("a password in the address goes nowhere")
            << "discover:test:tajne" << QList<QByteArray>{} << int(Failure::Protocol)
            << "Adresa %1 nesmí obsahovat jméno a heslo; zadejte je do jejich polí."
            << "";
        QTest::newRow("a line break in an ETag would add a header")
            << "list"
            << QList<QByteArray>{Answer(207, Multistatus(Member("/k/a.vcf", "\"1\"&#13;&#10;X-Jiny: 1")))}
            << int(Failure::Protocol) << "Server poslal odpověď, které program nerozumí."
            << "PROPFIND";
        QTest::newRow("nor in a token")
            << "sync:" << QList<QByteArray>{Answer(207, Multistatus("<sync-token>t&#10;X: 1</sync-token>"))}
            << int(Failure::Protocol) << "Server poslal odpověď, které program nerozumí."
            << "REPORT";
        QTest::newRow("nor one known from before")
            << "remove:\"1\"\r\nX-Jiny: 1" << QList<QByteArray>{} << int(Failure::Protocol)
            << "Hodnota hlavičky If-Match od serveru obsahuje řídicí znaky; požadavek nebyl odeslán."
            << "";
        QTest::newRow("a card listed twice counts once")
            << "list"
            << QList<QByteArray>{Answer(207, Multistatus(Member("/k/a.vcf", "1") + Member("/k/a.vcf", "2")))}
            << int(Failure::None) << "/k/a.vcf 2"
            << "PROPFIND";
        QTest::newRow("truncated changes that bring nothing new")
            << "sync:t0"
            << QList<QByteArray>{Answer(207, Multistatus(Member("/k/a.vcf", "1") + Gone("/k/", 507) +
                                                         "<sync-token>t1</sync-token>")),
                                 Answer(207, Multistatus(Member("/k/a.vcf", "1") + Gone("/k/", 507) + token))}
            << int(Failure::Protocol)
            << "Server posílá změny po částech, ale další část nepřinesla nic nového."
            << "REPORT REPORT";
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
            ok = dav->put(server.url(QStringLiteral("/k/a.vcf")), "BEGIN:VCARD\r\nEND:VCARD\r\n", QString(),
                          &got);
        } else if (call.startsWith(QLatin1String("sync:"))) {
            carddav::RemoteChanges changes;
            ok = dav->syncCollection(book, call.mid(5), &changes);
            QStringList changed;
            for (const RemoteCard& card : std::as_const(changes.changed))
                changed << card.href;
            changed.sort();
            got = QStringLiteral("changed=%1 deleted=%2 token=%3")
                      .arg(changed.join(u','), changes.deleted.join(u','), changes.token);
        } else if (call.startsWith(QLatin1String("multiget:"))) {
            QStringList hrefs;
            for (int i = 0; i < call.mid(9).toInt(); ++i)
                hrefs << QStringLiteral("/k/%1.vcf").arg(i);
            QList<RemoteCard> cards;
            QStringList undelivered;
            ok = dav->multiget(book, hrefs, &cards, &undelivered);
            for (const RemoteCard& card : std::as_const(cards))
                got += (got.isEmpty() ? QString() : QStringLiteral(" ")) + card.href + u' ' + card.etag;
            if (!undelivered.isEmpty())
                got += QStringLiteral(" undelivered=") + undelivered.join(u',');
        } else if (call == QLatin1String("list")) {
            QList<RemoteCard> cards;
            ok = dav->listEtags(book, &cards);
            for (const RemoteCard& card : std::as_const(cards))
                got += card.href + u' ' + card.etag;
        } else if (call.startsWith(QLatin1String("remove:"))) {
            ok = dav->remove(server.url(QStringLiteral("/k/a.vcf")), call.mid(7));
        } else if (call.startsWith(QLatin1String("discover"))) {
            QUrl address = server.url(QStringLiteral("/"));
            address.setUserInfo(call.mid(9));
            QUrl found;
            ok = dav->discover(address, &found);
            got = found.path();
        }
        QCOMPARE(ok, failure == int(Failure::None));
        QCOMPARE(int(dav->failure()), failure);
        if (result.contains(QLatin1String("%1")))
            result = result.arg(server.url(QStringLiteral("/")).toString());
        QCOMPARE(ok ? got : dav->errorText(), result);
        QCOMPARE(server.verbs().join(u' '), verbs);
    }

    // The password goes only to the server the call was made for: not to another one a redirect
    // points to, encrypted though the line to it is.
    void sendsThePasswordOnlyWhereTheCallWent_data()
    {
        QTest::addColumn<bool>("redirected");
        QTest::addColumn<bool>("challenged");
        QTest::addColumn<QString>("authorized"); // a request the other server saw: with a password
        QTest::newRow("asked directly") << false << false << "1";
        QTest::newRow("redirected to from another server") << true << false << "0";
        QTest::newRow("even when it asks") << true << true << "0";
    }

    void sendsThePasswordOnlyWhereTheCallWent()
    {
        QFETCH(bool, redirected);
        QFETCH(bool, challenged);
        QFETCH(QString, authorized);
        QVERIFY2(!testsupport::EncryptedLine().isNull(),
                 "openssl is not installed (scripts/install-deps.sh)");
        QList<QByteArray> answers{
            Answer(207, Multistatus("<response><href>/dav/</href><propstat><prop><resourcetype><collection/>"
                                    "<C:addressbook/></resourcetype></prop><status>HTTP/1.1 200 OK</status>"
                                    "</propstat></response>"))};
        if (challenged)
            answers.prepend(Answer(401, {}, "WWW-Authenticate: Basic realm=\"dav\"\r\n"));
        const auto encrypted = WrittenServer::encrypted(answers);
        const QUrl book = encrypted->url(QStringLiteral("/dav/"));
        WrittenServer plain({Answer(301, {}, "Location: " + book.toEncoded() + "\r\n")});
        const auto dav = client();
        QUrl found;
        const bool ok = dav->discover(redirected ? plain.url(QStringLiteral("/")) : book, &found);
        QCOMPARE(ok, !challenged);
        QCOMPARE(int(dav->failure()), int(challenged ? Failure::Unauthorized : Failure::None));
        QStringList seen;
        for (const bool each : encrypted->authorized())
            seen << QString::number(int(each));
        QCOMPARE(seen.join(u' '), authorized);
    }

    // Each limit of time against a server of its pace: 0,5 s of silence and 1,5 s in all for a
    // simple request, so 2 s before the first byte of a listing.
    void limits_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<int>("byteMs");
        QTest::addColumn<QString>("text");
        QTest::newRow("a listing may think before it answers") << "list" << 1000 << 0 << "";
        QTest::newRow("a simple request may not") << "remove" << 1000 << 0 << "Server neodpověděl do 0,5 s.";
        QTest::newRow("silence within an answer")
            << "remove" << 0 << 1000 << "Server uprostřed odpovědi mlčel déle než 0,5 s.";
        QTest::newRow("a trickling answer ends at the deadline")
            << "remove" << 0 << 100 << "Server neposlal celou odpověď do 1,5 s.";
    }

    void limits()
    {
        QFETCH(QString, call);
        QFETCH(int, delayMs);
        QFETCH(int, byteMs);
        QFETCH(QString, text);
        WrittenServer server({call == QLatin1String("list")
                                  ? Answer(207, Multistatus(Member("/k/a.vcf", "1")))
                                  : Answer(200, QByteArray(40, ' '))},
                             delayMs, byteMs);
        const auto dav = client();
        dav->setTimeouts(500, 1500);
        QList<RemoteCard> cards;
        const bool ok = call == QLatin1String("list")
                            ? dav->listEtags(server.url(QStringLiteral("/k/")), &cards)
                            : dav->remove(server.url(QStringLiteral("/k/a.vcf")), {});
        QCOMPARE(ok, text.isEmpty());
        QCOMPARE(int(dav->failure()), int(text.isEmpty() ? Failure::None : Failure::Timeout));
        QCOMPARE(dav->errorText(), text);
    }
};

QTEST_GUILESS_MAIN(TestCardDavAnswers)
#include "test_carddav_answers.moc"
