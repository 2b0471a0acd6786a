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
#include "ui/TextLimit.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QLocale>

namespace cards {
namespace {

// A card holds nine short lines; anything much larger is no card.
constexpr qint64 kCardLimit = 64 * 1024;

void Tell(MainWindowPort* main, const QString& text)
{
    ShowMessageDialogOver(main->window(), text, 0, 0);
}

// The fields and the character are named, so the user can mend the contact instead.
QString LossyQuestion(const EncodedCard& card)
{
    return QStringLiteral("Znak „%1“ v poli %2 nelze do vizitky (kódování windows-1250) zapsat.\n"
                          "Vytvořit vizitku přesto, s náhradním znakem místo takových znaků?")
        .arg(card.firstMissing, card.lossyFields.join(QStringLiteral(", ")));
}

} // namespace

void WriteSelectedCard(MainWindowPort* main)
{
    const auto contact = main->currentContact();
    if (!main->shownContacts().isOpen())
        return;
    // An existing card is replaced without a question.
    const QString chosen =
        FileDialog::getSaveFileName(main->window(), QString(), QString(), QString::fromUtf8(kCardFilter),
                                    QString(), FileDialog::ReplaceWithoutQuestion);
    if (chosen.isEmpty())
        return;
    const QString path = CardFileName(chosen);
    const EncodedCard card = EncodeCard(contact ? contact->values : ContactValues());
    const bool lossy = !card.lossyFields.isEmpty();
    if (lossy && ShowMessageDialogOver(main->window(), LossyQuestion(card), 1, 1) != 0)
        return;
    QString why;
    if (!SafeWriteFile(path, card.bytes, &why)) {
        Tell(main, QStringLiteral("Nelze vytvořit soubor vizitky!\r") + why);
        return;
    }
    if (lossy)
        Tell(main, QStringLiteral("Vizitka byla vytvořena. Znaky, které kódování windows-1250 nemá, "
                                  "jsou v ní nahrazeny náhradním znakem."));
    else
        Tell(main, QStringLiteral("Vizitka byla vytvořena."));
}

void ReadCardFile(MainWindowPort* main)
{
    if (!main->shownContacts().isOpen())
        return;
    if (main->readOnly()) {
        ShowMessageDialogOver(main->window(), QStringLiteral("Telefonní seznam je otevřen jen pro čtení."), 2,
                              0);
        return;
    }
    const QString path =
        FileDialog::getOpenFileName(main->window(), QString(), QString(), QString::fromUtf8(kCardFilter));
    if (path.isEmpty())
        return;
    if (const QString refusal = exchange::SpecialInputRefusal(path); !refusal.isEmpty()) {
        Tell(main, refusal);
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Tell(main, QStringLiteral("Nelze oteřít soubor vizitky!"));
        return;
    }
    if (file.size() > kCardLimit) {
        Tell(main, QStringLiteral("Soubor %1 je na vizitku příliš velký (%2 kB); vizitka má nejvýše %3 kB.")
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
        Tell(main, QStringLiteral("Nelze oteřít soubor vizitky!"));
        return;
    }
    ReadCard card = ParseCardBytes(bytes);
    if (!card.valid) {
        Tell(main, QStringLiteral("Nejedná se o platný soubor vizitky!"));
        return;
    }
    ContactValues& v = card.values;
    v.telefon = FormatPhone(v.telefon);
    if (const FieldFault fault = CheckFields(v)) {
        Tell(main, QStringLiteral("Vizitku nelze načíst (řádek %1): ").arg(card.lineOf(fault.field->member)) +
                       fault.text());
        return;
    }
    {
        const auto writing = main->directory().writer(db::BulkWriter::Kind::Card);
        db::BulkWriter& writer = *writing;
        const db::BulkWriter::Check check = writer.check(v.telefon);
        if (check == db::BulkWriter::Check::Failed)
            return;
        if (check == db::BulkWriter::Check::Present) {
            main->showNumberHolders(v.telefon);
            QCoreApplication::processEvents();
            Tell(main, QStringLiteral("Telefonní číslo ") + v.telefon + QStringLiteral(" již je v DB."));
            return;
        }
        v.datum = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
        // A failed insert has been shown already; claiming the card was read would contradict it.
        if (!writer.insert(v))
            return;
    }
    main->reloadGroups();
    Tell(main, QStringLiteral("Vizitka byla načtena."));
}

} // namespace cards
