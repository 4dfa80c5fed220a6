#pragma once
// One catalogue of a tiled picture from its tiles' results: every result moved to big-picture
// coordinates, each star kept once.
//
// Outline:
// 1. Move every result by its tile's cut corner to big-picture coordinates.
// 2. Keep a result when its tile owns its centroid (catalogue/ownership.h); its copies in the
//    neighbours' margins fall on their tiles' far side and are dropped.
// 3. A star near the boundary between two tiles is seen whole by both, each from its own
//    pixels, but its centroid is a quotient of single-precision sums taken in each tile's own
//    coordinates, so the two copies may differ in their last digits and fall both on their own
//    side of the boundary (kept twice) or both on the other (lost). So copies within
//    kPairTolerance of a boundary are paired with their copies in the other tiles (the same
//    pixel count, level sum and peak level, centroids within kPairTolerance of each other), and
//    each such star's owner is decided once, from its copy in the first of those tiles (row by
//    row, then column by column), and only the owner's copy is kept. (Where the owner holds no
//    copy of the group, the group is pieces of a star cut by the same outer edge of two tiles,
//    and the owner's own copy, whole, is decided on by itself.)

#include <cstddef>
#include <vector>

#include "catalogue/catalogue.h"
#include "tiles/geometry.h"

namespace orv::catalogue {

// Pixels; far more than the rounding of a tile's centroid and far less than the distance
// between two different clusters' centroids of the same size and brightness.
inline constexpr double kPairTolerance = 0.05;

// The results of tile (i, j), x and y in the tile's own coordinates.
struct TileResults {
    int i = 0, j = 0;
    std::vector<CatalogueRecord> records;
};

struct MergeCounts {
    size_t read = 0;  // results of all tiles
    size_t kept = 0;
    // Stars near a boundary whose copies the rule taken copy by copy would have kept twice, or
    // not at all, or as a piece; decided once for all their copies instead.
    size_t decidedOnce = 0;
};

// The kept results with x and y in big-picture coordinates, tile by tile in the order given
// and within a tile in its own order. Each tile (i, j) must appear once.
std::vector<CatalogueRecord> mergeTiles(const tiles::TileGrid& grid,
                                        const std::vector<TileResults>& tiles,
                                        MergeCounts* counts = nullptr);

}  // namespace orv::catalogue
