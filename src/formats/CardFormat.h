#pragma once

#include "db/engine/Columns.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The contact card file (.viz): nine lines "[Vizitka]", "telefon=...", ... "skype=...",
// code page 1250, every line ended by CR LF. Pure text and bytes; no files, no windows.
namespace cards {

inline constexpr char kCardFilter[] = "Vizitka telefonů [*.viz]|*.viz";

// The name a card is written under: ".viz" is appended unless the name already ends in it
// (case ignored); "karta.txt" becomes "karta.txt.viz".
QString CardFileName(const QString& chosen);

// The card's text, datum left out.
QString CardText(const ContactValues& values);

struct EncodedCard
{
    QByteArray bytes;
    // The fields (as the user knows them) holding a character code page 1250 lacks, and the first
    // such character; empty when the card is encoded faithfully.
    QStringList lossyFields;
    QString firstMissing;
};
EncodedCard EncodeCard(const ContactValues& values);

struct ReadCard
{
    bool valid = false; // the first line is exactly "[Vizitka]"
    ContactValues values;
    // The line (from 1) that gave the value; 0 for a value no line gave.
    int lineOf(QString ContactValues::*field) const;
    QList<QPair<QString ContactValues::*, int>> lines;
};

// Reads a card's text. A key counts only at the start of its line; a later line of the same key
// overrides an earlier one; lines without a key are ignored. The number is returned as written.
ReadCard ParseCard(const QString& text);
// The card's bytes in code page 1250 (or UTF-8, when they are recognised as such).
ReadCard ParseCardBytes(const QByteArray& bytes);

} // namespace cards
