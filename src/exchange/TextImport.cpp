#include "exchange/TextImport.h"

#include "db/PhoneText.h"
#include "db/RecordStatements.h"
#include "db/SearchIndex.h"
#include "exchange/ContactWriter.h"
#include "exchange/ImportLine.h"
#include "exchange/LongOperation.h"
#include "exchange/TextCodec.h"
#include "ui/FileDialog.h"
#include "ui/MainWindowPort.h"
#include "ui/MessageDialog.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>

namespace exchange {

const char* const kTextFileFilter = "*.csv (oddělený středníkem)|*.csv|Textový soubor [*.txt]|*.txt|Vše|*.*";

void ShowReadOnlyRefusal(MainWindowPort* main)
{
    ShowMessageDialogOver(main->window(),
                          QStringLiteral("Seznam je otevřen jen pro čtení, nelze do něj zapisovat."), 0, 0);
}

namespace {

// A usual line of a contact, for telling the size of an import from its file's.
constexpr qint64 kBytesPerLine = 80;

struct Counts
{
    int present = 0;
    bool stopped = false;
};

// One phone of the line: the duplicate check, and the INSERT unless the number is present.
// A failed check skips the line's first phone but not a further one.
void AddPhone(ContactWriter& writer, const ContactValues& values, bool firstPhone, Counts& counts)
{
    switch (writer.check(values.telefon)) {
    case ContactWriter::Check::Present:
        ++counts.present;
        return;
    case ContactWriter::Check::Failed:
        if (firstPhone)
            return;
        break;
    case ContactWriter::Check::Absent:
        break;
    }
    writer.insert(values);
}

QString StatusText(int added, const Counts& counts)
{
    return (counts.stopped ? QStringLiteral("Načítání přerušeno. ")
                           : QStringLiteral("Načítání dokončeno. ")) +
           QStringLiteral("Přidáno záznamů: %1, čísel již v seznamu: %2.").arg(added).arg(counts.present);
}

} // namespace

void ImportTextFile(MainWindowPort* main)
{
    if (main->readOnly()) {
        ShowReadOnlyRefusal(main);
        return;
    }
    const QString path = FileDialog::getOpenFileName(main->window(), QStringLiteral("Otevřít"), QString(),
                                                     QString::fromUtf8(kTextFileFilter));
    if (path.isEmpty() || !QFileInfo::exists(path))
        return;
    if (ShowMessageDialogOver(main->window(),
                              QStringLiteral("Opravdu načíst soubor ") + path + QStringLiteral(" ?"), 1,
                              1) != 0)
        return;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ShowErrorReport(QStringLiteral("Soubor %1 nelze otevřít: %2").arg(path, file.errorString()));
        return;
    }
    db::SearchIndex::ExpectWrites(main->connection(), file.size() / kBytesPerLine);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        ShowErrorReport(QStringLiteral("Soubor %1 nelze přečíst: %2").arg(path, file.errorString()));
        return;
    }
    file.close();
    const QString text = DecodeText(bytes);

    const QString importDate = DateText(QDate::currentDate());
    Counts counts;
    int added = 0;
    {
        // Progress in thousandths of the text, so any size fits the bar.
        constexpr int kScale = 1000;
        LongOperation operation(main, kScale, QStringLiteral("Načítání seznamu"));
        ContactWriter writer(main->connection(), main->workQuery(), ContactWriter::Kind::Import);
        LineReader reader(text);
        bool gridOk = true;
        do {
            const ImportLine line = ParseImportLine(reader.next());
            ContactValues values;
            values.telefon = line.telefon;
            values.jmeno = line.jmeno;
            values.email = line.email;
            values.poznamka = line.poznamka;
            values.organizace = line.organizace;
            values.icq = line.icq;
            values.skype = line.skype;
            values.datum = importDate;
            AddPhone(writer, values, true, counts);
            for (const QString& phone : line.furtherPhones) {
                values.telefon = phone;
                AddPhone(writer, values, false, counts);
            }
            operation.step(reader.size() > 0 ? int(reader.position() * kScale / reader.size()) : kScale);
            if (!writer.commitIfDue())
                break;
            gridOk = operation.reopenGridIfDue(writer);
            if (!gridOk)
                break;
            counts.stopped = operation.stopRequested() && !reader.atEnd();
        } while (!reader.atEnd() && !counts.stopped);
        if (gridOk)
            operation.reopenGrid(writer);
        added = writer.added();
    }
    main->showStatus(StatusText(added, counts));
}

} // namespace exchange
