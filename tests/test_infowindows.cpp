// The about, help, change-log and data-structure windows and the menu items that open them.
#include "app/TMain.h"
#include "info/Tabout.h"
#include "info/TextWindows.h"
#include "testsupport/MainParts.h"
#include "testsupport/TestSupport.h"
#include "ui/OpenUrl.h"

#include "Version.h"

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

using testsupport::Parts;

namespace {

QColor TextColour(const QLabel* label)
{
    return label->palette().color(QPalette::WindowText);
}

// Shows the window modelessly, as exec() would place it, and waits until it is on screen.
void ShowAndWait(QDialog* window)
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
}

QtMessageHandler g_previousHandler = nullptr;

// The offscreen platform has no window opacity and says so at every fade step.
void QuietAboutOpacity(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!message.contains(QLatin1String("does not support setting window opacity")))
        g_previousHandler(type, context, message);
}

} // namespace

class TestInfoWindows : public QObject
{
    Q_OBJECT

    std::unique_ptr<testsupport::Sandbox> m_box;

private Q_SLOTS:
    void initTestCase()
    {
        Tabout::setFadeStepMs(1);
        g_previousHandler = qInstallMessageHandler(QuietAboutOpacity);
    }
    void init()
    {
        m_box = std::make_unique<testsupport::Sandbox>();
        OpenUrlSeam::setTestMode(true);
        OpenUrlSeam::clearOpened();
    }
    void cleanup() { m_box.reset(); }

    void fixedSizesAndCaptions()
    {
        QWidget owner;
        Tabout about(&owner, QStringLiteral("http://site.test"));
        TNapoveda help(&owner);
        TZmenyProgramu changes(&owner);
        TstrukturaDat structure(&owner);
        const QList<std::tuple<QDialog*, QString, QSize>> windows = {
            {&about, QStringLiteral("O aplikaci..."), QSize(233, 207)},
            {&help, QStringLiteral("Nápověda"), help.size()}, // from its text, below
            {&changes, QStringLiteral("Změny programu"), QSize(468, 258)},
            {&structure, QStringLiteral("Struktura Dat"), QSize(458, 198)},
        };
        for (const auto& [window, caption, size] : windows) {
            QCOMPARE(window->windowTitle(), caption);
            QCOMPARE(window->size(), size);
            QCOMPARE(window->minimumSize(), size);
            QCOMPARE(window->maximumSize(), size);
            QVERIFY(!(window->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
            QCOMPARE(window->parentWidget(), &owner);
            const QList<QPushButton*> buttons = window->findChildren<QPushButton*>();
            QCOMPARE(buttons.size(), 1);
            QCOMPARE(buttons[0]->text(), QStringLiteral("OK"));
            QVERIFY(buttons[0]->isDefault());
        }
    }

    void helpText()
    {
        TNapoveda help(nullptr);
        const QStringList lines = help.Memo1->toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 6);
        QCOMPARE(lines[0], QStringLiteral("* Pro vložení kompletních údajů stiskni Insert"));
        QCOMPARE(lines[1], QStringLiteral("* Kompletní úprava položky tlačítkem daného názvu nebo "));
        QCOMPARE(lines[2], QStringLiteral("  doubleclick na danou položku"));
        QCOMPARE(lines[3], QStringLiteral("* přes nabídku Nástroje") + QChar(0x5c) +
                               QStringLiteral("Přídavná poznámka lze označené kartě "));
        QCOMPARE(lines[3].count(QChar(0x5c)), 1);
        QCOMPARE(lines[4],
                 QStringLiteral("  přidat rozšiřující poznámku, tato poznámka je viditelná z detailu "));
        QCOMPARE(lines[5], QStringLiteral("  karty, spouští se doubleclickem na datum jejího vytvoření"));
        QVERIFY(help.Memo1->isReadOnly());
        // Each line on one row and all of them without scrolling, at the fonts installed here.
        ShowAndWait(&help);
        for (QTextBlock block = help.Memo1->document()->begin(); block.isValid(); block = block.next())
            QVERIFY2(block.layout()->lineCount() == 1, qPrintable(block.text()));
        QCOMPARE(help.Memo1->verticalScrollBar()->maximum(), 0);
        QVERIFY(help.Memo1->geometry().bottom() < help.Zavrit->y());
        QVERIFY(help.rect().contains(help.Zavrit->geometry()));
    }

    void changeLogStructure()
    {
        TZmenyProgramu changes(nullptr);
        const QStringList lines = changes.Memo1->toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(lines[0], QString(107, QLatin1Char('*')));
        QCOMPARE(lines[1], QString(45, QLatin1Char('*')) + QStringLiteral(" ZVONISTY ") +
                               QString(46, QLatin1Char('*')));
        QCOMPARE(lines[2], QString(107, QLatin1Char('*')));
        const QStringList versions = {"1.1.1.101", "1.1.1.99", "1.1.1.95", "1.1.1.89", "1.1.1.86", "1.1.1.75",
                                      "1.1.1.74",  "1.1.1.73", "1.1.1.72", "1.1.1.69", "1.1.1.68", "1.1.1.67",
                                      "1.1.1.62",  "1.1.1.60", "1.1.1.51", "1.1.1.50", "1.1.1.49", "1.1.1.48",
                                      "1.1.1.47",  "1.1.1.41", "1.1.1.39"};
        QStringList found;
        for (qsizetype i = 3; i < lines.size(); ++i) {
            const QString& line = lines[i];
            if (line.startsWith(QStringLiteral("Verze "))) {
                found << line.mid(6);
                QCOMPARE(lines.value(i + 1), QString(25, QLatin1Char('-')));
                QVERIFY(lines.value(i + 2).startsWith(QStringLiteral("* ")));
                ++i;
            } else {
                QVERIFY2(line.isEmpty() || line.startsWith(QStringLiteral("* ")) ||
                             line.startsWith(QStringLiteral("  ")),
                         qPrintable(line));
            }
        }
        QCOMPARE(found, versions);
        QCOMPARE(found.first(), QStringLiteral(ZV_FILE_VERSION));
        const QString text = changes.Memo1->toPlainText();
        QVERIFY(text.contains(QStringLiteral("\"Zvonisty.ini\"")));
        QVERIFY(text.contains(QStringLiteral("Zvonisty.exe.manifest")));
        QVERIFY(text.contains(QStringLiteral("jméno;telefon;email;poznámka;organizace;icq;skype")));
        QVERIFY(changes.Memo1->isReadOnly());
        QCOMPARE(changes.Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    }

    void structureText()
    {
        TstrukturaDat structure(nullptr);
        const QStringList lines = structure.Memo1->toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QStringLiteral("jméno;telefon;email;poznámka;organizace;icq;skype"));
        QCOMPARE(lines[1], QStringLiteral("jméno2;telefon2;email2;poznámka2;organizace2;icq2;skype2"));
        const QStringList example = lines[2].split(QLatin1Char(';'));
        QCOMPARE(example.size(), 7);
        QVERIFY(!example[0].isEmpty());
        QVERIFY(QRegularExpression(QStringLiteral("^\\d{3} \\d{3} \\d{3}$")).match(example[1]).hasMatch());
        QVERIFY(example[2].contains(QLatin1Char('@')));
        QVERIFY(!example[3].isEmpty());
        QVERIFY(example[4].isEmpty());
        QVERIFY(QRegularExpression(QStringLiteral("^\\d{3}-\\d{3}-\\d{3}$")).match(example[5]).hasMatch());
        QVERIFY(!example[6].isEmpty());
        QVERIFY(structure.Memo1->font().bold());
        QCOMPARE(structure.Memo1->font().pointSize(), 10);
        QCOMPARE(structure.Label2->text(), QStringLiteral("(každý další sloupec je považován za tel.)"));
        QCOMPARE(structure.Label1->text(), QStringLiteral("(soubor *.CSV (7 sloupců))"));
        QVERIFY(structure.Label1->y() > structure.Label2->y());
        QVERIFY(structure.Label1->font().bold() && structure.Label2->font().bold());
    }

    // Esc closes each window, also from inside its read-only text; so do Enter and OK.
    void closingKeys_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("inText");
        for (int which = 0; which < 4; ++which) {
            const QByteArray name = QByteArray::number(which);
            QTest::newRow(name + " Esc") << which << int(Qt::Key_Escape) << false;
            QTest::newRow(name + " Enter") << which << int(Qt::Key_Return) << false;
            if (which > 0)
                QTest::newRow(name + " Esc in the text") << which << int(Qt::Key_Escape) << true;
        }
    }
    void closingKeys()
    {
        QFETCH(int, which);
        QFETCH(int, key);
        QFETCH(bool, inText);
        QWidget owner;
        owner.resize(600, 500);
        owner.show();
        std::unique_ptr<QDialog> window;
        QPlainTextEdit* text = nullptr;
        switch (which) {
        case 0:
            window = std::make_unique<Tabout>(&owner, QStringLiteral("http://site.test"));
            break;
        case 1:
            text = static_cast<TNapoveda*>((window = std::make_unique<TNapoveda>(&owner)).get())->Memo1;
            break;
        case 2:
            text = static_cast<TZmenyProgramu*>((window = std::make_unique<TZmenyProgramu>(&owner)).get())
                       ->Memo1;
            break;
        default:
            text =
                static_cast<TstrukturaDat*>((window = std::make_unique<TstrukturaDat>(&owner)).get())->Memo1;
        }
        bool closed = false;
        connect(window.get(), &QDialog::finished, this, [&] { closed = true; });
        ShowAndWait(window.get());
        QWidget* target = inText ? static_cast<QWidget*>(text) : window->findChild<QPushButton*>();
        target->setFocus();
        QTest::keyClick(target, Qt::Key(key));
        QTRY_VERIFY(closed);
        QVERIFY(!window->isVisible());
    }

    void aboutFadesInAndOut()
    {
        QWidget owner;
        Tabout about(&owner, QStringLiteral("http://site.test"));
        QCOMPARE(about.windowOpacity(), 0.0);
        QCOMPARE(about.Timer1->interval(), 20);
        ShowAndWait(&about);
        QTRY_COMPARE(about.windowOpacity(), 1.0);
        QVERIFY(!about.Timer1->isActive());
        about.OK->click();
        QCOMPARE(about.windowOpacity(), 0.0);
        QVERIFY(!about.isVisible());
    }

    void aboutTextsAndLink()
    {
        QWidget owner;
        Tabout about(&owner, QStringLiteral("http://site.test"));
        QCOMPARE(about.verzion->text(), QStringLiteral("1.1.1.101"));
        QCOMPARE(about.Label2->text(), QStringLiteral("Verze:"));
        QVERIFY(about.Label2->font().bold());
        QCOMPARE(about.Image1->pixmap().size(), QSize(217, 154));
        QCOMPARE(about.rozmeziFCE->text(), QStringLiteral("2005 - 2009"));
        QCOMPARE(TextColour(about.rozmeziFCE), QColor(Qt::yellow));
        QCOMPARE(TextColour(about.rozmeziFCEstin), QColor(Qt::black));
        QCOMPARE(about.rozmeziFCEstin->pos(), about.rozmeziFCE->pos() + QPoint(2, 2));
        QCOMPARE(about.Label4->text(), QStringLiteral("Zvonistní seznam..."));
        QCOMPARE(TextColour(about.Label4), QColor(Qt::yellow));
        QCOMPARE(TextColour(about.Label3), QColor(Qt::black));
        QCOMPARE(about.Label3->pos(), about.Label4->pos() - QPoint(3, 3));
        QVERIFY(qAbs(about.Label4->geometry().center().x() - about.width() / 2) <= 1);
        QCOMPARE(about.LabelWWW->text(), QStringLiteral("http://site.test"));
        QVERIFY(about.LabelWWW->font().underline());
        QCOMPARE(about.LabelWWW->cursor().shape(), Qt::PointingHandCursor);

        ShowAndWait(&about);
        QTRY_COMPARE(about.windowOpacity(), 1.0);
        QCOMPARE(TextColour(about.LabelWWW), QColor(Qt::yellow));
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(about.LabelWWW, &enter);
        QCOMPARE(TextColour(about.LabelWWW), QColor(Qt::red));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(about.LabelWWW, &leave);
        QCOMPARE(TextColour(about.LabelWWW), QColor(Qt::yellow));
        QTest::mouseClick(about.LabelWWW, Qt::LeftButton);
        QCOMPARE(OpenUrlSeam::opened(), QList<QUrl>{QUrl(QStringLiteral("http://site.test"))});
        QVERIFY(about.isVisible());
    }

    // A build without the update check has no menu item for it.
    void updateItemOnlyWithTheUpdateCheck()
    {
        m_box->createDirectory();
        auto main = testsupport::StartMain();
        QVERIFY(main->started());
        auto* item = main->findChild<QAction*>(QStringLiteral("Zjistitnovaktualizace1"));
#ifdef ZV_UPDATE_CHECK
        QVERIFY(item);
        QCOMPARE(item->text(), QStringLiteral("Zjistit nové aktualizace"));
#else
        QVERIFY(!item);
        QVERIFY(!Parts(*main).Zjistitnovaktualizace1);
#endif
    }

    // Every menu item opens its window modally over the main window, centred on it.
    void menuItems_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("window");
        QTest::newRow("About1") << "About1"
                                << "about";
        QTest::newRow("Oaplikaci2") << "Oaplikaci2"
                                    << "about";
        QTest::newRow("Oaplikaci1") << "Oaplikaci1"
                                    << "about";
        QTest::newRow("Npovda2") << "Npovda2"
                                 << "Napoveda";
        QTest::newRow("Zmnyprogramu1") << "Zmnyprogramu1"
                                       << "ZmenyProgramu";
        QTest::newRow("Zobrazstrukturunatanchdat2") << "Zobrazstrukturunatanchdat2"
                                                    << "strukturaDat";
    }
    void menuItems()
    {
        QFETCH(QString, item);
        QFETCH(QString, window);
        m_box->createDirectory();
        auto main = testsupport::StartMain();
        QVERIFY(main->started());
        auto* action = main->findChild<QAction*>(item);
        QVERIFY(action);
        QString seen, site;
        bool modal = false;
        QPoint offCentre;
        testsupport::WhenModalShown([&](QWidget* shown) {
            seen = shown->objectName();
            if (const auto* about = qobject_cast<Tabout*>(shown))
                site = about->LabelWWW->text();
            modal = shown->isModal() && shown->parentWidget() == main.get();
            offCentre = shown->frameGeometry().center() - main->frameGeometry().center();
            QTest::keyClick(shown, Qt::Key_Escape);
        });
        action->trigger();
        QCOMPARE(seen, window);
        // Without a site in the settings file the about window shows the program's own.
        QCOMPARE(site, window == QLatin1String("about") ? QStringLiteral(ZV_WEB_SITE) : QString());
        QVERIFY(modal);
        QVERIFY2(offCentre.manhattanLength() <= 2,
                 qPrintable(QStringLiteral("%1,%2").arg(offCentre.x()).arg(offCentre.y())));
        QVERIFY(!QApplication::activeModalWidget());
    }
};

QTEST_MAIN(TestInfoWindows)
#include "test_infowindows.moc"
