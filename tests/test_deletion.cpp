// Deleting the selected contact.
#include "app/TMain.h"
#include "db/contacts/Query.h"
#include "testsupport/MainParts.h"
#include "testsupport/TestSupport.h"
#include "ui/DBGrid.h"
#include "ui/MessageDialog.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using testsupport::Column;
using testsupport::Parts;
using testsupport::Sandbox;

class TestDeletion : public QObject
{
    Q_OBJECT

    std::unique_ptr<Sandbox> m_box;
    std::unique_ptr<TMain> m_w;

    QStringList names()
    {
        return Column(Parts(*m_w).ADOConnection1, QStringLiteral("select jmeno from zvonisty order by jmeno"),
                      QStringLiteral("jmeno"));
    }

private Q_SLOTS:
    void init()
    {
        m_box = std::make_unique<Sandbox>();
        m_box->createDirectory(
            4, {QStringLiteral("insert into zvonisty (telefon, jmeno) values ('111', 'Alois')"),
                QStringLiteral("insert into zvonisty (telefon, jmeno) values ('222', 'Bohouš')"),
                QStringLiteral("insert into zvonisty (telefon, jmeno) values ('333', 'Bohumil')"),
                QStringLiteral("insert into zvonisty (telefon, jmeno) values (null, 'Cecílie')"),
                QStringLiteral("insert into poznamky (id, pozn) values (3, 'zůstane')")});
        m_w = testsupport::StartMain();
    }
    void cleanup()
    {
        m_w.reset();
        m_box.reset();
    }

    void answerNeKeepsEverything_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("Ne") << 1;
        QTest::newRow("closed") << 2;
    }
    void answerNeKeepsEverything()
    {
        QFETCH(int, answer);
        Parts(*m_w).DBGrid1->selectRow(1);
        MessageDialogSeam::setNextAnswer(answer);
        Parts(*m_w).Odstranitvybranoupoloku1->trigger();
        QCOMPARE(MessageDialogSeam::shown().size(), 1);
        QCOMPARE(MessageDialogSeam::shown().first().text,
                 QStringLiteral("Opravdu odstranit položku s telefonem 222 ?"));
        QCOMPARE(MessageDialogSeam::shown().first().icon, 1);
        QCOMPARE(MessageDialogSeam::shown().first().buttonSet, 1);
        QCOMPARE(names().size(), 4);
        QCOMPARE(Parts(*m_w).ADOQuery1->recNo(), 2);
    }

    void deletionKeepsTheSearchAndTheNotes()
    {
        Parts(*m_w).Hledani->setText(QStringLiteral("boh"));
        Parts(*m_w).Najdi->click();
        QCOMPARE(Parts(*m_w).pocet->text(), QStringLiteral("2"));
        Parts(*m_w).DBGrid1->selectRow(1);
        MessageDialogSeam::setNextAnswer(0);
        Parts(*m_w).OdstranitvybranoupolokuDel1->trigger();
        QCOMPARE(names(),
                 (QStringList{QStringLiteral("Alois"), QStringLiteral("Bohouš"), QStringLiteral("Cecílie")}));
        QCOMPARE(Parts(*m_w).pocet->text(), QStringLiteral("1"));
        QCOMPARE(Parts(*m_w).ADOQuery1->recNo(), 1);
        QCOMPARE(Parts(*m_w).DBGrid1->model()->index(0, 1).data().toString(), QStringLiteral("Bohouš"));
        QCOMPARE(Column(Parts(*m_w).ADOConnection1, QStringLiteral("select pozn from poznamky where id = 3"),
                        QStringLiteral("pozn")),
                 QStringList{QStringLiteral("zůstane")});
        // A new contact never gets the deleted contact's id, so the notes are never handed to it.
        testsupport::Exec(Parts(*m_w).ADOConnection1,
                          QStringLiteral("insert into zvonisty (telefon, jmeno) values ('9', 'Nový')"));
        QVERIFY(Column(Parts(*m_w).ADOConnection1,
                       QStringLiteral("select id from zvonisty where jmeno = 'Nový'"), QStringLiteral("id"))
                    .first()
                    .toInt() > 4);
    }

    void emptyNumberAndTheLastRow()
    {
        Parts(*m_w).Hledani->setText(QStringLiteral("cec"));
        Parts(*m_w).Najdi->click();
        MessageDialogSeam::setNextAnswer(0);
        Parts(*m_w).Odstranitvybranoupoloku1->trigger();
        QCOMPARE(MessageDialogSeam::shown().first().text,
                 QStringLiteral("Opravdu odstranit položku s telefonem  ?"));
        QCOMPARE(Parts(*m_w).pocet->text(), QStringLiteral("0"));
        QCOMPARE(Parts(*m_w).DBGrid1->model()->rowCount(), 0);
        Parts(*m_w).Odstranitvybranoupoloku1->trigger();
        QCOMPARE(MessageDialogSeam::shown().last().text, QStringLiteral("Není vybrán žádný záznam."));
    }

    void deleteKeyAsksOnReleaseOnly()
    {
        Parts(*m_w).DBGrid1->setFocus();
        Parts(*m_w).DBGrid1->selectRow(0);
        QTest::keyPress(Parts(*m_w).DBGrid1, Qt::Key_Delete);
        QTest::qWait(200);
        QVERIFY(MessageDialogSeam::shown().isEmpty());
        // Held down: the repeated releases do not ask.
        QKeyEvent repeated(QEvent::KeyRelease, Qt::Key_Delete, Qt::NoModifier, QString(), true);
        QCoreApplication::sendEvent(Parts(*m_w).DBGrid1, &repeated);
        QKeyEvent repeatedPress(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QString(), true);
        QCoreApplication::sendEvent(Parts(*m_w).DBGrid1, &repeatedPress);
        QTest::qWait(200);
        QVERIFY(MessageDialogSeam::shown().isEmpty());
        MessageDialogSeam::setNextAnswer(0);
        QTest::keyRelease(Parts(*m_w).DBGrid1, Qt::Key_Delete);
        QTRY_COMPARE(MessageDialogSeam::shown().size(), 1);
        QCOMPARE(names().size(), 3);
        QVERIFY(!names().contains(QStringLiteral("Alois")));
    }

    void heldDeleteWithReleasesMarkedRealAsksOnce()
    {
        Parts(*m_w).DBGrid1->setFocus();
        Parts(*m_w).DBGrid1->selectRow(0);
        MessageDialogSeam::setNextAnswer(1);
        QTest::keyPress(Parts(*m_w).DBGrid1, Qt::Key_Delete);
        // X11 may mark the release of a held key as real when the repeated press is not queued
        // yet; the press follows within the repeat interval.
        for (int i = 0; i < 5; ++i) {
            QTest::keyRelease(Parts(*m_w).DBGrid1, Qt::Key_Delete);
            QTest::keyPress(Parts(*m_w).DBGrid1, Qt::Key_Delete);
            QVERIFY(MessageDialogSeam::shown().isEmpty());
        }
        QTest::keyRelease(Parts(*m_w).DBGrid1, Qt::Key_Delete);
        QTRY_COMPARE(MessageDialogSeam::shown().size(), 1);
        QTest::qWait(300);
        QCOMPARE(MessageDialogSeam::shown().size(), 1);
        QCOMPARE(names().size(), 4);
    }
};

QTEST_MAIN(TestDeletion)
#include "test_deletion.moc"
