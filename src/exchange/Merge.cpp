#include "exchange/Merge.h"

#include "db/Connection.h"
#include "db/Engine.h"
#include "db/Query.h"
#include "db/QueryOps.h"
#include "db/RecordStatements.h"
#include "db/SearchIndex.h"
#include "db/Upgrade.h"
#include "exchange/ContactWriter.h"
#include "exchange/LongOperation.h"
#include "exchange/TextImport.h"
#include "ui/FileDialog.h"
#include "ui/MainWindowPort.h"
#include "ui/MessageDialog.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>

namespace exchange {
namespace {

QString CanonicalOrAbsolute(const QFileInfo& info)
{
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

void Message(MainWindowPort* main, const QString& text)
{
    ShowMessageDialogOver(main->window(), text, 0, 0);
}

struct Result
{
    int taken = 0; // rows taken as new, whether or not their INSERT succeeded
    int present = 0;
    int added = 0;
    bool stopped = false;
    bool opened = false;
};

// The source rows, read once into the other query's snapshot.
Result CopyNewRows(MainWindowPort* main, db::Query& source, int version)
{
    Result result;
    const QString mergeDate = DateText(QDate::currentDate());
    if (!OpenQuery(QStringLiteral("select * from zvonisty"), &source))
        return result;
    result.opened = true;
    const bool withIcqSkype = version > 1;
    const int fTelefon = source.fieldIndex(u"telefon");
    const int fJmeno = source.fieldIndex(u"jmeno");
    const int fEmail = source.fieldIndex(u"email");
    const int fPoznamka = source.fieldIndex(u"poznamka");
    const int fOrganizace = source.fieldIndex(u"organizace");
    const int fSkupina = source.fieldIndex(u"skupina");
    const int fIcq = source.fieldIndex(u"icq");
    const int fSkype = source.fieldIndex(u"skype");
    // A column the other file lacks reads as an empty text.
    auto text = [&source](int row, int field) { return field < 0 ? QString() : source.text(row, field); };
    auto utf8 = [&source](int row, int field) {
        return field < 0 ? QByteArrayView("") : source.utf8(row, field);
    };
    const QByteArray mergeDateUtf8 = mergeDate.toUtf8();

    const int rows = source.recordCount();
    db::SearchIndex::ExpectWrites(main->connection(), rows);
    LongOperation operation(main, rows, QStringLiteral("Přidávání z jiné DB"));
    ContactWriter writer(main->connection(), main->workQuery(),
                         withIcqSkype ? ContactWriter::Kind::MergeWithIcqSkype : ContactWriter::Kind::Merge);
    for (int row = 0; row < rows; ++row) {
        // The values go from file to file as the engine holds them; the first one read of a
        // row brings it in, so the views of the others stay valid.
        const QByteArrayView telefon = utf8(row, fTelefon);
        if (writer.check(telefon) == ContactWriter::Check::Present) {
            ++result.present;
        } else {
            ++result.taken;
            const ContactWriter::MergedValues values{telefon,
                                                     utf8(row, fJmeno),
                                                     utf8(row, fEmail),
                                                     utf8(row, fPoznamka),
                                                     mergeDateUtf8,
                                                     utf8(row, fOrganizace),
                                                     utf8(row, fSkupina),
                                                     withIcqSkype ? utf8(row, fIcq) : QByteArrayView(""),
                                                     withIcqSkype ? utf8(row, fSkype) : QByteArrayView("")};
            writer.insert(values, [&] {
                ContactValues v;
                v.telefon = text(row, fTelefon);
                v.jmeno = text(row, fJmeno);
                v.email = text(row, fEmail);
                v.poznamka = text(row, fPoznamka);
                v.datum = mergeDate;
                v.organizace = text(row, fOrganizace);
                v.skupina = text(row, fSkupina);
                if (withIcqSkype) {
                    v.icq = text(row, fIcq);
                    v.skype = text(row, fSkype);
                }
                return v;
            });
        }
        operation.step(row + 1);
        if (!writer.commitIfDue())
            break;
        if (operation.stopRequested() && row + 1 < rows) {
            result.stopped = true;
            break;
        }
    }
    writer.commit();
    result.added = writer.added();
    return result;
}

} // namespace

bool IsDirectoryInUse(const QString& chosen, const QString& openFile, const QString& executableDir)
{
    const QFileInfo info(chosen);
    if (!openFile.isEmpty() && CanonicalOrAbsolute(info) == openFile)
        return true;
    const QString folder = CanonicalOrAbsolute(QFileInfo(info.absolutePath())) + QLatin1Char('/');
    const QString exeFolder = CanonicalOrAbsolute(QFileInfo(executableDir)) + QLatin1Char('/');
    return info.fileName().toUpper() == QLatin1String("ZVONISTY.MDB") &&
           folder.toUpper() == exeFolder.toUpper();
}

// Read only as well as exclusive: the merge takes rows from the other file and never writes into
// it (no indexes, no close marker, no rebuild of another program's tables).
QString OtherDirectoryConnectionString(const QString& path)
{
    return QStringLiteral("Provider=SQLite.3;Password=\"\";Data Source=") + path +
           QStringLiteral(";Mode=Read|Share Deny Read|Share Deny Write;Persist Security Info=True");
}

void MergeOtherDirectory(MainWindowPort* main, const QString& executableDir)
{
    if (main->readOnly()) {
        ShowReadOnlyRefusal(main);
        return;
    }
    // A missing file is told below in the merge's own words.
    const QString path = FileDialog::getOpenFileName(main->window(), QStringLiteral("Otevřít"), QString(),
                                                     QStringLiteral("Databáze Access|*.mdb"),
                                                     FileDialog::MissingFileLetThrough);
    if (path.isEmpty())
        return;
    if (IsDirectoryInUse(path, main->directoryFilePath(), executableDir)) {
        Message(main, QStringLiteral("Nelze načítat používaný soubor!"));
        return;
    }
    if (!QFileInfo::exists(path)) {
        Message(main, QStringLiteral("Nebyl Nalezen srovnávaný soubor ") + path);
        return;
    }

    Result result;
    {
        // Opened for this merge only: the other file is free again as soon as it ends.
        db::Connection other;
        other.setConnectionString(OtherDirectoryConnectionString(path));
        try {
            other.open();
        } catch (const db::EngineError& error) {
            Message(main, QStringLiteral("Soubor nelze otevřít jako databázi telefonního seznamu:\r") +
                              error.message());
            return;
        }
        db::Query source(&other);
        result = CopyNewRows(main, source, ReadStructureVersion(&source));
    }
    if (!result.opened)
        return;

    if (result.stopped)
        Message(main, QStringLiteral("Přidávání bylo přerušeno. Počet přidaných položek: ") +
                          QString::number(result.taken));
    else if (result.taken == 0)
        Message(main, QStringLiteral("Porovnávaný soubor je identický."));
    else
        Message(main, QStringLiteral("Počet přidaných položek: ") + QString::number(result.taken));
    if (result.taken > 0)
        main->reopenGrid();
    main->showStatus(QStringLiteral("Přidáno záznamů: %1, čísel již v seznamu: %2.")
                         .arg(result.added)
                         .arg(result.present));
}

} // namespace exchange
