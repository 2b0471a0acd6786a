// The detail dialog when a save is refused: by the engine, by a read-only directory, by a limit.
#include "app/TMain.h"
#include "db/contacts/Query.h"
#include "edit/RecordCommands.h"
#include "edit/TDetailNovy.h"
#include "edit/TpoznamkaM.h"
#include "testsupport/MainParts.h"
#include "testsupport/TestSupport.h"
#include "ui/DBGrid.h"
#include "ui/MainWindowPort.h"
#include "ui/MessageDialog.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using testsupport::Column;
using testsupport::Parts;
using testsupport::Sandbox;
using testsupport::WhenModalShown;

namespace {

QString Emoji(int count)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += QString::fromUcs4(U"\U0001F600");
    return text;
}

// The main window as the record commands see it, but with a directory opened read-only.
class ReadOnlyWindow : public MainWindowPort
{
public:
    explicit ReadOnlyWindow(TMain* main) : m(main) {}
    QWidget* window() override { return m->window(); }
    db::Directory& directory() override { return m->directory(); }
    const db::Query& shownContacts() const override { return m->shownContacts(); }
    QString directoryFilePath() const override { return m->directoryFilePath(); }
    bool readOnly() const override { return true; }
    bool refreshGrid() override { return m->refreshGrid(); }
    bool reopenGrid() override { return m->reopenGrid(); }
    void showNumberHolders(const QString& number) override { m->showNumberHolders(number); }
    QStringList groups() const override { return m->groups(); }
    void addGroup(const QString& group) override { m->addGroup(group); }
    void focusSearch() override { m->focusSearch(); }
    void setCommandsEnabled(bool enabled) override { m->setCommandsEnabled(enabled); }

private:
    TMain* m;
};

} // namespace

class TestDetailRefusals : public QObject
{
    Q_OBJECT

    std::unique_ptr<Sandbox> m_box;
    app::Context m_context;
    std::unique_ptr<TMain> m_w;

    QStringList stored(const QString& field)
    {
        return Column(Parts(*m_w).ADOConnection1, QStringLiteral("select * from zvonisty order by id"),
                      field);
    }
    void refuseWrites(const QString& event, const QString& table = QStringLiteral("zvonisty"))
    {
        testsupport::Exec(
            Parts(*m_w).ADOConnection1,
            QStringLiteral(
                "create trigger odmitni before %1 on %2 begin select raise(abort, 'odmítnuto'); end")
                .arg(event, table));
    }

private Q_SLOTS:
    void init()
    {
        m_box = std::make_unique<Sandbox>();
        m_box->createDirectory(
            4,
            {QStringLiteral(
                 "insert into zvonisty (telefon, jmeno, skupina) values ('111', 'Alois', 'Rodina')"),
             QStringLiteral("insert into zvonisty (telefon, jmeno) values ('222', '%1')").arg(Emoji(100))});
        m_w = testsupport::StartMain(&m_context);
        QVERIFY(m_w->started());
        Parts(*m_w).DBGrid1->selectRow(0);
    }
    void cleanup()
    {
        m_w.reset();
        m_box.reset();
    }

    void refusedInsertKeepsTheDialogAndItsValues()
    {
        refuseWrites(QStringLiteral("insert"));
        const int groups = Parts(*m_w).VyberSkupinu->count();
        bool checked = false;
        WhenModalShown([&](QWidget* modal) {
            auto* d = qobject_cast<TDetailNovy*>(modal);
            QVERIFY(d);
            QTest::keyClicks(d->Telefon, QStringLiteral("999"));
            d->Jmeno->setText(QStringLiteral("Zdeněk"));
            d->Skupina->setEditText(QStringLiteral("Sousedé"));
            d->Uloz->click();
            QVERIFY(d->isVisible());
            QCOMPARE(d->Jmeno->text(), QStringLiteral("Zdeněk"));
            QCOMPARE(d->Skupina->currentText(), QStringLiteral("Sousedé"));
            checked = true;
        });
        Parts(*m_w).Nov1->trigger();
        QVERIFY(checked);
        QCOMPARE(stored(QStringLiteral("jmeno")).size(), 2);
        // No group of a contact that was never stored.
        QCOMPARE(Parts(*m_w).VyberSkupinu->count(), groups);
        // Shown once and logged as every failed statement.
        QCOMPARE(MessageDialogSeam::shown().size(), 1);
        QVERIFY(MessageDialogSeam::shown().first().text.startsWith(QStringLiteral("Došlo k chybě!")));
        QVERIFY(MessageDialogSeam::shown().first().text.contains(QStringLiteral("odmítnuto")));
        QCOMPARE(m_box->errorLogLines().size(), 1);
        QVERIFY(m_box->errorLogLines().first().contains(QStringLiteral("insert into zvonisty")));
    }

    void refusedUpdateKeepsTheDialogAndTheRow()
    {
        refuseWrites(QStringLiteral("update"));
        bool checked = false;
        WhenModalShown([&](QWidget* modal) {
            auto* d = qobject_cast<TDetailNovy*>(modal);
            QVERIFY(d);
            d->Jmeno->setText(QStringLiteral("Alois Nový"));
            d->Uloz->click();
            QVERIFY(d->isVisible());
            QCOMPARE(d->Jmeno->text(), QStringLiteral("Alois Nový"));
            checked = true;
        });
        Parts(*m_w).Kompletnpravavybranpoloky1->trigger();
        QVERIFY(checked);
        QCOMPARE(stored(QStringLiteral("jmeno")).first(), QStringLiteral("Alois"));
        QVERIFY(m_box->errorLog().contains(QStringLiteral("update zvonisty")));
    }

    void refusedNoteKeepsItsWindowAndText()
    {
        refuseWrites(QStringLiteral("insert"), QStringLiteral("poznamky"));
        bool checked = false;
        WhenModalShown([&](QWidget* modal) {
            auto* window = qobject_cast<TpoznamkaM*>(modal);
            QVERIFY(window);
            window->Memo1->setPlainText(QStringLiteral("dlouhá poznámka"));
            window->Ulozit->click();
            QVERIFY(window->isVisible());
            QCOMPARE(window->Memo1->toPlainText(), QStringLiteral("dlouhá poznámka"));
            checked = true;
        });
        Parts(*m_w).P59davn8poy1->trigger();
        QVERIFY(checked);
        QCOMPARE(Column(Parts(*m_w).ADOConnection1, QStringLiteral("select count(*) as n from poznamky"),
                        QStringLiteral("n")),
                 QStringList{QStringLiteral("0")});
        QCOMPARE(MessageDialogSeam::shown().size(), 1);
        QVERIFY(m_box->errorLog().contains(QStringLiteral("insert into poznamky")));
    }

    void emojiAreCountedAsTheDatabaseCountsThem()
    {
        Parts(*m_w).DBGrid1->selectRow(1);
        bool checked = false;
        WhenModalShown([&](QWidget* modal) {
            auto* d = qobject_cast<TDetailNovy*>(modal);
            QVERIFY(d);
            // A stored value is loaded whole and saved back whole.
            QCOMPARE(d->Jmeno->text(), Emoji(100));
            // Up to the limit of 150 characters, and not one more, typed or pasted.
            d->Jmeno->end(false);
            for (int i = 0; i < 49; ++i) {
                QKeyEvent typed(QEvent::KeyPress, 0, Qt::NoModifier, Emoji(1));
                QCoreApplication::sendEvent(d->Jmeno, &typed);
            }
            QCOMPARE(d->Jmeno->text(), Emoji(149));
            d->Jmeno->insert(Emoji(2));
            QCOMPARE(d->Jmeno->text(), Emoji(149));
            d->Jmeno->insert(Emoji(1));
            QCOMPARE(d->Jmeno->text(), Emoji(150));
            QTest::keyClicks(d->Jmeno, QStringLiteral("a"));
            QCOMPARE(d->Jmeno->text(), Emoji(150));
            d->Jmeno->setText(Emoji(100));
            d->Uloz->click();
            QVERIFY(!d->isVisible());
            checked = true;
        });
        Parts(*m_w).Kompletnpravavybranpoloky1->trigger();
        QVERIFY(checked);
        QCOMPARE(stored(QStringLiteral("jmeno")).at(1), Emoji(100));
        QVERIFY(MessageDialogSeam::shown().isEmpty());
    }

    void valueLongerThanTheLimitIsNeverCut()
    {
        bool checked = false;
        WhenModalShown([&](QWidget* modal) {
            auto* d = qobject_cast<TDetailNovy*>(modal);
            QVERIFY(d);
            // A directory from elsewhere may hold longer values than this program writes.
            const QString longer = QString(25, QLatin1Char('x'));
            d->Telefon->setText(longer);
            QCOMPARE(d->Telefon->text(), longer);
            // It may get shorter, never longer.
            d->Telefon->end(false);
            QTest::keyClick(d->Telefon, Qt::Key_Backspace);
            QCOMPARE(d->Telefon->text(), longer.left(24));
            QTest::keyClicks(d->Telefon, QStringLiteral("y"));
            QCOMPARE(d->Telefon->text(), longer.left(24));
            // Saving it is refused by the field's name and limit, not by the engine's check.
            d->Jmeno->setText(QString(151, QLatin1Char('j')));
            d->Uloz->click();
            QVERIFY(d->isVisible());
            checked = true;
        });
        Parts(*m_w).Kompletnpravavybranpoloky1->trigger();
        QVERIFY(checked);
        QCOMPARE(testsupport::MessagesShown(),
                 QStringList{"Jméno má 151 znaků, pole dovoluje nejvýše 150. Zkraťte prosím hodnotu."});
        QCOMPARE(m_box->errorLogLines(), QStringList());
    }

    // Another tool may have stored a NUL, which no statement can carry: the dialog shows it as
    // the replacement character, and the contact saves again.
    void storedNulSavesAgain()
    {
        testsupport::Exec(
            Parts(*m_w).ADOConnection1,
            QStringLiteral("update zvonisty set jmeno = 'Jan' || char(0) || 'ek' where telefon = '111'"));
        m_w->refreshGrid();
        Parts(*m_w).DBGrid1->selectRow(0);
        QCOMPARE(Parts(*m_w).ADOQuery1->fieldText(u"telefon"), QStringLiteral("111"));
        const testsupport::SavedAgain again = testsupport::SaveSelectedUnchanged(m_w.get());
        QCOMPARE(again.shownName, QStringLiteral("Jan\uFFFDek"));
        QVERIFY2(again.saved, qPrintable(testsupport::MessagesShown().join(QLatin1Char('|'))));
        QCOMPARE(stored(QStringLiteral("jmeno")).first(), QStringLiteral("Jan\uFFFDek"));
    }

    void readOnlyDirectoryRefusesAtOnce_data()
    {
        QTest::addColumn<int>("command");
        QTest::newRow("new") << 0;
        QTest::newRow("further number") << 1;
        QTest::newRow("delete") << 2;
        QTest::newRow("note") << 3;
    }
    void readOnlyDirectoryRefusesAtOnce()
    {
        QFETCH(int, command);
        ReadOnlyWindow port(m_w.get());
        bool opened = false;
        WhenModalShown([&](QWidget*) { opened = true; });
        MessageDialogSeam::setNextAnswer(0);
        const std::function<void(const Services&)> commands[] = {
            records::NewContact, records::AddNumberToSelected, records::DeleteSelected,
            records::AddNoteToSelected};
        commands[command](m_context.services(port));
        QTest::qWait(50);
        QVERIFY(!opened);
        QCOMPARE(MessageDialogSeam::shown().size(), 1);
        QCOMPARE(MessageDialogSeam::shown().first().text,
                 QStringLiteral("Seznam je otevřen jen pro čtení; změny nelze uložit."));
        QCOMPARE(stored(QStringLiteral("jmeno")).size(), 2);
    }

    void readOnlyDirectoryShowsTheContactButSavesNothing()
    {
        ReadOnlyWindow port(m_w.get());
        bool checked = false;
        WhenModalShown([&](QWidget* modal) {
            auto* d = qobject_cast<TDetailNovy*>(modal);
            QVERIFY(d);
            QCOMPARE(d->Jmeno->text(), QStringLiteral("Alois"));
            QVERIFY(d->Jmeno->isReadOnly());
            d->Uloz->click();
            QVERIFY(d->isVisible());
            QCOMPARE(MessageDialogSeam::shown().size(), 1);
            QCOMPARE(MessageDialogSeam::shown().first().text,
                     QStringLiteral("Seznam je otevřen jen pro čtení; změny nelze uložit."));
            checked = true;
        });
        records::EditSelected(m_context.services(port));
        QVERIFY(checked);
    }
};

QTEST_MAIN(TestDetailRefusals)
#include "test_detailrefusals.moc"
