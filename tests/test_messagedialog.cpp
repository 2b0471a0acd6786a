#include "app/AppContext.h"
#include "ui/MessageDialog.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <QTimer>

using namespace MessageDialogSeam;

class TestMessageDialog : public QObject
{
    Q_OBJECT

    static QList<QPushButton*> shownButtons(TDialogDotaz& d)
    {
        QList<QPushButton*> shown;
        for (QPushButton* b : {d.Ano, d.Ne, d.Zrusit})
            if (b->isVisibleTo(&d))
                shown.append(b);
        return shown;
    }

private slots:
    void init()
    {
        setTestMode(false);
        clearShown();
    }

    void sizeFollowsText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("buttonSet");
        QTest::addColumn<int>("minWidth");
        QTest::newRow("short message") << QStringLiteral("Vizitka byla vytvořena.") << 0 << 150;
        QTest::newRow("tiny message") << QStringLiteral("OK") << 0 << 150;
        QTest::newRow("tiny with cancel") << QStringLiteral("OK") << 2 << 220;
        QTest::newRow("markup stays text") << QStringLiteral("<b>x</b>") << 1 << 150;
        // 0 is the wrapped case: the window is 500 wide whatever the minimum
        QTest::newRow("long words")
            << QStringLiteral("Došlo k chybě! (kontaktuje prosím správce) ").repeated(6) << 0 << 0;
        QTest::newRow("one long name") << QStringLiteral("Opravdu načíst soubor C:\\%1.csv ?")
                                              .arg(QStringLiteral("kontakty").repeated(30))
                                       << 1 << 0;
    }
    void sizeFollowsText()
    {
        QFETCH(QString, text);
        QFETCH(int, buttonSet);
        QFETCH(int, minWidth);
        TDialogDotaz d(text, 0, 1000, 0, 800, 0, buttonSet);
        const QFontMetrics fm(d.Label1->font());
        QVERIFY(qAbs(d.TestLabel1->width() - fm.horizontalAdvance(text)) <= 2);
        if (minWidth) {
            QCOMPARE(d.width(), qMax(minWidth, d.TestLabel1->width() + 65));
            QCOMPARE(d.Label1->text(), text);
            QCOMPARE(d.height(), 92);
        } else {
            QCOMPARE(d.width(), 500);
            QCOMPARE(d.Label1->width(), 435);
            const QRect needed =
                fm.boundingRect(QRect(0, 0, 435, 100000), Qt::TextWordWrap, d.Label1->text());
            QVERIFY2(needed.width() <= 435, "a word runs past the label's edge");
            QVERIFY(d.Label1->height() >= needed.height());
            QCOMPARE(d.height(), 60 + d.Label1->height());
        }
        QVERIFY(d.Label1->geometry().right() < d.width());
        QVERIFY(d.Label1->geometry().bottom() < d.Ne->y());
    }

    void lineBreaks_data()
    {
        QTest::addColumn<QString>("separator");
        QTest::newRow("CR") << QStringLiteral("\r");
        QTest::newRow("LF") << QStringLiteral("\n");
        QTest::newRow("CR LF") << QStringLiteral("\r\n");
    }
    void lineBreaks()
    {
        QFETCH(QString, separator);
        int previous = 0;
        for (int lines = 1; lines <= 6; ++lines) {
            QStringList parts(lines, QStringLiteral("Řádek zprávy"));
            TDialogDotaz d(parts.join(separator), 0, 1000, 0, 800, 0, 0);
            QCOMPARE(d.Label1->text(), parts.join(QLatin1Char('\n')));
            const int labelHeight = d.Label1->height();
            QVERIFY(labelHeight >= lines * QFontMetrics(d.Label1->font()).height());
            QCOMPARE(d.height(), labelHeight < 38 ? 92 : 60 + labelHeight);
            QVERIFY(labelHeight < 38 ? d.height() == 92 : d.height() > previous);
            previous = d.height();
        }
    }

    void buttonsIconAndCaption_data()
    {
        QTest::addColumn<int>("buttonSet");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("pixmap");
        QTest::newRow("message") << 0 << 0 << QStringList{"OK"} << "Zpráva"
                                 << int(QStyle::SP_MessageBoxInformation);
        QTest::newRow("error") << 0 << 2 << QStringList{"OK"} << "Zpráva"
                               << int(QStyle::SP_MessageBoxCritical);
        QTest::newRow("question") << 1 << 1 << QStringList{"Ano", "Ne"} << "Dotaz"
                                  << int(QStyle::SP_MessageBoxQuestion);
        QTest::newRow("with cancel") << 2 << 9 << QStringList{"Ano", "Ne", "Zrušit"} << "Dotaz"
                                     << int(QStyle::SP_MessageBoxInformation);
        QTest::newRow("unknown set") << 7 << 1 << QStringList{"OK"} << "Zpráva"
                                     << int(QStyle::SP_MessageBoxQuestion);
    }
    void buttonsIconAndCaption()
    {
        QFETCH(int, buttonSet);
        QFETCH(int, icon);
        QFETCH(QStringList, captions);
        QFETCH(QString, title);
        QFETCH(int, pixmap);
        TDialogDotaz d(QStringLiteral("Opravdu odstranit položku s telefonem 777 123 456 ?"), 0, 1000, 0, 800,
                       icon, buttonSet);
        QCOMPARE(d.windowTitle(), title);
        const QList<QPushButton*> shown = shownButtons(d);
        QCOMPARE(shown.size(), captions.size());
        for (int i = 0; i < shown.size(); ++i) {
            QCOMPARE(shown[i]->text(), captions[i]);
            QCOMPARE(shown[i]->geometry(), QRect(shown[i]->x(), d.height() - 35, 57, 25));
            if (i > 0)
                QCOMPARE(shown[i]->x(), shown[i - 1]->x() + 60);
        }
        QVERIFY(qAbs((shown.first()->x() + shown.last()->geometry().right() + 1) / 2 - d.width() / 2) <= 3);
        QVERIFY(shown.first()->isDefault());

        QCOMPARE(d.Image1->geometry(), QRect(6, 9, 38, 38));
        const QImage expected =
            d.style()->standardIcon(QStyle::StandardPixmap(pixmap)).pixmap(38, 38).toImage();
        QCOMPARE(d.Image1->pixmap().toImage().convertToFormat(expected.format()),
                 expected.scaled(38, 38, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }

    void centredOver_data()
    {
        QTest::addColumn<QRect>("over");
        QTest::newRow("main window") << QRect(100, 50, 800, 600);
        QTest::newRow("odd sizes") << QRect(0, 0, 1001, 767);
        QTest::newRow("left screen") << QRect(-1280, 0, 1280, 1024);
    }
    void centredOver()
    {
        QFETCH(QRect, over);
        TDialogDotaz d(QStringLiteral("Zavřít zvonisty?"), over.left(), over.width(), over.top(),
                       over.height(), 1, 1);
        d.show();
        const QRect outer = d.frameGeometry();
        QCOMPARE(outer.topLeft(), QPoint(over.left() + over.width() / 2 - outer.width() / 2,
                                         over.top() + over.height() / 2 - outer.height() / 2));
    }

    void answers_data()
    {
        QTest::addColumn<int>("buttonSet");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("result");
        QTest::newRow("Enter answers Ano") << 1 << "enter" << 0;
        QTest::newRow("Tab moves to Ne") << 1 << "tab enter" << 1;
        QTest::newRow("Esc answers Ne") << 1 << "esc" << 1;
        QTest::newRow("close box without cancel") << 1 << "close" << 1;
        QTest::newRow("close box with cancel") << 2 << "close" << 2;
        QTest::newRow("Esc with cancel") << 2 << "esc" << 1;
        QTest::newRow("Zrušit clicked") << 2 << "click" << 2;
        QTest::newRow("Enter on a message") << 0 << "enter" << 1;
    }
    void answers()
    {
        QFETCH(int, buttonSet);
        QFETCH(QString, action);
        QFETCH(int, result);
        TDialogDotaz d(QStringLiteral("Zavřít zvonisty?"), 0, 1000, 0, 800, 1, buttonSet);
        QCOMPARE(d.resultCode(), quint8(255));
        d.open();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        auto key = [&](Qt::Key k) { QTest::keyClick(d.focusWidget() ? d.focusWidget() : &d, k); };
        if (action.startsWith(QLatin1String("tab")))
            key(Qt::Key_Tab);
        if (action.endsWith(QLatin1String("enter")))
            key(Qt::Key_Return);
        else if (action == QLatin1String("esc"))
            key(Qt::Key_Escape);
        else if (action == QLatin1String("close"))
            d.close();
        else
            shownButtons(d).last()->click();
        QVERIFY(!d.isVisible());
        QCOMPARE(int(d.resultCode()), result);
    }

    void modalRunOverMainWindow()
    {
        auto* main = new QWidget;
        main->setGeometry(100, 100, 600, 400);
        main->show();
        app::SetMainWindow(main);
        QWidget* seenParent = nullptr;
        QTimer::singleShot(50, this, [&] {
            if (auto* d = qobject_cast<TDialogDotaz*>(QApplication::activeModalWidget())) {
                seenParent = d->parentWidget();
                QTest::keyClick(d->focusWidget(), Qt::Key_Return);
            }
        });
        QCOMPARE(int(ShowMessageDialogOver(main, QStringLiteral("Zavřít zvonisty?"), 1, 1)), 0);
        QCOMPARE(seenParent, main);
        QVERIFY(main->findChildren<TDialogDotaz*>().isEmpty());
        // The program itself keeps no record of what it showed.
        QVERIFY(shown().isEmpty());

        // the asking window going away while the question is open must not bring the program down
        QTimer::singleShot(50, this, [&] { delete main; });
        QCOMPARE(int(ShowMessageDialog(QStringLiteral("Text"), 0, 100, 0, 100, 0, 2)), 2);
    }

    void scriptedAnswers()
    {
        setTestMode(true);
        setNextAnswer(0);
        setNextAnswer(2);
        QCOMPARE(int(ShowMessageDialog(QStringLiteral("první"), 10, 300, 20, 200, 1, 1)), 0);
        QCOMPARE(int(ShowMessageDialog(QStringLiteral("druhá"), 0, 0, 0, 0, 1, 2)), 2);
        QCOMPARE(int(ShowMessageDialogOver(nullptr, QStringLiteral("třetí"), 2, 0)), 1);
        ShowErrorReport(QStringLiteral("selhání"));
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(shown().size(), 4);
        QCOMPARE(shown()[0].text, QStringLiteral("první"));
        QCOMPARE(shown()[0].over, QRect(10, 20, 300, 200));
        QCOMPARE(shown()[1].buttonSet, 2);
        QCOMPARE(shown()[2].icon, 2);
        QCOMPARE(shown()[2].over, QGuiApplication::primaryScreen()->geometry());
        QVERIFY(shown()[3].errorReport && !shown()[2].errorReport);
    }
};

QTEST_MAIN(TestMessageDialog)
#include "test_messagedialog.moc"
