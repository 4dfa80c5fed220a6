#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/array2d.h"
#include "form/canvas.h"

namespace orv::core {
namespace {

TEST(Storage, ReusedBlocksComeBackZeroedWhenAskedFor) {
    // Large enough to go through the block cache.
    for (int round = 0; round < 3; ++round) {
        Array2D<uint32_t> a;
        a.create(0, 1023, -1, 1023);
        for (int y = -1; y <= 1023; y += 7)
            for (int x = 0; x <= 1023; x += 5) ASSERT_EQ(a(x, y), 0u);
        std::fill_n(a.at(0, -1), a.size(), 0xDEADBEEFu);
    }
    Array2D<uint32_t> b;
    b.create(0, 1023, -1, 1023, false);  // contents are the caller's to write
    b(1023, 1023) = 7;
    Array2D<uint32_t> copy = b;
    EXPECT_EQ(copy(1023, 1023), 7u);
    Array2D<uint32_t> moved = std::move(copy);
    EXPECT_EQ(moved(1023, 1023), 7u);
    EXPECT_TRUE(copy.empty());
}

TEST(Storage, CanvasClearAfterDrawingAndAfterAnUnclearedResize) {
    form::Canvas c;
    c.resize(600, 600, false);
    c.setPixel(3, 4, form::RGB(1, 2, 3));
    c.clear();
    EXPECT_EQ(c.pixel(3, 4), c.background());
    EXPECT_EQ(c.pixel(599, 599), c.background());
    const auto before = c.revision();
    c.clear();  // nothing drawn since: nothing to do
    EXPECT_EQ(c.revision(), before);
    c.fillBox(10, 10, 11, 11, form::RGB(9, 9, 9));
    EXPECT_EQ(c.pixel(10, 10), form::RGB(9, 9, 9));
    EXPECT_EQ(c.pixel(11, 11), c.background());
    c.clear();
    EXPECT_EQ(c.pixel(10, 10), c.background());
    // A filled dot of radius 0.5 paints the pixel holding its centre.
    c.circle(20.5, 30.5, 0.5, form::RGB(255, 0, 0), true);
    EXPECT_EQ(c.pixel(20, 30), form::RGB(255, 0, 0));
    EXPECT_EQ(c.pixel(21, 30), c.background());
    // A grey row from levels rounds them to the nearest whole level, ties to even.
    std::vector<float> levels(600, 0.0f);  // a whole row
    const float tested[6] = {0.5f, 1.5f, 2.5f, 2.5001f, 254.5f, 255.0f};
    std::copy(tested, tested + 6, levels.begin());
    c.drawGreyRow(7, levels.data());
    const int expected[6] = {0, 2, 2, 3, 254, 255};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(c.pixel(i, 7), form::greyRgb(expected[i])) << tested[i];
    // A marked content is held until something is drawn.
    c.markContent(5);
    EXPECT_TRUE(c.holds(5));
    EXPECT_FALSE(c.holds(6));
    c.setPixel(0, 0, 0);
    EXPECT_FALSE(c.holds(5));
    form::Canvas nullCanvas;
    nullCanvas.setNull(true);
    nullCanvas.resize(10, 10);
    EXPECT_TRUE(nullCanvas.isNull());
    nullCanvas.setPixel(1, 1, 0);  // ignored
}

// Coordinates from a damaged result file may be anything: far-off shapes paint nothing (and
// convert nothing out of range), and a line from far away still paints where it crosses.
TEST(Storage, CanvasDrawingFarOutsideIsSafe) {
    form::Canvas c;
    c.resize(20, 10);
    const form::Rgb red = form::RGB(255, 0, 0);
    const double far[] = {1e30, -1e30, 3e9, -3e9, NAN, INFINITY};
    for (double v : far) {
        c.circle(v, 5, 0.5, red, true);
        c.circle(5, v, 0.5, red, false);
        c.fillBox(v, v, v, v, red);
        c.line(v, v, v, 3, red);
    }
    int painted = 0;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) painted += c.pixel(x, y) == red;
    EXPECT_EQ(painted, 0);
    c.clear();
    c.line(-1e30, 7.5, 1e30, 7.5, red);
    for (int x = 0; x < 20; ++x) EXPECT_EQ(c.pixel(x, 7), red) << x;
    EXPECT_EQ(c.pixel(0, 6), c.background());
}

}  // namespace
}  // namespace orv::core
