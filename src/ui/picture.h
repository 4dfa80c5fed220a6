#pragma once
// A decoded picture as the platform hands it to the engine: 8-bit R, G, B per pixel in one of
// two memory layouts, with an owner that keeps the pixels alive.

#include <cstdint>
#include <memory>
#include <vector>

namespace orv::ui {

enum class PixelLayout {
    Rgb888,    // bytes R, G, B
    Bgrx8888,  // bytes B, G, R, X (a 32-bit 0xXXRRGGBB word on a little-endian machine)
};

struct Picture {
    int width = 0;
    int height = 0;
    const uint8_t* bits = nullptr;  // row y starts at bits + y * stride
    size_t stride = 0;
    PixelLayout layout = PixelLayout::Rgb888;
    std::shared_ptr<const void> owner;

    bool empty() const { return width <= 0 || height <= 0 || bits == nullptr; }
    const uint8_t* row(int y) const { return bits + static_cast<size_t>(y) * stride; }

    // A picture that owns a copy of tightly packed RGB bytes.
    static Picture fromRgb(int width, int height, std::shared_ptr<const std::vector<uint8_t>> rgb);
};

}  // namespace orv::ui
