// vCard writing: escaping, folding, the lines written, and one card per person.
#include "formats/VCardReader.h"
#include "formats/VCardWriter.h"
#include "testsupport/TestSupport.h"

#include <QStringDecoder>
#include <QTest>

using testsupport::Crlf;
using testsupport::Values;

using namespace vcard;

class TestVCardWriter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void escaping_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("escaped");
        QTest::newRow("plain") << "Jan Novák"
                               << "Jan Novák";
        QTest::newRow("specials") << "a\\b,c;d"
                                  << "a\\\\b\\,c\\;d";
        QTest::newRow("line breaks") << "1\r\n2\n3\r4"
                                     << "1\\n2\\n3\\n4";
        QTest::newRow("colon stays") << "8:30"
                                     << "8:30";
    }
    void escaping()
    {
        QFETCH(QString, text);
        QFETCH(QString, escaped);
        QCOMPARE(EscapeValue(text), escaped);
    }

    void folding_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("short") << QString(75, QLatin1Char('a'));
        QTest::newRow("ascii") << QString(300, QLatin1Char('a'));
        QTest::newRow("two-byte letters") << "NOTE:" + QString(200, QChar(0x10D));
        QTest::newRow("three-byte") << "NOTE:x" + QString(100, QChar(0x20AC));
        QTest::newRow("four-byte") << "NOTE:" + QString::fromUtf8("🙂").repeated(60);
    }
    void folding()
    {
        QFETCH(QString, line);
        const QByteArray folded = FoldLine(line.toUtf8());
        const QList<QByteArray> parts = folded.split('\n');
        for (qsizetype i = 0; i < parts.size(); ++i) {
            QByteArray part = parts.at(i);
            if (i + 1 < parts.size()) {
                QVERIFY(part.endsWith('\r'));
                part.chop(1);
            }
            QVERIFY2(part.size() <= 75, part.constData());
            if (i > 0)
                QVERIFY(part.startsWith(' '));
            // Each physical line is valid UTF-8 on its own: no character was split.
            QStringDecoder decoder(QStringDecoder::Utf8);
            (void)QString(decoder.decode(part));
            QVERIFY(!decoder.hasError());
        }
        QByteArray unfolded = folded;
        unfolded.replace("\r\n ", "");
        QCOMPARE(unfolded, line.toUtf8());
    }

    void writtenCard()
    {
        Contact c{Values({"604 111 222", "Novák, Jan", "jan@example.cz", "pozn; x", "Firma",
                          "Práce, kamarádi", "123", "jan.novak"}),
                  {{"8.12.2026 19:05:33", "první\r\ndruhá"}},
                  {}};
        QCOMPARE(
            WriteVCards({c}),
            Crlf("BEGIN:VCARD\nVERSION:3.0\nFN:Novák\\, Jan\nN:Novák\\, Jan;;;;\nTEL;TYPE=VOICE:604 111 222\n"
                 "EMAIL;TYPE=INTERNET:jan@example.cz\nORG:Firma\nNOTE:pozn\\; x\n"
                 "NOTE:8.12.2026 19:05:33\\nprvní\\ndruhá\nCATEGORIES:Práce\\, kamarádi\nX-ICQ:123\n"
                 "IMPP;X-SERVICE-TYPE=ICQ:icq:123\nX-SKYPE:jan.novak\n"
                 "IMPP;X-SERVICE-TYPE=Skype:skype:jan.novak\nEND:VCARD\n"));
        const QByteArray v4 = WriteVCards({Contact{Values({"1", "A"}), {}, {}}}, Version::V40);
        QCOMPARE(v4,
                 Crlf("BEGIN:VCARD\nVERSION:4.0\nFN:A\nN:A;;;;\nTEL;VALUE=text;TYPE=voice:1\nEND:VCARD\n"));
    }

    // Rows of one person, as an import makes them of one card, are written as one card again.
    void oneCardPerPerson()
    {
        const QList<Contact> rows{
            {Values({"111", "Jan", "j@x.cz", "", "", "", "", ""}), {{"1.1.2026 8:00:00", "a"}}, {}},
            {Values({"222", "Eva"}), {}, {}},
            {Values({"333", "Jan", "j@x.cz", "", "", "", "", ""}), {{"2.1.2026 8:00:00", "b"}}, {}},
            {Values({"444", "Jan", "j@x.cz", "", "", "Rodina", "", ""}), {}, {}},
            {Values({"555", "Jan", "j@x.cz", "", "", "", "", ""}), {}, {}},
        };
        const QList<Contact> people = OneCardPerPerson(rows);
        QCOMPARE(people.size(), 3);
        QCOMPARE(people.at(0).values.telefon, QStringLiteral("111"));
        QCOMPARE(people.at(0).furtherPhones, (QStringList{"333", "555"}));
        QCOMPARE(people.at(0).notes.size(), 2);
        QCOMPARE(people.at(2).values.skupina, QStringLiteral("Rodina"));
        const ReadResult read = ReadVCards(WriteVCards(people));
        QCOMPARE(read.cards.size(), 3);
        QCOMPARE(read.cards.first().phones, (QStringList{"111", "333", "555"}));
    }
};

QTEST_GUILESS_MAIN(TestVCardWriter)
#include "test_vcardwriter.moc"
