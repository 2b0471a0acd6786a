#pragma once

#include "formats/VCardReader.h"

namespace vcard {

// The directory's rows of one card: one per number (none when the card has no number), values
// cut to their columns' widths in characters; `shortened` counts the values cut.
QList<ContactValues> RowsOfCard(const Card& card, const QString& datum, int* shortened = nullptr);
// The card's numbers, whole, that the directory's column cannot hold (its row keeps them cut,
// a tel: URI's row without its parameters): for a note of the contact, so nothing is lost.
QStringList LongNumbers(const Card& card);

} // namespace vcard
