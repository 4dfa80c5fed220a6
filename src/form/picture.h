#pragma once
// A decoded picture as the platform hands it to the engine: 8-bit R, G, B per pixel in one of
// three memory layouts, with an owner that keeps the pixels alive; or, for a picture deeper
// than 8 bits, its samples as they are, which the stretch (formats/stretch.h) brings to 8 bits.

#include <cstdint>
#include <memory>
#include <span>
#include <variant>
#include <vector>

namespace orv::form {

enum class PixelLayout {
    Rgb888,    // bytes R, G, B
    Bgrx8888,  // bytes B, G, R, X (a 32-bit 0xXXRRGGBB word on a little-endian machine)
    Grey8,     // one byte, R = G = B
};

// Samples deeper than 8 bits (16-bit PNG or TIFF, FITS), one plane per channel (1 grey, or 3
// for R, G, B), each plane row by row from the top row down, x fastest. The value of a sample
// s is offset + scale * s; a NaN or infinite sample is a missing pixel. The samples are held
// here, or shown where they lie: a caller's array in the same layout, which must outlive every
// use of these samples (`owner` may keep it alive).
struct DeepSamples {
    int width = 0;
    int height = 0;
    int channels = 1;
    std::variant<std::vector<uint16_t>, std::vector<float>, std::vector<double>,
                 std::span<const uint16_t>, std::span<const float>, std::span<const double>>
        samples;
    std::shared_ptr<const void> owner;
    double offset = 0.0;
    double scale = 1.0;

    size_t count() const { return static_cast<size_t>(width) * height * channels; }
};

struct Picture {
    int width = 0;
    int height = 0;
    const uint8_t* bits = nullptr;  // row y starts at bits + y * stride
    size_t stride = 0;
    PixelLayout layout = PixelLayout::Rgb888;
    std::shared_ptr<const void> owner;
    // Set (with bits null) for a deep picture, which must be stretched before use.
    std::shared_ptr<const DeepSamples> deep;

    bool empty() const { return width <= 0 || height <= 0 || bits == nullptr; }
    const uint8_t* row(int y) const { return bits + static_cast<size_t>(y) * stride; }

    // A picture that owns a copy of tightly packed RGB bytes.
    static Picture fromRgb(int width, int height, std::shared_ptr<const std::vector<uint8_t>> rgb);
};

}  // namespace orv::form
