#pragma once

#include <time.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>

// Times every input in processor time, which a loaded machine does not stretch as it does the
// wall clock libFuzzer's own -timeout counts. An input over a second fails the run; the slowest
// is told at the end, finer than libFuzzer's whole seconds. scripts/fuzz.sh reads both lines.
namespace zvfuzz {

inline constexpr long long kLimitMicros = 1000000;

struct Slowest
{
    long long micros = 0;
    size_t size = 0;
};

inline long long ThreadMicros()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1000000LL + now.tv_nsec / 1000;
}

inline Slowest& Record()
{
    static Slowest slowest;
    static const bool reported =
        (std::atexit([] {
             std::fprintf(stderr, "zv-slowest-input: %lld us, %zu bytes\n", Record().micros, Record().size);
         }),
         true);
    (void)reported;
    return slowest;
}

template <typename Work> int Timed(size_t size, Work work)
{
    const long long start = ThreadMicros();
    work();
    const long long micros = ThreadMicros() - start;
    Slowest& slowest = Record();
    if (micros > slowest.micros)
        slowest = {micros, size};
    if (micros > kLimitMicros) {
        std::fprintf(stderr, "zv-slow-input: %lld us of processor time, %zu bytes\n", micros, size);
        std::abort();
    }
    return 0;
}

} // namespace zvfuzz
