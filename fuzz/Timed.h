#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

// Times every input and tells the slowest at the end, finer than libFuzzer's whole seconds;
// scripts/fuzz.sh reads the line.
namespace zvfuzz {

struct Slowest
{
    long long micros = 0;
    size_t size = 0;
};

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
    const auto start = std::chrono::steady_clock::now();
    work();
    const long long micros =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
            .count();
    Slowest& slowest = Record();
    if (micros > slowest.micros)
        slowest = {micros, size};
    return 0;
}

} // namespace zvfuzz
