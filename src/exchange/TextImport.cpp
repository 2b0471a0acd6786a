#include "exchange/TextImport.h"

#include "db/contacts/BulkWriter.h"
#include "db/contacts/Directory.h"
#include "db/contacts/Query.h"
#include "db/engine/Columns.h"
#include "db/engine/ErrorText.h"
#include "db/engine/PhoneText.h"
#include "exchange/LineRefusals.h"
#include "formats/ImportLine.h"
#include "formats/InputFile.h"
#include "formats/TextCodec.h"
#include "ui/FileDialog.h"
#include "ui/LongOperation.h"
#include "ui/MainWindowPort.h"
#include "ui/MessageDialog.h"
#include "ui/Services.h"
#include "ui/TextLimit.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <climits>

namespace exchange {

const char* const kTextFileFilter = "*.csv (oddělený středníkem)|*.csv|Textový soubor [*.txt]|*.txt|Vše|*.*";

void ShowReadOnlyRefusal(const Services& app)
{
    ShowMessageDialogOver(app.window.window(),
                          QStringLiteral("Seznam je otevřen jen pro čtení, nelze do něj zapisovat."), 0, 0);
}

namespace {

// Far beyond any contact (the widest column holds 150 characters): such a line is passed over
// unread rather than held, however long it is.
constexpr qint64 kLineLimit = 1024 * 1024;

struct Counts
{
    int present = 0;
    bool stopped = false;
    // Why the directory took no more rows (a full disk), in Czech; empty when it never refused.
    QString failure;
    LineRefusals refusals;
};

// One phone of the line: the duplicate check, and the INSERT unless the number is present.
// A failed check skips the line's first phone but not a further one.
void AddPhone(db::BulkWriter& writer, const ContactValues& values, bool firstPhone, Counts& counts)
{
    switch (writer.check(values.telefon)) {
    case db::BulkWriter::Check::Present:
        ++counts.present;
        return;
    case db::BulkWriter::Check::Failed:
        if (firstPhone)
            return;
        break;
    case db::BulkWriter::Check::Absent:
        break;
    }
    writer.insert(values);
}

QString StatusText(int added, const Counts& counts)
{
    QString text =
        (!counts.failure.isEmpty() ? QStringLiteral("Načítání zastaveno kvůli chybě: %1 ").arg(counts.failure)
         : counts.stopped          ? QStringLiteral("Načítání přerušeno. ")
                                   : QStringLiteral("Načítání dokončeno. ")) +
        QStringLiteral("Přidáno záznamů: %1, čísel již v seznamu: %2").arg(added).arg(counts.present);
    if (counts.refusals.count() > 0)
        text += QStringLiteral(", odmítnutých řádků: %1").arg(counts.refusals.count());
    return text + QLatin1Char('.');
}

// What the reading needs to know first: the encoding and the number of lines, for the progress.
struct Survey
{
    TextEncoding encoding = TextEncoding::Cp1250;
    qint64 lines = 0;
};

bool SurveyFile(QFile& file, Survey* survey)
{
    EncodingSniffer sniffer;
    LineCounter counter;
    if (!ReadInPieces(file, [&](QByteArrayView piece) {
            sniffer.feed(piece);
            counter.feed(piece);
        }))
        return false;
    survey->encoding = sniffer.result();
    survey->lines = counter.lines();
    return file.seek(0);
}

ContactValues RowValues(const ImportLine& line, const QString& importDate)
{
    ContactValues values;
    values.telefon = line.telefon;
    values.jmeno = line.jmeno;
    values.email = line.email;
    values.poznamka = line.poznamka;
    values.organizace = line.organizace;
    values.icq = line.icq;
    values.skype = line.skype;
    values.datum = importDate;
    return values;
}

// The first value of the line its column cannot hold, a further number included.
FieldFault LineFault(const ImportLine& line, ContactValues values)
{
    FieldFault fault = CheckFields(values);
    for (qsizetype i = 0; !fault && i < line.furtherPhones.size(); ++i) {
        values.telefon = line.furtherPhones.at(i);
        fault = CheckFields(values);
    }
    return fault;
}

} // namespace

void ImportTextFile(const Services& app)
{
    if (app.window.readOnly()) {
        ShowReadOnlyRefusal(app);
        return;
    }
    const QString path = FileDialog::getOpenFileName(app.window.window(), QStringLiteral("Otevřít"),
                                                     QString(), QString::fromUtf8(kTextFileFilter));
    if (path.isEmpty())
        return;
    if (const QString refusal = SpecialInputRefusal(path); !refusal.isEmpty()) {
        ShowMessageDialogOver(app.window.window(), refusal, 0, 0);
        return;
    }
    if (!QFileInfo::exists(path))
        return;
    if (ShowMessageDialogOver(app.window.window(),
                              QStringLiteral("Opravdu načíst soubor ") + path + QStringLiteral(" ?"), 1,
                              1) != 0)
        return;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ShowErrorReport(QStringLiteral("Soubor %1 nelze otevřít: %2").arg(path, db::FileErrorText(file)));
        return;
    }
    Survey survey;
    if (!SurveyFile(file, &survey)) {
        ShowErrorReport(QStringLiteral("Soubor %1 nelze přečíst: %2").arg(path, db::FileErrorText(file)));
        return;
    }

    const QString importDate = DateText(QDate::currentDate());
    Counts counts;
    int added = 0;
    bool readFailed = false;
    {
        LongOperation operation(app, int(qMin<qint64>(survey.lines, INT_MAX)),
                                QStringLiteral("Načítání seznamu"));
        const auto writing = app.window.directory().writer(db::BulkWriter::Kind::Import);
        db::BulkWriter& writer = *writing;
        QStringDecoder decoder = LineDecoder(survey.encoding);
        LineStream stream(&file, kLineLimit);
        QByteArray bytes;
        bool gridOk = true;
        for (;;) {
            const LineStream::Result read = stream.next(&bytes);
            if (read == LineStream::Result::End)
                break;
            if (read == LineStream::Result::ReadError) {
                readFailed = counts.stopped = true;
                break;
            }
            const qint64 number = stream.lineNumber();
            if (read == LineStream::Result::TooLong) {
                counts.refusals.refuse(number, QStringLiteral("řádek je delší než 1 MB."));
            } else if (bytes.contains('\0')) {
                counts.refusals.refuse(number, QStringLiteral("obsahuje znak NUL, který nelze uložit."));
            } else {
                if (number == 1 && survey.encoding == TextEncoding::Utf8 && bytes.startsWith(Utf8Mark()))
                    bytes.remove(0, Utf8Mark().size());
                const ImportLine line = ParseImportLine(QString(decoder.decode(bytes)));
                ContactValues values = RowValues(line, importDate);
                if (const FieldFault fault = LineFault(line, values)) {
                    counts.refusals.refuse(number, fault.text());
                } else {
                    AddPhone(writer, values, true, counts);
                    for (const QString& phone : line.furtherPhones) {
                        values.telefon = phone;
                        AddPhone(writer, values, false, counts);
                    }
                }
            }
            operation.step(int(qMin<qint64>(number, INT_MAX)));
            if (!writer.commitIfDue())
                break;
            gridOk = operation.reopenGridIfDue(writer);
            if (!gridOk)
                break;
            if (operation.stopRequested()) {
                counts.stopped = number < survey.lines;
                break;
            }
        }
        if (gridOk)
            operation.reopenGrid(writer);
        // The last group's commit may be the one that fails.
        counts.failure = writer.stopReason();
        added = writer.added();
    }
    file.close();
    app.window.reloadGroups();
    app.status.show(StatusText(added, counts));
    if (readFailed)
        ShowErrorReport(QStringLiteral("Soubor %1 nelze dočíst: %2").arg(path, db::FileErrorText(file)));
    if (counts.refusals.count() > 0)
        ShowMessageDialogOver(app.window.window(), counts.refusals.text(), 0, 0);
}

} // namespace exchange
