#pragma once

#include "db/engine/Columns.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// vCard files as phones, mail programs and web address books exchange them (RFC 2426, RFC 6350).
namespace vcard {

// One of the dated notes of a contact: when it was stored, and its text.
struct DatedNote
{
    QString dat;
    QString text;
    bool operator==(const DatedNote&) const = default;
};

struct Contact
{
    ContactValues values; // datum is not carried
    QList<DatedNote> notes;
    QStringList furtherPhones; // written as TELs after values.telefon
};

// The directory keeps one row per number; the rows of one person (the same name, e-mail,
// organisation, note, group, ICQ and Skype, as an import makes them of one card) become one
// contact with all their numbers and notes, in the order of its first row.
QList<Contact> OneCardPerPerson(const QList<Contact>& rows);

enum class Version { V30, V40 };

// The contacts as vCards in UTF-8, every line ended by CR LF and folded at 75 octets.
QByteArray WriteVCards(const QList<Contact>& contacts, Version version = Version::V30);

// Escapes a text value: backslash, comma, semicolon and line breaks.
QString EscapeValue(const QString& text);
// Folds one content line (without its line end) into lines of at most 75 octets, never inside
// a UTF-8 character; continuation lines start with a blank.
QByteArray FoldLine(const QByteArray& line);

// How a dated note's date stands as the first line of its NOTE, so a reader can tell it apart.
bool IsNoteDate(const QString& text);

} // namespace vcard
