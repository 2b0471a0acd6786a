// Additional notes: written in the note window, listed and deleted in the detail dialog.
#include "app/TMain.h"
#include "db/contacts/Query.h"
#include "edit/TDetailNovy.h"
#include "edit/TpoznamkaM.h"
#include "testsupport/MainParts.h"
#include "testsupport/TestSupport.h"
#include "ui/DBGrid.h"
#include "ui/MessageDialog.h"

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using testsupport::Column;
using testsupport::Parts;
using testsupport::Sandbox;
using testsupport::WhenModalShown;

class TestNotes : public QObject
{
    Q_OBJECT

    std::unique_ptr<Sandbox> m_box;
    std::unique_ptr<TMain> m_w;

    QStringList notes(const QString& id = QStringLiteral("1"))
    {
        return Column(Parts(*m_w).ADOConnection1,
                      QStringLiteral("select pozn from poznamky where id = %1").arg(id),
                      QStringLiteral("pozn"));
    }
    void writeNote(const std::function<void(TpoznamkaM*)>& steps)
    {
        WhenModalShown([&](QWidget* modal) {
            auto* window = qobject_cast<TpoznamkaM*>(modal);
            QVERIFY(window);
            QCOMPARE(window->windowTitle(), QStringLiteral("Poznámka"));
            steps(window);
        });
        Parts(*m_w).Pdavnpoznmka1->trigger();
    }

private Q_SLOTS:
    void init()
    {
        m_box = std::make_unique<Sandbox>();
        m_box->createDirectory(
            4, {QStringLiteral("insert into zvonisty (telefon, jmeno) values ('111', 'Alois')"),
                QStringLiteral("insert into zvonisty (telefon, jmeno) values ('222', 'Bára')")});
        m_w = testsupport::StartMain();
        Parts(*m_w).DBGrid1->selectRow(0);
    }
    void cleanup()
    {
        m_w.reset();
        m_box.reset();
    }

    void notesAreStoredAsTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("three lines") << "první\ndruhý\ntřetí"
                                     << "první\r\ndruhý\r\ntřetí";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("quotes and injection") << "it's'); delete from poznamky; --"
                                              << "it's'); delete from poznamky; --";
        QTest::newRow("non-breaking space") << QString::fromUtf8("a\u00A0b") << QString::fromUtf8("a\u00A0b");
        QTest::newRow("wildcards, backslash, foreign") << "50 % _ \\ 😀 中"
                                                       << "50 % _ \\ 😀 中";
    }
    void notesAreStoredAsTyped()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        writeNote([&](TpoznamkaM* window) {
            window->Memo1->setPlainText(typed);
            window->Ulozit->click();
        });
        QCOMPARE(notes(), QStringList{stored});
        QVERIFY(MessageDialogSeam::shown().isEmpty());
    }

    void escapeInTheMemoClosesWithoutSaving()
    {
        writeNote([&](TpoznamkaM* window) {
            window->Memo1->setPlainText(QStringLiteral("neuloží se"));
            QTest::keyClick(window->Memo1, Qt::Key_Escape);
            QVERIFY(!window->isVisible());
        });
        QVERIFY(notes().isEmpty());
    }

    void noteNeedsASelectedContact()
    {
        Parts(*m_w).Hledani->setText(QStringLiteral("nikdo"));
        Parts(*m_w).Najdi->click();
        Parts(*m_w).P59davn8poy1->trigger();
        QCOMPARE(MessageDialogSeam::shown().size(), 1);
        QCOMPARE(MessageDialogSeam::shown().first().text, QStringLiteral("Není vybrán žádný záznam."));
    }

    void listShowsAndDeletesNotes()
    {
        // Three notes a second apart, so each has a date of its own.
        for (const char* text : {"jedna", "dva\r\nřádky", "tři"}) {
            testsupport::Exec(Parts(*m_w).ADOConnection1,
                              QStringLiteral("insert into poznamky (id, pozn) values (1, '%1')")
                                  .arg(QString::fromUtf8(text)));
            QTest::qWait(1050);
        }
        testsupport::Exec(Parts(*m_w).ADOConnection1,
                          QStringLiteral("insert into poznamky (id, pozn) values (2, 'cizí')"));
        WhenModalShown([&](QWidget* modal) {
            auto* d = qobject_cast<TDetailNovy*>(modal);
            QVERIFY(d);
            QVERIFY(d->DBGrid1->isEnabled());
            QCOMPARE(d->DBGrid1->model()->rowCount(), 3);
            QCOMPARE(d->DBGrid1->model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
                     QStringLiteral("Datum vložení"));
            QCOMPARE(d->Memo1->toPlainText(), QStringLiteral("jedna"));
            d->DBGrid1->selectRow(1);
            QCOMPARE(d->Memo1->toPlainText(), QStringLiteral("dva\nřádky"));
            const QString shown = d->DBGrid1->model()->index(1, 0).data().toString();

            MessageDialogSeam::setNextAnswer(1);
            d->Odstranit->click();
            QCOMPARE(MessageDialogSeam::shown().last().text,
                     QStringLiteral("Opravdu odstranit poznámku z data \"") + shown + QStringLiteral("\" ?"));
            QCOMPARE(MessageDialogSeam::shown().last().over, d->frameGeometry());
            QCOMPARE(d->DBGrid1->model()->rowCount(), 3);

            MessageDialogSeam::setNextAnswer(0);
            d->Odstranit->click();
            QCOMPARE(d->DBGrid1->model()->rowCount(), 2);
            QCOMPARE(d->Memo1->toPlainText(), QStringLiteral("tři"));
            MessageDialogSeam::setNextAnswer(0);
            d->Odstranit->click();
            MessageDialogSeam::setNextAnswer(0);
            d->Odstranit->click();
            QCOMPARE(d->DBGrid1->model()->rowCount(), 0);
            QCOMPARE(d->Memo1->toPlainText(), QString());
            // With no note left, the button does nothing.
            const int asked = int(MessageDialogSeam::shown().size());
            d->Odstranit->click();
            QCOMPARE(int(MessageDialogSeam::shown().size()), asked);
        });
        Parts(*m_w).KomplUprava->click();
        QVERIFY(notes().isEmpty());
        QCOMPARE(notes(QStringLiteral("2")), QStringList{QStringLiteral("cizí")});
    }

    void insertModeHasNoNotes()
    {
        testsupport::Exec(Parts(*m_w).ADOConnection1,
                          QStringLiteral("insert into poznamky (id, pozn) values (1, 'x')"));
        WhenModalShown([&](QWidget* modal) {
            auto* d = qobject_cast<TDetailNovy*>(modal);
            QVERIFY(!d->DBGrid1->isEnabled());
            QCOMPARE(d->DBGrid1->model()->rowCount(), 0);
            d->Odstranit->click();
            QVERIFY(MessageDialogSeam::shown().isEmpty());
        });
        Parts(*m_w).Otevtvybranzznampropidnnovhosla1->trigger();
        QCOMPARE(notes(), QStringList{QStringLiteral("x")});
    }
};

QTEST_MAIN(TestNotes)
#include "test_notes.moc"
