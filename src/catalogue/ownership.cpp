#include "catalogue/ownership.h"

#include <algorithm>
#include <cmath>

namespace orv::catalogue {

namespace {

// Tile k of `count` along an axis of `length` pixels (the inner square's x and y follow the
// same rule, so x serves both axes).
// The tile a covering grid adds after the whole ones owns from the last whole tile's inner
// square to the edge.
OwnedRange ownedRange(const tiles::TileGrid& grid, int64_t count, int64_t length, int64_t k) {
    if (k < 0 || k >= count) return {};
    const int64_t whole = grid.cover ? tiles::wholeTiles(length, grid.size, grid.margin) : count;
    const int64_t at = std::min(k, std::max<int64_t>(whole - 1, 0));
    const tiles::Square inner =
        tiles::innerSquare(grid.size, grid.margin, static_cast<int>(at), static_cast<int>(at));
    const double end = inner.x + inner.side;
    const double lo = k == 0 ? 0.0 : k < whole ? inner.x : end;
    const double hi = k == count - 1 ? static_cast<double>(length) : end;
    return {lo, hi};
}

// The index along an axis whose owned range holds v, or -1.
int64_t owningIndex(const tiles::TileGrid& grid, int64_t count, int64_t length, double v) {
    if (count <= 0 || !(v >= 0)) return -1;
    // The estimate is off by at most one where rounding meets a boundary.
    const double estimate = std::floor((v - grid.margin) / grid.size);
    const int64_t k = estimate < 0                             ? 0
                      : estimate >= static_cast<double>(count) ? count - 1
                                                               : static_cast<int64_t>(estimate);
    for (int64_t c : {k, k - 1, k + 1})
        if (ownedRange(grid, count, length, c).contains(v)) return c;
    return -1;
}

}  // namespace

OwnedRange ownedColumnRange(const tiles::TileGrid& grid, int64_t i) {
    return ownedRange(grid, grid.columns, grid.width, i);
}

OwnedRange ownedRowRange(const tiles::TileGrid& grid, int64_t j) {
    return ownedRange(grid, grid.rows, grid.height, j);
}

bool ownsCentroid(const tiles::TileGrid& grid, int64_t i, int64_t j, double x, double y) {
    return ownedColumnRange(grid, i).contains(x) && ownedRowRange(grid, j).contains(y);
}

std::optional<TileIndex> owningTile(const tiles::TileGrid& grid, double x, double y) {
    const int64_t i = owningIndex(grid, grid.columns, grid.width, x);
    const int64_t j = owningIndex(grid, grid.rows, grid.height, y);
    if (i < 0 || j < 0) return std::nullopt;
    return TileIndex{i, j};
}

PicturePoint tileToPicture(const tiles::TileGrid& grid, int i, int j, double tileX, double tileY) {
    const tiles::PixelRect cut = tiles::tileRect(grid, i, j);
    return {tileX + static_cast<double>(cut.x), tileY + static_cast<double>(cut.y)};
}

}  // namespace orv::catalogue
