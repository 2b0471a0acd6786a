#pragma once

#include "db/engine/Columns.h"
#include "formats/CsvReader.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace csv {

// What a column of the file holds for the directory.
enum class Field { Unused, Name, GivenName, FamilyName, Phone, Email, Note, Organization, Group, Icq, Skype };

// The fields a column may be given, in the order the mapping dialog offers them: "nepoužít",
// the directory's fields as the detail dialog labels them, and the two parts of a name.
const QList<Field>& OfferedFields();
QString FieldTitle(Field field);

// A field for every column of the file, in the columns' order.
using Mapping = QList<Field>;

// A known export recognised by its header row, and its columns mapped.
struct Recognition
{
    QString source; // "export z Google Contacts"; empty when nothing was recognised
    Mapping mapping;
    explicit operator bool() const { return !source.isEmpty(); }
};
Recognition RecogniseExport(const QStringList& header);

// The layout of a file that starts with `head` (`whole`: the head is all of it); `utf8` is the
// text import's verdict on the whole file. The first row is a header when it names a known
// export's columns, or when it holds no number or address while the next row does.
Layout RecogniseLayout(QByteArrayView head, bool whole, bool utf8);

// A mapping as the settings keep it, and back; a mapping read for fewer columns is filled up
// with unused ones.
QString MappingText(const Mapping& mapping);
Mapping MappingFromText(const QString& text, qsizetype columns);
// The settings key of a mapping remembered for a header row.
QString HeaderKey(const QStringList& header);
inline constexpr char kSettingsSection[] = "CSV";

// The directory's rows of one row of the file: one per number, none without a number. Several
// values in one cell are joined by " ::: " (Google's export): every number is taken, of the
// other fields the first value. The name is composed as the directory keeps it, "Příjmení
// Jméno", and is the display name when there is no family name. Numbers are grouped as the text
// import groups them, whole, so a number too long for its column refuses its row.
QList<ContactValues> ContactsOfRow(const QStringList& cells, const Mapping& mapping, const QString& datum);

} // namespace csv
