#pragma once
// BMP files without Qt, in the variants a reader meets in practice, so that decoders can be
// tested on every one of them with pictures whose bytes we know.
//
// Shared rules: the input is tightly packed 8-bit R, G, B, row 0 (the top row) first, exactly
// width * height * 3 bytes. Files use a BITMAPINFOHEADER (40 bytes), no compression (BI_RGB),
// 2835 pixels per metre (72 dpi), and rows padded to a multiple of 4 bytes.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"

namespace orv::bench {

enum class BmpVariant {
    Rgb24,         // 24 bits per pixel, rows bottom-up (the usual file)
    Rgb24TopDown,  // 24 bits per pixel, negative height: rows top-down
    Rgb32,         // 32 bits per pixel: bytes B, G, R, 0
    Rgb555,        // 16 bits per pixel, 5 per channel rounded to the nearest of 32 levels
    Indexed8,      // 8-bit palette: the 256 greys when every pixel is grey, otherwise the
                   // picture's own colours (at most 256)
    Indexed4,      // 4-bit palette of the picture's own colours (at most 16)
    Indexed1,      // 1-bit palette of the picture's own colours (at most 2)
};

inline constexpr BmpVariant kAllBmpVariants[] = {
    BmpVariant::Rgb24,    BmpVariant::Rgb24TopDown, BmpVariant::Rgb32,   BmpVariant::Rgb555,
    BmpVariant::Indexed8, BmpVariant::Indexed4,     BmpVariant::Indexed1};

// "rgb24", "rgb24-topdown", "rgb32", "rgb555", "indexed8", "indexed4", "indexed1".
std::string_view bmpVariantName(BmpVariant variant);
std::optional<BmpVariant> bmpVariantFromName(std::string_view name);

// The whole file as bytes. Own-colour palettes list the colours in ascending 0xRRGGBB order.
// Fails when the size is not positive or too large for a BMP file, when rgb holds the wrong
// number of bytes, or when the picture has more colours than the variant's palette.
core::Result<std::vector<uint8_t>> encodeBmp(int width, int height, std::span<const uint8_t> rgb,
                                             BmpVariant variant);

// encodeBmp written to a temporary file beside `path` and renamed over it. Fails as encodeBmp
// does, or when the file cannot be written; then an existing file at `path` is left as it was.
core::Result<void> writeBmp(const std::string& path, int width, int height,
                            std::span<const uint8_t> rgb, BmpVariant variant = BmpVariant::Rgb24);

}  // namespace orv::bench
