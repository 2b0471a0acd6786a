#include "exchange/VCardCommands.h"

#include "db/PhoneText.h"
#include "db/Query.h"
#include "db/QueryOps.h"
#include "db/RecordStatements.h"
#include "db/SearchIndex.h"
#include "ui/FileDialog.h"
#include "ui/MainWindowPort.h"
#include "ui/MessageDialog.h"
#include "ui/SafeWrite.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>

namespace vcard {
namespace {

// A usual card, for telling the size of an import from its file's.
constexpr qint64 kBytesPerCard = 200;

const QString kFilter = QStringLiteral("vCard [*.vcf]|*.vcf;*.vcard|Vše|*.*");

void Tell(MainWindowPort* main, const QString& text, int icon = 0)
{
    ShowMessageDialogOver(main->window(), text, icon, 0);
}

ContactValues RowValues(const db::Query* q, int row)
{
    const auto at = [&](const char16_t* name) { return q->text(row, q->fieldIndex(name)); };
    ContactValues v;
    v.telefon = at(u"telefon");
    v.jmeno = at(u"jmeno");
    v.email = at(u"email");
    v.poznamka = at(u"poznamka");
    v.organizace = at(u"organizace");
    v.skupina = at(u"skupina");
    v.icq = at(u"icq");
    v.skype = at(u"skype");
    return v;
}

// Every dated note of the directory by contact, read once rather than once per contact.
QHash<QString, QList<DatedNote>> AllNotes(MainWindowPort* main)
{
    QHash<QString, QList<DatedNote>> notes;
    db::Query* q = main->workQuery();
    if (!OpenQuery(QStringLiteral("select id, dat, pozn from poznamky"), q))
        return notes;
    for (int row = 0; row < q->recordCount(); ++row) {
        QString text = q->text(row, 2);
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        notes[q->text(row, 0)].append({q->text(row, 1), text});
    }
    q->close();
    return notes;
}

QString Cut(const QString& value, int width, int* shortened)
{
    if (value.size() <= width)
        return value;
    ++*shortened;
    return value.left(width);
}

QString NewestId(db::Query* q)
{
    if (!OpenQuery(QStringLiteral("select max(id) as id from zvonisty"), q) || q->recordCount() == 0)
        return QString();
    return IdLiteral(q->fieldText(u"id"));
}

QString DatedNoteStatement(const QString& id, const DatedNote& note)
{
    QString text = note.text;
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    if (note.dat.isEmpty())
        return InsertNoteStatement(id, text);
    return QStringLiteral("insert into poznamky (id, pozn, dat) values (") + id + QStringLiteral(", '") +
           EscapeQuotes(text) + QStringLiteral("', '") + EscapeQuotes(note.dat) + QStringLiteral("')");
}

// Commits every few hundred rows or fifth of a second, so a long import keeps what it added,
// stays fast, and lets the window repaint between the groups.
class GroupedCommits
{
public:
    explicit GroupedCommits(db::Query* q) : m_q(q)
    {
        m_open = ExecQuery(QStringLiteral("begin"), m_q);
        m_clock.start();
    }
    ~GroupedCommits() { finish(); }
    void rowDone()
    {
        if (++m_rows < 500 && m_clock.elapsed() < 200)
            return;
        finish();
        QCoreApplication::processEvents();
        m_open = ExecQuery(QStringLiteral("begin"), m_q);
        m_rows = 0;
        m_clock.restart();
    }
    void finish()
    {
        if (m_open)
            ExecQuery(QStringLiteral("commit"), m_q);
        m_open = false;
    }

private:
    db::Query* m_q;
    bool m_open = false;
    int m_rows = 0;
    QElapsedTimer m_clock;
};

class CommandsOff
{
public:
    explicit CommandsOff(MainWindowPort* main) : m_main(main) { m_main->setCommandsEnabled(false); }
    ~CommandsOff() { m_main->setCommandsEnabled(true); }

private:
    MainWindowPort* m_main;
};

struct Tally
{
    int added = 0, present = 0, failed = 0, shortened = 0;
};

QString Summary(const Tally& t, const ReadResult& read)
{
    QString text = QStringLiteral("Import z vCard je hotov.\nPřidáno kontaktů: %1\nČísel již v DB: %2")
                       .arg(t.added)
                       .arg(t.present);
    if (t.failed > 0)
        text += QStringLiteral("\nNepřidáno kvůli chybě: %1").arg(t.failed);
    if (t.shortened > 0)
        text += QStringLiteral("\nZkrácených hodnot (delších, než pojme sloupec): %1").arg(t.shortened);
    if (read.badCards > 0)
        text += QStringLiteral("\nNečitelných vizitek: %1").arg(read.badCards);
    if (!read.badLines.isEmpty()) {
        QStringList first;
        for (qsizetype i = 0; i < read.badLines.size() && i < 5; ++i)
            first << QString::number(read.badLines.at(i));
        if (read.badLines.size() > 5)
            first << QStringLiteral("…");
        text += QStringLiteral("\nNečitelných řádků: %1 (řádek %2)")
                    .arg(read.badLines.size())
                    .arg(first.join(QStringLiteral(", ")));
    }
    return text;
}

} // namespace

QList<ContactValues> RowsOfCard(const Card& card, const QString& datum, int* shortened)
{
    int cut = 0;
    ContactValues v;
    v.jmeno = Cut(card.jmeno, 150, &cut);
    v.email = Cut(card.email, 50, &cut);
    v.poznamka = Cut(card.poznamka, 50, &cut);
    v.organizace = Cut(card.organizace, 100, &cut);
    v.skupina = Cut(card.skupina, 20, &cut);
    v.icq = Cut(card.icq, 15, &cut);
    v.skype = Cut(card.skype, 50, &cut);
    v.datum = datum;
    QList<ContactValues> rows;
    const QStringList phones = card.phones.isEmpty() ? QStringList{QString()} : card.phones;
    for (const QString& phone : phones) {
        v.telefon = FormatPhone(phone);
        rows.append(v);
    }
    if (shortened)
        *shortened += cut;
    return rows;
}

void ExportContacts(MainWindowPort* main, Version version)
{
    const db::Query* grid = main->gridQuery();
    if (!grid->isOpen())
        return;
    if (grid->recordCount() == 0) {
        Tell(main, QStringLiteral("Seznam neukazuje žádný kontakt, není co exportovat."));
        return;
    }
    bool all = false;
    if (grid->recordCount() > 1) {
        const int answer = ShowMessageDialogOver(
            main->window(),
            QStringLiteral("Exportovat všechny zobrazené kontakty (%1)?\nNe = jen vybraný kontakt.")
                .arg(grid->recordCount()),
            1, 2);
        if (answer == 2)
            return;
        all = answer == 0;
    }
    const QString path =
        FileDialog::getSaveFileName(main->window(), QString(), QString(), kFilter, QStringLiteral("vcf"));
    if (path.isEmpty())
        return;
    const QHash<QString, QList<DatedNote>> notes = AllNotes(main);
    QList<Contact> contacts;
    const int first = all ? 0 : grid->recNo() - 1;
    const int last = all ? grid->recordCount() - 1 : first;
    const int idField = grid->fieldIndex(u"id");
    for (int row = first; row <= last; ++row)
        contacts.append({RowValues(grid, row), notes.value(grid->text(row, idField))});
    QString why;
    if (!SafeWriteFile(path, WriteVCards(contacts, version), &why)) {
        Tell(main, QStringLiteral("Nelze vytvořit soubor vCard!\n") + why, 2);
        return;
    }
    Tell(main, QStringLiteral("Do souboru vCard bylo zapsáno kontaktů: %1").arg(contacts.size()));
}

void ImportContacts(MainWindowPort* main)
{
    if (!main->gridQuery()->isOpen())
        return;
    if (main->readOnly()) {
        Tell(main, QStringLiteral("Telefonní seznam je otevřen jen pro čtení."), 2);
        return;
    }
    const QString path = FileDialog::getOpenFileName(main->window(), QString(), QString(), kFilter);
    if (path.isEmpty())
        return;
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly)) {
        db::SearchIndex::ExpectWrites(main->connection(), file.size() / kBytesPerCard);
        bytes = file.readAll();
    }
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        Tell(main, QStringLiteral("Nelze otevřít soubor vCard!"), 2);
        return;
    }
    file.close();
    const ReadResult read = ReadVCards(bytes);
    const QString datum = DateText(QDate::currentDate());
    db::Query* q = main->workQuery();
    Tally tally;
    QStringList groups;
    {
        CommandsOff off(main);
        GroupedCommits commits(q);
        for (const Card& card : read.cards) {
            bool notesStored = false;
            for (const ContactValues& v : RowsOfCard(card, datum, &tally.shortened)) {
                if (!OpenQuery(DuplicateCheckStatement(v.telefon), q)) {
                    ++tally.failed;
                    continue;
                }
                if (q->recordCount() > 0) {
                    ++tally.present;
                    continue;
                }
                if (!ExecQuery(InsertContactStatement(v), q)) {
                    ++tally.failed;
                    continue;
                }
                ++tally.added;
                if (!v.skupina.isEmpty() && !groups.contains(v.skupina))
                    groups << v.skupina;
                // The dated notes go with the card's first row only.
                if (!notesStored && !card.notes.isEmpty()) {
                    notesStored = true;
                    const QString id = NewestId(q);
                    for (const DatedNote& note : card.notes)
                        if (!id.isEmpty())
                            ExecQuery(DatedNoteStatement(id, note), q);
                }
                commits.rowDone();
            }
        }
    }
    for (const QString& group : groups)
        main->addGroup(group);
    main->refreshGrid();
    Tell(main, Summary(tally, read));
}

} // namespace vcard
