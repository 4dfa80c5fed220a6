#pragma once
// Helpers of the pixel loops.
//
// ORV_PIXEL_LOOP marks a function whose pixel loops the compiler should also build for AVX2:
// the program then picks the fastest version the processor supports when it starts.

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define ORV_PIXEL_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define ORV_PIXEL_LOOP
#endif

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace orv::core {

// Whether the `bytes` bytes from `p` on (a multiple of 8) are all 0: the loops over mostly
// empty rows skip runs of them at a time.
inline bool allZeroBytes(const void* p, size_t bytes) {
    uint64_t any = 0;
    for (size_t k = 0; k < bytes; k += 8) {
        uint64_t word;
        std::memcpy(&word, static_cast<const char*>(p) + k, sizeof word);
        any |= word;
    }
    return any == 0;
}

// Calls f(i) for each i in 0..n-1 whose p[i] is not 0, in order. Loops over mostly empty rows
// pass over their zeros 32 bytes at a time, then 8 bytes at a time.
template <typename T, typename F>
void forEachNonZero(const T* p, int n, F&& f) {
    constexpr int kWide = static_cast<int>(32 / sizeof(T)),
                  kNarrow = static_cast<int>(8 / sizeof(T));
    for (int i = 0; i < n;) {
        if (i + kWide <= n && allZeroBytes(p + i, 32)) {
            i += kWide;
            continue;
        }
        for (const int end = i + kWide < n ? i + kWide : n; i < end; ++i) {
            if (i % kNarrow == 0 && i + kNarrow <= end && allZeroBytes(p + i, 8)) {
                i += kNarrow - 1;
                continue;
            }
            if (p[i] != 0) f(i);
        }
    }
}

}  // namespace orv::core
