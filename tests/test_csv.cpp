// CSV reading and writing: the exports of other address books, recognition of a file's layout,
// quoting, and the round trip through the writer.
#include "formats/CsvMapping.h"
#include "formats/CsvReader.h"
#include "formats/CsvWriter.h"
#include "formats/TextCodec.h"
#include "testsupport/TestSupport.h"

#include <QFile>
#include <QStringEncoder>
#include <QTest>

using testsupport::Fields;
using testsupport::Values;

Q_DECLARE_METATYPE(csv::Encoding)
Q_DECLARE_METATYPE(csv::Flavour)

namespace {

struct ReadAll
{
    QList<csv::Record> records;
    csv::Reader::Failure failure = csv::Reader::Failure::None;
    qint64 failedLine = 0;
};

ReadAll Read(const QByteArray& bytes, const csv::Layout& layout)
{
    ReadAll read;
    csv::Reader reader(layout.separator, layout.encoding);
    if (reader.feed(bytes, &read.records))
        reader.finish(&read.records);
    read.failure = reader.failure();
    read.failedLine = reader.failedLine();
    return read;
}

// Every row as "line: cell|cell|...".
QStringList Shown(const QList<csv::Record>& records)
{
    QStringList shown;
    for (const csv::Record& r : records)
        shown << QString::number(r.line) + QStringLiteral(": ") + r.cells.join(QLatin1Char('|'));
    return shown;
}

// The directory's rows of a whole file, read as the import reads it: layout and export
// recognised, the header row left out.
QList<ContactValues> Import(const QByteArray& bytes, QString* source = nullptr, int* withoutPhone = nullptr)
{
    const csv::Layout layout =
        csv::RecogniseLayout(bytes, true, exchange::DetectEncoding(bytes) == exchange::TextEncoding::Utf8);
    const ReadAll read = Read(bytes, layout);
    if (read.records.isEmpty() || !layout.header)
        return {};
    const csv::Recognition known = csv::RecogniseExport(read.records.first().cells);
    if (source)
        *source = known.source;
    QList<ContactValues> rows;
    for (qsizetype i = 1; i < read.records.size(); ++i) {
        const QList<ContactValues> of =
            csv::ContactsOfRow(read.records.at(i).cells, known.mapping, QString());
        if (of.isEmpty() && withoutPhone)
            ++*withoutPhone;
        rows += of;
    }
    return rows;
}

QByteArray Fixture(const QString& name)
{
    QFile file(QStringLiteral(ZV_FIXTURES "/csv-public/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray Utf16(const QString& text, QStringEncoder::Encoding encoding)
{
    return QStringEncoder(encoding, QStringEncoder::Flag::WriteBom).encode(text);
}

QByteArray Cp1250(const QString& text)
{
    QByteArray bytes;
    exchange::EncodeCp1250(text, &bytes);
    return bytes;
}

} // namespace

class TestCsv : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each row in the order telefon, jmeno, email, poznamka, organizace, skupina, icq, skype.
    void publicSamples_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("withoutPhone");
        const QString gmail = QStringLiteral("|Lastname Firstname|home@aaa.pl|note\"note|company|Test||");
        QStringList gmailRows;
        for (const char* number :
             {"pag er", "mai nph one", "hom eph one", "hom efa x", "mob ile", "wor kph one", "wor kfa x"})
            gmailRows << QString::fromLatin1(number) + gmail;
        QTest::newRow("Google") << QStringLiteral("roundcube_gmail.csv")
                                << QStringLiteral("export z Google Contacts") << gmailRows << 0;
        QTest::newRow("Outlook") << QStringLiteral("roundcube_outlook.csv")
                                 << QStringLiteral("export z Outlooku") << QStringList() << 1;
        const QString thunderbird = QStringLiteral("|Lastname Firstname|test@domain.tld||Organization|||");
        QTest::newRow("Thunderbird") << QStringLiteral("roundcube_tb_plain.csv")
                                     << QStringLiteral("export z Thunderbirdu")
                                     << QStringList{QStringLiteral("pho new ork") + thunderbird,
                                                    QStringLiteral("pho neh ome") + thunderbird,
                                                    QStringLiteral("mob ile") + thunderbird}
                                     << 0;
    }
    void publicSamples()
    {
        QFETCH(QString, file);
        QFETCH(QString, source);
        QFETCH(QStringList, rows);
        QFETCH(int, withoutPhone);
        const QByteArray bytes = Fixture(file);
        QVERIFY2(!bytes.isEmpty(), qPrintable(file));
        QString recognised;
        int left = 0;
        QStringList got;
        for (const ContactValues& v : Import(bytes, &recognised, &left))
            got << Fields(v).join(QLatin1Char('|'));
        QCOMPARE(recognised, source);
        QCOMPARE(got, rows);
        QCOMPARE(left, withoutPhone);
    }

    // What the export writes comes back character for character, recognised as the program's own.
    void roundTrip_data()
    {
        QTest::addColumn<csv::Flavour>("flavour");
        QTest::newRow("UTF-8 and comma") << csv::Flavour::Utf8Comma;
        QTest::newRow("windows-1250 and semicolon") << csv::Flavour::Cp1250Semicolon;
    }
    void roundTrip()
    {
        QFETCH(csv::Flavour, flavour);
        const QList<QStringList> contacts{
            {QStringLiteral("604 111 222"), QStringLiteral("Jirásek Alois"), QStringLiteral("a@j.cz"),
             QStringLiteral("spisovatel; dramatik, \"Psohlavci\""), QStringLiteral("Praha, Hrádek"),
             QStringLiteral("Autoři"), QStringLiteral("1234"), QStringLiteral("alois")},
            {QStringLiteral("222 333 444"), QStringLiteral(" Božena "), QString(),
             QStringLiteral("první\r\ndruhý\nřádek"), QString(), QString(), QString(),
             QStringLiteral("\ttab")},
            {QStringLiteral("777 000 111 2"), QStringLiteral("\"Čestmír\""), QString(), QString(), QString(),
             QStringLiteral("Rodina"), QString(), QString()},
        };
        csv::Writer writer(flavour);
        for (const QStringList& c : contacts)
            QVERIFY(writer.add(Values(c)));
        QString source;
        QList<QStringList> back;
        for (const ContactValues& v : Import(writer.bytes(), &source))
            back << Fields(v);
        QCOMPARE(source, QStringLiteral("export z tohoto programu"));
        QCOMPARE(back, contacts);
        QChar missing;
        const bool written =
            writer.add(Values({QStringLiteral("111 222 333"), QStringLiteral("Жуков")}), &missing);
        QCOMPARE(written, flavour == csv::Flavour::Utf8Comma);
        QCOMPARE(missing, written ? QChar() : QChar(0x0416));
        QCOMPARE(writer.written(), contacts.size() + (written ? 1 : 0));
    }

    void recognition_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<char>("separator");
        QTest::addColumn<csv::Encoding>("encoding");
        QTest::addColumn<bool>("header");
        QTest::addColumn<QString>("firstCell");
        const QString table = QStringLiteral("Jméno;Telefon\r\nNovák;604 111 222\r\n");
        const QString jmeno = QStringLiteral("Jméno");
        QTest::newRow("windows-1250, semicolon, header")
            << Cp1250(table) << ';' << csv::Encoding::Cp1250 << true << jmeno;
        QTest::newRow("UTF-8 without a mark")
            << table.toUtf8() << ';' << csv::Encoding::Utf8 << true << jmeno;
        QTest::newRow("UTF-8 with a mark, comma") << QByteArray("\xEF\xBB\xBFName,Phone\nA,604111222") << ','
                                                  << csv::Encoding::Utf8 << true << QStringLiteral("Name");
        QTest::newRow("UTF-16 LE, tab")
            << Utf16(QStringLiteral("Jméno\tTelefon\nNovák\t604111222\n"), QStringEncoder::Utf16LE) << '\t'
            << csv::Encoding::Utf16Le << true << jmeno;
        QTest::newRow("UTF-16 BE") << Utf16(table, QStringEncoder::Utf16BE) << ';' << csv::Encoding::Utf16Be
                                   << true << jmeno;
        QTest::newRow("no header") << QByteArray("Novák;604111222;a@b.cz\nDvořák;777888999;\n") << ';'
                                   << csv::Encoding::Utf8 << false << QStringLiteral("Novák");
        QTest::newRow("separators in quotes do not count")
            << QByteArray("\"Novak, Jan\";604111222\n\"Dvorak, A\";777 888 999\n") << ';'
            << csv::Encoding::Cp1250 << false << QStringLiteral("Novak, Jan");
        QTest::newRow("a known header holding digits")
            << QByteArray("E-mail 1 - Value,Phone 1 - Value\n") << ',' << csv::Encoding::Cp1250 << true
            << QStringLiteral("E-mail 1 - Value");
    }
    void recognition()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(char, separator);
        QFETCH(csv::Encoding, encoding);
        QFETCH(bool, header);
        QFETCH(QString, firstCell);
        const csv::Layout layout = csv::RecogniseLayout(
            bytes, true, exchange::DetectEncoding(bytes) == exchange::TextEncoding::Utf8);
        QCOMPARE(layout.separator, separator);
        QCOMPARE(csv::EncodingName(layout.encoding), csv::EncodingName(encoding));
        QCOMPARE(layout.header, header);
        const ReadAll read = Read(bytes, layout);
        QVERIFY(!read.records.isEmpty());
        QCOMPARE(read.records.first().cells.first(), firstCell);
    }

    // Every row named by the line it starts on; a quote left open at the end names its line.
    void reading_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<qint64>("unclosedAt");
        QTest::newRow("quoted separators, quotes and line breaks")
            << QByteArray("a,\"b,c\",\"say \"\"hi\"\"\"\r\n\"two\r\nlines\",x\r\nlast,line")
            << QStringList{QStringLiteral("1: a|b,c|say \"hi\""), QStringLiteral("2: two\r\nlines|x"),
                           QStringLiteral("4: last|line")}
            << qint64(0);
        QTest::newRow("ragged rows, blank lines, last line ended")
            << QByteArray("a\n\nb,c,d\n\n\ne,\n")
            << QStringList{QStringLiteral("1: a"), QStringLiteral("3: b|c|d"), QStringLiteral("6: e|")}
            << qint64(0);
        QTest::newRow("a quote open to the end")
            << QByteArray("a,b\nc,\"d\ne,f\n") << QStringList{QStringLiteral("1: a|b")} << qint64(2);
    }
    void reading()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, rows);
        QFETCH(qint64, unclosedAt);
        const ReadAll read = Read(bytes, {',', csv::Encoding::Utf8, false});
        QCOMPARE(Shown(read.records), rows);
        QCOMPARE(read.failure == csv::Reader::Failure::UnclosedQuote, unclosedAt > 0);
        QCOMPARE(read.failedLine, unclosedAt);
    }
};

QTEST_GUILESS_MAIN(TestCsv)
#include "test_csv.moc"
