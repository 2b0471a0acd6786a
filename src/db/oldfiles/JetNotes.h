#pragma once

// First: libmdb's header includes glib within extern "C", where glib's C++ headers must not be
// read for the first time.
#include <QtGlobal>

#include <mdbtools.h>

// The notes (memo values) of an older file, for its reading in JetFile.cpp only: nothing above
// the database layer sees libmdb's headers.
namespace db {

// libmdb gives a note whose header does not match its data as empty, or as whatever lies where
// the header points, without a word on its error output; so the length the note declares must be
// the length of the data it has. `fieldStart` and `fieldSize` are the note's field in the row on
// libmdb's current page.
bool MemoIsWhole(MdbHandle* mdb, int fieldStart, int fieldSize);

} // namespace db
