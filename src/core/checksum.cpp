#include "core/checksum.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#if defined(__x86_64__)
#include <nmmintrin.h>
#endif

namespace orv::core {

namespace {

// Tables for eight bytes at a time ("slicing by 8"): table[k][b] is the CRC of byte b followed
// by k zero bytes.
using Tables = std::array<std::array<uint32_t, 256>, 8>;

constexpr Tables makeTables() {
    Tables t{};
    for (uint32_t b = 0; b < 256; ++b) {
        uint32_t c = b;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0x82F63B78u ^ (c >> 1) : c >> 1;
        t[0][b] = c;
    }
    for (int k = 1; k < 8; ++k)
        for (uint32_t b = 0; b < 256; ++b) t[k][b] = (t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF];
    return t;
}

constexpr Tables kTables = makeTables();

#if defined(__x86_64__)
// The same with the CRC instruction, eight bytes at a time.
__attribute__((target("sse4.2"))) uint32_t byInstruction(const uint8_t* data, size_t size,
                                                         uint32_t crc) {
    uint64_t c = ~crc;
    for (; size >= 8; data += 8, size -= 8) {
        uint64_t v;
        std::memcpy(&v, data, 8);
        c = _mm_crc32_u64(c, v);
    }
    uint32_t c32 = static_cast<uint32_t>(c);
    for (; size > 0; --size) c32 = _mm_crc32_u8(c32, *data++);
    return ~c32;
}

const bool kHasInstruction = __builtin_cpu_supports("sse4.2");
#endif

}  // namespace

uint32_t crc32c(const uint8_t* data, size_t size, uint32_t crc) {
#if defined(__x86_64__)
    if (kHasInstruction) return byInstruction(data, size, crc);
#endif
    return detail::crc32cByTables(data, size, crc);
}

uint32_t detail::crc32cByTables(const uint8_t* data, size_t size, uint32_t crc) {
    uint32_t c = ~crc;
    while (size >= 8) {
        uint32_t lo, hi;
        std::memcpy(&lo, data, 4);
        std::memcpy(&hi, data + 4, 4);
        if constexpr (std::endian::native == std::endian::big) {
            lo = __builtin_bswap32(lo);
            hi = __builtin_bswap32(hi);
        }
        lo ^= c;
        c = kTables[7][lo & 0xFF] ^ kTables[6][(lo >> 8) & 0xFF] ^ kTables[5][(lo >> 16) & 0xFF] ^
            kTables[4][lo >> 24] ^ kTables[3][hi & 0xFF] ^ kTables[2][(hi >> 8) & 0xFF] ^
            kTables[1][(hi >> 16) & 0xFF] ^ kTables[0][hi >> 24];
        data += 8;
        size -= 8;
    }
    while (size-- > 0) c = (c >> 8) ^ kTables[0][(c ^ *data++) & 0xFF];
    return ~c;
}

uint32_t crc32c(std::string_view bytes, uint32_t crc) {
    return crc32c(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), crc);
}

uint32_t crc32cRgbRow(const uint8_t* r, const uint8_t* g, const uint8_t* b, size_t pixels,
                      uint32_t crc) {
    constexpr size_t kChunk = 1024;
    uint8_t rgb[3 * kChunk];
    for (size_t x0 = 0; x0 < pixels; x0 += kChunk) {
        const size_t n = std::min(kChunk, pixels - x0);
        for (size_t x = 0; x < n; ++x) {
            rgb[3 * x] = r[x0 + x];
            rgb[3 * x + 1] = g[x0 + x];
            rgb[3 * x + 2] = b[x0 + x];
        }
        crc = crc32c(rgb, 3 * n, crc);
    }
    return crc;
}

std::string checksumText(uint32_t crc) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text(8, '0');
    for (int k = 7; k >= 0; --k, crc >>= 4) text[k] = kDigits[crc & 0xF];
    return text;
}

std::optional<uint32_t> parseChecksum(std::string_view text) {
    if (text.size() != 8) return std::nullopt;
    uint32_t v = 0;
    for (char ch : text) {
        int d;
        if (ch >= '0' && ch <= '9')
            d = ch - '0';
        else if (ch >= 'a' && ch <= 'f')
            d = ch - 'a' + 10;
        else if (ch >= 'A' && ch <= 'F')
            d = ch - 'A' + 10;
        else
            return std::nullopt;
        v = v << 4 | static_cast<uint32_t>(d);
    }
    return v;
}

}  // namespace orv::core
