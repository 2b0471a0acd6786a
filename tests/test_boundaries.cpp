// The application's edges: its captions, and failures that must not leave a handler into Qt.
#include "app/Application.h"
#include "app/TMain.h"
#include "db/contacts/Query.h"
#include "db/contacts/QueryOps.h"
#include "testsupport/MainParts.h"
#include "testsupport/TestSupport.h"
#include "ui/DBGrid.h"
#include "ui/MessageDialog.h"

#include <QAction>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QTest>

using testsupport::Parts;
using testsupport::Sandbox;

class TestBoundaries : public QObject
{
    Q_OBJECT

    std::unique_ptr<Sandbox> m_box;
    std::unique_ptr<TMain> m_w;

private Q_SLOTS:
    void init()
    {
        m_box = std::make_unique<Sandbox>();
        m_box->createDirectory(
            4, {QStringLiteral("insert into zvonisty (telefon, jmeno) values ('111', 'Alois')")});
        m_w = testsupport::StartMain();
        QVERIFY(m_w->started());
    }
    void cleanup()
    {
        m_w.reset();
        m_box.reset();
    }

    void captionsCarryNoApplicationName()
    {
        QCOMPARE(m_w->windowTitle(), QStringLiteral("Zvonistní seznam v. 1.1.1.101"));
        // Qt appends the display name to every caption once the program sets one; left unset,
        // it only follows the application's name.
        const QString name = QCoreApplication::applicationName();
        QCoreApplication::setApplicationName(QStringLiteral("jiny-nazev"));
        const QString display = QGuiApplication::applicationDisplayName();
        QCoreApplication::setApplicationName(name);
        QCOMPARE(display, QStringLiteral("jiny-nazev"));
        QCOMPARE(name, QStringLiteral("Zvonisty"));
    }

    void failureInACommandEndsOnlyThatCommand_data()
    {
        QTest::addColumn<QString>("item");
        QTest::newRow("edit") << "Kompletnpravavybranpoloky1";
        QTest::newRow("further number") << "Otevtvybranzznampropidnnovhosla1";
        QTest::newRow("delete") << "Odstranitvybranoupoloku1";
        QTest::newRow("note") << "P59davn8poy1";
    }
    void failureInACommandEndsOnlyThatCommand()
    {
        QFETCH(QString, item);
        // A grid statement without the contact's id: the command cannot read the field it needs.
        QVERIFY(OpenQuery(QStringLiteral("select jmeno, telefon from zvonisty"), Parts(*m_w).ADOQuery1));
        MessageDialogSeam::clearShown();
        m_w->findChild<QAction*>(item)->trigger();
        QCOMPARE(MessageDialogSeam::shown().size(), 1);
        QVERIFY(MessageDialogSeam::shown().first().errorReport);
        QVERIFY(MessageDialogSeam::shown().first().text.contains(QStringLiteral("id")));
        // The window goes on with the next command.
        QVERIFY(OpenQuery(QStringLiteral("select * from zvonisty"), Parts(*m_w).ADOQuery1));
        MessageDialogSeam::setNextAnswer(1);
        Parts(*m_w).Odstranitvybranoupoloku1->trigger();
        QCOMPARE(MessageDialogSeam::shown().last().text,
                 QStringLiteral("Opravdu odstranit položku s telefonem 111 ?"));
    }
};

int main(int argc, char** argv)
{
    Application application(argc, argv);
    TestBoundaries test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_boundaries.moc"
