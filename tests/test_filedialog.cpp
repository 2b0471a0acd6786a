#include "ui/FileDialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "testsupport/TestSupport.h"

class TestFileDialog : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        FileDialog::setTestMode(false);
        FileDialog::clearShown();
    }

    void filters_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("qt");
        QTest::newRow("import")
            << QStringLiteral("*.csv (oddělený středníkem)|*.csv|Textový soubor [*.txt]|*.txt|Vše|*.*")
            << QStringLiteral(
                   "*.csv (oddělený středníkem) (*.csv);;Textový soubor [*.txt] (*.txt);;Vše (*.*)");
        QTest::newRow("card") << QStringLiteral("Vizitka telefonů [*.viz]|*.viz")
                              << QStringLiteral("Vizitka telefonů [*.viz] (*.viz)");
        QTest::newRow("two patterns")
            << QStringLiteral("Databáze|*.mdb;*.accdb") << QStringLiteral("Databáze (*.mdb *.accdb)");
        QTest::newRow("already Qt") << QStringLiteral("Text (*.txt);;Vše (*)")
                                    << QStringLiteral("Text (*.txt);;Vše (*)");
    }
    void filters()
    {
        QFETCH(QString, given);
        QFETCH(QString, qt);
        QCOMPARE(FileDialog::qtFilter(given), qt);
    }

    void scriptedNames()
    {
        FileDialog::setTestMode(true);
        FileDialog::setNextFileName(QStringLiteral("/tmp/a.csv"));
        QCOMPARE(
            FileDialog::getOpenFileName(nullptr, QStringLiteral("Načíst"), QStringLiteral("/tmp"), QString()),
            QStringLiteral("/tmp/a.csv"));
        QCOMPARE(FileDialog::getSaveFileName(nullptr, QString(), QString(), QStringLiteral("V|*.viz")),
                 QString());
        QCOMPARE(FileDialog::shown().size(), 2);
        QVERIFY(!FileDialog::shown()[0].save && FileDialog::shown()[1].save);
        QCOMPARE(FileDialog::shown()[0].caption, QStringLiteral("Načíst"));
        QCOMPARE(FileDialog::shown()[1].filter, QStringLiteral("V|*.viz"));
    }

    // A real dialog: the starting name is preselected, a cancel gives an empty name.
    void realDialog()
    {
        QTemporaryDir dir;
        testsupport::WriteCp1250(dir.filePath(QStringLiteral("kontakty.csv")), QStringLiteral("x"));
        auto answer = [](bool accept) {
            QTimer::singleShot(100, qApp, [accept] {
                if (QDialog* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget()))
                    accept ? d->accept() : d->reject();
            });
        };
        answer(true);
        QCOMPARE(FileDialog::getOpenFileName(nullptr, QString(), dir.filePath(QStringLiteral("kontakty.csv")),
                                             QStringLiteral("CSV|*.csv")),
                 QDir::toNativeSeparators(dir.filePath(QStringLiteral("kontakty.csv"))));
        answer(true);
        QCOMPARE(FileDialog::getSaveFileName(nullptr, QString(), dir.filePath(QStringLiteral("novy")),
                                             QStringLiteral("Vizitka|*.viz"), QStringLiteral("viz")),
                 QDir::toNativeSeparators(dir.filePath(QStringLiteral("novy.viz"))));
        answer(false);
        QCOMPARE(FileDialog::getOpenFileName(nullptr, QString(), dir.path(), QString()), QString());
        // Outside scripted runs nothing is recorded.
        QVERIFY(FileDialog::shown().isEmpty());
    }

    // What a command does itself, the dialog does not ask or refuse first.
    void realDialogLeavesToTheCommand_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<int>("options");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("given");
        QTest::addColumn<bool>("asked");
        QTest::newRow("save over a file: asked")
            << true << int(FileDialog::NoOption) << "stara.viz" << false << true;
        QTest::newRow("save over a file without a question")
            << true << int(FileDialog::ReplaceWithoutQuestion) << "stara.viz" << true << false;
        QTest::newRow("open a missing file: refused")
            << false << int(FileDialog::NoOption) << "neni.mdb" << false << true;
        QTest::newRow("open a missing file let through")
            << false << int(FileDialog::MissingFileLetThrough) << "neni.mdb" << true << false;
        QTest::newRow("open a file that exists")
            << false << int(FileDialog::MissingFileLetThrough) << "stara.viz" << true << false;
    }
    void realDialogLeavesToTheCommand()
    {
        QFETCH(bool, save);
        QFETCH(int, options);
        QFETCH(QString, typed);
        QFETCH(bool, given);
        QFETCH(bool, asked);
        QTemporaryDir dir;
        testsupport::WriteCp1250(dir.filePath(QStringLiteral("stara.viz")), QStringLiteral("x"));
        bool boxShown = false;
        QObject steps; // the steps below end with the test
        QTimer::singleShot(100, &steps, [&] {
            if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                // As the user types it.
                d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(typed);
                QMetaObject::invokeMethod(d, "accept", Qt::DirectConnection);
            }
        });
        // A question or refusal of the dialog's own is answered "No" / closed; the dialog is then cancelled.
        QTimer::singleShot(600, &steps, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxShown = true;
                box->reject();
            }
        });
        QTimer::singleShot(1100, &steps, [] {
            if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget()))
                d->reject();
        });
        const QString chosen = save ? FileDialog::getSaveFileName(nullptr, QString(), dir.path(),
                                                                  QStringLiteral("Vše|*"), QString(), options)
                                    : FileDialog::getOpenFileName(nullptr, QString(), dir.path(),
                                                                  QStringLiteral("Vše|*"), options);
        QCOMPARE(chosen, given ? QDir::toNativeSeparators(dir.filePath(typed)) : QString());
        QCOMPARE(boxShown, asked);
    }
};

QTEST_MAIN(TestFileDialog)
#include "test_filedialog.moc"
