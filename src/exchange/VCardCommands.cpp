#include "exchange/VCardCommands.h"
#include "formats/VCardRows.h"

#include "db/contacts/BulkWriter.h"
#include "db/contacts/Directory.h"
#include "db/contacts/Query.h"
#include "db/engine/Columns.h"
#include "db/engine/PhoneText.h"
#include "formats/InputFile.h"
#include "ui/FileDialog.h"
#include "ui/LongOperation.h"
#include "ui/MainWindowPort.h"
#include "ui/MessageDialog.h"
#include "ui/SafeWrite.h"
#include "ui/Services.h"

#include <QDate>
#include <QFile>
#include <QHash>

namespace vcard {
namespace {

const QString kFilter = QStringLiteral("vCard [*.vcf]|*.vcf;*.vcard|Vše|*.*");

void Tell(const Services& app, const QString& text, int icon = 0)
{
    ShowMessageDialogOver(app.window.window(), text, icon, 0);
}

// Every dated note of the directory by contact, read once rather than once per contact.
QHash<QString, QList<DatedNote>> AllNotes(const Services& app)
{
    QHash<QString, QList<DatedNote>> notes;
    app.window.directory().forEachNote([&notes](const QString& id, const QString& date, QString text) {
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        notes[id].append({date, text});
    });
    return notes;
}

QString NotesText(const QString& text)
{
    QString stored = text;
    stored.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return stored;
}

struct Tally
{
    int added = 0, present = 0, failed = 0, shortened = 0, withoutPhone = 0, longNumbers = 0;
    bool interrupted = false; // by the user
    bool failedForGood = false;
    QString why; // of a stop by a failure, in Czech
};

QString Outcome(const Tally& t)
{
    if (t.failedForGood)
        return QStringLiteral("Import z vCard byl zastaven kvůli chybě") +
               (t.why.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + t.why);
    return t.interrupted ? QStringLiteral("Import z vCard byl přerušen.")
                         : QStringLiteral("Import z vCard je hotov.");
}

// The first few of the lines, for the closing message.
QString FirstLines(const QList<int>& lines)
{
    QStringList first;
    for (qsizetype i = 0; i < lines.size() && i < 5; ++i)
        first << QString::number(lines.at(i));
    if (lines.size() > 5)
        first << QStringLiteral("…");
    return first.join(QStringLiteral(", "));
}

QString Summary(const Tally& t, const ReadResult& read)
{
    QString text =
        Outcome(t) + QStringLiteral("\nPřidáno kontaktů: %1\nČísel již v DB: %2").arg(t.added).arg(t.present);
    if (t.failed > 0)
        text += QStringLiteral("\nNepřidáno kvůli chybě: %1").arg(t.failed);
    if (t.shortened > 0)
        text += QStringLiteral("\nZkrácených hodnot (delších, než pojme sloupec): %1").arg(t.shortened);
    if (t.longNumbers > 0)
        text += QStringLiteral("\nKontaktů se zkráceným číslem (celé číslo je v poznámce kontaktu): %1")
                    .arg(t.longNumbers);
    if (t.withoutPhone > 0)
        text += QStringLiteral("\nVynecháno vizitek bez telefonního čísla: %1").arg(t.withoutPhone);
    if (read.badCards > 0)
        text += QStringLiteral("\nNečitelných vizitek: %1").arg(read.badCards);
    if (!read.overlongLines.isEmpty())
        text += QStringLiteral("\nVynechaných vizitek s řádkem delším než 1 MB: %1 (řádek %2)")
                    .arg(read.overlongLines.size())
                    .arg(FirstLines(read.overlongLines));
    if (!read.badLines.isEmpty())
        text += QStringLiteral("\nNečitelných řádků: %1 (řádek %2)")
                    .arg(read.badLines.size())
                    .arg(FirstLines(read.badLines));
    if (read.unendedLine > 0)
        text += QStringLiteral("\nVizitka z řádku %1 nemá konec (END:VCARD), soubor je asi useknutý.")
                    .arg(read.unendedLine);
    return text;
}

QString StatusText(const Tally& t)
{
    const QString how = t.failedForGood ? QStringLiteral("Import z vCard zastaven kvůli chybě. ")
                        : t.interrupted ? QStringLiteral("Import z vCard přerušen. ")
                                        : QStringLiteral("Import z vCard dokončen. ");
    return how + QStringLiteral("Přidáno kontaktů: %1, čísel již v seznamu: %2.").arg(t.added).arg(t.present);
}

// Reads the file, keeping of a line longer than the reader takes only enough for the reader to
// know it for one, also in a file of UTF-16 (an odd count keeps its units whole): a file of one
// endless line must not fill the memory.
bool ReadBounded(QFile& file, QByteArray* bytes)
{
    constexpr qint64 kChunk = 1 << 16;
    constexpr qsizetype kKept = 2 * kLongestLine + 1;
    qsizetype lineStart = 0;
    bool dropping = false; // the rest of a line already kept as long as it needs to be
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(kChunk);
        if (chunk.isEmpty())
            return file.error() == QFileDevice::NoError;
        qsizetype from = 0;
        if (dropping) {
            while (from < chunk.size() && chunk.at(from) != '\n' && chunk.at(from) != '\r')
                ++from;
            if (from == chunk.size())
                continue;
            dropping = false;
        }
        const qsizetype before = bytes->size();
        bytes->append(chunk.constData() + from, chunk.size() - from);
        for (qsizetype i = bytes->size() - 1; i >= before; --i)
            if (bytes->at(i) == '\n' || bytes->at(i) == '\r') {
                lineStart = i + 1;
                break;
            }
        if (bytes->size() - lineStart > kKept) {
            bytes->truncate(lineStart + kKept);
            dropping = true;
        }
    }
    return file.error() == QFileDevice::NoError;
}

// What the rows added so far hold that the closing message counts, kept by the number of rows
// added up to then: a lost group takes its rows, and what they hold, with it.
struct Marks
{
    QList<QPair<int, int>> cutsAt; // rows added before a card's first, values cut in it
    QList<int> longNumbersAt;      // rows added up to a contact holding its number cut

    void count(Tally& tally) const
    {
        for (const auto& [firstRow, cut] : cutsAt)
            if (firstRow <= tally.added)
                tally.shortened += cut;
        for (int row : longNumbersAt)
            if (row <= tally.added)
                ++tally.longNumbers;
    }
};

// Adds the rows of one card; false when the directory takes no more.
bool AddCard(db::BulkWriter& writer, const Card& card, const QString& datum, Tally& tally, Marks& marks)
{
    int cut = 0;
    bool notesStored = false;
    const QList<ContactValues> rows = RowsOfCard(card, datum, &cut);
    const QStringList longNumbers = LongNumbers(card);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const ContactValues& v = rows.at(i);
        const db::BulkWriter::Check check = writer.check(v.telefon);
        if (check == db::BulkWriter::Check::Present) {
            ++tally.present;
            continue;
        }
        if (check == db::BulkWriter::Check::Failed || !writer.insert(v)) {
            ++tally.failed;
            if (!writer.stopReason().isEmpty())
                return false;
            continue;
        }
        // The dated notes go with the card's first row only.
        if (!notesStored) {
            notesStored = true;
            if (cut > 0)
                marks.cutsAt.append({writer.added(), cut});
            for (const DatedNote& note : card.notes)
                if (!writer.insertNote(writer.lastId(), note.dat, NotesText(note.text)) &&
                    !writer.stopReason().isEmpty())
                    return false;
        }
        const QString& phone = card.phones.at(i);
        if (longNumbers.contains(phone)) {
            if (writer.insertNote(writer.lastId(), QString(),
                                  QStringLiteral("Celé číslo z vizitky: ") + phone))
                marks.longNumbersAt.append(writer.added());
            else if (!writer.stopReason().isEmpty())
                return false;
        }
    }
    return true;
}

} // namespace

void ExportContacts(const Services& app, Version version)
{
    const db::Query* grid = &app.window.shownContacts();
    if (!grid->isOpen())
        return;
    if (grid->recordCount() == 0) {
        Tell(app, QStringLiteral("Seznam neukazuje žádný kontakt, není co exportovat."));
        return;
    }
    bool all = false;
    if (grid->recordCount() > 1) {
        const int answer = ShowMessageDialogOver(
            app.window.window(),
            QStringLiteral("Exportovat všechny zobrazené kontakty (%1)?\nNe = jen vybraný kontakt.")
                .arg(grid->recordCount()),
            1, 2);
        if (answer == 2)
            return;
        all = answer == 0;
    }
    const QString path = FileDialog::getSaveFileName(app.window.window(), QString(), QString(), kFilter,
                                                     QStringLiteral("vcf"));
    if (path.isEmpty())
        return;
    const QHash<QString, QList<DatedNote>> notes = AllNotes(app);
    QList<Contact> contacts;
    const int first = all ? 0 : grid->recNo() - 1;
    const int last = all ? grid->recordCount() - 1 : first;
    const int idField = grid->fieldIndex(u"id");
    for (int row = first; row <= last; ++row)
        contacts.append({ValuesAt(*grid, row), notes.value(grid->text(row, idField)), {}});
    contacts = OneCardPerPerson(contacts);
    QString why;
    if (!SafeWriteFile(path, WriteVCards(contacts, version), &why)) {
        Tell(app, QStringLiteral("Nelze vytvořit soubor vCard!\n") + why, 2);
        return;
    }
    Tell(app, QStringLiteral("Do souboru vCard bylo zapsáno kontaktů: %1").arg(contacts.size()));
}

void ImportContacts(const Services& app)
{
    if (!app.window.shownContacts().isOpen())
        return;
    if (app.window.readOnly()) {
        Tell(app, QStringLiteral("Telefonní seznam je otevřen jen pro čtení."), 2);
        return;
    }
    const QString path = FileDialog::getOpenFileName(app.window.window(), QString(), QString(), kFilter);
    if (path.isEmpty())
        return;
    const QString refusal = exchange::SpecialInputRefusal(path);
    if (!refusal.isEmpty()) {
        Tell(app, refusal, 2);
        return;
    }
    QFile file(path);
    QByteArray bytes;
    if (!file.open(QIODevice::ReadOnly) || !ReadBounded(file, &bytes)) {
        Tell(app, QStringLiteral("Nelze otevřít soubor vCard!"), 2);
        return;
    }
    file.close();
    const ReadResult read = ReadVCards(bytes);
    bytes.clear();
    const QString datum = DateText(QDate::currentDate());
    Tally tally;
    {
        exchange::LongOperation operation(app, int(read.cards.size()), QStringLiteral("Načítání vCard"));
        const auto writing = app.window.directory().writer(db::BulkWriter::Kind::VCard);
        db::BulkWriter& writer = *writing;
        Marks marks;
        bool gridOk = true;
        for (qsizetype i = 0; i < read.cards.size(); ++i) {
            const Card& card = read.cards.at(i);
            if (card.phones.isEmpty()) {
                ++tally.withoutPhone;
                continue;
            }
            if (!AddCard(writer, card, datum, tally, marks) || !writer.commitIfDue())
                break;
            operation.step(int(i + 1));
            gridOk = operation.reopenGridIfDue(writer);
            if (!gridOk)
                break;
            if (operation.stopRequested() && i + 1 < read.cards.size()) {
                tally.interrupted = true;
                break;
            }
        }
        writer.commit();
        if (gridOk)
            gridOk = operation.reopenGrid(writer);
        tally.why = writer.stopReason();
        tally.failedForGood = !tally.why.isEmpty() || !gridOk;
        tally.added = writer.added();
        marks.count(tally);
    }
    if (tally.added > 0)
        app.window.reloadGroups();
    app.status.show(StatusText(tally));
    Tell(app, Summary(tally, read));
}

} // namespace vcard
