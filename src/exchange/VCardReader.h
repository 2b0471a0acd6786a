#pragma once

#include "exchange/VCardWriter.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace vcard {

// What one card holds that the directory can keep.
struct Card
{
    QStringList phones; // every TEL, in order, as written
    QString jmeno, email, poznamka, organizace, skupina, icq, skype;
    QList<DatedNote> notes; // NOTEs after the first; dat empty when the note carries no date
    int line = 0;           // the line of its BEGIN
};

struct ReadResult
{
    QList<Card> cards;
    int badCards = 0;    // begun but never ended, or holding nothing the directory keeps
    QList<int> badLines; // lines that are no content line, from 1
};

// Reads one or many cards of versions 2.1, 3.0 and 4.0: byte-order marks, folded lines,
// QUOTED-PRINTABLE with soft line breaks, CHARSET parameters, group prefixes, and ICQ and Skype
// in the forms the big address books write them. Unknown properties are skipped.
ReadResult ReadVCards(const QByteArray& bytes);

} // namespace vcard
