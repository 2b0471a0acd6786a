// Sorting the grid by a click on a column title.
#include "app/TMain.h"
#include "db/contacts/Query.h"
#include "db/engine/Connection.h"
#include "testsupport/MainParts.h"
#include "testsupport/TestSupport.h"
#include "ui/DBGrid.h"
#include "ui/MessageDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using testsupport::ClickTitle;
using testsupport::GridColumn;
using testsupport::GridTitles;
using testsupport::Parts;
using testsupport::Sandbox;

class TestSorting : public QObject
{
    Q_OBJECT

    std::unique_ptr<Sandbox> m_box;
    std::unique_ptr<TMain> m_w;

private Q_SLOTS:
    void init()
    {
        m_box = std::make_unique<Sandbox>();
        m_box->createDirectory(
            4,
            {QStringLiteral("insert into zvonisty (telefon, jmeno, skupina) values ('300', 'Čáp', 'Práce')"),
             QStringLiteral(
                 "insert into zvonisty (telefon, jmeno, skupina) values ('100', 'chalupa', 'Práce')"),
             QStringLiteral(
                 "insert into zvonisty (telefon, jmeno, skupina) values ('200', 'Hrubý', 'Rodina')"),
             QStringLiteral("insert into zvonisty (telefon, jmeno, poznamka) values ('400', 'Adam', null)")});
        m_w = std::make_unique<TMain>();
        m_w->resize(700, 500);
        m_w->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
    }
    void cleanup()
    {
        m_w.reset();
        m_box.reset();
    }

    void firstStartIsByNameAscending()
    {
        QCOMPARE(GridTitles(*m_w), (QStringList{QStringLiteral("Zvonisty"), QStringLiteral("Jméno  «"),
                                                QStringLiteral("Organizace"), QStringLiteral("Email"),
                                                QStringLiteral("Poznámka")}));
        QCOMPARE(GridColumn(*m_w, 1), (QStringList{QStringLiteral("Adam"), QStringLiteral("Čáp"),
                                                   QStringLiteral("Hrubý"), QStringLiteral("chalupa")}));
        QCOMPARE(testsupport::SortShown(*m_w), QStringLiteral("jmeno"));
    }

    void clicksToggleAndEachColumnRemembersItsDirection()
    {
        // The restored ascending name sort turns descending on its first click.
        ClickTitle(*m_w, QStringLiteral("jmeno"));
        QCOMPARE(Parts(*m_w).DBGrid1->titleOfField(QStringLiteral("jmeno")), QStringLiteral("Jméno  »"));
        QCOMPARE(GridColumn(*m_w, 1).first(), QStringLiteral("chalupa"));
        ClickTitle(*m_w, QStringLiteral("telefon"));
        QCOMPARE(Parts(*m_w).ADOQuery1->sql(), QStringLiteral("select * from zvonisty order by telefon"));
        QCOMPARE(GridColumn(*m_w, 0), (QStringList{QStringLiteral("100"), QStringLiteral("200"),
                                                   QStringLiteral("300"), QStringLiteral("400")}));
        QCOMPARE(GridTitles(*m_w), (QStringList{QStringLiteral("Zvonisty  «"), QStringLiteral("Jméno"),
                                                QStringLiteral("Organizace"), QStringLiteral("Email"),
                                                QStringLiteral("Poznámka")}));
        ClickTitle(*m_w, QStringLiteral("telefon"));
        QCOMPARE(Parts(*m_w).ADOQuery1->sql(),
                 QStringLiteral("select * from zvonisty order by telefon desc"));
        QCOMPARE(Parts(*m_w).DBGrid1->titleOfField(QStringLiteral("telefon")), QStringLiteral("Zvonisty  »"));
        // Back on the name: it was last descending, so now ascending.
        ClickTitle(*m_w, QStringLiteral("jmeno"));
        QCOMPARE(Parts(*m_w).ADOQuery1->sql(), QStringLiteral("select * from zvonisty order by jmeno"));
        QCOMPARE(testsupport::SortShown(*m_w), QStringLiteral("jmeno"));
        QCOMPARE(Parts(*m_w).pocet->text(), QStringLiteral("4"));
    }

    void clickKeepsTheFilterAndTheNextSearchKeepsTheSort()
    {
        Parts(*m_w).Hledani->setText(QStringLiteral("p"));
        Parts(*m_w).VyberSkupinu->setCurrentIndex(
            Parts(*m_w).VyberSkupinu->findText(QStringLiteral("Práce")));
        ClickTitle(*m_w, QStringLiteral("telefon"));
        QCOMPARE(Parts(*m_w).ADOQuery1->sql(),
                 QStringLiteral(
                     "select * from zvonisty where jmeno like '%p%' and skupina='Práce' order by telefon"));
        QCOMPARE(GridColumn(*m_w, 1), (QStringList{QStringLiteral("chalupa"), QStringLiteral("Čáp")}));
        Parts(*m_w).Najdi->click();
        QVERIFY(Parts(*m_w).ADOQuery1->sql().endsWith(QStringLiteral(" order by telefon")));
    }

    void movedColumnsStillSortByTheirOwnField()
    {
        Parts(*m_w).DBGrid1->moveColumnTo(QStringLiteral("poznamka"), 0);
        Parts(*m_w).DBGrid1->moveColumnTo(QStringLiteral("telefon"), 3);
        ClickTitle(*m_w, QStringLiteral("telefon"));
        QCOMPARE(testsupport::SortShown(*m_w), QStringLiteral("telefon"));
        QCOMPARE(Parts(*m_w).DBGrid1->titleOfField(QStringLiteral("telefon")), QStringLiteral("Zvonisty  «"));
        QCOMPARE(Parts(*m_w).DBGrid1->fieldNameAt(3), QStringLiteral("telefon"));
        QCOMPARE(GridTitles(*m_w).at(0), QStringLiteral("Poznámka"));
    }

    void failingSortIsReportedAndTheGridIsEmpty()
    {
        // The engine refuses the click's statement: the sort state has moved on and the grid shows no rows.
        Parts(*m_w).ADOConnection1->close();
        ClickTitle(*m_w, QStringLiteral("email"));
        QCOMPARE(MessageDialogSeam::shown().size(), 1);
        QVERIFY(MessageDialogSeam::shown().first().errorReport);
        QCOMPARE(testsupport::SortShown(*m_w), QStringLiteral("email"));
        QCOMPARE(Parts(*m_w).DBGrid1->model()->rowCount(), 0);
        QVERIFY(m_box->errorLog().isEmpty());
    }
};

QTEST_MAIN(TestSorting)
#include "test_sorting.moc"
