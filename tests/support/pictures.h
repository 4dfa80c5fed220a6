#pragma once
// Tiny pictures with known answers, and loading them into a test window.

#include <functional>
#include <string>
#include <vector>

#include "form/picture.h"
#include "support/test_app.h"

namespace orv::test {

// Whole numbers below n, the same sequence for a seed on every machine (a linear congruential
// generator, its high 24 bits).
struct Draws {
    uint32_t seed;
    uint32_t next() { return (seed = seed * 1664525u + 1013904223u) >> 8; }
    uint32_t operator()(uint32_t n) { return next() % n; }
};

// A grey picture (R = G = B) of the given size; level(x, y) with 0-based picture coordinates.
form::Picture greyPicture(int width, int height, const std::function<int(int, int)>& level);
// A picture drawn as text rows: '.' is `background`, '#' is `bright`, digits 1-9 are 10 x digit.
form::Picture textPicture(const std::vector<std::string>& rows, int bright = 100,
                          int background = 0);
// A picture with independent R, G, B values per pixel.
form::Picture rgbPicture(int width, int height, const std::function<void(int, int, uint8_t*)>& rgb);

// Loads the picture into the test window as the file <dir>/<name> (source 3), as the batch
// run or a result-file reload does; an empty file stands at that path. True when it loaded.
bool loadPicture(TestApp& app, const form::Picture& picture, const std::string& name = "test.bmp");

// The standard settings of a typical run: HeikinWidth 4, Siki 4, SikiTop 240, NumPixel 5,
// NumPixel2 12, Sinendo 2, SinendoMax 30, Margin 0.
void typicalSettings(core::Settings& s);

}  // namespace orv::test
