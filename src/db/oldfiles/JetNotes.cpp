#include "db/oldfiles/JetNotes.h"

#include <cstring>

namespace db {
namespace {

// Where a long value's pointer leads: a row of a page of long values, within the page.
bool LongValueRow(MdbHandle* mdb, quint32 pointer, unsigned char** page, int* start, size_t* length)
{
    // Page 0 is the file's header; libmdb would read a "row" of it.
    if ((pointer >> 8) == 0)
        return false;
    void* buffer = nullptr;
    if (mdb_find_pg_row(mdb, int(pointer), &buffer, start, length) != 0)
        return false;
    *page = static_cast<unsigned char*>(buffer);
    const size_t pageSize = mdb->fmt->pg_size;
    const unsigned rows = quint16(mdb_get_int16(buffer, mdb->fmt->row_count_offset));
    *start &= 0x1fff;
    return (*page)[0] == 0x01 && std::memcmp(*page + 4, "LVAL", 4) == 0 && (pointer & 0xff) < rows &&
           *length <= pageSize && size_t(*start) + *length <= pageSize;
}

} // namespace

bool MemoIsWhole(MdbHandle* mdb, int fieldStart, int fieldSize)
{
    if (fieldSize == 0)
        return true; // an empty text
    if (fieldSize < MDB_MEMO_OVERHEAD)
        return false;
    const quint32 header = quint32(mdb_get_int32(mdb->pg_buf, fieldStart));
    const quint32 declared = header & 0xffffff;
    quint32 pointer = quint32(mdb_get_int32(mdb->pg_buf, fieldStart + 4));
    unsigned char* page = nullptr;
    int start = 0;
    size_t length = 0;
    switch (header >> 24) {
    case 0x80: // in the row itself
        return quint32(fieldSize - MDB_MEMO_OVERHEAD) == declared;
    case 0x40: // one row of long values
        return LongValueRow(mdb, pointer, &page, &start, &length) && length == declared;
    case 0x00: { // a chain of rows, each starting with the place of the next
        quint64 total = 0;
        while (pointer != 0) {
            // Every row adds data, so a chain that runs in a circle ends past the length.
            if (!LongValueRow(mdb, pointer, &page, &start, &length) || length <= 4)
                return false;
            total += length - 4;
            if (total > declared)
                return false;
            pointer = quint32(mdb_get_int32(page, start));
        }
        return total == declared;
    }
    default:
        return false;
    }
}

} // namespace db
