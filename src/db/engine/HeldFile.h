#pragma once

struct sqlite3;

namespace db {

// A connection of its own that reads a directory file through a descriptor this process holds
// open beside the connection that holds the file's lock, for reading it on another thread. It
// never locks, writes or closes the file, and takes it as unchanging: what it reads is only as
// consistent as the holder leaves the file meanwhile, so whatever was read while the holder
// wrote must be thrown away. Null when it cannot be opened; closed with sqlite3_close.
sqlite3* OpenHeldFile(int fd);

} // namespace db
