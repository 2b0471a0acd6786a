// Cutting the lines of an import file into columns, and the file's text into lines.
#include "db/engine/PhoneText.h"
#include "formats/ImportLine.h"
#include "formats/InputFile.h"
#include "formats/TextCodec.h"
#include "testsupport/TestSupport.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using exchange::ImportLine;
using exchange::LineReader;
using exchange::LineStream;
using exchange::ParseImportLine;

namespace {

QStringList Columns(const ImportLine& l)
{
    return {l.jmeno, l.telefon, l.email, l.poznamka, l.organizace, l.icq, l.skype};
}

QStringList AllLines(const QString& text)
{
    LineReader reader(text);
    QStringList lines;
    do
        lines << reader.next().toString();
    while (!reader.atEnd());
    return lines;
}

// The lines a LineStream reads from the bytes, a line past the limit as "<too long>"; the
// line count told beforehand, fed a byte at a time, must agree.
QStringList StreamedLines(const QByteArray& bytes, qsizetype limit)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    LineStream stream(&buffer, limit);
    QStringList lines;
    QByteArray line;
    for (;;) {
        const LineStream::Result result = stream.next(&line);
        if (result == LineStream::Result::End || result == LineStream::Result::ReadError)
            break;
        lines << (result == LineStream::Result::TooLong ? QStringLiteral("<too long>")
                                                        : QString::fromUtf8(line));
        if (stream.lineNumber() != lines.size())
            return {QStringLiteral("line number %1 at line %2").arg(stream.lineNumber()).arg(lines.size())};
    }
    exchange::LineCounter counter;
    for (qsizetype i = 0; i < bytes.size(); ++i)
        counter.feed(QByteArrayView(bytes).sliced(i, 1));
    if (counter.lines() != lines.size())
        return {QStringLiteral("counted %1 of %2 lines").arg(counter.lines()).arg(lines.size())};
    return lines;
}

// An independent model of the cutting: split at every ";"; a ";" at the very end opens no
// further column.
void CheckAgainstModel(const QString& line)
{
    QStringList parts = line.split(QLatin1Char(';'));
    if (parts.last().isEmpty())
        parts.removeLast();
    const ImportLine row = ParseImportLine(line);
    const QStringList got = Columns(row);
    for (int c = 0; c < 7; ++c) {
        const QString expected = c < parts.size() ? parts.at(c) : QString();
        if (c == 1)
            QCOMPARE(got.at(c), GroupPhone(expected));
        else
            QCOMPARE(got.at(c), expected);
    }
    QCOMPARE(row.furtherPhones.size(), qMax<qsizetype>(0, parts.size() - 7));
    for (qsizetype i = 0; i < row.furtherPhones.size(); ++i)
        QCOMPARE(row.furtherPhones.at(i), GroupPhone(parts.at(7 + i)));
}

} // namespace

class TestImportLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cutsColumns_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<QStringList>("further");
        const QStringList none;
        QTest::newRow("two columns") << "Jan Novák;603123456"
                                     << QStringList{"Jan Novák", "603 123 456", "", "", "", "", ""} << none;
        QTest::newRow("nine columns")
            << "Eva;111222333;e@x.cz;pozn;Org;123;eva.s;444555666;777 888999"
            << QStringList{"Eva", "111 222 333", "e@x.cz", "pozn", "Org", "123", "eva.s"}
            << QStringList{"444 555 666", "777 888 999"};
        QTest::newRow("; after the seventh")
            << "A;1234;e;p;o;i;s;" << QStringList{"A", "123 4", "e", "p", "o", "i", "s"} << none;
        QTest::newRow(";; after the seventh")
            << "A;1234;e;p;o;i;s;;" << QStringList{"A", "123 4", "e", "p", "o", "i", "s"} << QStringList{""};
        QTest::newRow("empty line") << "" << QStringList{"", "", "", "", "", "", ""} << none;
        QTest::newRow("only separators") << ";;;;;;" << QStringList{"", "", "", "", "", "", ""} << none;
        QTest::newRow("name only") << "Jan" << QStringList{"Jan", "", "", "", "", "", ""} << none;
        QTest::newRow("empty column between")
            << "Jan;;mail" << QStringList{"Jan", "", "mail", "", "", "", ""} << none;
        QTest::newRow("no trimming") << " Jan ; 603 123 456 ; x "
                                     << QStringList{" Jan ", "603 123 456", " x ", "", "", "", ""} << none;
        QTest::newRow("no quoting") << "\"Novák;Jan\";1"
                                    << QStringList{"\"Novák", "Jan \"", "1", "", "", "", ""} << none;
        QTest::newRow("statement characters")
            << "O'Brien ';--';%_\\;a''b" << QStringList{"O'Brien '", "--'", "%_\\", "a''b", "", "", ""}
            << none;
        QTest::newRow("lone CR stays") << "a\rb;1" << QStringList{"a\rb", "1", "", "", "", "", ""} << none;
        QTest::newRow("short phone unchanged")
            << "x; 12" << QStringList{"x", " 12", "", "", "", "", ""} << none;
        QTest::newRow("long phone kept whole")
            << "x;1234567890123456789012345;;;;;;1234567890123456789"
            << QStringList{"x", "123 456 789 0123456789012345", "", "", "", "", ""}
            << QStringList{"123 456 789 0123456789"};
    }
    void cutsColumns()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, columns);
        QFETCH(QStringList, further);
        const ImportLine row = ParseImportLine(line);
        QCOMPARE(Columns(row), columns);
        QCOMPARE(row.furtherPhones, further);
    }

    void splitsLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty file is one empty line") << "" << QStringList{""};
        QTest::newRow("no line end") << "a" << QStringList{"a"};
        QTest::newRow("final line end starts nothing") << "a\n" << QStringList{"a"};
        QTest::newRow("CR LF") << "a\r\nb\r\n" << QStringList{"a", "b"};
        QTest::newRow("empty line inside") << "a\n\nb" << QStringList{"a", "", "b"};
        QTest::newRow("empty last line") << "a\r\n\r\n" << QStringList{"a", ""};
        QTest::newRow("only a line end") << "\r\n" << QStringList{""};
        QTest::newRow("lone CR is no line end") << "a\rb\n" << QStringList{"a\rb"};
        QTest::newRow("CR at the very end") << "a\r" << QStringList{"a\r"};
        QTest::newRow("CR CR LF") << "a\r\r\n" << QStringList{"a\r"};
    }
    void splitsLines()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        QCOMPARE(AllLines(text), lines);
        QCOMPARE(StreamedLines(text.toUtf8(), 100), lines);
    }

    void streamPassesOverLongLines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        const QString tooLong = QStringLiteral("<too long>");
        QTest::newRow("at the limit") << QByteArray("12345\r\n") << QStringList{"12345"};
        QTest::newRow("past it, then a line") << QByteArray("123456\nb") << QStringList{tooLong, "b"};
        QTest::newRow("past it at the end") << QByteArray("a\r\n123456") << QStringList{"a", tooLong};
        QTest::newRow("at the limit at the end") << QByteArray("a\n12345") << QStringList{"a", "12345"};
        QTest::newRow("megabytes without a line end")
            << QByteArray(3 * 1024 * 1024, 'x') << QStringList{tooLong};
        QTest::newRow("megabytes between short lines")
            << QByteArray("a\n") + QByteArray(3 * 1024 * 1024, ';') + QByteArray("\nb\n")
            << QStringList{"a", tooLong, "b"};
    }
    void streamPassesOverLongLines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QCOMPARE(StreamedLines(bytes, 5), lines);
    }

    // Random bytes through the whole reading path: decoding, lines, columns.
    void randomInputNeitherCrashesNorHangs()
    {
        QRandomGenerator rng(8122026);
        const char alphabet[] = {';',        ';',        '\n',       '\r',       '\0',       ' ',
                                 '\'',       '1',        '2',        'a',        char(0x8A), char(0xC5),
                                 char(0xA1), char(0xEF), char(0xBB), char(0xBF), char(0xFF), '%'};
        for (int round = 0; round < 3000; ++round) {
            QByteArray bytes(rng.bounded(400), Qt::Uninitialized);
            const bool anyByte = round % 3 == 0;
            for (char& b : bytes)
                b = anyByte ? char(rng.bounded(256)) : alphabet[rng.bounded(int(sizeof alphabet))];
            const QString text = exchange::DecodeText(bytes);
            LineReader reader(text);
            qsizetype lines = 0;
            qsizetype lastPosition = -1;
            do {
                const QString line = reader.next().toString();
                QVERIFY(reader.position() > lastPosition);
                lastPosition = reader.position();
                CheckAgainstModel(line);
                if (QTest::currentTestFailed()) {
                    qWarning("round %d, line %lld", round, qlonglong(lines));
                    return;
                }
                ++lines;
            } while (!reader.atEnd());
            QVERIFY(lines <= text.count(QLatin1Char('\n')) + 1);
        }
    }

    void tenMegabyteLineWithoutLineEnd_data()
    {
        QTest::addColumn<int>("separatorEvery");
        QTest::newRow("no separator") << 0;
        QTest::newRow("separator every 1000") << 1000;
        QTest::newRow("separator every 10") << 10;
    }
    void tenMegabyteLineWithoutLineEnd()
    {
        QFETCH(int, separatorEvery);
        QByteArray bytes(10 * 1024 * 1024, '7');
        if (separatorEvery > 0)
            for (qsizetype i = separatorEvery; i < bytes.size(); i += separatorEvery)
                bytes[i] = ';';
        bytes[5] = '\0';
        QElapsedTimer t;
        t.start();
        const QString text = exchange::DecodeText(bytes);
        QCOMPARE(AllLines(text).size(), 1);
        CheckAgainstModel(text);
        // Linear work: far below what a quadratic cut would take.
        QVERIFY2(t.elapsed() < 60000, qPrintable(QString::number(t.elapsed())));
    }

    // Anything but a plain file is refused before it is opened: a pipe would block for good and
    // a device would never end.
    void specialInputsAreRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("told");
        QTest::newRow("plain file") << "file"
                                    << "";
        QTest::newRow("missing") << "missing"
                                 << "";
        QTest::newRow("folder") << "dir"
                                << "složka";
        QTest::newRow("pipe") << "fifo"
                              << "pojmenovaná roura";
        QTest::newRow("device") << "/dev/zero"
                                << "zařízení";
        QTest::newRow("socket") << "socket"
                                << "soket";
    }
    void specialInputsAreRefused()
    {
        QFETCH(QString, kind);
        QFETCH(QString, told);
        QTemporaryDir dir;
        const testsupport::SpecialInput input(kind, dir.path());
        const QString path = input.path();
        const QString refusal = exchange::SpecialInputRefusal(path);
        if (told.isEmpty()) {
            QVERIFY2(refusal.isEmpty(), qPrintable(refusal));
        } else {
            QVERIFY2(refusal.contains(told), qPrintable(refusal));
            QCOMPARE(refusal.count(path), 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestImportLine)
#include "test_importline.moc"
