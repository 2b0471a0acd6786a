// The contact card format: file names, the written lines, and reading cards back.
#include "testsupport/TestSupport.h"
#include "formats/CardFormat.h"

#include <QTest>

using testsupport::Values;
using testsupport::Fields;

using cards::CardFileName;
using cards::CardText;
using cards::ParseCard;

Q_DECLARE_METATYPE(ContactValues)

class TestCardFormat : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fileName_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("written");
        QTest::newRow("bare") << "/tmp/karta"
                              << "/tmp/karta.viz";
        QTest::newRow("other extension") << "/tmp/karta.txt"
                                         << "/tmp/karta.txt.viz";
        QTest::newRow("lower") << "/tmp/karta.viz"
                               << "/tmp/karta.viz";
        QTest::newRow("upper") << "/tmp/karta.VIZ"
                               << "/tmp/karta.VIZ";
        QTest::newRow("mixed") << "/tmp/karta.Viz"
                               << "/tmp/karta.Viz";
        QTest::newRow("dot in folder only") << "/tmp/a.viz/karta"
                                            << "/tmp/a.viz/karta.viz";
        QTest::newRow("longer extension") << "/tmp/karta.vizz"
                                          << "/tmp/karta.vizz.viz";
    }
    void fileName()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, written);
        QCOMPARE(CardFileName(chosen), written);
    }

    void writtenLines_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("text");
        QTest::newRow("full")
            << QStringList{"123 456 789",   "Jan Novák", "jan@example.cz", "šéf",
                           "Firma, s.r.o.", "práce",     "123456",         "jan.novak"}
            << "[Vizitka]\r\ntelefon=123 456 789\r\njmeno=Jan Novák\r\nemail=jan@example.cz\r\n"
               "poznamka=šéf\r\norganizace=Firma, s.r.o.\r\nskupina=práce\r\nicq=123456\r\n"
               "skype=jan.novak\r\n";
        QTest::newRow("no icq, no skype")
            << QStringList{"111", "Eva"}
            << "[Vizitka]\r\ntelefon=111\r\njmeno=Eva\r\nemail=\r\npoznamka=\r\norganizace=\r\nskupina=\r\n"
               "icq=\r\nskype=\r\n";
        QTest::newRow("values as they stand")
            << QStringList{" 1 ", "a=b", "", "poznamka=x"}
            << "[Vizitka]\r\ntelefon= 1 \r\njmeno=a=b\r\nemail=\r\npoznamka=poznamka=x\r\norganizace=\r\n"
               "skupina=\r\nicq=\r\nskype=\r\n";
    }
    void writtenLines()
    {
        QFETCH(QStringList, values);
        QFETCH(QString, text);
        QCOMPARE(CardText(Values(values)), text);
        QCOMPARE(ParseCard(text).values.jmeno, Values(values).jmeno);
    }

    void encodedInCp1250()
    {
        const auto card = cards::EncodeCard(Values({"1", "Žluťoučký kůň"}));
        QVERIFY(card.lossyFields.isEmpty());
        QVERIFY(card.bytes.contains(QByteArray("jmeno=\x8Elu\x9Do\x75\xE8k\xFD k\xF9\xF2\r\n")));
        QCOMPARE(card.bytes.count('\n'), 9);
        QCOMPARE(card.bytes.count("\r\n"), 9);
    }

    void lossyFieldsNamed_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("first");
        QTest::newRow("name") << QStringList{"1", "Jan ★"} << QStringList{"jméno"} << "★";
        QTest::newRow("two fields") << QStringList{"1", "", "", "€ ok, 日本", "", "", "", "Ω"}
                                    << QStringList{"poznámka", "Skype"} << "日";
        QTest::newRow("emoji") << QStringList{"1", "", "", "", "🙂"} << QStringList{"organizace"}
                               << QStringLiteral("🙂");
    }
    void lossyFieldsNamed()
    {
        QFETCH(QStringList, values);
        QFETCH(QStringList, fields);
        QFETCH(QString, first);
        const auto card = cards::EncodeCard(Values(values));
        QCOMPARE(card.lossyFields, fields);
        QCOMPARE(card.firstMissing, first);
        // Still nine whole lines: the replacement never breaks the card's structure.
        QCOMPARE(card.bytes.count("\r\n"), 9);
        QVERIFY(cards::ParseCardBytes(card.bytes).valid);
    }

    void reading_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QStringList>("values");
        const QStringList none(8);
        QTest::newRow("ordered")
            << "[Vizitka]\r\ntelefon=123456789\r\njmeno=Jan\r\nemail=j@x.cz\r\npoznamka=p\r\n"
               "organizace=o\r\nskupina=s\r\nicq=1\r\nskype=sk\r\n"
            << true << QStringList{"123456789", "Jan", "j@x.cz", "p", "o", "s", "1", "sk"};
        QTest::newRow("another order, foreign lines, missing keys")
            << "[Vizitka]\r\nskype=sk\r\nnesmysl\r\njmeno=Jan\r\n\r\ntelefon=1\r\n"
            << true << QStringList{"1", "Jan", "", "", "", "", "", "sk"};
        QTest::newRow("two names: the second wins")
            << "[Vizitka]\r\njmeno=První\r\njmeno=Druhý\r\n"
            << true << QStringList{"", "Druhý", "", "", "", "", "", ""};
        QTest::newRow("header only") << "[Vizitka]\r\n" << true << none;
        QTest::newRow("header without line end") << "[Vizitka]" << true << none;
        QTest::newRow("key inside a note does not count")
            << "[Vizitka]\r\npoznamka=call skype=abc\r\n"
            << true << QStringList{"", "", "", "call skype=abc", "", "", "", ""};
        QTest::newRow("key after blanks does not count") << "[Vizitka]\r\n jmeno=X\r\n" << true << none;
        QTest::newRow("keys are case-sensitive") << "[Vizitka]\r\nJmeno=X\r\n" << true << none;
        QTest::newRow("LF only") << "[Vizitka]\njmeno=A\ntelefon=2\n"
                                 << true << QStringList{"2", "A", "", "", "", "", "", ""};
        QTest::newRow("CR only") << "[Vizitka]\rjmeno=A\r" << true
                                 << QStringList{"", "A", "", "", "", "", "", ""};
        QTest::newRow("value with '=' and blanks kept")
            << "[Vizitka]\r\njmeno= a = b \r\n"
            << true << QStringList{"", " a = b ", "", "", "", "", "", ""};
        QTest::newRow("empty file") << "" << false << none;
        QTest::newRow("lower case header") << "[vizitka]\r\njmeno=A\r\n" << false << none;
        QTest::newRow("blank before header") << " [Vizitka]\r\njmeno=A\r\n" << false << none;
        QTest::newRow("blank after header") << "[Vizitka] \r\njmeno=A\r\n" << false << none;
        QTest::newRow("empty first line") << "\r\n[Vizitka]\r\njmeno=A\r\n" << false << none;
    }
    void reading()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(QStringList, values);
        const auto card = ParseCard(text);
        QCOMPARE(card.valid, valid);
        QCOMPARE(Fields(card.values), values);
    }

    void bytesInEitherEncoding()
    {
        const QByteArray cp1250("[Vizitka]\r\njmeno=\x8Alechta\r\n");
        QCOMPARE(cards::ParseCardBytes(cp1250).values.jmeno, QStringLiteral("Šlechta"));
        const QByteArray utf8 = QStringLiteral("\uFEFF[Vizitka]\r\njmeno=Šlechta\r\n").toUtf8();
        QCOMPARE(cards::ParseCardBytes(utf8).values.jmeno, QStringLiteral("Šlechta"));
    }

    void roundTrip()
    {
        const ContactValues v =
            Values({"604 123 456", "Řehoř Ďáblík", "r@d.cz", "pozn; s=", "Org", "Rodina", "77", "rehor"});
        const auto card = cards::EncodeCard(v);
        QCOMPARE(Fields(cards::ParseCardBytes(card.bytes).values), Fields(v));
    }
};

QTEST_GUILESS_MAIN(TestCardFormat)
#include "test_cardformat.moc"
