#pragma once
// Big pictures with a pixel pattern that tells every position apart, for the tile tests.

#include <cstdint>
#include <memory>
#include <vector>

#include "form/picture.h"

namespace orv::tiles::test {

// The R, G, B of pixel (x, y) of the pattern (of the grey pattern, all three its R).
inline void patternPixel(int x, int y, uint8_t* rgb, bool grey = false) {
    rgb[0] = static_cast<uint8_t>(7 * x + 3 * y);
    rgb[1] = grey ? rgb[0] : static_cast<uint8_t>(x + 2 * y + 11);
    rgb[2] = grey ? rgb[0] : static_cast<uint8_t>(x * y + x / 256 + 5 * (y / 256));
}

// The pattern (or the grey pattern) as tightly packed R, G, B bytes.
inline std::vector<uint8_t> patternBytes(int width, int height, bool grey = false) {
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            patternPixel(x, y, &rgb[(static_cast<size_t>(y) * width + x) * 3], grey);
    return rgb;
}

inline constexpr form::PixelLayout kAllLayouts[] = {
    form::PixelLayout::Rgb888, form::PixelLayout::Bgrx8888, form::PixelLayout::Grey8};

// The pattern as a picture in any layout (Grey8: the grey pattern).
inline form::Picture patternPicture(int width, int height, form::PixelLayout layout) {
    auto rgb = patternBytes(width, height);
    if (layout == form::PixelLayout::Rgb888)
        return form::Picture::fromRgb(width, height,
                                      std::make_shared<const std::vector<uint8_t>>(std::move(rgb)));
    const bool grey = layout == form::PixelLayout::Grey8;
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    for (size_t k = 0; k < rgb.size(); k += 3) {
        if (grey)
            bytes->push_back(rgb[k]);
        else
            bytes->insert(bytes->end(), {rgb[k + 2], rgb[k + 1], rgb[k], 0xFF});
    }
    form::Picture p;
    p.width = width;
    p.height = height;
    p.bits = bytes->data();
    p.stride = static_cast<size_t>(width) * (grey ? 1 : 4);
    p.layout = layout;
    p.owner = bytes;
    return p;
}

// The tightly packed R, G, B of a square of the pattern, black outside the picture.
inline std::vector<uint8_t> patternCrop(int width, int height, int64_t x0, int64_t y0, int side,
                                        bool grey = false) {
    std::vector<uint8_t> rgb(static_cast<size_t>(side) * side * 3, 0);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            if (x0 + x < width && y0 + y < height)
                patternPixel(static_cast<int>(x0 + x), static_cast<int>(y0 + y),
                             &rgb[(static_cast<size_t>(y) * side + x) * 3], grey);
    return rgb;
}

inline std::vector<uint8_t> pixelsOf(const form::Picture& p) {
    std::vector<uint8_t> rgb;
    for (int y = 0; y < p.height; ++y) rgb.insert(rgb.end(), p.row(y), p.row(y) + 3 * p.width);
    return rgb;
}

}  // namespace orv::tiles::test
