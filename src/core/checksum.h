#pragma once
// CRC-32C (the Castagnoli polynomial, reflected 0x82F63B78, as iSCSI and ext4 use it): a
// deterministic checksum of file contents and of picture pixels, computed with the processor's
// CRC instruction where it has one (SSE 4.2) and eight bytes at a time by tables elsewhere. It
// tells damaged or mismatched files apart; it is no protection against deliberate forgery.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orv::core {

// Continues `crc` (0 to start) over the bytes: crc32c(ab) == crc32c(b, crc32c(a)).
uint32_t crc32c(const uint8_t* data, size_t size, uint32_t crc = 0);
uint32_t crc32c(std::string_view bytes, uint32_t crc = 0);

// Continues `crc` over one row of pixels given as planes: the bytes R, G, B of pixel 0, then
// of pixel 1, and so on. A picture's pixel checksum is this over its rows from the top, so the
// pixels of a tile and of the picture loaded from the tile's file give the same checksum
// whatever their layout in memory.
uint32_t crc32cRgbRow(const uint8_t* r, const uint8_t* g, const uint8_t* b, size_t pixels,
                      uint32_t crc);

// Eight lower-case hexadecimal digits ("0a1b2c3d"), and back (any letter case; nothing for
// other text).
std::string checksumText(uint32_t crc);
std::optional<uint32_t> parseChecksum(std::string_view text);

namespace detail {
// The table-driven computation, which crc32c uses where the processor has no CRC instruction.
uint32_t crc32cByTables(const uint8_t* data, size_t size, uint32_t crc);
}  // namespace detail

}  // namespace orv::core
