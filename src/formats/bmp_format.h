#pragma once
// The fields of a BMP file's headers (little-endian) and the kinds of pixel data it may hold, as
// the program's two BMP readers take them: the streaming reader (bmp_stream.h) and the checks and
// run-length decoding before the decoder (guarded_picture.h).

#include <cstdint>

namespace orv::formats::bmp {

inline uint32_t le16(const uint8_t* p) {
    return p[0] | static_cast<uint32_t>(p[1]) << 8;
}

inline uint32_t le32(const uint8_t* p) {
    return le16(p) | le16(p + 2) << 16;
}

// The header's compression field.
inline constexpr uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3,
                          kBiAlphaBitfields = 6;

// Whether the streaming reader takes pixels of `bits` per pixel stored as `compression` says:
// uncompressed 24 and 32 bits, and 32 bits with channel masks (byte-sized ones only, which it
// checks itself).
inline bool streamable(uint32_t bits, uint32_t compression) {
    return (compression == kBiRgb && (bits == 24 || bits == 32)) ||
           ((compression == kBiBitfields || compression == kBiAlphaBitfields) && bits == 32);
}

}  // namespace orv::formats::bmp
