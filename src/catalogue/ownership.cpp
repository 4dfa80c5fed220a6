#include "catalogue/ownership.h"

namespace orv::catalogue {

namespace {

// Tile k of `count` along an axis of `length` pixels.
OwnedRange ownedRange(double size, double margin, int count, double length, int k) {
    if (k < 0 || k >= count) return {};
    const double lo = k == 0 ? 0.0 : k * size + margin;
    const double hi = k == count - 1 ? length : (k + 1) * size + margin;
    return {lo, hi};
}

}  // namespace

OwnedRange ownedColumnRange(const TileGrid& grid, int i) {
    return ownedRange(grid.size, grid.margin, grid.columns, grid.width, i);
}

OwnedRange ownedRowRange(const TileGrid& grid, int j) {
    return ownedRange(grid.size, grid.margin, grid.rows, grid.height, j);
}

bool ownsCentroid(const TileGrid& grid, int i, int j, double x, double y) {
    return ownedColumnRange(grid, i).contains(x) && ownedRowRange(grid, j).contains(y);
}

bool ownsTileCentroid(const TileGrid& grid, int i, int j, double tileX, double tileY) {
    const OwnedRange xs = ownedColumnRange(grid, i), ys = ownedRowRange(grid, j);
    const double dx = i * grid.size, dy = j * grid.size;
    return OwnedRange{xs.lo - dx, xs.hi - dx}.contains(tileX) &&
           OwnedRange{ys.lo - dy, ys.hi - dy}.contains(tileY);
}

PicturePoint tileToPicture(const TileGrid& grid, int i, int j, double tileX, double tileY) {
    return {tileX + i * grid.size, tileY + j * grid.size};
}

}  // namespace orv::catalogue
