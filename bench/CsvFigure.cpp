#include "CsvFigure.h"

#include "app/TMain.h"
#include "exchange/CsvMappingDialog.h"
#include "formats/CsvWriter.h"
#include "formats/TextCodec.h"
#include "testsupport/MainParts.h"
#include "ui/DBGrid.h"
#include "ui/FileDialog.h"
#include "ui/MessageDialog.h"
#include "ui/SafeWrite.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

using testsupport::Parts;

namespace {

const QString kName = QStringLiteral("Dovezený");

// Numbers neither the filled directory (6, 7) nor the exchange figures (5) hold.
QString Number(int i)
{
    return QStringLiteral("8%1 %2 %3")
        .arg(i / 1000000 % 100, 2, 10, QLatin1Char('0'))
        .arg(i / 1000 % 1000, 3, 10, QLatin1Char('0'))
        .arg(i % 1000, 3, 10, QLatin1Char('0'));
}

// The same rows as the text import's lines and as the CSV export writes them; without a group,
// which the text import cannot carry.
void WriteFiles(int rows, const QString& textPath, const QString& csvPath)
{
    csv::Writer writer(csv::Flavour::Utf8Comma);
    QString text;
    for (int i = 0; i < rows; ++i) {
        ContactValues v;
        v.telefon = Number(i);
        v.jmeno = kName + QStringLiteral(" %1").arg(i);
        v.email = QStringLiteral("c%1@example.cz").arg(i);
        v.poznamka = QStringLiteral("ze souboru CSV");
        v.organizace = QStringLiteral("Dovoz, s.r.o.");
        v.icq = QString::number(300000 + i);
        v.skype = QStringLiteral("dov.%1").arg(i);
        text += QStringList{v.jmeno, v.telefon, v.email, v.poznamka, v.organizace, v.icq, v.skype}.join(
                    QLatin1Char(';')) +
                QStringLiteral("\r\n");
        writer.add(v);
    }
    QByteArray bytes;
    exchange::EncodeCp1250(text, &bytes);
    SafeWriteFile(textPath, bytes);
    SafeWriteFile(csvPath, writer.bytes());
}

// Accepts the mapping dialog as it comes, recognised.
void AcceptMapping(int triesLeft = 1000)
{
    QTimer::singleShot(0, [triesLeft] {
        if (auto* dialog = qobject_cast<exchange::TDialogCsv*>(QApplication::activeModalWidget()))
            dialog->Nacist->click();
        else if (triesLeft > 0)
            AcceptMapping(triesLeft - 1);
    });
}

} // namespace

CsvTimes TimeCsv(TMain& window, const QString& folder, int rows, const Timer& median,
                 const PairTimer& medianPair, const std::function<void()>& undo)
{
    const QString textPath = QDir(folder).filePath(QStringLiteral("dovoz.txt"));
    const QString csvPath = QDir(folder).filePath(QStringLiteral("dovoz.csv"));
    WriteFiles(rows, textPath, csvPath);
    const auto importCsv = [&] {
        FileDialog::setNextFileName(csvPath);
        AcceptMapping();
        Parts(window).ImportovatzCSV1->trigger();
        Parts(window).DBGrid1->viewport()->repaint();
    };
    CsvTimes times;
    std::tie(times.importMs, times.textImportMs) = medianPair(
        importCsv,
        [&] {
            FileDialog::setNextFileName(textPath);
            MessageDialogSeam::setNextAnswer(0);
            Parts(window).Natitelseznamzesouboru2->trigger();
            Parts(window).DBGrid1->viewport()->repaint();
        },
        undo);

    importCsv();
    // The grid shows the imported rows alone: a search by their name in every group.
    const QString searched = Parts(window).Hledani->text();
    const int group = Parts(window).VyberSkupinu->currentIndex();
    Parts(window).VyberSkupinu->setCurrentIndex(0);
    Parts(window).hledat_dleButtons->button(0)->setChecked(true);
    Parts(window).Hledani->setText(kName);
    Parts(window).Najdi->click();
    times.exported = Parts(window).pocet->text().toInt();
    const QString written = QDir(folder).filePath(QStringLiteral("ven.csv"));
    times.exportMs = median([&] {
        MessageDialogSeam::setNextAnswer(0);
        FileDialog::setNextFileName(written);
        Parts(window).ExportovatdoCSV1->trigger();
    });
    times.listExportMs = median([&] {
        FileDialog::setNextFileName(written);
        Parts(window).Ulozitseznamdosouboru1->trigger();
    });
    Parts(window).Hledani->setText(searched);
    Parts(window).VyberSkupinu->setCurrentIndex(group);
    Parts(window).Najdi->click();
    undo();
    return times;
}
