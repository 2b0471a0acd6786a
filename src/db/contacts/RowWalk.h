#pragma once

#include <QByteArrayView>

namespace db {

class Query;

// The rows of an open query, each read once from the first to the last and none of them kept:
// a printout of a large directory holds one row at a time. The rows the query has read already
// come from it, the rest from a statement of the walk's own, so that the query (the grid's)
// does not grow by every row walked. No write may come while a walk is under way.
class RowWalk
{
public:
    explicit RowWalk(const Query& query);
    ~RowWalk();
    RowWalk(const RowWalk&) = delete;
    RowWalk& operator=(const RowWalk&) = delete;

    // Moves to the next row, the first one at the start; false after the last row and when a
    // row could not be read.
    bool next();
    // The current row's value as the engine's UTF-8 text, empty for a null; valid until next().
    QByteArrayView utf8(int field) const;

private:
    const Query& m_query;
    int m_row = -1;
    // The rows before it are the query's own.
    int m_held = 0;
    void* m_statement = nullptr;
};

} // namespace db
