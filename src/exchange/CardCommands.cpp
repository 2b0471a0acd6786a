#include "exchange/CardCommands.h"

#include "db/contacts/BulkWriter.h"
#include "db/contacts/Directory.h"
#include "db/contacts/Query.h"
#include "db/engine/Columns.h"
#include "db/engine/PhoneText.h"
#include "formats/CardFormat.h"
#include "formats/InputFile.h"
#include "ui/FileDialog.h"
#include "ui/MainWindowPort.h"
#include "ui/MessageDialog.h"
#include "ui/SafeWrite.h"
#include "ui/Services.h"
#include "ui/TextLimit.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QLocale>

namespace cards {
namespace {

// A card holds nine short lines; anything much larger is no card.
constexpr qint64 kCardLimit = 64 * 1024;

void Tell(const Services& app, const QString& text)
{
    ShowMessageDialogOver(app.window.window(), text, 0, 0);
}

// The fields and the character are named, so the user can mend the contact instead.
QString LossyQuestion(const EncodedCard& card)
{
    return QStringLiteral("Znak „%1“ v poli %2 nelze do vizitky (kódování windows-1250) zapsat.\n"
                          "Vytvořit vizitku přesto, s náhradním znakem místo takových znaků?")
        .arg(card.firstMissing, card.lossyFields.join(QStringLiteral(", ")));
}

} // namespace

void WriteSelectedCard(const Services& app)
{
    const auto contact = app.selection.selected();
    if (!app.window.shownContacts().isOpen())
        return;
    // An existing card is replaced without a question.
    const QString chosen =
        FileDialog::getSaveFileName(app.window.window(), QString(), QString(), QString::fromUtf8(kCardFilter),
                                    QString(), FileDialog::ReplaceWithoutQuestion);
    if (chosen.isEmpty())
        return;
    const QString path = CardFileName(chosen);
    const EncodedCard card = EncodeCard(contact ? contact->values : ContactValues());
    const bool lossy = !card.lossyFields.isEmpty();
    if (lossy && ShowMessageDialogOver(app.window.window(), LossyQuestion(card), 1, 1) != 0)
        return;
    QString why;
    if (!SafeWriteFile(path, card.bytes, &why)) {
        Tell(app, QStringLiteral("Nelze vytvořit soubor vizitky!\r") + why);
        return;
    }
    if (lossy)
        Tell(app, QStringLiteral("Vizitka byla vytvořena. Znaky, které kódování windows-1250 nemá, "
                                 "jsou v ní nahrazeny náhradním znakem."));
    else
        Tell(app, QStringLiteral("Vizitka byla vytvořena."));
}

void ReadCardFile(const Services& app)
{
    if (!app.window.shownContacts().isOpen())
        return;
    if (app.window.readOnly()) {
        ShowMessageDialogOver(app.window.window(),
                              QStringLiteral("Telefonní seznam je otevřen jen pro čtení."), 2, 0);
        return;
    }
    const QString path = FileDialog::getOpenFileName(app.window.window(), QString(), QString(),
                                                     QString::fromUtf8(kCardFilter));
    if (path.isEmpty())
        return;
    if (const QString refusal = exchange::SpecialInputRefusal(path); !refusal.isEmpty()) {
        Tell(app, refusal);
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Tell(app, QStringLiteral("Nelze oteřít soubor vizitky!"));
        return;
    }
    if (file.size() > kCardLimit) {
        Tell(app, QStringLiteral("Soubor %1 je na vizitku příliš velký (%2 kB); vizitka má nejvýše %3 kB.")
                      .arg(path)
                      .arg(file.size() / 1024)
                      .arg(kCardLimit / 1024));
        return;
    }
    // At most the limit, should the file grow meanwhile.
    const QByteArray bytes = file.read(kCardLimit);
    const bool readFailed = file.error() != QFileDevice::NoError;
    file.close();
    if (readFailed) {
        Tell(app, QStringLiteral("Nelze oteřít soubor vizitky!"));
        return;
    }
    ReadCard card = ParseCardBytes(bytes);
    if (!card.valid) {
        Tell(app, QStringLiteral("Nejedná se o platný soubor vizitky!"));
        return;
    }
    ContactValues& v = card.values;
    v.telefon = FormatPhone(v.telefon);
    if (const FieldFault fault = CheckFields(v)) {
        Tell(app, QStringLiteral("Vizitku nelze načíst (řádek %1): ").arg(card.lineOf(fault.field->member)) +
                      fault.text());
        return;
    }
    {
        const auto writing = app.window.directory().writer(db::BulkWriter::Kind::Card);
        db::BulkWriter& writer = *writing;
        const db::BulkWriter::Check check = writer.check(v.telefon);
        if (check == db::BulkWriter::Check::Failed)
            return;
        if (check == db::BulkWriter::Check::Present) {
            app.window.showNumberHolders(v.telefon);
            QCoreApplication::processEvents();
            Tell(app, QStringLiteral("Telefonní číslo ") + v.telefon + QStringLiteral(" již je v DB."));
            return;
        }
        v.datum = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
        // A failed insert has been shown already; claiming the card was read would contradict it.
        if (!writer.insert(v))
            return;
    }
    app.window.reloadGroups();
    Tell(app, QStringLiteral("Vizitka byla načtena."));
}

} // namespace cards
