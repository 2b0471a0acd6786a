// Two-way synchronisation with an address book on a real server on 127.0.0.1.
#include "app/TMain.h"
#include "db/engine/Connection.h"
#include "sync/CardDavClient.h"
#include "sync/SyncCommands.h"
#include "sync/SyncSettings.h"
#include "sync/Synchronizer.h"
#include "testsupport/DavProxy.h"
#include "testsupport/MainParts.h"
#include "testsupport/Radicale.h"
#include "testsupport/TestSupport.h"
#include "testsupport/Xandikos.h"
#include "ui/MessageDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "formats/VCardReader.h"

#include <sqlite3.h>

using testsupport::DavProxy;
using testsupport::DavServer;
using testsupport::Parts;
using testsupport::Radicale;
using testsupport::Sandbox;

namespace {

const QByteArray kPetr = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:petr-1\r\nFN:Petr Dvořák\r\nN:Dvořák;Petr;;;\r\n"
                         "TEL;TYPE=CELL:606 111 222\r\nADR;TYPE=HOME:;;Dlouhá 5;Praha;;11000;Česko\r\n"
                         "PHOTO;ENCODING=b;TYPE=PNG:iVBORw0KGgo=\r\n"
                         "X-VLASTNI:něco\r\nEND:VCARD\r\n";

QStringList Values(db::Connection* c, const QString& select)
{
    return testsupport::Column(c, select, QStringLiteral("v"));
}

bool Written(int status)
{
    return status >= 200 && status < 300;
}

int CountInSummary(const QString& summary, const QString& label)
{
    const QRegularExpression re(label + QStringLiteral(" (\\d+)"));
    const auto m = re.match(summary);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The answer's members, each whole, that name `href`.
QList<qsizetype> Members(const QByteArray& body, const QByteArray& href, QList<QByteArray>* blocks)
{
    static const QRegularExpression member(QStringLiteral("<(\\w+:)?response\\b.*?</(\\w+:)?response>"),
                                           QRegularExpression::DotMatchesEverythingOption);
    QList<qsizetype> at;
    const QString text = QString::fromUtf8(body);
    for (auto it = member.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        if (m.captured().contains(QString::fromUtf8(href))) {
            at << m.capturedStart();
            blocks->append(m.captured().toUtf8());
        }
    }
    return at;
}

QString Cli(const QString& folder, const QStringList& arguments, int* exitCode)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZVONISTY_SYNC_USER"), DavServer::user());
    env.insert(QStringLiteral("ZVONISTY_SYNC_PASSWORD"), DavServer::password());
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ZV_PROGRAM), arguments);
    p.waitForFinished(120000);
    *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
}

} // namespace

class TestSync : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<DavServer> m_server;
    std::unique_ptr<Sandbox> m_box;
    app::Context m_context;
    std::unique_ptr<TMain> m_w;

    db::Connection* c() { return m_w->directory().connection(); }
    QString href(const QString& name) const { return m_server->book().path() + name; }

    void configure(const QUrl& address, const QString& password = DavServer::password())
    {
        const QString a = address.toString();
        QVERIFY(app::IniSettings().setValue(QStringLiteral("SYNCHRONIZACE"), QStringLiteral("Adresa"), a));
        QVERIFY(
            app::IniSettings().setValue(QStringLiteral("SYNCHRONIZACE"), QStringLiteral("Uzivatel"), DavServer::user()));
        synchro::SavePassword(a, DavServer::user(), password);
    }

    QString syncNow()
    {
        MessageDialogSeam::clearShown();
        Parts(*m_w).Synchronizovat1->trigger();
        const auto shown = MessageDialogSeam::shown();
        return shown.isEmpty() ? QString() : shown.last().text;
    }

    // The cards on the server, href to data.
    QMap<QString, QByteArray> serverCards()
    {
        carddav::CardDavClient client;
        client.setCredentials(DavServer::user(), DavServer::password());
        QList<carddav::RemoteCard> listed, cards;
        QStringList hrefs;
        if (client.listEtags(m_server->book(), &listed))
            for (const carddav::RemoteCard& card : listed)
                hrefs << card.href;
        if (!hrefs.isEmpty())
            client.multiget(m_server->book(), hrefs, &cards);
        QMap<QString, QByteArray> all;
        for (const carddav::RemoteCard& card : cards)
            all.insert(card.href, card.data);
        return all;
    }

    void emptyBook()
    {
        for (const QString& href : serverCards().keys())
            m_server->remove(href);
        QVERIFY(serverCards().isEmpty());
    }

    // Every contact belongs to exactly one card, and every card on the server to one person here.
    void verifyOneToOne(int people)
    {
        const QMap<QString, QByteArray> cards = serverCards();
        QCOMPARE(cards.size(), people);
        QStringList names;
        for (const QByteArray& card : cards) {
            const vcard::ReadResult read = vcard::ReadVCards(card);
            names << read.cards.value(0).jmeno;
        }
        names.sort();
        QStringList here =
            Values(c(), QStringLiteral("select distinct jmeno as v from zvonisty order by jmeno"));
        here.sort();
        QCOMPARE(names, here);
        QCOMPARE(Values(c(), QStringLiteral("select count(*) as v from zvonisty")),
                 Values(c(), QStringLiteral("select count(*) as v from sync_vazby")));
    }

    void start(const QStringList& statements = {})
    {
        m_box = std::make_unique<Sandbox>();
        m_box->createDirectory(4, statements);
        m_w = testsupport::StartMain(&m_context);
        QVERIFY(m_w->started());
    }

private Q_SLOTS:
    // Every case against each real server.
    void initTestCase_data()
    {
        QTest::addColumn<QString>("server");
        QTest::newRow("Radicale") << QStringLiteral("Radicale");
        QTest::newRow("Xandikos") << QStringLiteral("Xandikos");
    }
    void init()
    {
        QFETCH_GLOBAL(QString, server);
        if (m_server && m_server->name() == server)
            return;
        m_server.reset();
        if (server == QLatin1String("Radicale"))
            m_server = std::make_unique<Radicale>();
        else
            m_server = std::make_unique<testsupport::Xandikos>();
        QVERIFY2(m_server->start(), qPrintable(m_server->log()));
    }
    void cleanupTestCase() { m_server.reset(); }
    void cleanup()
    {
        m_w.reset();
        m_box.reset();
    }

    // Set up in the dialog with the server's address only; the first sync goes both ways, the
    // second moves nothing, and later ones carry changes and deletions each way.
    void firstSyncBothWaysThenChangesAndDeletes()
    {
        QVERIFY(Written(m_server->put(href(QStringLiteral("petr-1.vcf")), kPetr)));
        start(
            {QStringLiteral(
                 "insert into zvonisty (telefon, jmeno, email) values ('602 123 456', 'Jan Novák', "
                 "'jan@example.cz')"),
             QStringLiteral(
                 "insert into zvonisty (telefon, jmeno, email) values ('777 000 111', 'Jan Novák', "
                 "'jan@example.cz')"),
             QStringLiteral("insert into zvonisty (telefon, jmeno) values ('603 999 888', 'Věra Šťastná')")});
        testsupport::WhenModalShown([this](QWidget* dialog) {
            auto* d = qobject_cast<synchro::TDialogSync*>(dialog);
            QVERIFY(d);
            d->Adresa->setText(m_server->root().toString());
            d->Uzivatel->setText(DavServer::user());
            d->Heslo->setText(DavServer::password());
            d->Synchronizovat->click();
        });
        MessageDialogSeam::clearShown();
        Parts(*m_w).Synchronizace1->trigger();
        QString said = MessageDialogSeam::shown().value(0).text;
        QVERIFY2(said.startsWith(QStringLiteral("Synchronizace dokončena: odesláno karet 2, přijato 1, ")),
                 qPrintable(said));
        QCOMPARE(Values(c(), QStringLiteral("select telefon as v from zvonisty where jmeno = 'Petr Dvořák'")),
                 QStringList{QStringLiteral("606 111 222")});
        QByteArray body;
        QCOMPARE(m_server->get(href(QStringLiteral("petr-1.vcf")), &body), 200);

        said = syncNow();
        QVERIFY2(said.startsWith(
                     QStringLiteral("Synchronizace dokončena: odesláno karet 0, přijato 0, smazáno zde 0, "
                                    "smazáno na serveru 0, konfliktů 0.")),
                 qPrintable(said));

        // A second client adds a number; what the program does not show stays on the card.
        QByteArray changed = kPetr;
        changed.replace("END:VCARD", "TEL;TYPE=WORK:606 333 444\r\nEND:VCARD");
        QVERIFY(Written(m_server->put(href(QStringLiteral("petr-1.vcf")), changed)));
        said = syncNow();
        QCOMPARE(CountInSummary(said, QStringLiteral("přijato")), 1);
        QCOMPARE(
            Values(c(), QStringLiteral(
                            "select telefon as v from zvonisty where jmeno = 'Petr Dvořák' order by id")),
            (QStringList{QStringLiteral("606 111 222"), QStringLiteral("606 333 444")}));

        // Here: Petr's name changes, Jan is deleted; there: the card is edited, not rebuilt.
        testsupport::Exec(
            c(), QStringLiteral("update zvonisty set jmeno = 'Petr Dvořák ml.' where jmeno = 'Petr Dvořák'"));
        testsupport::Exec(c(), QStringLiteral("delete from zvonisty where jmeno = 'Jan Novák'"));
        said = syncNow();
        QCOMPARE(CountInSummary(said, QStringLiteral("odesláno karet")), 1);
        QCOMPARE(CountInSummary(said, QStringLiteral("smazáno na serveru")), 1);
        QCOMPARE(m_server->get(href(QStringLiteral("petr-1.vcf")), &body), 200);
        QVERIFY2(body.contains("FN:Petr Dvořák ml.") &&
                     body.contains("ADR;TYPE=HOME:;;Dlouhá 5;Praha;;11000;Česko") &&
                     body.contains("PHOTO;ENCODING=b;TYPE=PNG:iVBORw0KGgo=") &&
                     body.contains("X-VLASTNI:něco") && body.contains("UID:petr-1"),
                 body.constData());

        // Deleted there: gone here.
        QVERIFY(Written(m_server->remove(href(QStringLiteral("petr-1.vcf")))));
        said = syncNow();
        QCOMPARE(CountInSummary(said, QStringLiteral("smazáno zde")), 1);
        QCOMPARE(Values(c(), QStringLiteral("select jmeno as v from zvonisty")),
                 QStringList{QStringLiteral("Věra Šťastná")});
    }

    // The dialog comes back with what was typed after each refusal: an invalid address, a user
    // without a password, and plain http elsewhere, whose question defaults to "Ne".
    void dialogKeepsWhatWasTyped()
    {
        start();
        QStringList seen;
        std::function<void(int)> round = [&](int n) {
            testsupport::WhenModalShown([&, n](QWidget* dialog) {
                auto* d = qobject_cast<synchro::TDialogSync*>(dialog);
                QVERIFY(d);
                seen << d->Adresa->text() + QLatin1Char('|') + d->Uzivatel->text();
                const QList<QPair<QString, QString>> typed = {
                    {QStringLiteral("http://"), QStringLiteral("eva")},
                    {QStringLiteral("https://dav.example.org/"), QStringLiteral("eva")},
                    {QStringLiteral("http://dav.example.org/"), QString()}};
                if (n == int(typed.size())) {
                    d->Zavrit->click();
                    return;
                }
                d->Adresa->setText(typed[n].first);
                d->Uzivatel->setText(typed[n].second);
                round(n + 1);
                d->Ulozit->click();
            });
        };
        round(0);
        MessageDialogSeam::clearShown();
        Parts(*m_w).Synchronizace1->trigger();
        QCOMPARE(seen, (QStringList{QStringLiteral("|"), QStringLiteral("http://|eva"),
                                    QStringLiteral("https://dav.example.org/|eva"),
                                    QStringLiteral("http://dav.example.org/|")}));
        const auto shown = MessageDialogSeam::shown();
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown[1].text, QStringLiteral("Zadejte heslo uživatele eva pro server dav.example.org."));
        QVERIFY2(shown[2].text.endsWith(QStringLiteral("Přesto ji použít?")) &&
                     shown[2].buttonSet == kYesNoDefaultNo,
                 qPrintable(shown[2].text));
        QVERIFY(app::IniSettings().value(QStringLiteral("SYNCHRONIZACE"), QStringLiteral("Adresa")).isEmpty());
    }

    // Numbers from the server keep their text on the card when something else changes here; a
    // number longer than the directory keeps is kept whole in a dated note, once.
    void serverNumbersKeepTheirText()
    {
        emptyBook();
        const QByteArray card = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:cisla\r\nFN:Iva Malá\r\n"
                                "item1.TEL;TYPE=CELL,pref:+420 200 111 222\r\nitem1.X-ABLabel:mobil\r\n"
                                "TEL;VALUE=uri:tel:+1-418-656-9254;ext=102\r\n"
                                "TEL;TYPE=WORK:1234567890123456789012345\r\nEND:VCARD\r\n";
        QVERIFY(Written(m_server->put(href(QStringLiteral("cisla.vcf")), card)));
        start();
        configure(m_server->book());
        QString said = syncNow();
        QVERIFY2(said.contains(QStringLiteral("číslem delším, než seznam pojme: 2;")), qPrintable(said));
        QCOMPARE(Values(c(), QStringLiteral("select pozn as v from poznamky order by pozn")),
                 (QStringList{QStringLiteral("Celé číslo ze serveru: +14186569254;ext=102"),
                              QStringLiteral("Celé číslo ze serveru: 1234567890123456789012345")}));
        // The server keeps the card in its own spelling; that is what must stay, line for line.
        QByteArray before, after;
        QCOMPARE(m_server->get(href(QStringLiteral("cisla.vcf")), &before), 200);
        testsupport::Exec(c(), QStringLiteral("update zvonisty set email = 'iva@example.cz'"));
        said = syncNow();
        QCOMPARE(CountInSummary(said, QStringLiteral("odesláno karet")), 1);
        QVERIFY2(!said.contains(QStringLiteral("delším")), qPrintable(said));
        QCOMPARE(m_server->get(href(QStringLiteral("cisla.vcf")), &after), 200);
        for (const QByteArray& line : before.split('\n'))
            QVERIFY2(after.contains(line), line.constData());
        QVERIFY2(after.contains("iva@example.cz"), after.constData());
        QCOMPARE(Values(c(), QStringLiteral("select count(*) as v from poznamky")),
                 QStringList{QStringLiteral("2")});
    }

    // Changed on both sides: the server's card wins, the local values are kept as a note.
    void conflictKeepsTheLocalValuesAsANote()
    {
        emptyBook();
        start({QStringLiteral(
            "insert into zvonisty (telefon, jmeno, email) values ('603 999 888', 'Věra Šťastná', "
            "'vera@example.cz')")});
        configure(m_server->book());
        QVERIFY(syncNow().startsWith(QStringLiteral("Synchronizace dokončena: odesláno karet 1,")));
        const QString href = serverCards().firstKey();
        QByteArray theirs = serverCards().first();
        theirs.replace("vera@example.cz", "vera@jinde.cz");
        QVERIFY(Written(m_server->put(href, theirs)));
        testsupport::Exec(c(), QStringLiteral("update zvonisty set email = 'vera@tady.cz'"));
        const QString said = syncNow();
        QCOMPARE(CountInSummary(said, QStringLiteral("konfliktů")), 1);
        QCOMPARE(Values(c(), QStringLiteral("select email as v from zvonisty")),
                 QStringList{QStringLiteral("vera@jinde.cz")});
        const QStringList notes = Values(c(), QStringLiteral("select pozn as v from poznamky"));
        QCOMPARE(notes.size(), 1);
        QVERIFY2(
            notes.first().startsWith(QStringLiteral("Místní změna před synchronizací: Jméno: Věra Šťastná; "
                                                    "Telefon: 603 999 888; Email: vera@tady.cz")),
            qPrintable(notes.first()));
        // Nothing goes back and forth afterwards.
        QCOMPARE(CountInSummary(syncNow(), QStringLiteral("odesláno karet")), 0);
        QVERIFY(serverCards().first().contains("vera@jinde.cz"));
    }

    // A wrong password and a server that is gone end with a Czech message and change nothing;
    // the next synchronisation completes the one the server left half done.
    void failuresToldAndCompletedLater()
    {
        emptyBook();
        QStringList many;
        for (int i = 0; i < 60; ++i)
            many << QStringLiteral("insert into zvonisty (telefon, jmeno) values ('600 000 %1', 'Osoba %1')")
                        .arg(100 + i);
        start(many);
        QString said;
        // Only one of the servers asks for a password.
        if (m_server->name() == QLatin1String("Radicale")) {
            configure(m_server->book(), QStringLiteral("spatne"));
            said = syncNow();
            QVERIFY2(said.startsWith(QStringLiteral("Synchronizace se nezdařila: ")) &&
                         said.contains(QStringLiteral("401")),
                     qPrintable(said));
            QVERIFY(serverCards().isEmpty());
        }

        configure(m_server->book());
        // The server goes away while the cards are being sent.
        QTimer::singleShot(150, this, [this] { m_server->stop(); });
        said = syncNow();
        QVERIFY2(said.startsWith(QStringLiteral("Synchronizace se nezdařila: ")), qPrintable(said));
        QVERIFY(!said.contains(QStringLiteral("Connection")));
        QVERIFY(m_server->start());
        said = syncNow();
        QVERIFY2(said.startsWith(QStringLiteral("Synchronizace dokončena: ")), qPrintable(said));
        verifyOneToOne(60);
    }

    // A server that leaves a card out, repeats another, sends one that holds two contacts and
    // refuses an upload: each is told by its count, the token stays, and the next run completes
    // what this one could not.
    void brokenServerCountedAndCompletedLater()
    {
        emptyBook();
        for (const QString& name : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")})
            QVERIFY(
                Written(m_server->put(href(name + QStringLiteral(".vcf")),
                                      QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:%1\r\nFN:Osoba %1\r\n"
                                                     "TEL:601 000 00%2\r\nEND:VCARD\r\n")
                                          .arg(name)
                                          .arg(name.at(0).unicode() - 'a')
                                          .toUtf8())));
        start(
            {QStringLiteral("insert into zvonisty (telefon, jmeno) values ('603 999 888', 'Věra Šťastná')")});
        DavProxy proxy(m_server->root());
        configure(proxy.url(m_server->book()));
        proxy.rewrite = [](DavProxy::Exchange& e) {
            if (e.verb == "PUT") {
                e.status = 412;
                e.body.clear();
                return;
            }
            if (e.verb != "REPORT" || !e.requestBody.contains("addressbook-multiget"))
                return;
            QList<QByteArray> a, b, c;
            const qsizetype atA = Members(e.body, "a.vcf", &a).value(0, -1);
            if (atA >= 0)
                e.body.remove(QString::fromUtf8(e.body).left(atA).toUtf8().size(), a.first().size());
            if (Members(e.body, "b.vcf", &b).size() == 1)
                e.body.replace(b.first(), b.first() + b.first());
            if (Members(e.body, "c.vcf", &c).size() == 1) {
                const qsizetype from = c.first().indexOf("BEGIN:VCARD");
                const qsizetype to = c.first().indexOf("END:VCARD") + 9;
                QByteArray two = c.first();
                two.insert(to, "\r\n" + c.first().mid(from, to - from));
                e.body.replace(c.first(), two);
            }
        };
        QString said = syncNow();
        QVERIFY2(said.startsWith(QStringLiteral("Synchronizace dokončena: odesláno karet 0, přijato 1, ")) &&
                     said.contains(QStringLiteral("server nedodal: 1;")) &&
                     said.contains(QStringLiteral("mezitím změnily: 1;")) &&
                     said.contains(QStringLiteral("nechal je na serveru: 1 (") +
                                   href(QStringLiteral("c.vcf")) +
                                   QStringLiteral(" (soubor obsahuje 2 "
                                                  "kontaktů))")),
                 qPrintable(said));
        proxy.rewrite = nullptr;
        said = syncNow();
        // The refused upload had arrived after all: it is only confirmed.
        QVERIFY2(said.startsWith(QStringLiteral("Synchronizace dokončena: odesláno karet 0, přijato 1, ")) &&
                     !said.contains(QStringLiteral("nedodal")),
                 qPrintable(said));
        QCOMPARE(Values(c(), QStringLiteral("select jmeno as v from zvonisty order by jmeno")),
                 (QStringList{QStringLiteral("Osoba a"), QStringLiteral("Osoba b"),
                              QStringLiteral("Věra Šťastná")}));
        QCOMPARE(serverCards().size(), 4);
    }

    // A side emptied since the last run deletes nothing on the other without a word: the window
    // asks and "Ne" gives each side back what the other has; the command line refuses unless it
    // is told --force-delete. A file just made by --create-database synchronises at once.
    void emptiedSideDeletesOnlyWhenAgreed()
    {
        emptyBook();
        start({QStringLiteral("insert into zvonisty (telefon, jmeno) values ('601 000 001', 'Adam')"),
               QStringLiteral("insert into zvonisty (telefon, jmeno) values ('601 000 002', 'Bára')"),
               QStringLiteral("insert into zvonisty (telefon, jmeno) values ('601 000 003', 'Cyril')")});
        configure(m_server->book());
        QVERIFY(syncNow().startsWith(QStringLiteral("Synchronizace dokončena: odesláno karet 3,")));
        emptyBook();
        MessageDialogSeam::clearShown();
        Parts(*m_w).Synchronizovat1->trigger();
        const auto shown = MessageDialogSeam::shown();
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown.first().text.contains(QStringLiteral("smazány všechny karty")) &&
                     shown.first().text.contains(QStringLiteral("(3)")) &&
                     shown.first().buttonSet == kYesNoDefaultNo,
                 qPrintable(shown.first().text));
        QVERIFY2(shown.last().text.startsWith(
                     QStringLiteral("Synchronizace dokončena: odesláno karet 3, přijato 0, "
                                    "smazáno zde 0,")),
                 qPrintable(shown.last().text));
        verifyOneToOne(3);

        testsupport::Exec(c(), QStringLiteral("delete from zvonisty"));
        const QString folder = QFileInfo(m_box->dbPath()).absolutePath();
        m_w.reset();
        const QStringList sync{QStringLiteral("--sync"), QStringLiteral("--sync-url"),
                               m_server->book().toString()};
        int code = 0;
        QString line = Cli(folder, sync, &code);
        QCOMPARE(code, 1);
        QVERIFY2(line.contains(QStringLiteral("na serveru by se smazalo karet: 3")) &&
                     line.endsWith(QStringLiteral("--force-delete.")) &&
                     !line.contains(QStringLiteral("odesláno")),
                 qPrintable(line));
        QCOMPARE(serverCards().size(), 3);
        line = Cli(folder, sync + QStringList{QStringLiteral("--force-delete")}, &code);
        QCOMPARE(code, 0);
        QVERIFY2(line.contains(QStringLiteral("smazáno na serveru 3")), qPrintable(line));
        QVERIFY(serverCards().isEmpty());

        QTemporaryDir fresh;
        QCOMPARE(Cli(fresh.path(),
                     {QStringLiteral("--create-database"), fresh.filePath(QStringLiteral("Zvonisty.mdb"))},
                     &code),
                 QString());
        QCOMPARE(code, 0);
        line = Cli(fresh.path(), sync, &code);
        QVERIFY2(code == 0 && line.startsWith(QStringLiteral("Synchronizace dokončena: ")), qPrintable(line));
    }

    // The run goes on a thread of its own: the automatic synchronisation firing meanwhile does
    // not start a second one, and closing the window stops the run at the next card and then
    // closes it; the next run completes it.
    void closingTheWindowStopsTheRun()
    {
        emptyBook();
        QStringList many;
        for (int i = 0; i < 80; ++i)
            many << QStringLiteral("insert into zvonisty (telefon, jmeno) values ('602 000 %1', 'Člověk %1')")
                        .arg(100 + i);
        start(many);
        configure(m_server->book());
        Parts(*m_w).MinimalizovataplikacipistiskuAltF41->setChecked(false);
        bool closed = false;
        QTimer::singleShot(300, this, [&] {
            QVERIFY(synchro::SynchronizeNow(m_context.services(*m_w), true));
            MessageDialogSeam::setNextAnswer(0); // the question before closing, where it is asked
            m_w->close();
            closed = !m_w->isVisible();
        });
        MessageDialogSeam::clearShown();
        Parts(*m_w).Synchronizovat1->trigger();
        QVERIFY(!closed);
        QTRY_VERIFY(!m_w->isVisible());
        QVERIFY(MessageDialogSeam::shown().size() <= 1);
        QVERIFY(serverCards().size() < 80);
        m_w.reset();
        m_w = testsupport::StartMain(&m_context);
        QVERIFY(syncNow().startsWith(QStringLiteral("Synchronizace dokončena: ")));
        verifyOneToOne(80);
    }

    // Killed at any moment, the next run completes the synchronisation without duplicates on
    // either side; from the command line, with the address and the password given there.
    void killedSyncCompletedByTheNext()
    {
        emptyBook();
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Zvonisty.mdb"));
        {
            start();
            QStringList many;
            for (int i = 0; i < 150; ++i)
                testsupport::Exec(
                    c(), QStringLiteral("insert into zvonisty (telefon, jmeno) values ('601 000 %1', "
                                        "'Kontakt %1')")
                             .arg(100 + i));
            m_w.reset();
            QVERIFY(QFile::copy(m_box->dbPath(), file));
            m_box.reset();
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ZVONISTY_SYNC_USER"), DavServer::user());
        env.insert(QStringLiteral("ZVONISTY_SYNC_PASSWORD"), DavServer::password());
        const QStringList arguments{QStringLiteral("--sync"), QStringLiteral("--sync-url"),
                                    m_server->book().toString()};
        bool cutShort = false;
        for (const int killAfterMs : {300, 700, 1200}) {
            QProcess p;
            p.setWorkingDirectory(dir.path());
            p.setProcessEnvironment(env);
            p.start(QStringLiteral(ZV_PROGRAM), arguments);
            QVERIFY(p.waitForStarted());
            QTest::qWait(killAfterMs);
            p.kill();
            p.waitForFinished();
            cutShort = cutShort || serverCards().size() < 150;
        }
        QVERIFY(cutShort);
        QProcess last;
        last.setWorkingDirectory(dir.path());
        last.setProcessEnvironment(env);
        last.start(QStringLiteral(ZV_PROGRAM), arguments);
        QVERIFY(last.waitForFinished(120000));
        const QString line = QString::fromUtf8(last.readAllStandardOutput() + last.readAllStandardError());
        QCOMPARE(last.exitCode(), 0);
        QVERIFY2(line.startsWith(QStringLiteral("Synchronizace dokončena: ")) &&
                     line.count(QLatin1Char('\n')) == 1,
                 qPrintable(line));
        m_box = std::make_unique<Sandbox>();
        QFile::remove(m_box->dbPath());
        QVERIFY(QFile::copy(file, m_box->dbPath()));
        m_w = testsupport::StartMain(&m_context);
        verifyOneToOne(150);
    }
};

QTEST_MAIN(TestSync)
#include "test_sync.moc"
