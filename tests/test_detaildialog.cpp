// The detail dialog: new contacts, a further number, the full edit, and what it stores.
#include "app/TMain.h"
#include "db/contacts/Query.h"
#include "db/contacts/RecordStatements.h"
#include "edit/TDetailNovy.h"
#include "testsupport/MainParts.h"
#include "testsupport/TestSupport.h"
#include "ui/DBGrid.h"
#include "ui/MessageDialog.h"
#include "ui/TextLimit.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using testsupport::MessagesShown;

using testsupport::Column;
using testsupport::GridColumn;
using testsupport::Parts;
using testsupport::Sandbox;
using testsupport::WhenModalShown;

namespace {

TDetailNovy* Detail(QWidget* w)
{
    return qobject_cast<TDetailNovy*>(w);
}

} // namespace

class TestDetailDialog : public QObject
{
    Q_OBJECT

    std::unique_ptr<Sandbox> m_box;
    app::Context m_context;
    std::unique_ptr<TMain> m_w;

    QStringList stored(const QString& field, const QString& where = QStringLiteral("1=1"))
    {
        return Column(Parts(*m_w).ADOConnection1,
                      QStringLiteral("select * from zvonisty where %1 order by id").arg(where), field);
    }
    void selectName(const QString& name)
    {
        const int row = int(GridColumn(*m_w).indexOf(name));
        QVERIFY2(row >= 0, "row not found");
        Parts(*m_w).DBGrid1->selectRow(row);
    }

private Q_SLOTS:
    void init()
    {
        m_box = std::make_unique<Sandbox>();
        m_box->createDirectory(
            4,
            {QStringLiteral("insert into zvonisty (telefon, jmeno, skupina, email) values ('603 123 456', "
                            "'Adam', 'Rodina', 'a@b.cz')"),
             QStringLiteral(
                 "insert into zvonisty (telefon, jmeno, skupina) values ('777 000 111', 'Bára', 'RODINA')"),
             QStringLiteral("insert into zvonisty (telefon, jmeno, skupina) values ('', 'Cyril', 'Práce')")});
        m_w = testsupport::StartMain(&m_context);
        QVERIFY(m_w->started());
    }
    void cleanup()
    {
        m_w.reset();
        m_box.reset();
    }

    void newContactIsNormalisedDatedAndGrouped()
    {
        const int groupsBefore = Parts(*m_w).VyberSkupinu->count();
        bool checked = false;
        WhenModalShown([&](QWidget* modal) {
            TDetailNovy* d = Detail(modal);
            QVERIFY(d);
            QCOMPARE(d->windowTitle(), QStringLiteral("Rozšířené vkládání"));
            QCOMPARE(d->Uloz->text(), QStringLiteral("Ulož"));
            QVERIFY(!d->DBGrid1->isEnabled());
            QCOMPARE(qobject_cast<const CodePointLimit*>(d->Telefon->validator())->limit(), 20);
            QCOMPARE(qobject_cast<const CodePointLimit*>(d->Jmeno->validator())->limit(), 150);
            QTest::keyClicks(d->Telefon, QStringLiteral("77 788 899 9"));
            QTest::keyClicks(d->Jmeno, QStringLiteral("O'Brien"));
            d->Uloz->click();
            QVERIFY(!d->isVisible());
            checked = true;
        });
        Parts(*m_w).Nov1->trigger();
        QVERIFY(checked);
        QCOMPARE(stored(QStringLiteral("telefon"), QStringLiteral("jmeno = 'O''Brien'")),
                 QStringList{QStringLiteral("777 888 999")});
        QCOMPARE(stored(QStringLiteral("skupina"), QStringLiteral("jmeno = 'O''Brien'")),
                 QStringList{QStringLiteral("new")});
        QCOMPARE(stored(QStringLiteral("datum"), QStringLiteral("jmeno = 'O''Brien'")),
                 QStringList{DateText(QDate::currentDate())});
        QCOMPARE(Parts(*m_w).VyberSkupinu->count(), groupsBefore + 1);
        QCOMPARE(Parts(*m_w).VyberSkupinu->itemText(groupsBefore), QStringLiteral("new"));
        QCOMPARE(Parts(*m_w).pocet->text(), QStringLiteral("4"));
        QVERIFY(MessageDialogSeam::shown().isEmpty());
    }

    void requiredFieldsKeepTheDialogOpen_data()
    {
        QTest::addColumn<bool>("edit");
        QTest::newRow("insert") << false;
        QTest::newRow("edit") << true;
    }
    void requiredFieldsKeepTheDialogOpen()
    {
        QFETCH(bool, edit);
        WhenModalShown([&](QWidget* modal) {
            TDetailNovy* d = Detail(modal);
            d->Telefon->setText(QStringLiteral("123 456 789"));
            d->Jmeno->clear();
            d->Uloz->click();
            QVERIFY(d->isVisible());
        });
        if (edit)
            Parts(*m_w).KomplUprava->click();
        else
            Parts(*m_w).Nov1->trigger();
        QCOMPARE(MessagesShown(), QStringList{QStringLiteral("Nejsou vyplňeny povinné položky!")});
        QCOMPARE(stored(QStringLiteral("id")).size(), 3);
        QCOMPARE(stored(QStringLiteral("telefon"), QStringLiteral("jmeno = 'Adam'")),
                 QStringList{QStringLiteral("603 123 456")});
    }

    void takenNumberOnLeavingTheFieldAndOnSaving()
    {
        WhenModalShown([&](QWidget* modal) {
            TDetailNovy* d = Detail(modal);
            QApplication::setActiveWindow(d);
            d->Telefon->setFocus();
            QTest::keyClicks(d->Telefon, QStringLiteral("603123456"));
            QTest::keyClick(d->Telefon, Qt::Key_Tab);
            QCOMPARE(d->Telefon->text(), QStringLiteral("603 123 456"));
            QCOMPARE(MessagesShown(), QStringList{QStringLiteral("Telefon 603 123 456 již je v databázi.")});
            QCOMPARE(MessageDialogSeam::shown().first().over, d->frameGeometry());
            // The main grid shows the holders of the number.
            QCOMPARE(Parts(*m_w).ADOQuery1->sql(),
                     QStringLiteral("select * from zvonisty where telefon='603 123 456' order by jmeno"));
            QCOMPARE(Parts(*m_w).DBGrid1->model()->rowCount(), 1);
            d->Jmeno->setText(QStringLiteral("Nový"));
            d->Uloz->click();
            QVERIFY(d->isVisible());
            QCOMPARE(MessagesShown().last(), QStringLiteral("Telefonní číslo 603 123 456 již je v DB."));
        });
        Parts(*m_w).Nov1->trigger();
        QCOMPARE(stored(QStringLiteral("id")).size(), 3);
    }

    void enterSavesWithTheSaveCheckOnly()
    {
        WhenModalShown([&](QWidget* modal) {
            TDetailNovy* d = Detail(modal);
            QApplication::setActiveWindow(d);
            d->Jmeno->setText(QStringLiteral("Dan"));
            d->Telefon->setFocus();
            QTest::keyClicks(d->Telefon, QStringLiteral("111222333"));
            QTest::keyClick(d->Telefon, Qt::Key_Return);
            QVERIFY(!d->isVisible());
        });
        Parts(*m_w).Nov1->trigger();
        QVERIFY(MessageDialogSeam::shown().isEmpty());
        QCOMPARE(stored(QStringLiteral("telefon"), QStringLiteral("jmeno = 'Dan'")),
                 QStringList{QStringLiteral("111 222 333")});
    }

    void escapeAndZavritCloseWithoutSaving_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Esc") << true;
        QTest::newRow("Zavřít") << false;
    }
    void escapeAndZavritCloseWithoutSaving()
    {
        QFETCH(bool, escape);
        WhenModalShown([&](QWidget* modal) {
            TDetailNovy* d = Detail(modal);
            QApplication::setActiveWindow(d);
            d->Telefon->setText(QStringLiteral("444555666"));
            d->Jmeno->setText(QStringLiteral("Nikdo"));
            // The focus stays in Telefon, so closing runs no check of the number.
            if (escape)
                QTest::keyClick(d->Telefon, Qt::Key_Escape);
            else
                d->Zavrit->click();
            QVERIFY(!d->isVisible());
        });
        Parts(*m_w).Nov1->trigger();
        QCOMPARE(stored(QStringLiteral("id")).size(), 3);
        QVERIFY(MessageDialogSeam::shown().isEmpty());
    }

    void editWithUnchangedNumberAndWithAnotherOnesNumber()
    {
        m_box->run({});
        testsupport::Exec(Parts(*m_w).ADOConnection1,
                          QStringLiteral("update zvonisty set datum = '1.1.2000'"));
        selectName(QStringLiteral("Adam"));
        WhenModalShown([&](QWidget* modal) {
            TDetailNovy* d = Detail(modal);
            QCOMPARE(d->windowTitle(), QStringLiteral("Detail karty"));
            QCOMPARE(d->Uloz->text(), QStringLiteral("Ulož změny"));
            QCOMPARE(d->Telefon->text(), QStringLiteral("603 123 456"));
            QCOMPARE(d->Email->text(), QStringLiteral("a@b.cz"));
            d->Jmeno->setText(QStringLiteral("Adam Nový"));
            d->Uloz->click();
            QVERIFY(!d->isVisible());
        });
        Parts(*m_w).Kompletnpravavybranpoloky1->trigger();
        QVERIFY(MessageDialogSeam::shown().isEmpty());
        QCOMPARE(stored(QStringLiteral("jmeno"), QStringLiteral("telefon = '603 123 456'")),
                 QStringList{QStringLiteral("Adam Nový")});
        QCOMPARE(stored(QStringLiteral("datum"), QStringLiteral("telefon = '603 123 456'")),
                 QStringList{DateText(QDate::currentDate())});
        // The grid keeps the edited row selected.
        QCOMPARE(GridColumn(*m_w).value(Parts(*m_w).DBGrid1->currentIndex().row()),
                 QStringLiteral("Adam Nový"));

        WhenModalShown([&](QWidget* modal) {
            TDetailNovy* d = Detail(modal);
            d->Telefon->setText(QStringLiteral("777000111"));
            d->Uloz->click();
            QVERIFY(d->isVisible());
        });
        Parts(*m_w).KomplUprava->click();
        QCOMPARE(MessagesShown(), QStringList{QStringLiteral("Telefonní číslo 777 000 111 již je v DB.")});
        QCOMPARE(stored(QStringLiteral("telefon"), QStringLiteral("jmeno = 'Adam Nový'")),
                 QStringList{QStringLiteral("603 123 456")});
        QCOMPARE(Parts(*m_w).DBGrid1->model()->rowCount(), 1);
    }

    void groupsAreMatchedWithoutCase()
    {
        const int groups = Parts(*m_w).VyberSkupinu->count();
        selectName(QStringLiteral("Bára"));
        WhenModalShown([&](QWidget* modal) {
            TDetailNovy* d = Detail(modal);
            // Stored as RODINA, the list holds one spelling of it.
            QCOMPARE(d->Skupina->currentText().toLower(), QStringLiteral("rodina"));
            QVERIFY(d->Skupina->currentIndex() >= 0);
            // Typed, not completed to the listed spelling.
            d->Skupina->setEditText(QString());
            QTest::keyClicks(d->Skupina->lineEdit(), QStringLiteral("rODINA"));
            d->Uloz->click();
        });
        Parts(*m_w).KomplUprava->click();
        QCOMPARE(stored(QStringLiteral("skupina"), QStringLiteral("jmeno = 'Bára'")),
                 QStringList{QStringLiteral("rODINA")});
        QCOMPARE(Parts(*m_w).VyberSkupinu->count(), groups);
    }

    void groupNotInTheListIsKept()
    {
        testsupport::Exec(Parts(*m_w).ADOConnection1,
                          QStringLiteral("update zvonisty set skupina = 'Kolegové' where jmeno = 'Cyril'"));
        Parts(*m_w).Najdi->click();
        selectName(QStringLiteral("Cyril"));
        WhenModalShown([&](QWidget* modal) {
            TDetailNovy* d = Detail(modal);
            QCOMPARE(d->Skupina->currentText(), QStringLiteral("Kolegové"));
            d->Telefon->setText(QStringLiteral("999"));
            d->Uloz->click();
        });
        Parts(*m_w).KomplUprava->click();
        QCOMPARE(stored(QStringLiteral("skupina"), QStringLiteral("jmeno = 'Cyril'")),
                 QStringList{QStringLiteral("Kolegové")});
        QCOMPARE(Parts(*m_w).VyberSkupinu->itemText(Parts(*m_w).VyberSkupinu->count() - 1),
                 QStringLiteral("Kolegové"));
    }

    void furtherNumberIsPrefilled()
    {
        selectName(QStringLiteral("Adam"));
        WhenModalShown([&](QWidget* modal) {
            TDetailNovy* d = Detail(modal);
            QCOMPARE(d->windowTitle(), QStringLiteral("Rozšířené vkládání"));
            QCOMPARE(d->Telefon->text(), QString());
            QCOMPARE(d->Jmeno->text(), QStringLiteral("Adam"));
            QCOMPARE(d->Email->text(), QStringLiteral("a@b.cz"));
            d->Telefon->setText(QStringLiteral("222333444"));
            d->Uloz->click();
        });
        Parts(*m_w).Otevtvybranzznampropidnnovhosla2->trigger();
        QCOMPARE(stored(QStringLiteral("telefon"), QStringLiteral("jmeno = 'Adam'")),
                 (QStringList{QStringLiteral("603 123 456"), QStringLiteral("222 333 444")}));
    }

    void commandsOnAnEmptyGrid()
    {
        Parts(*m_w).Hledani->setText(QStringLiteral("nikdo takový"));
        Parts(*m_w).Najdi->click();
        QCOMPARE(Parts(*m_w).pocet->text(), QStringLiteral("0"));
        Parts(*m_w).KomplUprava->click();
        Parts(*m_w).Otevtvybranzznampropidnnovhosla1->trigger();
        QCOMPARE(MessagesShown(), (QStringList{QStringLiteral("Není vybrán žádný záznam."),
                                               QStringLiteral("Není vybrán žádný záznam.")}));
        bool opened = false;
        WhenModalShown([&](QWidget* modal) { opened = Detail(modal) != nullptr; });
        Parts(*m_w).Nov1->trigger();
        QVERIFY(opened);
    }

    void doubleClickOpensTheEditBelowTheTitles_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("double click") << 0;
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Enter of the number pad") << int(Qt::Key_Enter);
    }
    void doubleClickOpensTheEditBelowTheTitles()
    {
        QFETCH(int, key);
        QHeaderView* header = Parts(*m_w).DBGrid1->horizontalHeader();
        QTest::mouseDClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                           QPoint(40, header->height() / 2));
        QVERIFY(!QApplication::activeModalWidget());
        int opened = 0;
        WhenModalShown([&](QWidget* modal) {
            opened += Detail(modal) && Detail(modal)->mode() == TDetailNovy::Mode::Edit;
        });
        const QRect cell = Parts(*m_w).DBGrid1->visualRect(Parts(*m_w).DBGrid1->model()->index(1, 1));
        QTest::mouseClick(Parts(*m_w).DBGrid1->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        if (key) {
            // The repeats of a held key would reach the dialog that the first press opened.
            QKeyEvent repeated(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
            QApplication::sendEvent(Parts(*m_w).DBGrid1, &repeated);
            QCOMPARE(opened, 0);
            QTest::keyPress(Parts(*m_w).DBGrid1, Qt::Key(key));
        } else {
            QTest::mouseDClick(Parts(*m_w).DBGrid1->viewport(), Qt::LeftButton, Qt::NoModifier,
                               cell.center());
        }
        QCOMPARE(opened, 1);
        QCOMPARE(m_context.selection.commandId(), stored(QStringLiteral("id"), QStringLiteral("jmeno = 'Bára'")).first());
    }

    void badInputIsStoredExactly_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("note");
        QTest::newRow("apostrophes") << "O'Neill's 'x'"
                                     << "''";
        QTest::newRow("comment injection") << "x';--"
                                           << "'); delete from zvonisty; --";
        QTest::newRow("wildcards and backslash") << "100% _ \\n \\"
                                                 << "C:\\cesta\\";
        QTest::newRow("beyond code page 1250") << "Ωμέγα 中文 😀"
                                               << "€ ř ů";
        QTest::newRow("maximum length") << QString(150, QChar(u'ž')) << QString(50, QLatin1Char('\''));
    }
    void badInputIsStoredExactly()
    {
        QFETCH(QString, name);
        QFETCH(QString, note);
        WhenModalShown([&](QWidget* modal) {
            TDetailNovy* d = Detail(modal);
            d->Telefon->setText(QStringLiteral("555 555 555"));
            d->Jmeno->setText(name);
            d->Poznamka->setText(note);
            d->Skupina->setEditText(QStringLiteral("a'b"));
            d->Uloz->click();
        });
        Parts(*m_w).Nov1->trigger();
        QVERIFY2(MessageDialogSeam::shown().isEmpty(), qPrintable(MessagesShown().join(QLatin1Char('|'))));
        QCOMPARE(stored(QStringLiteral("jmeno"), QStringLiteral("telefon = '555 555 555'")),
                 QStringList{name});
        QCOMPARE(stored(QStringLiteral("poznamka"), QStringLiteral("telefon = '555 555 555'")),
                 QStringList{note});
        QCOMPARE(stored(QStringLiteral("skupina"), QStringLiteral("telefon = '555 555 555'")),
                 QStringList{QStringLiteral("a'b")});
        QCOMPARE(stored(QStringLiteral("id")).size(), 4);
    }
};

QTEST_MAIN(TestDetailDialog)
#include "test_detaildialog.moc"
