// A screen reader walking the contacts grid while its rows change.
#include "app/TMain.h"
#include "db/contacts/Query.h"
#include "db/contacts/QueryOps.h"
#include "testsupport/MainParts.h"
#include "testsupport/TestSupport.h"
#include "ui/DBGrid.h"

#include <QAccessible>
#include <QLineEdit>
#include <QTest>

using testsupport::Parts;
using testsupport::Sandbox;

namespace {

// Reads every cell and every child the accessible table says it has, as a screen reader
// does; gives the number of cells read, or -1 when a promised cell is missing.
int WalkCells(QWidget* grid)
{
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid);
    if (!table || !table->tableInterface())
        return -1;
    QAccessibleTableInterface* cells = table->tableInterface();
    int read = 0;
    for (int r = 0; r < cells->rowCount(); ++r)
        for (int c = 0; c < cells->columnCount(); ++c) {
            QAccessibleInterface* cell = cells->cellAt(r, c);
            if (!cell || !cell->isValid())
                return -1;
            cell->text(QAccessible::Name);
            cell->state();
            cell->rect();
            ++read;
        }
    for (int i = 0; i < table->childCount(); ++i) {
        QAccessibleInterface* child = table->child(i);
        if (!child)
            return -1;
        child->text(QAccessible::Name);
    }
    return read;
}

} // namespace

class TestGridAccessibility : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fewerRowsAfterReopening_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("rows");
        QTest::newRow("search") << "search" << 3;
        QTest::newRow("statement") << "statement" << 1;
        QTest::newRow("delete") << "delete" << 11;
        QTest::newRow("closed") << "closed" << 0;
    }
    void fewerRowsAfterReopening()
    {
        QFETCH(QString, how);
        QFETCH(int, rows);
        Sandbox box;
        QStringList contacts;
        for (int i = 0; i < 12; ++i)
            contacts << QStringLiteral("insert into zvonisty (telefon, jmeno) values ('%1', 'N%1')").arg(i);
        box.createDirectory(4, contacts);
        auto w = testsupport::StartMain();
        QVERIFY(w->started());
        QCOMPARE(WalkCells(Parts(*w).DBGrid1), 12 * 5);
        Parts(*w).DBGrid1->selectRow(11);

        if (how == QLatin1String("search")) {
            Parts(*w).Hledani->setText(QStringLiteral("N1"));
            QTest::keyClick(Parts(*w).Hledani, Qt::Key_Return);
        } else if (how == QLatin1String("statement")) {
            OpenQuery(QStringLiteral("select * from zvonisty where jmeno = 'N3'"), Parts(*w).ADOQuery1);
        } else if (how == QLatin1String("delete")) {
            QVERIFY(
                ExecQuery(QStringLiteral("delete from zvonisty where jmeno = 'N9'"), Parts(*w).ADOQuery2));
            w->reopenGrid();
        } else {
            Parts(*w).ADOQuery1->close();
        }
        QCOMPARE(Parts(*w).ADOQuery1->recordCount(), rows);
        QAccessibleTableInterface* table =
            QAccessible::queryAccessibleInterface(Parts(*w).DBGrid1)->tableInterface();
        QCOMPARE(table->rowCount(), rows);
        QCOMPARE(WalkCells(Parts(*w).DBGrid1), rows * 5);
        // A cell past the last row is refused, not made up.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("invalid index")));
        QVERIFY(!table->cellAt(rows, 0));
    }
};

QTEST_MAIN(TestGridAccessibility)
#include "test_gridaccessibility.moc"
