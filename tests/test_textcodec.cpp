// Recognising the encoding of exchanged files, and writing code page 1250.
#include "formats/TextCodec.h"

#include <QTest>

using exchange::TextEncoding;

Q_DECLARE_METATYPE(exchange::TextEncoding)

namespace {

const QByteArray kMark("\xEF\xBB\xBF");
// "Příliš žluťoučký kůň" in code page 1250, byte by byte.
const QByteArray kSentenceCp1250("P\xF8\xED\x6C\x69\x9A \x9Elu\x9Do\x75\xE8k\xFD k\xF9\xF2");
const QString kSentence = QStringLiteral("Příliš žluťoučký kůň");

} // namespace

class TestTextCodec : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void recognisesTheEncoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<TextEncoding>("encoding");
        QTest::addColumn<QString>("text");

        QTest::newRow("plain ASCII") << QByteArray("Jan;603 123 456\r\n") << TextEncoding::Cp1250
                                     << QStringLiteral("Jan;603 123 456\r\n");
        QTest::newRow("empty") << QByteArray() << TextEncoding::Cp1250 << QString();
        QTest::newRow("UTF-8") << kSentence.toUtf8() << TextEncoding::Utf8 << kSentence;
        QTest::newRow("code page 1250") << kSentenceCp1250 << TextEncoding::Cp1250 << kSentence;
        QTest::newRow("UTF-8 with its mark") << kMark + kSentence.toUtf8() << TextEncoding::Utf8 << kSentence;
        QTest::newRow("mark before ASCII")
            << kMark + QByteArray("Jan;1") << TextEncoding::Utf8 << QStringLiteral("Jan;1");
        QTest::newRow("mark alone") << kMark << TextEncoding::Utf8 << QString();
        // Š alone is a continuation byte: not UTF-8.
        QTest::newRow("1250, not UTF-8")
            << QByteArray("\x8A\xE1rka;1") << TextEncoding::Cp1250 << QStringLiteral("Šárka;1");
        QTest::newRow("UTF-8 cut in a character") << QStringLiteral("Jiří").toUtf8().chopped(1)
                                                  << TextEncoding::Cp1250 << QStringLiteral("JiĹ\u2122Ă");
        QTest::newRow("UTF-8 encoded surrogate is not UTF-8")
            << QByteArray("a\xED\xA0\x80") << TextEncoding::Cp1250 << QStringLiteral("a\u00ED\u00A0\u20AC");
        // The rule's limit: a 1250 text whose high bytes happen to pair up as UTF-8 reads as UTF-8.
        QTest::newRow("1250 that is valid UTF-8")
            << QByteArray("\xC8\x8A") << TextEncoding::Utf8 << QStringLiteral("\u020A");
    }
    void recognisesTheEncoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(TextEncoding, encoding);
        QFETCH(QString, text);
        QCOMPARE(exchange::DetectEncoding(bytes), encoding);
        QCOMPARE(exchange::DecodeText(bytes), text);
        // Read in pieces, the file is told the same: a byte at a time, or in two halves.
        exchange::EncodingSniffer bytewise, halves;
        for (qsizetype i = 0; i < bytes.size(); ++i)
            bytewise.feed(QByteArrayView(bytes).sliced(i, 1));
        halves.feed(QByteArrayView(bytes).first(bytes.size() / 2));
        halves.feed(QByteArrayView(bytes).sliced(bytes.size() / 2));
        QCOMPARE(bytewise.result(), encoding);
        QCOMPARE(halves.result(), encoding);
    }

    void sameNamesInBothEncodings_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* name : {"Řehoř Čermák", "Šárka Žáková", "Ďurovič Ťažký", "Ondřej Kůň", "Ěěš Óó Úů"})
            QTest::newRow(name) << QString::fromUtf8(name);
    }
    void sameNamesInBothEncodings()
    {
        QFETCH(QString, name);
        QByteArray cp1250;
        QVERIFY(exchange::EncodeCp1250(name, &cp1250));
        QVERIFY(cp1250 != name.toUtf8());
        QCOMPARE(exchange::DecodeText(cp1250), name);
        QCOMPARE(exchange::DecodeText(name.toUtf8()), name);
        QCOMPARE(exchange::DecodeText(kMark + name.toUtf8()), name);
    }

    void encodesCodePage1250_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("fits");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("firstMissing");
        QTest::newRow("Czech") << kSentence << true << kSentenceCp1250 << QString();
        QTest::newRow("euro and quotes")
            << QStringLiteral("€„“") << true << QByteArray("\x80\x84\x93") << QString();
        QTest::newRow("empty") << QString() << true << QByteArray() << QString();
        QTest::newRow("Danish ø") << QStringLiteral("Søren") << false << QByteArray() << QStringLiteral("ø");
        QTest::newRow("smiley") << QStringLiteral("Jan ☺ Novák") << false << QByteArray()
                                << QStringLiteral("☺");
        QTest::newRow("emoji, two UTF-16 units")
            << QStringLiteral("a\U0001F600b") << false << QByteArray() << QString(QChar(0xD83D));
    }
    void encodesCodePage1250()
    {
        QFETCH(QString, text);
        QFETCH(bool, fits);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, firstMissing);
        QByteArray out;
        QChar missing;
        QCOMPARE(exchange::EncodeCp1250(text, &out, &missing), fits);
        if (fits) {
            QCOMPARE(out, bytes);
            QCOMPARE(exchange::DecodeText(out, TextEncoding::Cp1250), text);
        } else {
            QCOMPARE(QString(missing), firstMissing);
        }
    }
};

QTEST_GUILESS_MAIN(TestTextCodec)
#include "test_textcodec.moc"
