// The copy of the search index kept at a clean close: written whole into the cache, and taken
// over at the next start only when the directory file is as that close left it and the copy
// reads back whole and consistent. Anything else is read from the file as before.
#include "db/search/SearchIndex.h"

#include "db/engine/Connection.h"
#include "db/search/LargePages.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace db {
namespace {

constexpr char kMagic[8] = {'Z', 'V', 'H', 'L', 'E', 'D', 'A', 'T'};
// Raised whenever what the index holds, or how texts are folded, changes.
constexpr quint32 kFormat = 3;
constexpr quint32 kByteOrder = 0x01020304;
size_t g_copyMinimum = 50000;

struct Header
{
    char magic[8];
    quint32 byteOrder;
    quint32 format;
    quint32 columns;
    quint32 collation;
    qint32 schemaVersion;
    quint32 ignoreAccents;
    qint64 counter;
    qint64 size;
    qint64 modified;
    quint64 entries;
    quint64 sorted;
    quint64 dead;
    qint64 lastRead;
    quint64 moved;
    quint64 groupNames;
};

// The searched columns by name, so that a copy of another column table is never taken.
QByteArray ColumnSignature()
{
    QByteArray names;
    for (int c = 0; c < SearchIndex::kColumns; ++c)
        names += QByteArray(SearchColumn(c)->name) + ',';
    return names;
}

// Reads the copy's file: never past its end, every list at a place of 8 bytes where the writer
// put it. Read, not mapped: a file cut short by another program would end a reading of mapped
// pages with a signal.
class Reader
{
public:
    Reader(int fd, qint64 size) : m_fd(fd), m_end(size) {}
    qint64 left() const { return m_end - m_at; }
    bool atEnd() const { return m_at == m_end; }
    qint64 at() const { return m_at; }
    void moveTo(qint64 at) { m_at = at; }
    bool take(void* to, size_t bytes)
    {
        if (qint64(bytes) > left() || !readAt(static_cast<char*>(to), bytes))
            return false;
        return true;
    }
    bool skip(quint64 bytes)
    {
        if (bytes > quint64(left()))
            return false;
        m_at += qint64(bytes);
        return true;
    }
    bool align() { return skip(quint64((8 - m_at % 8) % 8)); }
    // The list's items appended through a piece of memory at a time, so that nothing is filled twice.
    template <typename T, typename List> bool list(List& v, quint64 count)
    {
        if (!align() || count > quint64(left()) / sizeof(T))
            return false;
        v.clear();
        m_piece.resize(kPiece / sizeof(quint64));
        char* const piece = reinterpret_cast<char*>(m_piece.data());
        quint64 rest = count * sizeof(T);
        while (rest > 0) {
            const size_t bytes = size_t(std::min<quint64>(rest, kPiece));
            if (!readAt(piece, bytes))
                return false;
            v.insert(v.end(), reinterpret_cast<const T*>(piece), reinterpret_cast<const T*>(piece + bytes));
            rest -= bytes;
        }
        return true;
    }
    template <typename T> bool vector(std::vector<T>& v, quint64 count) { return list<T>(v, count); }
    bool bytes(std::string& s, quint64 count) { return list<char>(s, count); }
    bool text(std::string& s)
    {
        quint32 length = 0;
        if (!take(&length, sizeof length) || length > left())
            return false;
        s.resize(length);
        return readAt(s.data(), length);
    }

private:
    bool readAt(char* to, size_t bytes)
    {
        while (bytes > 0) {
            const ssize_t got = ::pread(m_fd, to, bytes, m_at);
            if (got <= 0)
                return false;
            to += got;
            bytes -= size_t(got);
            m_at += got;
        }
        return true;
    }

    static constexpr size_t kPiece = size_t(1) << 20;
    int m_fd;
    qint64 m_at = 0;
    qint64 m_end;
    std::vector<quint64> m_piece;
};

class Writer
{
public:
    explicit Writer(QFile& file) : m_file(file) {}
    void put(const void* from, quint64 bytes)
    {
        if (m_ok && bytes > 0)
            m_ok = m_file.write(static_cast<const char*>(from), qint64(bytes)) == qint64(bytes);
        m_written += bytes;
    }
    // A list starts at a place of 8 bytes, so that the reader takes it as it lies.
    void align()
    {
        static const char zeros[8] = {};
        put(zeros, (8 - m_written % 8) % 8);
    }
    template <typename T> void list(const std::vector<T>& v)
    {
        align();
        put(v.data(), v.size() * sizeof(T));
    }
    void text(const std::string& s)
    {
        const quint32 length = quint32(s.size());
        put(&length, sizeof length);
        put(s.data(), s.size());
    }
    bool ok() const { return m_ok; }

private:
    QFile& m_file;
    bool m_ok = true;
    quint64 m_written = 0;
};

// The copy's file open for reading, closed with it.
struct OpenFile
{
    explicit OpenFile(const QString& path)
        : fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC))
    {
        struct stat st;
        if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
            size = st.st_size;
    }
    ~OpenFile()
    {
        if (fd >= 0)
            ::close(fd);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd;
    qint64 size = -1;
};

} // namespace

void SearchIndex::SetCopyMinimum(size_t contacts)
{
    g_copyMinimum = contacts;
}

QString SearchIndex::CopyPath(const QString& databasePath)
{
    const QFileInfo info(databasePath);
    const QString file =
        info.canonicalFilePath().isEmpty() ? info.absoluteFilePath() : info.canonicalFilePath();
    const QString key =
        QString::fromLatin1(QCryptographicHash::hash(file.toUtf8(), QCryptographicHash::Sha1).toHex());
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/zvonisty/") + key + QStringLiteral(".hledani");
}

void SearchIndex::writeCopy(const FileStamp& stamp)
{
    const QString path = CopyPath(m_connection->openedPath());
    // Brought up to date with the last single changes first; a directory that must be read
    // again, or one read quickly anyway, keeps no copy.
    if (!stamp.valid() || stale() || !complete() || m_broken || !m_changed.empty() ||
        live() < g_copyMinimum || m_schemaVersion < 0) {
        QFile::remove(path);
        return;
    }
    // Nothing changed since the copy was taken: only its stamp is the new close's.
    if (m_fromCopy && !m_contactsWritten) {
        QFile kept(path);
        Header h{};
        if (kept.open(QIODevice::ReadWrite) && kept.read(reinterpret_cast<char*>(&h), sizeof h) == sizeof h &&
            std::memcmp(h.magic, kMagic, sizeof kMagic) == 0 && h.format == kFormat &&
            h.schemaVersion == m_schemaVersion && h.entries == m_ids.size()) {
            h.counter = stamp.counter;
            h.size = stamp.size;
            h.modified = stamp.modified;
            if (kept.seek(0) && kept.write(reinterpret_cast<const char*>(&h), sizeof h) == sizeof h &&
                kept.flush())
                return;
        }
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QString fresh = path + QStringLiteral(".novy");
    QFile file(fresh);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        QFile::remove(path);
        return;
    }
    Header h{};
    std::memcpy(h.magic, kMagic, sizeof kMagic);
    h.byteOrder = kByteOrder;
    h.format = kFormat;
    h.columns = quint32(kColumns);
    h.collation = quint32(kCollationVersion);
    h.schemaVersion = m_schemaVersion;
    h.ignoreAccents = m_ignoreAccents ? 1 : 0;
    h.counter = stamp.counter;
    h.size = stamp.size;
    h.modified = stamp.modified;
    h.entries = m_ids.size();
    h.sorted = m_sorted;
    h.dead = m_dead;
    h.lastRead = m_lastRead;
    h.moved = quint64(m_moved.size());
    h.groupNames = m_groupNames.size();
    Writer out(file);
    out.put(&h, sizeof h);
    out.text(ColumnSignature().toStdString());
    std::vector<quint32> moved;
    moved.reserve(size_t(m_moved.size()) * 2);
    for (auto it = m_moved.cbegin(); it != m_moved.cend(); ++it)
        moved.insert(moved.end(), {it.key(), it.value()});
    out.list(moved);
    for (const std::string& name : m_groupNames)
        out.text(name);
    out.list(m_group);
    out.list(m_ids);
    for (const Column& c : m_columns) {
        const quint64 arena = c.arena.size();
        out.align();
        out.put(&arena, sizeof arena);
        out.align();
        out.put(c.arena.data(), arena);
        out.list(c.order);
        out.list(c.sparse);
    }
    file.close();
    // Put in place whole or not at all: a copy cut short is never read.
    if (!out.ok() || file.error() != QFile::NoError ||
        std::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(fresh);
        QFile::remove(path);
    }
}

QString SearchIndex::s_prefetchedPath;
std::future<std::unique_ptr<SearchIndex::Copy>> SearchIndex::s_prefetched;

void SearchIndex::Prefetch(const QString& databasePath)
{
    const QString copy = CopyPath(databasePath);
    if (s_prefetched.valid() || !QFileInfo::exists(copy))
        return;
    s_prefetchedPath = copy;
    s_prefetched = std::async(std::launch::async, &SearchIndex::ReadCopy, copy);
}

std::unique_ptr<SearchIndex::Copy> SearchIndex::ReadCopy(const QString& path)
{
    const OpenFile file(path);
    if (file.size <= 0)
        return nullptr;
    Reader in(file.fd, file.size);
    Header h{};
    std::string signature;
    if (!in.take(&h, sizeof h) || std::memcmp(h.magic, kMagic, sizeof kMagic) != 0 ||
        h.byteOrder != kByteOrder || h.format != kFormat || h.columns != quint32(kColumns) ||
        h.collation != quint32(kCollationVersion) || !in.text(signature) ||
        signature != ColumnSignature().toStdString() || h.sorted > h.entries || h.dead > h.entries ||
        h.entries > quint64(UINT32_MAX) || h.groupNames > quint64(kDead))
        return nullptr;
    auto copy = std::make_unique<Copy>();
    const size_t n = size_t(h.entries);
    copy->stamp = FileStamp{h.counter, h.size, h.modified};
    copy->schemaVersion = h.schemaVersion;
    copy->ignoreAccents = h.ignoreAccents != 0;
    copy->lastRead = h.lastRead;
    copy->sorted = size_t(h.sorted);
    copy->dead = size_t(h.dead);
    std::vector<quint32> moved;
    if (!in.vector(moved, h.moved * 2))
        return nullptr;
    copy->groupNames.resize(size_t(h.groupNames));
    for (std::string& name : copy->groupNames)
        if (!in.text(name))
            return nullptr;
    // Room for contacts changed later, as a reading leaves it.
    const size_t room = WithRoom(n);
    ReserveLarge(copy->group, room, n);
    ReserveLarge(copy->ids, room, n);
    if (!in.vector(copy->group, n) || !in.vector(copy->ids, n))
        return nullptr;
    // The entries in id order up to `sorted`, the rest found through the moved ones.
    for (size_t e = 1; e < copy->sorted; ++e)
        if (copy->ids[e - 1] >= copy->ids[e])
            return nullptr;
    // Every live entry behind them is found through its id; a dead one is not.
    const size_t liveBehind = size_t(std::count_if(copy->group.begin() + qint64(copy->sorted),
                                                   copy->group.end(), [](quint8 g) { return g != kDead; }));
    if (moved.size() / 2 != liveBehind)
        return nullptr;
    for (size_t i = 0; i < moved.size(); i += 2) {
        if (moved[i + 1] < copy->sorted || moved[i + 1] >= n || copy->ids[moved[i + 1]] != moved[i] ||
            copy->group[moved[i + 1]] == kDead || copy->moved.contains(moved[i]))
            return nullptr;
        copy->moved.insert(moved[i], moved[i + 1]);
    }
    size_t dead = 0;
    for (quint8 g : copy->group) {
        if (g == kDead)
            ++dead;
        else if (g != kNoGroup && g >= copy->groupNames.size())
            return nullptr;
    }
    if (dead != copy->dead)
        return nullptr;
    const size_t live = n - dead;
    const size_t blocks = (n + kSparse - 1) / kSparse;

    // Where each column lies, then the columns read in two halves side by side.
    std::array<qint64, kColumns> starts{};
    for (int c = 0; c < kColumns; ++c) {
        quint64 arena = 0;
        starts[size_t(c)] = in.at();
        if (!in.align() || !in.take(&arena, sizeof arena) || !in.align() || !in.skip(arena) || !in.align() ||
            !in.skip(live * sizeof(quint32)) || !in.align() || !in.skip(blocks * sizeof(quint32)))
            return nullptr;
    }
    if (!in.atEnd())
        return nullptr;
    // The columns shared by their size, the largest first to the side with less, so that both
    // halves end about together: the first search waits for the later one.
    std::array<int, kColumns> bySize{};
    std::array<qint64, kColumns> sizes{};
    for (int c = 0; c < kColumns; ++c) {
        bySize[size_t(c)] = c;
        sizes[size_t(c)] = (c + 1 < kColumns ? starts[size_t(c + 1)] : in.at()) - starts[size_t(c)];
    }
    std::stable_sort(bySize.begin(), bySize.end(),
                     [&](int a, int b) { return sizes[size_t(a)] > sizes[size_t(b)]; });
    std::array<unsigned, 2> halves{};
    std::array<qint64, 2> halfBytes{};
    for (int c : bySize) {
        const size_t half = halfBytes[0] <= halfBytes[1] ? 0 : 1;
        halves[half] |= 1u << c;
        halfBytes[half] += sizes[size_t(c)];
    }
    auto readColumns = [&](unsigned columns) {
        Reader at = in;
        std::vector<quint8> seen;
        for (int c = 0; c < kColumns; ++c) {
            if (!(columns & (1u << c)))
                continue;
            Column& col = copy->columns[size_t(c)];
            at.moveTo(starts[size_t(c)]);
            quint64 arena = 0;
            if (!at.align() || !at.take(&arena, sizeof arena) || arena > quint64(UINT32_MAX))
                return false;
            ReserveLarge(col.arena, WithRoom(size_t(arena)), size_t(arena));
            ReserveLarge(col.order, room, live);
            if (!at.bytes(col.arena, arena) || !at.vector(col.order, live) ||
                !at.vector(col.sparse, blocks) || (n > 0 ? col.arena.back() != kEnd : !col.arena.empty()))
                return false;
            // One text per entry, each ended; the start of every 32nd where the copy says.
            const char* const base = col.arena.data();
            for (size_t k = 0; k < blocks; ++k) {
                const size_t begin = col.sparse[k];
                const size_t end = k + 1 < blocks ? col.sparse[k + 1] : col.arena.size();
                const size_t expected = k + 1 < blocks ? size_t(kSparse) : n - k * kSparse;
                if (begin >= end || end > col.arena.size() ||
                    (k == 0 ? begin != 0 : base[begin - 1] != kEnd) ||
                    size_t(std::count(base + begin, base + end, kEnd)) != expected)
                    return false;
            }
            // Every live entry once, in the column's order.
            seen.assign(n, 0);
            for (quint32 entry : col.order) {
                if (entry >= n || seen[entry] || copy->group[entry] == kDead)
                    return false;
                seen[entry] = 1;
            }
            col.ordered = true;
        }
        return true;
    };
    auto second = std::async(std::launch::async, readColumns, halves[1]);
    const bool first = readColumns(halves[0]);
    if (!second.get() || !first)
        return nullptr;
    return copy;
}

bool SearchIndex::takeCopy(bool wait)
{
    if (!m_copy.valid())
        return true;
    if (!wait && m_copy.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return false;
    std::unique_ptr<Copy> copy = m_copy.get();
    const bool fromFile = m_readingFile;
    m_readingFile = false;
    sqlite3* handle = m_connection->handle();
    if (fromFile) {
        // A reading of the file beside the window describes it only while nothing was written
        // since it began: begun again from what the file holds now. One that failed on its own
        // is not begun again until the next restart.
        if (m_writes != m_writesAtReading) {
            restart();
            return true;
        }
        if (!copy) {
            m_readingFailed = true;
            return true;
        }
        copy->stamp = m_copyStamp;
        copy->schemaVersion = m_schemaVersion;
    }
    // Taken only while no contact has been written and nothing read since the start (a deletion
    // of every row passes the update hook by, but not the engine's count of changes): the copy
    // describes the contacts as the file was opened.
    if (!copy || !handle || copy->stamp != m_copyStamp || copy->schemaVersion != m_schemaVersion || m_dirty ||
        m_contactsWritten || m_phase != 0 || !m_ids.empty() ||
        sqlite3_total_changes64(handle) - m_totalChanges != m_heard)
        return true;
    m_ignoreAccents = copy->ignoreAccents;
    m_lastRead = copy->lastRead;
    m_ids = std::move(copy->ids);
    m_sorted = copy->sorted;
    m_moved = std::move(copy->moved);
    m_dead = copy->dead;
    m_group = std::move(copy->group);
    m_groupNames = std::move(copy->groupNames);
    m_columns = std::move(copy->columns);
    m_expected = m_ids.size();
    // The orders not taken are read in the idle steps.
    m_columnsRead = 0;
    int ordered = 0;
    for (int c = 0; c < kColumns; ++c)
        if (m_columns[size_t(c)].ordered) {
            m_columnsRead |= 1 << c;
            ++ordered;
        }
    m_column = -1;
    m_phase = ordered == kColumns ? kDone : 1 + ordered;
    m_fromCopy = !fromFile;
    m_readBeside = fromFile;
    return true;
}

} // namespace db
