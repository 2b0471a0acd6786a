#include "exchange/ListExport.h"

#include "db/contacts/Query.h"
#include "exchange/TextImport.h"
#include "formats/TextCodec.h"
#include "ui/FileDialog.h"
#include "ui/MainWindowPort.h"
#include "ui/MessageDialog.h"
#include "ui/SafeWrite.h"
#include "ui/Services.h"

namespace exchange {
namespace {

constexpr qsizetype kListedContacts = 10;

bool Carried(const QString& value)
{
    return !value.contains(QLatin1Char(';')) && !value.contains(QLatin1Char('\n')) &&
           !value.contains(QLatin1Char('\r'));
}

QString Describe(const QString& jmeno, const QString& telefon)
{
    return (jmeno.isEmpty() ? QStringLiteral("(bez jména)") : jmeno) + QStringLiteral(" (") + telefon +
           QLatin1Char(')');
}

QString RefusalQuestion(const QStringList& refused)
{
    QString text =
        QStringLiteral("Tyto kontakty obsahují středník, konec řádku nebo znak, který nelze zapsat "
                       "v kódování windows-1250, a do souboru se neuloží:");
    for (qsizetype i = 0; i < refused.size() && i < kListedContacts; ++i)
        text += QLatin1Char('\r') + refused.at(i);
    if (refused.size() > kListedContacts)
        text += QStringLiteral("\r... a dalších %1").arg(refused.size() - kListedContacts);
    return text + QStringLiteral("\rUložit ostatní kontakty?");
}

} // namespace

ExportedList BuildExport(const db::Query& rows)
{
    ExportedList list;
    if (!rows.isOpen())
        return list;
    int fields[db::kExportColumnCount];
    for (int c = 0; c < db::kExportColumnCount; ++c)
        fields[c] = rows.fieldIndex(db::ColumnName(*db::ColumnAt(&db::ContactColumn::exportPlace, c)));
    QStringList values;
    for (int row = 0; row < rows.recordCount(); ++row) {
        values.clear();
        bool carried = true;
        for (const int field : fields) {
            values << (field < 0 ? QString() : rows.text(row, field));
            carried = carried && Carried(values.last());
        }
        QByteArray line;
        if (carried && EncodeCp1250(values.join(QLatin1Char(';')) + QStringLiteral("\r\n"), &line)) {
            list.bytes += line;
            ++list.written;
        } else {
            list.refused << Describe(values.at(0), values.at(1));
        }
    }
    return list;
}

void ExportGridList(const Services& app)
{
    const QString path =
        FileDialog::getSaveFileName(app.window.window(), QStringLiteral("Uložit seznam do souboru"),
                                    QString(), QString::fromUtf8(kTextFileFilter), QStringLiteral("csv"));
    if (path.isEmpty())
        return;
    const ExportedList list = BuildExport(app.window.shownContacts());
    if (!list.refused.isEmpty() &&
        ShowMessageDialogOver(app.window.window(), RefusalQuestion(list.refused), 1, 1) != 0)
        return;
    QString why;
    if (!SafeWriteFile(path, list.bytes, &why)) {
        ShowMessageDialogOver(app.window.window(), QStringLiteral("Seznam se nepodařilo uložit.\r") + why, 2,
                              0);
        return;
    }
    QString done = QStringLiteral("Uloženo kontaktů: %1.").arg(list.written);
    if (!list.refused.isEmpty())
        done += QStringLiteral(" Vynecháno kontaktů: %1.").arg(list.refused.size());
    ShowMessageDialogOver(app.window.window(), done, 0, 0);
}

} // namespace exchange
