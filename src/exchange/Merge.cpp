#include "exchange/Merge.h"

#include "db/contacts/BulkWriter.h"
#include "db/contacts/ContactRows.h"
#include "db/contacts/Directory.h"
#include "db/contacts/Query.h"
#include "db/contacts/Upgrade.h"
#include "db/engine/Connection.h"
#include "db/engine/Engine.h"
#include "db/engine/ErrorLog.h"
#include "db/engine/FailureReporter.h"
#include "db/engine/FileState.h"
#include "db/oldfiles/JetConversion.h"
#include "exchange/TextImport.h"
#include "formats/InputFile.h"
#include "ui/FileDialog.h"
#include "ui/LongOperation.h"
#include "ui/MainWindowPort.h"
#include "ui/MessageDialog.h"
#include "ui/Services.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <array>

#include <optional>

namespace exchange {
namespace {

QString CanonicalOrAbsolute(const QFileInfo& info)
{
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

void Message(const Services& app, const QString& text)
{
    ShowMessageDialogOver(app.window.window(), text, 0, 0);
}

// A Czech sentence as the continuation of another: its first letter small, one full stop.
QString Continuation(QString sentence)
{
    if (!sentence.isEmpty())
        sentence[0] = sentence.at(0).toLower();
    if (!sentence.endsWith(QLatin1Char('.')))
        sentence += QLatin1Char('.');
    return sentence;
}

struct Result
{
    int taken = 0; // rows taken as new, whether or not their INSERT succeeded
    int present = 0;
    int added = 0;
    bool interrupted = false;
    bool opened = false;
    bool damaged = false;
    QString stopReason; // why the merge stopped before the last row; empty when it did not
};

// Whether the check found the file sound; nothing is kept otherwise. Logs the finding.
bool Sound(db::IntegrityCheckBeside& check)
{
    QString finding;
    if (check.passed(&finding))
        return true;
    WriteErrorLog(QStringLiteral("pragma quick_check: ") + finding);
    return false;
}

// Copies the rows while `check` reads the file beside: nothing is committed before it has found
// the file sound, and nothing is kept when it has not.
Result CopyNewRows(const Services& app, const db::Connection& other, int version,
                   db::IntegrityCheckBeside* check)
{
    Result result;
    const QString mergeDate = DateText(QDate::currentDate());
    db::ContactRows source(other);
    if (!source.prepared()) {
        source.reportUnprepared();
        return result;
    }
    result.opened = true;
    const bool withIcqSkype = version > 1;
    // The source's field of each column in the table's order; -1 for the date, which is the
    // merge's own, and for a column the source's structure does not have.
    std::array<int, db::kContactColumnCount> fields{};
    for (int c = 0; c < db::kContactColumnCount; ++c) {
        const db::ContactColumn& column = db::kContactColumns[c];
        fields[size_t(c)] = column.member == &ContactValues::datum || column.since > qMax(version, 1)
                                ? -1
                                : source.field(column.name);
    }
    const int fTelefon = fields[size_t(&db::ColumnOf(&ContactValues::telefon) - db::kContactColumns)];
    const QByteArray mergeDateUtf8 = mergeDate.toUtf8();

    const int rows = source.count();
    LongOperation operation(app, rows, QStringLiteral("Přidávání z jiné DB"));
    const auto writing = app.window.directory().writer(withIcqSkype ? db::BulkWriter::Kind::MergeWithIcqSkype
                                                                    : db::BulkWriter::Kind::Merge);
    db::BulkWriter& writer = *writing;
    if (check)
        writer.holdCommits();
    auto settle = [&] {
        result.damaged = !Sound(*check);
        writer.releaseCommits(!result.damaged);
        check = nullptr;
    };
    for (int row = 0;; ++row) {
        if (check && check->finished()) {
            settle();
            if (result.damaged)
                break;
        }
        const db::ContactRows::Step step = source.next();
        if (step == db::ContactRows::Step::End)
            break;
        if (step == db::ContactRows::Step::Failed) {
            source.logFailedStep();
            result.stopReason = QStringLiteral("položku srovnávaného souboru nelze přečíst (%1)")
                                    .arg(Continuation(source.failure()).chopped(1)) +
                                QLatin1Char('.');
            break;
        }
        // The values go from file to file as the engine holds them.
        const QByteArrayView telefon = source.utf8(fTelefon);
        if (writer.check(telefon) == db::BulkWriter::Check::Present) {
            ++result.present;
        } else {
            ++result.taken;
            db::BulkWriter::MergedValues values;
            for (size_t c = 0; c < values.size(); ++c)
                values[c] = fields[c] >= 0 ? source.utf8(fields[c]) : QByteArrayView();
            values[size_t(&db::ColumnOf(&ContactValues::datum) - db::kContactColumns)] = mergeDateUtf8;
            writer.insert(values, [&] {
                ContactValues v;
                for (int c = 0; c < db::kContactColumnCount; ++c)
                    if (fields[size_t(c)] >= 0)
                        db::ValueOf(v, db::kContactColumns[c]) = source.text(fields[size_t(c)]);
                v.datum = mergeDate;
                return v;
            });
        }
        operation.step(qMin(row + 1, rows));
        if (!writer.commitIfDue())
            break;
        if (operation.stopRequested() && row + 1 < rows) {
            result.interrupted = true;
            break;
        }
    }
    if (check) {
        while (!check->finished(20))
            operation.step(rows);
        settle();
    }
    writer.commit();
    if (result.stopReason.isEmpty() && writer.stopped())
        result.stopReason = Continuation(writer.stopReason());
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
// it (no indexes, no close marker, no rebuild of another program's tables). The file itself is
// given to the connection apart, as a path: a ";" in it would end the data source here.
QString OtherDirectoryConnectionString()
{
    return QStringLiteral("Provider=SQLite.3;Password=\"\";Mode=Read|Share Deny Read|Share Deny "
                          "Write;Persist Security Info=True");
}

void MergeOtherDirectory(const Services& app, const QString& executableDir)
{
    if (app.window.readOnly()) {
        ShowReadOnlyRefusal(app);
        return;
    }
    // A missing file is told below in the merge's own words.
    const QString path = FileDialog::getOpenFileName(app.window.window(), QStringLiteral("Otevřít"),
                                                     QString(), QStringLiteral("Databáze Access|*.mdb"),
                                                     FileDialog::MissingFileLetThrough);
    if (path.isEmpty())
        return;
    // Before anything opens it: a pipe would block the window and a device never end.
    if (const QString refusal = SpecialInputRefusal(path); !refusal.isEmpty()) {
        Message(app, refusal);
        return;
    }
    if (IsDirectoryInUse(path, app.window.directoryFilePath(), executableDir)) {
        Message(app, QStringLiteral("Nelze načítat používaný soubor!"));
        return;
    }
    if (!QFileInfo::exists(path)) {
        Message(app, QStringLiteral("Nebyl Nalezen srovnávaný soubor ") + path);
        return;
    }

    // A file of the earlier Windows versions is read into a temporary file first, and merged
    // from there as any other; the temporary file goes when the merge ends.
    QTemporaryDir converted;
    QString source = path;
    if (db::IsJetFile(path)) {
        QString why = QStringLiteral("Dočasnou složku nelze vytvořit.");
        source = converted.filePath(QStringLiteral("Zvonisty.mdb"));
        bool ok = false;
        if (converted.isValid()) {
            LongOperation operation(app, 1, QStringLiteral("Načítání souboru starší verze"));
            ok = db::ConvertJetFile(path, source, nullptr, &why, [&operation] { operation.step(0); });
        }
        if (!ok) {
            Message(app, QStringLiteral("Soubor starší verze programu nelze načíst: ") + why +
                             QStringLiteral(" Nebyla přidána žádná položka."));
            return;
        }
    }

    Result result;
    {
        // Opened for this merge only: the other file is free again as soon as it ends.
        db::Connection other;
        other.setConnectionString(OtherDirectoryConnectionString());
        other.setCheckedByReader(true);
        other.setFilePath(source);
        try {
            other.open();
        } catch (const db::EngineError& error) {
            // A refusal that already says the file is no directory is not said twice.
            const QString why = error.message();
            Message(app,
                    why.startsWith(QStringLiteral("Soubor není databází telefonního seznamu"))
                        ? why
                        : QStringLiteral("Soubor nelze otevřít jako databázi telefonního seznamu:\r") + why);
            return;
        }
        // Checked whole before a row is kept: a damaged file gives some of its rows, and empty
        // ones, in place of others, and nothing of it is taken. The check reads the file beside
        // the copying, which keeps what it wrote uncommitted until the file is found sound.
        std::optional<db::IntegrityCheckBeside> check;
        if (other.access() != db::Connection::Access::ReadOnlyDamaged && !other.checkedIntegrity())
            check.emplace(other.handle());
        if (other.access() != db::Connection::Access::ReadOnlyDamaged) {
            int version = 1;
            {
                db::Query versionQuery(&other);
                version = ReadStructureVersion(&versionQuery);
            }
            result = CopyNewRows(app, other, version, check ? &*check : nullptr);
        }
        if (other.access() == db::Connection::Access::ReadOnlyDamaged || result.damaged) {
            Message(app,
                    QStringLiteral("Srovnávaný soubor je poškozen, nebyla z něj přidána žádná položka."));
            return;
        }
    }
    if (!result.opened)
        return;

    const QString count = QStringLiteral("Počet přidaných položek: ") + QString::number(result.added);
    QString outcome;
    if (!result.stopReason.isEmpty())
        outcome = QStringLiteral("Přidávání bylo zastaveno: ") + result.stopReason + QLatin1Char(' ');
    else if (result.interrupted)
        outcome = QStringLiteral("Přidávání bylo přerušeno. ");
    if (!outcome.isEmpty())
        Message(app, outcome + count);
    else if (result.taken == 0)
        Message(app, QStringLiteral("Porovnávaný soubor je identický."));
    else
        Message(app, count);
    if (result.added > 0) {
        app.window.reopenGrid();
        app.window.reloadGroups();
    }
    app.status.show(outcome + QStringLiteral("Přidáno záznamů: %1, čísel již v seznamu: %2.")
                                  .arg(result.added)
                                  .arg(result.present));
}

} // namespace exchange
