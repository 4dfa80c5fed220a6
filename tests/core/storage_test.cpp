#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "core/array2d.h"
#include "ui/canvas.h"

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
    ui::Canvas c;
    c.resize(600, 600, false);
    c.setPixel(3, 4, ui::RGB(1, 2, 3));
    c.clear();
    EXPECT_EQ(c.pixel(3, 4), c.background());
    EXPECT_EQ(c.pixel(599, 599), c.background());
    const auto before = c.revision();
    c.clear();  // nothing drawn since: nothing to do
    EXPECT_EQ(c.revision(), before);
    c.fillBox(10, 10, 11, 11, ui::RGB(9, 9, 9));
    EXPECT_EQ(c.pixel(10, 10), ui::RGB(9, 9, 9));
    EXPECT_EQ(c.pixel(11, 11), c.background());
    c.clear();
    EXPECT_EQ(c.pixel(10, 10), c.background());
    // A filled dot of radius 0.5 paints the pixel holding its centre.
    c.circle(20.5, 30.5, 0.5, ui::RGB(255, 0, 0), true);
    EXPECT_EQ(c.pixel(20, 30), ui::RGB(255, 0, 0));
    EXPECT_EQ(c.pixel(21, 30), c.background());
    // A grey row from levels rounds them to the nearest whole level, ties to even.
    std::vector<float> levels(600, 0.0f);  // a whole row
    const float tested[6] = {0.5f, 1.5f, 2.5f, 2.5001f, 254.5f, 255.0f};
    std::copy(tested, tested + 6, levels.begin());
    c.drawGreyRow(7, levels.data());
    const int expected[6] = {0, 2, 2, 3, 254, 255};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(c.pixel(i, 7), ui::greyRgb(expected[i])) << tested[i];
    // A marked content is held until something is drawn.
    c.markContent(5);
    EXPECT_TRUE(c.holds(5));
    EXPECT_FALSE(c.holds(6));
    c.setPixel(0, 0, 0);
    EXPECT_FALSE(c.holds(5));
    ui::Canvas nullCanvas;
    nullCanvas.setNull(true);
    nullCanvas.resize(10, 10);
    EXPECT_TRUE(nullCanvas.isNull());
    nullCanvas.setPixel(1, 1, 0);  // ignored
}

}  // namespace
}  // namespace orv::core
