#pragma once

#include "db/engine/Columns.h"
#include "formats/VCardReader.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The cards of a synchronised directory: the rows of one person become one card, and a card
// kept from the server is edited in place, so what the program does not show (photos,
// addresses, birthdays, UID, X- properties) survives a round trip.
namespace synchro {

// The directory's rows of a card from the server: one per number, and one without a number for
// a card that has none.
QList<ContactValues> CardRows(const vcard::Card& card, const QString& datum);
// The rows of one card as one contact: the first row's values and every row's number.
vcard::Contact PersonOf(const QList<ContactValues>& rows);
// What a change of the card's rows changes: the values and numbers the card carries.
QString Fingerprint(const QList<ContactValues>& rows);

// A new card (vCard 3.0) with its UID.
QByteArray NewCard(const vcard::Contact& person, const QString& uid);
// The card from the server with the values the directory keeps replaced by the person's; a
// property is touched only where its value differs from what the directory read from it.
// Every line not changed keeps its bytes; a changed number keeps its TEL's parameters, group
// and place, and a new line is written in the card's version.
QByteArray EditCard(const QByteArray& original, const vcard::Contact& person);

} // namespace synchro
