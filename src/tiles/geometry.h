#pragma once
// The tile grid over a big picture, its names and its limits.
//
// Shared rules: coordinates are big-picture pixels, x to the right and y downward from the
// top-left corner of the picture (the corner of pixel (0, 0)); a square is given by its
// top-left corner and its side. S is the tile step (DivSize) and M the margin (DivMargin),
// both single precision as the text boxes give them. Tile (i, j) is column i, row j, from 0.
//
//        i*S    i*S+M                  i*S+S+M  i*S+S+2M
//   j*S    +------------------------------------------+   outer square: what is cut and
//          |  margin                                  |   saved, side S + 2M
//   j*S+M  |      +----------------------------+      |
//          |      | inner square, side S       |      |   consecutive tiles start S apart,
//          |      |                            |      |   so their margins overlap and the
//          |      +----------------------------+      |   inner squares meet edge to edge
//          |                                          |
//          +------------------------------------------+

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/result.h"

namespace orv::tiles {

// Limits: a tile is at most what the picture loader reads (16384 pixels a side), and tile
// indices and the number of tiles of a batch list are 16-bit.
inline constexpr double kMaxTileSide = 16384;
inline constexpr int64_t kMaxTileIndex = 32767;

struct Square {
    double x = 0, y = 0, side = 0;
};

// Outer square of tile (i, j): (i*S, j*S), side S + 2M.
Square outerSquare(float size, float margin, int i, int j);
// Inner square of tile (i, j): (i*S + M, j*S + M), side S.
Square innerSquare(float size, float margin, int i, int j);

// The pixels cut for tile (i, j): the outer square with its corner and side rounded to whole
// pixels (ties to even), so that whole-number settings cut exactly the outer square.
struct PixelSquare {
    int64_t x = 0, y = 0, side = 0;
};
PixelSquare cutSquare(float size, float margin, int i, int j);

// Number of whole tiles along a side of `length` pixels: Int((length - 2M) / S), and 0 when
// that is negative. A tile is whole when its outer square lies inside the picture. S must be
// positive (see checkSettings).
int64_t wholeTiles(int64_t length, float size, float margin);

// Number of tiles along a side of `length` pixels that cover it whole: the whole tiles, and one
// more where they leave a strip at the far edge (see tileRect); 1 for a side shorter than a
// tile, 0 for none.
int64_t coverTiles(int64_t length, float size, float margin);

// The grid over a width x height picture: tiles (0..columns-1, 0..rows-1). A plain grid holds
// the whole tiles alone; a covering grid (`cover`) also the tiles at the right and bottom edge
// that coverTiles adds, so that every pixel of the picture lies in a tile.
struct TileGrid {
    float size = 0, margin = 0;
    int64_t width = 0, height = 0;
    int64_t columns = 0, rows = 0;
    bool cover = false;
};
// The plain grid, columns and rows counted by wholeTiles.
TileGrid tileGrid(float size, float margin, int64_t width, int64_t height);
// The covering grid, columns and rows counted by coverTiles.
TileGrid coverGrid(float size, float margin, int64_t width, int64_t height);
// coverGrid with `cover`, else tileGrid.
TileGrid tileGrid(float size, float margin, int64_t width, int64_t height, bool cover);

// A rectangle of big-picture pixels: top-left corner and size.
struct PixelRect {
    int64_t x = 0, y = 0, width = 0, height = 0;
    bool operator==(const PixelRect&) const = default;
};
// The pixels cut for tile (i, j) of a grid. A whole tile is cutSquare's. The tile a covering
// grid adds after the whole tiles of a side is as long as a whole tile and shifted inward to
// end at the picture's edge, so it overlaps the tile before it by at least 2M:
//
//   x:  0        S      2S     ...  n·S+2M     W-S-2M         W
//       |tile 0 ......|                 |       |  extra tile |
//                                  tile n-1 ends   owned from n·S+M to W
//
// On a side shorter than a tile, the one tile is the whole side.
PixelRect tileRect(const TileGrid& grid, int i, int j);

// Whether the tile after index k along a side of `length` pixels is whole:
// (k + 2) * S + 2M <= length, the sum in single precision.
bool nextTileFits(int k, float size, float margin, int64_t length);

// A number typed or read for S or M, in single precision; beyond the range of a Single it
// becomes infinite, which checkSettings refuses.
float settingValue(double value);

// Why S and M cannot cut tiles, or nothing: S must be a positive number, M a number not below
// 0, and a tile's side S + 2M from 1 to kMaxTileSide pixels.
core::Result<void> checkSettings(float size, float margin);
// checkSettings, and the tile indices of a width x height picture must fit in 16 bits.
core::Result<void> checkGrid(float size, float margin, int64_t width, int64_t height,
                             bool cover = false);
// checkGrid, and a batch list of every whole tile has at most kMaxTileIndex records. With
// `cover`, the tiles of the covering grid are counted instead.
core::Result<void> checkExport(float size, float margin, int64_t width, int64_t height,
                               bool cover = false);

// The label of tile (i, j): "(a,b)-(c,d)" with a = i*S + M, b = j*S + M, c = (i+1)*S + 2M,
// d = (j+1)*S + 2M in single precision, each formatted "0000": the inner square's top-left
// corner and the outer square's bottom-right corner.
std::string areaLabel(float size, float margin, int i, int j);

// "m42.bmp.002.013": the big picture's name, the column and the row formatted "000".
std::string tileId(const std::string& bigPicName, int i, int j);
// "m42.bmp.002.013.bmp"
std::string tileFileName(const std::string& bigPicName, int i, int j);
// What a tile file name made by tileFileName says: "m42.bmp.002.013.bmp" gives m42.bmp, 2, 13.
// Nothing for any other name (another extension, indices not written as tileFileName writes
// them, an index above kMaxTileIndex).
struct TileName {
    std::string bigPicName;
    int i = 0, j = 0;
};
std::optional<TileName> parseTileFileName(std::string_view fileName);
// Whether a name is a tile's id, the file name without ".bmp" ("m42.bmp.002.013"), as a tile
// processed alone in the window is named.
bool isTileId(std::string_view name);
// Whether a picture is named as a tile, with or without ".bmp" (parseTileFileName or isTileId).
bool namedAsTile(std::string_view name);
// The folder of a picture's tiles: folder / "m42.bmp.dir".
std::string tileFolder(const std::string& folder, const std::string& bigPicName);
// The batch list of a picture's tiles, "m42.bmp.txt", and the layout file beside it,
// "m42.bmp.tiles.ini".
std::string batchListName(const std::string& bigPicName);
std::string layoutFileName(const std::string& bigPicName);

}  // namespace orv::tiles
