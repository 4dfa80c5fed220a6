// Which tile owns a centroid: the inner squares and edge strips partition the picture.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "catalogue/ownership.h"

namespace orv::catalogue {
namespace {

// Along one axis, literally: tile k owns its inner interval [kS + M, (k+1)S + M), the first
// tile also the strip [0, M) before it, the last tile also the strip from its inner end to L.
bool literalOwns(double s, double m, int n, double length, int k, double v) {
    if (k < 0 || k >= n) return false;
    const double innerLo = k * s + m, innerHi = innerLo + s;
    if (innerLo <= v && v < innerHi) return true;
    if (k == 0 && 0 <= v && v < innerLo) return true;
    return k == n - 1 && innerHi <= v && v < length;
}

using tiles::TileGrid;

// W 1200, H 1000, S 500, M 50: 2 x 1 tiles. A 3 x 3 grid on 1650 x 1650 (50 px never cut).
const TileGrid kWide = tiles::tileGrid(500, 50, 1200, 1000);
const TileGrid kNine = tiles::tileGrid(500, 50, 1650, 1650);

struct Case {
    const TileGrid* grid;
    double x, y;
    int ownerI, ownerJ;  // kNobody: no tile owns it
};

constexpr int kNobody = -99;

TEST(Ownership, BoundariesAndEdgeStripsGoToExactlyOneTile) {
    const std::vector<Case> cases = {
        {&kWide, 0, 0, 0, 0},                  // the picture's corner: the first tile's edge strips
        {&kWide, 49.9, 999.5, 0, 0},           // left strip, bottom strip of the only row
        {&kWide, 549.999, 500, 0, 0},          // just before the inner boundary
        {&kWide, 550, 500, 1, 0},              // the boundary itself: the right-hand tile
        {&kWide, 1100, 10, 1, 0},              // the last tile's right margin
        {&kWide, 1199.5, 10, 1, 0},            // the strip never cut, up to the edge
        {&kWide, 1200, 10, kNobody, kNobody},  // the edge itself lies outside
        {&kWide, -0.5, 10, kNobody, kNobody},  // before the picture
        {&kNine, 549.5, 550, 0, 1},            // row boundary on y
        {&kNine, 1050, 1049.999, 2, 1},        // column 2 starts at 2S + M
        {&kNine, 1600, 1600, 2, 2},            // corner strip of the last tile
        {&kNine, 600, 20, 1, 0},               // top strip of a middle column
        {&kNine, 20, 1100, 0, 2},              // left strip of the last row
        {&kNine, 800, 800, 1, 1},              // a middle tile owns only its inner square
    };
    for (const Case& c : cases) {
        for (int i = -1; i <= c.grid->columns; ++i) {
            for (int j = -1; j <= c.grid->rows; ++j) {
                const bool owner = i == c.ownerI && j == c.ownerJ;
                EXPECT_EQ(ownsCentroid(*c.grid, i, j, c.x, c.y), owner)
                    << "(" << c.x << ", " << c.y << ") tile " << i << "," << j;
            }
        }
        const auto found = owningTile(*c.grid, c.x, c.y);
        EXPECT_EQ(found.has_value(), c.ownerI != kNobody) << c.x << "," << c.y;
        if (found) {
            EXPECT_EQ(*found, (TileIndex{c.ownerI, c.ownerJ})) << c.x << "," << c.y;
        }
    }
}

// Points along an axis: every tile boundary, the edges, a hair and half a pixel to each side.
std::vector<double> probes(double s, double m, int n, double length) {
    std::vector<double> marks = {0, m, length, length - m};
    for (int k = 0; k <= n + 1; ++k) marks.push_back(k * s + m);
    std::vector<double> out;
    for (double v : marks)
        for (double d : {-0.5, -1e-9, 0.0, 1e-9, 0.5, 17.25}) out.push_back(v + d);
    return out;
}

TEST(Ownership, TilesPartitionThePictureAsTheLiteralRuleSays) {
    const std::vector<TileGrid> grids = {
        kWide,
        kNine,
        tiles::tileGrid(500, 50, 600, 650),
        tiles::tileGrid(100, 0, 400, 230),
        tiles::tileGrid(64, 8, 350, 220),
        tiles::tileGrid(2.5f, 1.25f, 13, 9),  // fractional settings
        tiles::tileGrid(7, 3, 40, 31),
    };
    for (const TileGrid& g : grids) {
        for (double x : probes(g.size, g.margin, g.columns, g.width)) {
            for (double y : probes(g.size, g.margin, g.rows, g.height)) {
                int owners = 0;
                for (int i = 0; i < g.columns; ++i) {
                    for (int j = 0; j < g.rows; ++j) {
                        const bool owns = ownsCentroid(g, i, j, x, y);
                        owners += owns;
                        if (owns) {
                            ASSERT_EQ(owningTile(g, x, y), (TileIndex{i, j}));
                        }
                        ASSERT_EQ(owns, literalOwns(g.size, g.margin, g.columns, g.width, i, x) &&
                                            literalOwns(g.size, g.margin, g.rows, g.height, j, y))
                            << x << "," << y << " tile " << i << "," << j;
                    }
                }
                const bool inside = x >= 0 && x < g.width && y >= 0 && y < g.height;
                ASSERT_EQ(owners, inside ? 1 : 0) << x << "," << y;
                if (!inside) {
                    ASSERT_FALSE(owningTile(g, x, y)) << x << "," << y;
                }
            }
        }
    }
}

// A covering grid along one axis of `length` pixels, literally: n = Int((L - 2M) / S) whole
// tiles meeting at kS + M; where the last whole tile's cut ends before L (or there is none),
// one more tile, cut as long as a whole one (or as L, when shorter) and ending at L, owns from
// nS + M (from 0 when it is the only one) to L.
struct LiteralAxis {
    std::vector<double> starts;  // owned from starts[k] to starts[k + 1] (the last to L)
    std::vector<std::pair<int64_t, int64_t>> cuts;  // [first pixel, end)
};
LiteralAxis literalCover(double s, double m, int64_t length) {
    LiteralAxis a;
    const auto n = static_cast<int64_t>(std::max(0.0, std::floor((length - 2 * m) / s)));
    const auto side = static_cast<int64_t>(s + 2 * m);
    for (int64_t k = 0; k < n; ++k) {
        a.starts.push_back(k == 0 ? 0 : k * s + m);
        a.cuts.push_back({static_cast<int64_t>(k * s), static_cast<int64_t>(k * s) + side});
    }
    if (n == 0 || a.cuts.back().second < length) {
        a.starts.push_back(n == 0 ? 0 : n * s + m);
        a.cuts.push_back({std::max<int64_t>(length - side, 0), length});
    }
    return a;
}

TEST(Ownership, CoveringTilesOwnEveryPixelOnceAndSeeItWithTheirMargin) {
    struct Size {
        float s, m;
        int64_t width, height;
    };
    const std::vector<Size> sizes = {
        {500, 50, 1200, 1000},  // strips of 100 and 400 px beyond the whole tiles
        {500, 50, 1100, 1600},  // whole tiles reach both edges: no tile added
        {300, 50, 1234, 987},   //
        {100, 10, 1000, 1020},  // a multiple of S, and a multiple plus 2M
        {500, 50, 599, 40},     // smaller than one tile: one tile, the whole picture
        {500, 50, 600, 601},    // exactly one tile across; one pixel more down
        {64, 8, 81, 79},        //
        {1, 0, 3, 1},           // one-pixel tiles
    };
    for (const Size& z : sizes) {
        const TileGrid g = tiles::coverGrid(z.s, z.m, z.width, z.height);
        const LiteralAxis ax = literalCover(z.s, z.m, z.width),
                          ay = literalCover(z.s, z.m, z.height);
        ASSERT_EQ(g.columns, static_cast<int64_t>(ax.cuts.size())) << z.width;
        ASSERT_EQ(g.rows, static_cast<int64_t>(ay.cuts.size())) << z.height;
        for (int i = 0; i < g.columns; ++i)
            for (int j = 0; j < g.rows; ++j) {
                const tiles::PixelRect r = tiles::tileRect(g, i, j);
                EXPECT_EQ(r, (tiles::PixelRect{ax.cuts[i].first, ay.cuts[j].first,
                                               ax.cuts[i].second - ax.cuts[i].first,
                                               ay.cuts[j].second - ay.cuts[j].first}))
                    << z.width << " x " << z.height << " tile " << i << "," << j;
            }
        // Every pixel's centre along each axis: one owner, the literal one, whose cut holds
        // the pixel and M pixels on either side of it (where the picture has them).
        for (const bool columns : {true, false}) {
            const LiteralAxis& a = columns ? ax : ay;
            const int64_t length = columns ? z.width : z.height;
            for (int64_t p = 0; p < length; ++p) {
                const double v = p + 0.5;
                int owners = 0;
                for (int64_t k = 0; k < static_cast<int64_t>(a.cuts.size()); ++k) {
                    const OwnedRange r = columns ? ownedColumnRange(g, k) : ownedRowRange(g, k);
                    const double hi = k + 1 < static_cast<int64_t>(a.starts.size())
                                          ? a.starts[k + 1]
                                          : static_cast<double>(length);
                    ASSERT_EQ(r.contains(v), a.starts[k] <= v && v < hi)
                        << length << " pixel " << p << " tile " << k;
                    if (!r.contains(v)) continue;
                    ++owners;
                    const auto [lo, end] = a.cuts[k];
                    ASSERT_LE(lo, std::max<int64_t>(p - static_cast<int64_t>(z.m), 0)) << p;
                    ASSERT_GE(end, std::min<int64_t>(p + 1 + static_cast<int64_t>(z.m), length))
                        << p;
                }
                ASSERT_EQ(owners, 1) << length << " pixel " << p;
            }
        }
        // And the owner found for a centre is that one, also across both axes.
        for (int64_t x = 0; x < z.width; x += 7)
            for (int64_t y = 0; y < z.height; y += 5) {
                const auto owner = owningTile(g, x + 0.5, y + 0.5);
                ASSERT_TRUE(owner) << x << "," << y;
                EXPECT_TRUE(ownsCentroid(g, owner->i, owner->j, x + 0.5, y + 0.5));
            }
    }
}

TEST(Ownership, TilePointsMoveByTheirCutCorner) {
    const PicturePoint p = tileToPicture(kNine, 2, 1, 50.5, 60.5);
    EXPECT_EQ(p.x, 1050.5);
    EXPECT_EQ(p.y, 560.5);
    EXPECT_TRUE(ownsCentroid(kNine, 2, 1, p.x, p.y));
    // S 2.5: the tiles are cut at whole pixels, 2.5 and 7.5 rounded to even.
    const TileGrid fractional = tiles::tileGrid(2.5f, 1.25f, 13, 9);
    EXPECT_EQ(tileToPicture(fractional, 1, 3, 0.5, 0.5).x, 2.5);
    EXPECT_EQ(tileToPicture(fractional, 1, 3, 0.5, 0.5).y, 8.5);
}

}  // namespace
}  // namespace orv::catalogue
