#pragma once

#include <QByteArray>
#include <QStringList>

struct Services;

namespace db {
class Query;
}

namespace exchange {

// The contacts as lines that the text import reads back: one line per row in the query's
// order, the import's seven columns, code page 1250, CR LF.
struct ExportedList
{
    QByteArray bytes;
    int written = 0;
    // The contacts left out: a value holds a ";", a line break or a character code page 1250
    // lacks, and would not come back as it is. Each as "jméno (telefon)".
    QStringList refused;
};
ExportedList BuildExport(const db::Query& rows);

// "Uložit seznam do souboru...": writes the contacts the grid shows.
void ExportGridList(const Services& app);

} // namespace exchange
