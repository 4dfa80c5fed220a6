#include "tiles/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

namespace orv::tiles {
namespace {

TEST(TileGeometry, MovesOnlyWhileTheNextOuterSquareFits) {
    const struct {
        int k;
        float size, margin;
        int64_t length;
        bool fits;
    } cases[] = {
        {0, 500, 50, 1200, true},   // (0 + 2) * 500 + 100 = 1100
        {1, 500, 50, 1200, false},  // 1600 > 1200
        {0, 500, 50, 1000, false},  // 1100 > 1000
        {0, 500, 50, 1100, true},   // exactly at the edge
        {0, 500, 50, 1060, false},  // both margins count: 1100 > 1060
        {3, 0.5f, 0, 2, false},     // 2.5 > 2
        {2, 0.5f, 0, 2, true},      // 2 <= 2
    };
    for (const auto& c : cases)
        EXPECT_EQ(nextTileFits(c.k, c.size, c.margin, c.length), c.fits)
            << c.k << " " << c.size << " " << c.length;
}

TEST(TileGeometry, CountsWholeTilesOnly) {
    const struct {
        int64_t length;
        float size, margin;
        int64_t tiles;
    } cases[] = {
        {1200, 500, 50, 2},   {1099, 500, 50, 1},   {1100, 500, 50, 2},
        {599, 500, 50, 0},    {50, 500, 50, 0},  // negative quotient: no tile
        {16384, 500, 50, 32}, {30000, 1, 0, 30000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(wholeTiles(c.length, c.size, c.margin), c.tiles) << c.length << " " << c.size;
}

TEST(TileGeometry, TileNamesReadBackAsTheirPictureAndIndices) {
    for (const auto& [big, i, j] : {std::tuple{"m42.bmp", 2, 13},
                                    {"a.b.c.jpg", 0, 0},
                                    {"x 1.fits", 32767, 1000},
                                    {"m42.bmp.001.002.bmp", 999, 5}}) {
        const auto name = parseTileFileName(tileFileName(big, i, j));
        ASSERT_TRUE(name) << tileFileName(big, i, j);
        EXPECT_EQ(name->bigPicName, big);
        EXPECT_EQ(name->i, i);
        EXPECT_EQ(name->j, j);
    }
    for (const char* other : {"m42.bmp", "m42.bmp.002.013.BMP", "m42.bmp.2.013.bmp",
                              "m42.bmp.0002.013.bmp", "m42.bmp.002.-13.bmp", ".002.013.bmp",
                              "m42.bmp.32768.000.bmp", "002.013.bmp", "m42.bmp.002.01a.bmp"})
        EXPECT_FALSE(parseTileFileName(other)) << other;
}

TEST(TileGeometry, RefusesSettingsThatCannotCutTiles) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float size, margin;
        int64_t width, height;
        bool settings, grid, exportable;
    } cases[] = {
        {500, 50, 1200, 1000, true, true, true},
        {0, 50, 1200, 1000, false, false, false},
        {-5, 50, 1200, 1000, false, false, false},
        {nan, 50, 1200, 1000, false, false, false},
        {inf, 50, 1200, 1000, false, false, false},
        {500, -1, 1200, 1000, false, false, false},
        {500, inf, 1200, 1000, false, false, false},
        {16284, 50, 20000, 20000, true, true, true},  // a side of 16384
        {16285, 50, 20000, 20000, false, false, false},
        {0.4f, 0, 1200, 1000, false, false, false},  // a side below one pixel
        {1.5f, 0, 60000, 100, true, false, false},   // 40000 columns
        {1, 0, 32767, 1, true, true, true},
        {1, 0, 32768, 1, true, false, false},
        {100, 0, 20000, 16400, true, true, false},  // 200 x 164 = 32800 tiles
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + " " + std::to_string(c.margin));
        EXPECT_EQ(checkSettings(c.size, c.margin).ok(), c.settings);
        EXPECT_EQ(checkGrid(c.size, c.margin, c.width, c.height).ok(), c.grid);
        const auto all = checkExport(c.size, c.margin, c.width, c.height);
        EXPECT_EQ(all.ok(), c.exportable);
        EXPECT_EQ(all.error().empty(), c.exportable);
    }
}

}  // namespace
}  // namespace orv::tiles
