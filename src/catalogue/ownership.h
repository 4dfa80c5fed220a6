#pragma once
// Which tile of a tiled picture owns a result, so that a merged catalogue keeps every star
// exactly once although neighbouring tiles overlap.
//
// Tile (i, j) is cut at (i·S, j·S) with S + 2M pixels a side; its inner square starts at
// (i·S + M, j·S + M) with S pixels a side. A tile owns the centroids in its inner square; a tile
// of the first or last column (row) also owns the margin strip between its inner square and
// the picture's left or right (top or bottom) edge. All intervals are half-open, lo <= v < hi,
// so the tiles' owned areas cover the picture [0, W) x [0, H) without overlap:
//
//   x:  0      M      S+M    2S+M   ...   nx·S+M   W
//       |<--- tile 0 --->|<- 1 ->|   ...  |<- nx-1 ---->|     (columns; rows alike)
//
// Coordinates follow the result files (0-based, y down, a pixel's centre at index + 0.5).
// S, M, W and H are whole pixel counts in practice; any values work, and the comparisons in a
// tile's own coordinates use the shifted bounds, so both forms agree exactly for whole values.

namespace orv::catalogue {

struct TileGrid {
    double size = 0;    // S, the step between tiles
    double margin = 0;  // M
    int columns = 0;    // nx, tiles across
    int rows = 0;       // ny, tiles down
    double width = 0;   // W, the big picture's size in pixels
    double height = 0;  // H
};

// The half-open interval lo <= v < hi.
struct OwnedRange {
    double lo = 0;
    double hi = 0;
    bool contains(double v) const { return lo <= v && v < hi; }
};

// What column i (row j) owns along x (y) of the big picture; empty (lo = hi = 0) for an index
// outside the grid.
OwnedRange ownedColumnRange(const TileGrid& grid, int i);
OwnedRange ownedRowRange(const TileGrid& grid, int j);

// Whether tile (i, j) owns a centroid at (x, y) given in big-picture coordinates.
bool ownsCentroid(const TileGrid& grid, int i, int j, double x, double y);
// The same for a centroid given in the tile's own coordinates (as its result files hold it).
bool ownsTileCentroid(const TileGrid& grid, int i, int j, double tileX, double tileY);

// A point of tile (i, j) in big-picture coordinates: (tileX + i·S, tileY + j·S).
struct PicturePoint {
    double x = 0;
    double y = 0;
};
PicturePoint tileToPicture(const TileGrid& grid, int i, int j, double tileX, double tileY);

}  // namespace orv::catalogue
