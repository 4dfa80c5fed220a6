#include "bench/bmp_writer.h"

// File layout (all numbers little-endian):
//
//   offset  size  BITMAPFILEHEADER
//        0     2  "BM"
//        2     4  file size
//        6     4  reserved, 0
//       10     4  offset of the pixel rows
//           BITMAPINFOHEADER
//       14     4  header size, 40
//       18     4  width
//       22     4  height (negative: rows top-down)
//       26     2  planes, 1
//       28     2  bits per pixel
//       30     4  compression, 0 (BI_RGB)
//       34     4  size of the pixel rows
//       38     8  pixels per metre in x and y
//       46     4  palette entries used (0: none)
//       50     4  important colours, 0 (all)
//       54        palette: B, G, R, 0 per entry; then the pixel rows
//
// Paletted rows pack the first pixel in the most significant bits of each byte.

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>

#include <unistd.h>

namespace orv::bench {

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr int32_t kPixelsPerMetre = 2835;

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xffffu);
    put16(out, v >> 16);
}

int bitsPerPixel(BmpVariant v) {
    switch (v) {
        case BmpVariant::Rgb24:
        case BmpVariant::Rgb24TopDown:
            return 24;
        case BmpVariant::Rgb32:
            return 32;
        case BmpVariant::Rgb555:
            return 16;
        case BmpVariant::Indexed8:
            return 8;
        case BmpVariant::Indexed4:
            return 4;
        case BmpVariant::Indexed1:
            return 1;
    }
    return 24;
}

uint32_t colourAt(std::span<const uint8_t> rgb, size_t pixel) {
    const uint8_t* p = rgb.data() + 3 * pixel;
    return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
}

// The palette for a paletted variant, or an error when the picture has too many colours.
core::Result<std::vector<uint32_t>> paletteFor(std::span<const uint8_t> rgb, size_t pixels,
                                               BmpVariant variant) {
    if (variant == BmpVariant::Indexed8) {
        bool grey = true;
        for (size_t k = 0; k < pixels && grey; ++k)
            grey = rgb[3 * k] == rgb[3 * k + 1] && rgb[3 * k] == rgb[3 * k + 2];
        if (grey) {
            std::vector<uint32_t> greys(256);
            for (uint32_t g = 0; g < 256; ++g) greys[g] = g * 0x010101u;
            return greys;
        }
    }
    const size_t limit = size_t{1} << bitsPerPixel(variant);
    std::vector<uint32_t> colours;  // kept sorted
    for (size_t k = 0; k < pixels; ++k) {
        const uint32_t c = colourAt(rgb, k);
        const auto at = std::lower_bound(colours.begin(), colours.end(), c);
        if (at != colours.end() && *at == c) continue;
        if (colours.size() == limit)
            return core::Error{"the picture has more than " + std::to_string(limit) +
                               " colours for a " + std::to_string(bitsPerPixel(variant)) +
                               "-bit palette"};
        colours.insert(at, c);
    }
    return colours;
}

uint8_t to5Bits(uint8_t v) {
    return static_cast<uint8_t>((v * 31 + 127) / 255);
}

void packRow(std::span<const uint8_t> rgb, size_t first, int width, BmpVariant variant,
             const std::vector<uint32_t>& palette, uint8_t* out) {
    const int bits = bitsPerPixel(variant);
    for (int x = 0; x < width; ++x) {
        const uint8_t* p = rgb.data() + 3 * (first + static_cast<size_t>(x));
        switch (variant) {
            case BmpVariant::Rgb24:
            case BmpVariant::Rgb24TopDown:
            case BmpVariant::Rgb32: {
                uint8_t* q = out + static_cast<size_t>(x) * (bits / 8);
                q[0] = p[2], q[1] = p[1], q[2] = p[0];
                if (bits == 32) q[3] = 0;
                break;
            }
            case BmpVariant::Rgb555: {
                const uint32_t word = (uint32_t{to5Bits(p[0])} << 10) |
                                      (uint32_t{to5Bits(p[1])} << 5) | to5Bits(p[2]);
                out[2 * x] = static_cast<uint8_t>(word);
                out[2 * x + 1] = static_cast<uint8_t>(word >> 8);
                break;
            }
            case BmpVariant::Indexed8:
            case BmpVariant::Indexed4:
            case BmpVariant::Indexed1: {
                const uint32_t c = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
                const auto index = static_cast<uint32_t>(
                    std::lower_bound(palette.begin(), palette.end(), c) - palette.begin());
                const int perByte = 8 / bits;
                const int shift = 8 - bits * (x % perByte + 1);
                out[x / perByte] |= static_cast<uint8_t>(index << shift);
                break;
            }
        }
    }
}

}  // namespace

std::string_view bmpVariantName(BmpVariant variant) {
    switch (variant) {
        case BmpVariant::Rgb24:
            return "rgb24";
        case BmpVariant::Rgb24TopDown:
            return "rgb24-topdown";
        case BmpVariant::Rgb32:
            return "rgb32";
        case BmpVariant::Rgb555:
            return "rgb555";
        case BmpVariant::Indexed8:
            return "indexed8";
        case BmpVariant::Indexed4:
            return "indexed4";
        case BmpVariant::Indexed1:
            return "indexed1";
    }
    return "";
}

std::optional<BmpVariant> bmpVariantFromName(std::string_view name) {
    for (BmpVariant v : kAllBmpVariants)
        if (bmpVariantName(v) == name) return v;
    return std::nullopt;
}

core::Result<std::vector<uint8_t>> encodeBmp(int width, int height, std::span<const uint8_t> rgb,
                                             BmpVariant variant) {
    if (width <= 0 || height <= 0) return core::Error{"the picture size must be positive"};
    const int bits = bitsPerPixel(variant);
    const uint64_t rowBytes = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
    const uint64_t pixelBytes = rowBytes * static_cast<uint64_t>(height);
    if (pixelBytes > 0x7fff0000u) return core::Error{"the picture is too large for a BMP file"};
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (rgb.size() != pixels * 3)
        return core::Error{"expected " + std::to_string(pixels * 3) + " bytes of R, G, B, got " +
                           std::to_string(rgb.size())};

    std::vector<uint32_t> palette;
    if (bits <= 8) {
        auto built = paletteFor(rgb, pixels, variant);
        if (!built) return core::Error{built.error()};
        palette = std::move(built.value());
    }
    const uint32_t offset =
        kFileHeaderSize + kInfoHeaderSize + static_cast<uint32_t>(palette.size()) * 4;
    const bool topDown = variant == BmpVariant::Rgb24TopDown;

    std::vector<uint8_t> out;
    out.reserve(offset + pixelBytes);
    out.push_back('B');
    out.push_back('M');
    put32(out, offset + static_cast<uint32_t>(pixelBytes));
    put32(out, 0);
    put32(out, offset);

    put32(out, kInfoHeaderSize);
    put32(out, static_cast<uint32_t>(width));
    put32(out, static_cast<uint32_t>(topDown ? -height : height));
    put16(out, 1);
    put16(out, static_cast<uint32_t>(bits));
    put32(out, 0);
    put32(out, static_cast<uint32_t>(pixelBytes));
    put32(out, kPixelsPerMetre);
    put32(out, kPixelsPerMetre);
    put32(out, static_cast<uint32_t>(palette.size()));
    put32(out, 0);
    for (uint32_t c : palette) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(static_cast<uint8_t>(c >> 8));
        out.push_back(static_cast<uint8_t>(c >> 16));
        out.push_back(0);
    }

    // Padding bytes and unused low bits of paletted rows stay 0.
    out.resize(offset + pixelBytes, 0);
    for (int row = 0; row < height; ++row) {
        const int y = topDown ? row : height - 1 - row;
        packRow(rgb, static_cast<size_t>(y) * static_cast<size_t>(width), width, variant, palette,
                out.data() + offset + static_cast<uint64_t>(row) * rowBytes);
    }
    return out;
}

core::Result<void> writeBmp(const std::string& path, int width, int height,
                            std::span<const uint8_t> rgb, BmpVariant variant) {
    auto bytes = encodeBmp(width, height, rgb, variant);
    if (!bytes) return core::Error{bytes.error()};
    // Written beside the target and renamed over it, so a failure leaves the old file alone.
    static std::atomic<unsigned> counter{0};
    const std::string tmp =
        path + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
    bool ok = false;
    {
        std::ofstream file(tmp, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes->data()),
                   static_cast<std::streamsize>(bytes->size()));
        file.close();
        ok = static_cast<bool>(file);
    }
    if (ok && std::rename(tmp.c_str(), path.c_str()) == 0) return {};
    std::remove(tmp.c_str());
    return core::Error{"cannot write " + path};
}

}  // namespace orv::bench
