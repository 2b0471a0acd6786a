// Contact card files through the main window: writing, reading, and the duplicate number.
#include "app/TMain.h"
#include "db/contacts/Query.h"
#include "formats/CardFormat.h"
#include "testsupport/MainParts.h"
#include "testsupport/TestSupport.h"
#include "ui/DBGrid.h"
#include "ui/FileDialog.h"
#include "ui/MessageDialog.h"

#include <QAction>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTest>

using testsupport::MessagesShown;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

using testsupport::Column;
using testsupport::Parts;
using testsupport::Sandbox;

namespace {

const QString kRead = QStringLiteral("Vizitka byla načtena.");
const QString kMade = QStringLiteral("Vizitka byla vytvořena.");

} // namespace

class TestCards : public QObject
{
    Q_OBJECT

    std::unique_ptr<Sandbox> m_box;
    std::unique_ptr<TMain> m_w;

    QStringList row(const QString& where)
    {
        QStringList values;
        for (const char* f :
             {"telefon", "jmeno", "email", "poznamka", "organizace", "skupina", "icq", "skype", "datum"}) {
            const QStringList column =
                Column(Parts(*m_w).ADOConnection1, QStringLiteral("select * from zvonisty where ") + where,
                       QString::fromLatin1(f));
            if (column.size() != 1)
                return {QStringLiteral("rows: %1").arg(column.size())};
            values << column.first();
        }
        return values;
    }
    int count()
    {
        return int(Column(Parts(*m_w).ADOConnection1, QStringLiteral("select id from zvonisty"),
                          QStringLiteral("id"))
                       .size());
    }
    void search(const QString& text)
    {
        Parts(*m_w).Hledani->setText(text);
        Parts(*m_w).Najdi->click();
    }
    void importCard(const QByteArray& bytes)
    {
        WriteBytes(m_box->path(QStringLiteral("in.viz")), bytes);
        FileDialog::setNextFileName(m_box->path(QStringLiteral("in.viz")));
        Parts(*m_w).Nastvizitku1->trigger();
    }
    QString today() const { return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat); }

private Q_SLOTS:
    void init()
    {
        m_box = std::make_unique<Sandbox>();
        m_box->createDirectory(
            4, {QStringLiteral(
                    "insert into zvonisty (telefon, jmeno, email, poznamka, organizace, skupina, icq, "
                    "skype) values ('604 111 222', 'Alois Jirásek', 'a@j.cz', 'spisovatel', 'Praha', "
                    "'Autoři', '1234', 'alois')"),
                QStringLiteral("insert into zvonisty (telefon, jmeno) values ('222 333 444', 'Božena')")});
        m_w = testsupport::StartMain();
    }
    void cleanup()
    {
        m_w.reset();
        m_box.reset();
    }

    void writtenUnderTheRuleName_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("written");
        QTest::newRow("bare") << "karta"
                              << "karta.viz";
        QTest::newRow("txt") << "karta.txt"
                             << "karta.txt.viz";
        QTest::newRow("viz") << "karta.viz"
                             << "karta.viz";
        QTest::newRow("VIZ") << "karta.VIZ"
                             << "karta.VIZ";
    }
    void writtenUnderTheRuleName()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, written);
        // An existing file is replaced without a question.
        WriteBytes(m_box->path(written), "stary obsah");
        Parts(*m_w).DBGrid1->selectRow(0);
        FileDialog::setNextFileName(m_box->path(chosen));
        Parts(*m_w).Vytvoitvizitku1->trigger();
        QCOMPARE(MessagesShown(), QStringList{kMade});
        QCOMPARE(MessageDialogSeam::shown().first().icon, 0);
        QCOMPARE(FileDialog::shown().size(), 1);
        QVERIFY(FileDialog::shown().first().save);
        QCOMPARE(FileDialog::shown().first().filter, QStringLiteral("Vizitka telefonů [*.viz]|*.viz"));
        QCOMPARE(ReadBytes(m_box->path(written)),
                 QByteArray("[Vizitka]\r\ntelefon=604 111 222\r\njmeno=Alois Jir\xE1sek\r\nemail=a@j.cz\r\n"
                            "poznamka=spisovatel\r\norganizace=Praha\r\nskupina=Auto\xF8i\r\nicq=1234\r\n"
                            "skype=alois\r\n"));
        if (chosen != written)
            QVERIFY(!QFile::exists(m_box->path(chosen)));
    }

    void toolsMenuItemAndEmptyValues()
    {
        Parts(*m_w).DBGrid1->selectRow(1);
        QCOMPARE(Parts(*m_w).ADOQuery1->fieldText(u"jmeno"), QStringLiteral("Božena"));
        FileDialog::setNextFileName(m_box->path(QStringLiteral("b")));
        Parts(*m_w).Vytvoitvizitku2->trigger();
        QCOMPARE(MessagesShown(), QStringList{kMade});
        QCOMPARE(ReadBytes(m_box->path(QStringLiteral("b.viz"))),
                 QByteArray("[Vizitka]\r\ntelefon=222 333 444\r\njmeno=Bo\x9E"
                            "ena\r\nemail=\r\npoznamka=\r\n"
                            "organizace=\r\nskupina=\r\nicq=\r\nskype=\r\n"));
    }

    void emptyGridWritesAnEmptyCard()
    {
        search(QStringLiteral("nikdo takový"));
        QCOMPARE(Parts(*m_w).ADOQuery1->recordCount(), 0);
        FileDialog::setNextFileName(m_box->path(QStringLiteral("prazdna")));
        Parts(*m_w).Vytvoitvizitku1->trigger();
        QCOMPARE(ReadBytes(m_box->path(QStringLiteral("prazdna.viz"))),
                 QByteArray("[Vizitka]\r\ntelefon=\r\njmeno=\r\nemail=\r\npoznamka=\r\norganizace=\r\n"
                            "skupina=\r\nicq=\r\nskype=\r\n"));
    }

    void cancelledOrUncreatable()
    {
        Parts(*m_w).Vytvoitvizitku1->trigger();
        QCOMPARE(FileDialog::shown().size(), 1);
        QVERIFY(MessagesShown().isEmpty());
        // An existing card is replaced without a question, by the dialog too.
        QVERIFY(FileDialog::shown().first().options & FileDialog::ReplaceWithoutQuestion);
        FileDialog::setNextFileName(m_box->path(QStringLiteral("chybi/karta")));
        Parts(*m_w).Vytvoitvizitku1->trigger();
        QCOMPARE(
            MessagesShown(),
            QStringList{QStringLiteral("Nelze vytvořit soubor vizitky!\rNelze zapsat soubor %1: Soubor nebo "
                                       "složka neexistuje.")
                            .arg(m_box->path(QStringLiteral("chybi/karta.viz")))});
    }

    void characterOutsideTheCodePage_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("Ne") << 1;
        QTest::newRow("Ano") << 0;
    }
    void characterOutsideTheCodePage()
    {
        QFETCH(int, answer);
        testsupport::Exec(
            Parts(*m_w).ADOConnection1,
            QStringLiteral(
                "update zvonisty set jmeno = 'Jan ★', skype = '日本' where telefon = '222 333 444'"));
        m_w->refreshGrid();
        Parts(*m_w).DBGrid1->selectRow(1);
        MessageDialogSeam::setNextAnswer(answer);
        FileDialog::setNextFileName(m_box->path(QStringLiteral("jan")));
        Parts(*m_w).Vytvoitvizitku1->trigger();
        const QStringList shown = MessagesShown();
        QVERIFY(!shown.isEmpty());
        QVERIFY2(shown.first().contains(QStringLiteral("★")), qPrintable(shown.first()));
        QVERIFY(shown.first().contains(QStringLiteral("jméno, Skype")));
        QCOMPARE(MessageDialogSeam::shown().first().icon, 1);
        QCOMPARE(MessageDialogSeam::shown().first().buttonSet, 1);
        const QString path = m_box->path(QStringLiteral("jan.viz"));
        if (answer != 0) {
            QCOMPARE(shown.size(), 1);
            QVERIFY(!QFile::exists(path));
            return;
        }
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown.at(1).startsWith(kMade));
        QVERIFY(shown.at(1).contains(QStringLiteral("nahrazeny")));
        QVERIFY(ReadBytes(path).contains("jmeno=Jan \x1A\r\n"));
    }

    void readsACard()
    {
        // The group filter is read again: it offers what the directory gained meanwhile too.
        testsupport::Exec(Parts(*m_w).ADOConnection1,
                          QStringLiteral("update zvonisty set skupina = 'Autorky' where jmeno = 'Božena'"));
        importCard("[Vizitka]\r\ntelefon=777888999\r\njmeno=Karel \x8Atork\xE1n\r\nemail=k@s.cz\r\n"
                   "poznamka=it's\r\norganizace=ND\r\nskupina=Herci\r\nicq=55\r\nskype=karel\r\n");
        QCOMPARE(MessagesShown(), QStringList{kRead});
        QCOMPARE(FileDialog::shown().first().filter, QStringLiteral("Vizitka telefonů [*.viz]|*.viz"));
        QVERIFY(!FileDialog::shown().first().save);
        QCOMPARE(row(QStringLiteral("jmeno like 'Karel%'")),
                 (QStringList{"777 888 999", "Karel Štorkán", "k@s.cz", "it's", "ND", "Herci", "55", "karel",
                              today()}));
        // The grid is not re-queried until the user's next search.
        QCOMPARE(Parts(*m_w).ADOQuery1->recordCount(), 2);
        QCOMPARE(m_w->groups(), (QStringList{"Autorky", "Autoři", "Herci"}));
    }

    void cardVariants_data()
    {
        QTest::addColumn<QByteArray>("card");
        QTest::addColumn<QStringList>("values");
        QTest::newRow("header only") << QByteArray("[Vizitka]\r\n")
                                     << QStringList{"", "", "", "", "", "", "", ""};
        QTest::newRow("another order, foreign lines, keys missing")
            << QByteArray("[Vizitka]\r\nskype=s\r\n# nic\r\njmeno=Jana\r\ntelefon=123\r\n")
            << QStringList{"123", "Jana", "", "", "", "", "", "s"};
        QTest::newRow("two names") << QByteArray("[Vizitka]\r\ntelefon=5\r\njmeno=První\r\njmeno=Druhá\r\n")
                                   << QStringList{"5", "Druhá", "", "", "", "", "", ""};
        QTest::newRow("a key inside the note")
            << QByteArray("[Vizitka]\r\ntelefon=6\r\npoznamka=call skype=abc\r\n")
            << QStringList{"6", "", "", "call skype=abc", "", "", "", ""};
    }
    void cardVariants()
    {
        QFETCH(QByteArray, card);
        QFETCH(QStringList, values);
        importCard(card);
        QCOMPARE(MessagesShown(), QStringList{kRead});
        QCOMPARE(row(QStringLiteral("id = (select max(id) from zvonisty)")), values + QStringList{today()});
    }

    void headerVariantsRefused_data()
    {
        QTest::addColumn<QByteArray>("card");
        QTest::newRow("lower case") << QByteArray("[vizitka]\r\ntelefon=1\r\n");
        QTest::newRow("blank before") << QByteArray(" [Vizitka]\r\ntelefon=1\r\n");
        QTest::newRow("blank after") << QByteArray("[Vizitka] \r\ntelefon=1\r\n");
        QTest::newRow("empty file") << QByteArray();
    }
    void headerVariantsRefused()
    {
        QFETCH(QByteArray, card);
        importCard(card);
        QCOMPARE(MessagesShown(), QStringList{QStringLiteral("Nejedná se o platný soubor vizitky!")});
        QCOMPARE(count(), 2);
    }

    void sameCardTwiceShowsTheHolders()
    {
        const QByteArray card("[Vizitka]\r\ntelefon=123 456789\r\njmeno=Dvojka\r\n");
        importCard(card);
        QCOMPARE(MessagesShown(), QStringList{kRead});
        MessageDialogSeam::clearShown();
        // Written differently, the number is the same once formatted.
        importCard("[Vizitka]\r\ntelefon=123456789\r\njmeno=Jiná\r\n");
        QCOMPARE(MessagesShown(), QStringList{QStringLiteral("Telefonní číslo 123 456 789 již je v DB.")});
        QCOMPARE(count(), 3);
        QCOMPARE(Parts(*m_w).ADOQuery1->recordCount(), 1);
        QCOMPARE(Parts(*m_w).ADOQuery1->fieldText(u"jmeno"), QStringLiteral("Dvojka"));
        QCOMPARE(Parts(*m_w).pocet->text(), QStringLiteral("1"));
    }

    void headerOnlyCardAgainstAnEmptyNumber()
    {
        testsupport::Exec(Parts(*m_w).ADOConnection1,
                          QStringLiteral("insert into zvonisty (telefon, jmeno) values ('', 'Bez')"));
        importCard("[Vizitka]\r\n");
        QCOMPARE(MessagesShown(), QStringList{QStringLiteral("Telefonní číslo  již je v DB.")});
        QCOMPARE(count(), 3);
    }

    void refusedCardChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("card");
        QTest::addColumn<QString>("special");
        QTest::addColumn<QString>("told");
        QTest::newRow("name past its width")
            << "[Vizitka]\r\ntelefon=9\r\njmeno=" + QByteArray(151, 'x') + "\r\n"
            << ""
            << "Vizitku nelze načíst (řádek 3): Jméno má 151 znaků, pole dovoluje nejvýše 150.";
        QTest::newRow("group past its width")
            << QByteArray("[Vizitka]\r\ntelefon=9\r\nskupina=Sousedé z ulice Na Výsluní\r\njmeno=X\r\n") << ""
            << "Vizitku nelze načíst (řádek 3): Skupina má 26 znaků, pole dovoluje nejvýše 20.";
        // The engine's length stops at a NUL, and the statement would be cut there.
        QTest::newRow("NUL in a note")
            << QByteArray("[Vizitka]\r\ntelefon=9\r\npoznamka=a\0b\r\n", 35) << ""
            << "Vizitku nelze načíst (řádek 3): Poznámka obsahuje znak NUL, který nelze uložit.";
        QTest::newRow("far too large") << "[Vizitka]\r\njmeno=" + QByteArray(100000, 'x') << ""
                                       << "je na vizitku příliš velký (97 kB); vizitka má nejvýše 64 kB.";
        QTest::newRow("folder") << QByteArray() << "dir"
                                << "složka";
        QTest::newRow("pipe") << QByteArray() << "fifo"
                              << "pojmenovaná roura";
        QTest::newRow("device") << QByteArray() << "/dev/zero"
                                << "zařízení";
        QTest::newRow("socket") << QByteArray() << "socket"
                                << "soket";
    }
    void refusedCardChangesNothing()
    {
        QFETCH(QByteArray, card);
        QFETCH(QString, special);
        QFETCH(QString, told);
        if (special.isEmpty()) {
            importCard(card);
        } else {
            const testsupport::SpecialInput input(special, m_box->path());
            FileDialog::setNextFileName(input.path());
            Parts(*m_w).Nastvizitku1->trigger();
        }
        const QStringList shown = MessagesShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().contains(told), qPrintable(shown.first()));
        QCOMPARE(count(), 2);
        QCOMPARE(m_box->errorLogLines(), QStringList());
    }

    void unreadableOrCancelled()
    {
        Parts(*m_w).Nastvizitku1->trigger();
        QVERIFY(MessagesShown().isEmpty());
        FileDialog::setNextFileName(m_box->path(QStringLiteral("neni.viz")));
        Parts(*m_w).Nastvizitku1->trigger();
        QCOMPARE(MessagesShown(), QStringList{QStringLiteral("Nelze oteřít soubor vizitky!")});
        QCOMPARE(count(), 2);
    }

    void writtenCardReadsBack()
    {
        Parts(*m_w).DBGrid1->selectRow(0);
        FileDialog::setNextFileName(m_box->path(QStringLiteral("alois")));
        Parts(*m_w).Vytvoitvizitku1->trigger();
        const QStringList before = row(QStringLiteral("telefon = '604 111 222'"));
        testsupport::Exec(Parts(*m_w).ADOConnection1,
                          QStringLiteral("delete from zvonisty where telefon = '604 111 222'"));
        FileDialog::setNextFileName(m_box->path(QStringLiteral("alois.viz")));
        Parts(*m_w).Nastvizitku1->trigger();
        QCOMPARE(MessagesShown(), (QStringList{kMade, kRead}));
        QCOMPARE(row(QStringLiteral("telefon = '604 111 222'")).mid(0, 8), before.mid(0, 8));
    }
};

QTEST_MAIN(TestCards)
#include "test_cards.moc"
