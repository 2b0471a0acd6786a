#pragma once

#include <sys/mman.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace db {

// Room beside `used` for a quarter more: contacts added or changed later are taken without
// copying the lists, and room never used is never mapped.
constexpr size_t WithRoom(size_t used)
{
    return used + used / 4 + 4096;
}

// The lists of a large directory are filled at once: in pages of 2 MB instead of 4 KB, the
// system maps them hundreds of times less often.
inline void PreferLargePages(const void* data, size_t bytes)
{
    constexpr uintptr_t kLarge = uintptr_t(2) << 20;
    const uintptr_t begin = (uintptr_t(data) + kLarge - 1) & ~(kLarge - 1);
    const uintptr_t end = (uintptr_t(data) + bytes) & ~(kLarge - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

// Room for `room` items, of which the first `filled` are about to be written: only those pages
// are large, so that the room behind them costs no memory until it is used.
template <typename List> void ReserveLarge(List& list, size_t room, size_t filled)
{
    list.reserve(room);
    PreferLargePages(list.data(), std::min(filled, list.capacity()) * sizeof(list[0]));
}

// Room for `needed` items, and a quarter more when the list must grow for them. A list that
// already holds many is copied into large pages, or the copy would cost a mapping for every
// 4 KB of it, most of the time that growing takes.
template <typename List> void GrowLarge(List& list, size_t needed)
{
    if (needed <= list.capacity())
        return;
    if (list.empty()) {
        list.reserve(WithRoom(needed));
        return;
    }
    List larger;
    ReserveLarge(larger, WithRoom(needed), needed);
    larger.insert(larger.end(), list.begin(), list.end());
    list.swap(larger);
}

} // namespace db
