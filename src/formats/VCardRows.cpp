#include "formats/VCardRows.h"

#include "db/engine/Columns.h"
#include "db/engine/PhoneText.h"

namespace vcard {
namespace {

// The value cut to `width` characters as the engine counts them (code points), never inside one.
QString Cut(const QString& value, int width, int* shortened)
{
    qsizetype units = 0;
    for (int n = 0; n < width; ++n) {
        if (units == value.size())
            return value;
        units += value.at(units).isHighSurrogate() && units + 1 < value.size() ? 2 : 1;
    }
    if (units == value.size())
        return value;
    ++*shortened;
    return value.left(units);
}

} // namespace

QList<ContactValues> RowsOfCard(const Card& card, const QString& datum, int* shortened)
{
    int cut = 0;
    ContactValues v;
    for (QString ContactValues::*member :
         {&ContactValues::jmeno, &ContactValues::email, &ContactValues::poznamka, &ContactValues::organizace,
          &ContactValues::skupina, &ContactValues::icq, &ContactValues::skype})
        v.*member = Cut(card.*member, db::ColumnOf(member).width, &cut);
    v.datum = datum;
    QList<ContactValues> rows;
    for (const QString& phone : card.phones) {
        // A tel: URI's parameters (an extension) stay where the column has room for them.
        const qsizetype params = phone.indexOf(QLatin1Char(';'));
        v.telefon = FormatPhone(params > 0 && !PhoneFits(phone) ? phone.left(params) : phone);
        rows.append(v);
    }
    if (shortened)
        *shortened += cut;
    return rows;
}

QStringList LongNumbers(const Card& card)
{
    QStringList whole;
    for (const QString& phone : card.phones)
        if (!PhoneFits(phone))
            whole << phone;
    return whole;
}

} // namespace vcard
