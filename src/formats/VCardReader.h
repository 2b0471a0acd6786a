#pragma once

#include "formats/VCardWriter.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace vcard {

// What one card holds that the directory can keep.
// The number and date of the record stay empty: a card carries numbers in `phones`.
struct Card : ContactValues
{
    QStringList phones;     // every TEL with a number, in order, as written; a tel: URI without
                            // its scheme and separators, with its parameters
    QList<int> phoneLines;  // the line of each number's TEL
    QList<DatedNote> notes; // NOTEs after the first; dat empty when the note carries no date
    int line = 0;           // the line of its BEGIN
    QByteArray version;     // as its VERSION gives it
};

// The longest line, and the longest value of a property the directory keeps, in bytes: more is
// no contact but a damaged or foreign file, not to be held in memory.
constexpr qsizetype kLongestLine = 1 << 20;

struct ReadResult
{
    QList<Card> cards;
    int badCards = 0;    // begun but followed by another BEGIN, or holding nothing the directory keeps
    QList<int> badLines; // lines that are no content line, from 1
    int unendedLine = 0; // the BEGIN of the last card when the file ends inside it
    // Of each card left out for a line (or a kept value) longer than kLongestLine, that line;
    // such a line outside a card is a bad line.
    QList<int> overlongLines;
};

// Reads one or many cards of versions 2.1, 3.0 and 4.0: byte-order marks, folded lines,
// QUOTED-PRINTABLE with soft line breaks, CHARSET parameters (in 3.0 and 4.0 only for what is no
// UTF-8), group prefixes, and ICQ and Skype in the forms the big address books write them.
// Unknown properties are skipped. Lines end with CR LF, LF, CR, or CR CR LF as some phones write
// them. Control characters other than line breaks are dropped from the values: no stored value
// may hold what a statement or an edit cannot carry.
ReadResult ReadVCards(const QByteArray& bytes);

} // namespace vcard
