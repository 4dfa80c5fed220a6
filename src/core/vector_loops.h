#pragma once
// ORV_PIXEL_LOOP marks a function whose pixel loops the compiler should also build for AVX2:
// the program then picks the fastest version the processor supports when it starts.

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define ORV_PIXEL_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define ORV_PIXEL_LOOP
#endif
