#pragma once
// Which tile of a tiled picture owns a result, so that a merged catalogue keeps every star
// exactly once although neighbouring tiles overlap.
//
// Tile (i, j) is cut at (i·S, j·S) with S + 2M pixels a side; its inner square starts at
// (i·S + M, j·S + M) with S pixels a side (tiles/geometry.h). A tile owns the centroids in its
// inner square; a tile of the first or last column (row) also owns the margin strip between
// its inner square and the picture's left or right (top or bottom) edge. In a covering grid
// (tiles::coverGrid) the tile added at the right (bottom) edge owns from the last whole tile's
// inner square to that edge. All intervals are
// half-open, lo <= v < hi, so the tiles' owned areas cover the picture [0, W) x [0, H) without
// overlap:
//
//   x:  0      M      S+M    2S+M   ...   nx·S+M   W
//       |<--- tile 0 --->|<- 1 ->|   ...  |<- nx-1 ---->|     (columns; rows alike)
//
// Coordinates follow the result files (0-based, y down, a pixel's centre at index + 0.5), in
// big-picture pixels.

#include <optional>

#include "tiles/geometry.h"

namespace orv::catalogue {

// The half-open interval lo <= v < hi.
struct OwnedRange {
    double lo = 0;
    double hi = 0;
    bool contains(double v) const { return lo <= v && v < hi; }
};

// What column i (row j) owns along x (y) of the big picture; empty (lo = hi = 0) for an index
// outside the grid.
OwnedRange ownedColumnRange(const tiles::TileGrid& grid, int64_t i);
OwnedRange ownedRowRange(const tiles::TileGrid& grid, int64_t j);

// Whether tile (i, j) owns a centroid at (x, y).
bool ownsCentroid(const tiles::TileGrid& grid, int64_t i, int64_t j, double x, double y);

// The tile that owns a centroid; nothing outside the picture (or the grid).
struct TileIndex {
    int64_t i = 0, j = 0;
    bool operator==(const TileIndex&) const = default;
};
std::optional<TileIndex> owningTile(const tiles::TileGrid& grid, double x, double y);

// A point of tile (i, j), in the tile's own coordinates, in big-picture coordinates: moved by
// the corner of the pixels cut for the tile (tiles::tileRect; i·S, j·S for whole S).
struct PicturePoint {
    double x = 0;
    double y = 0;
};
PicturePoint tileToPicture(const tiles::TileGrid& grid, int i, int j, double tileX, double tileY);

}  // namespace orv::catalogue
