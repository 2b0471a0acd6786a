#include "db/engine/HeldFile.h"

#include "db/engine/Engine.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace db {
namespace {

constexpr const char* kVfsName = "zvonisty-held";

struct HeldFileHandle
{
    sqlite3_file base;
    int fd;
};

int HeldFd(sqlite3_file* file)
{
    return reinterpret_cast<HeldFileHandle*>(file)->fd;
}

// Closing any descriptor of a file would end every lock of this process on it, the holder's
// included: the descriptor stays the holder's.
int Close(sqlite3_file*)
{
    return SQLITE_OK;
}

int Read(sqlite3_file* file, void* to, int amount, sqlite3_int64 offset)
{
    char* const out = static_cast<char*>(to);
    int done = 0;
    while (done < amount) {
        const ssize_t n = ::pread(HeldFd(file), out + done, size_t(amount - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return SQLITE_IOERR_READ;
        if (n == 0)
            break;
        done += int(n);
    }
    if (done < amount) {
        // The engine wants the rest zeroed when the file ends sooner.
        std::memset(out + done, 0, size_t(amount - done));
        return SQLITE_IOERR_SHORT_READ;
    }
    return SQLITE_OK;
}

int Refuse(sqlite3_file*, const void*, int, sqlite3_int64)
{
    return SQLITE_READONLY;
}

int RefuseTruncate(sqlite3_file*, sqlite3_int64)
{
    return SQLITE_READONLY;
}

int Sync(sqlite3_file*, int)
{
    return SQLITE_OK;
}

int FileSize(sqlite3_file* file, sqlite3_int64* size)
{
    struct stat st;
    if (::fstat(HeldFd(file), &st) != 0)
        return SQLITE_IOERR_FSTAT;
    *size = st.st_size;
    return SQLITE_OK;
}

// The holder's lock keeps every other program away; this reader takes none of its own.
int Lock(sqlite3_file*, int)
{
    return SQLITE_OK;
}

int CheckReservedLock(sqlite3_file*, int* reserved)
{
    *reserved = 0;
    return SQLITE_OK;
}

int FileControl(sqlite3_file*, int, void*)
{
    return SQLITE_NOTFOUND;
}

int SectorSize(sqlite3_file*)
{
    return 4096;
}

int DeviceCharacteristics(sqlite3_file*)
{
    return SQLITE_IOCAP_IMMUTABLE;
}

const sqlite3_io_methods kMethods = {1,
                                     &Close,
                                     &Read,
                                     &Refuse,
                                     &RefuseTruncate,
                                     &Sync,
                                     &FileSize,
                                     &Lock,
                                     &Lock,
                                     &CheckReservedLock,
                                     &FileControl,
                                     &SectorSize,
                                     &DeviceCharacteristics,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr};

sqlite3_vfs* Base()
{
    static sqlite3_vfs* const base = sqlite3_vfs_find(nullptr);
    return base;
}

// The name of the file is the number of the holder's descriptor.
int Open(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags)
{
    file->pMethods = nullptr;
    if (!name || !(flags & SQLITE_OPEN_MAIN_DB))
        return SQLITE_CANTOPEN;
    char* end = nullptr;
    const long fd = std::strtol(name, &end, 10);
    if (end == name || *end != '\0' || fd < 0)
        return SQLITE_CANTOPEN;
    reinterpret_cast<HeldFileHandle*>(file)->fd = int(fd);
    file->pMethods = &kMethods;
    if (outFlags)
        *outFlags = SQLITE_OPEN_READONLY;
    return SQLITE_OK;
}

int Delete(sqlite3_vfs*, const char*, int)
{
    return SQLITE_IOERR_DELETE;
}

// No journal is ever looked for: the holder has dealt with its own.
int Access(sqlite3_vfs*, const char*, int, int* result)
{
    *result = 0;
    return SQLITE_OK;
}

int FullPathname(sqlite3_vfs*, const char* name, int size, char* out)
{
    if (int(std::strlen(name)) >= size)
        return SQLITE_CANTOPEN;
    std::strcpy(out, name);
    return SQLITE_OK;
}

int Randomness(sqlite3_vfs*, int bytes, char* out)
{
    return Base()->xRandomness(Base(), bytes, out);
}

int Sleep(sqlite3_vfs*, int microseconds)
{
    return Base()->xSleep(Base(), microseconds);
}

int CurrentTime(sqlite3_vfs*, double* now)
{
    return Base()->xCurrentTime(Base(), now);
}

int LastError(sqlite3_vfs*, int, char*)
{
    return 0;
}

void Register()
{
    static std::once_flag once;
    std::call_once(once, [] {
        static sqlite3_vfs vfs = {1,
                                  int(sizeof(HeldFileHandle)),
                                  64,
                                  nullptr,
                                  kVfsName,
                                  nullptr,
                                  &Open,
                                  &Delete,
                                  &Access,
                                  &FullPathname,
                                  nullptr,
                                  nullptr,
                                  nullptr,
                                  nullptr,
                                  &Randomness,
                                  &Sleep,
                                  &CurrentTime,
                                  &LastError,
                                  nullptr,
                                  nullptr,
                                  nullptr,
                                  nullptr};
        sqlite3_vfs_register(&vfs, 0);
    });
}

} // namespace

sqlite3* OpenHeldFile(int fd)
{
    if (fd < 0)
        return nullptr;
    Register();
    sqlite3* handle = nullptr;
    const std::string name = std::to_string(fd);
    if (sqlite3_open_v2(name.c_str(), &handle, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, kVfsName) !=
        SQLITE_OK) {
        sqlite3_close(handle);
        return nullptr;
    }
    // The collation and functions of the file's indexes; a small cache, as every page is read once.
    RegisterEngine(handle);
    sqlite3_exec(handle, "pragma temp_store = memory; pragma cache_size = -256", nullptr, nullptr, nullptr);
    return handle;
}

} // namespace db
