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

}  // namespace orv::core
