#pragma once
// Writing tiles: the tile files, the batch list that the batch run reads, and the layout file
// beside the list that records how the picture was cut (for joining the tiles' results).
//
// Files of a picture named m42.bmp saved under the folder F:
//   F/m42.bmp.dir/m42.bmp.000.000.bmp ...  one 24-bit BMP per tile, S + 2M pixels square
//   F/m42.bmp.dir/m42.bmp.txt              one line per tile written, row by row:
//                                          "F/m42.bmp.dir","m42.bmp.001.000.bmp"
//   F/m42.bmp.dir/m42.bmp.tiles.ini        the layout, see TileLayout

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"
#include "form/picture.h"

namespace orv::tiles {

// One line of a batch list: the folder and the file name, each in double quotes (a quote
// inside a field is doubled, as the list reader expects).
std::string batchListLine(const std::string& folder, const std::string& fileName);

// The layout file, an INI file with one section:
//   [Tiles]
//   Picture=m42.bmp     the big picture's name
//   Width=1200          its size in pixels
//   Height=1000
//   Size=500            tile step S and margin M in pixels (the shortest text that reads
//   Margin=50           back as the same single-precision number)
//   Columns=2           whole tiles across and down
//   Rows=1
//   List=m42.bmp.txt    the batch list in the same folder
//   Tiles=2             tiles the list names (Columns x Rows unless writing stopped early)
// and, only for a picture deeper than 8 bits (FITS, 16-bit PNG or TIFF), the stretch that
// brought the whole picture to the tiles' 8-bit levels (formats/stretch.h), as the result
// files record it; `--stretch range:4821,38112` cuts the same tiles again:
//   Stretch=percentile:0.1,99.9
//   StretchBlack=4821   the value that became level 0
//   StretchWhite=38112  the value that became level 255
// then, in a section of its own, the checksum of every tile's pixels (tileChecksum), which a
// tile's results record in their sum file, so that `merge` can tell results of this cut from
// those of another:
//   [Checksums]
//   m42.bmp.000.000.bmp=0a1b2c3d
// Readers ignore keys they do not know.
struct LayoutStretch {
    std::string text;  // "" for a picture that had 8-bit levels
    double black = 0, white = 0;
};

struct TileLayout {
    std::string picture;
    int64_t width = 0, height = 0;
    float size = 0, margin = 0;
    int64_t columns = 0, rows = 0;
    std::string list;
    int64_t tiles = 0;
    LayoutStretch stretch{};
    // Tile (i, j) -> its pixels' checksum; empty in a layout written before checksums.
    std::map<std::pair<int, int>, uint32_t> checksums;
};

// The checksum of a tile's pixels: CRC-32C of its R, G, B bytes pixel by pixel, rows from the
// top (core/checksum.h), the same as results/pair_sum.h's pictureChecksum of the tile loaded.
uint32_t tileChecksum(const form::Picture& picture);

std::vector<std::string> layoutLines(const TileLayout& layout);
// Reads the text of a layout file. Fails, naming the key, on a missing or bad value (of
// StretchBlack and StretchWhite only where Stretch is given), on settings that cannot cut
// tiles, or when Columns and Rows do not follow from the sizes; and on a checksum line that
// names no tile of the grid or holds no checksum.
core::Result<TileLayout> parseLayout(std::string_view text);
core::Result<TileLayout> readLayoutFile(const std::string& path);
// The layout file beside a batch list named as exportAllTiles names it: "F/m42.bmp.txt" gives
// "F/m42.bmp.tiles.ini"; "" when the list's name does not end in ".txt".
std::string layoutFileOfList(const std::string& listPath);

// Writes every whole tile of a width x height picture and, when there is at least one, the
// batch list and the layout file (with the picture's stretch and the tiles' checksums), all
// into `folder` (which must exist), as one generation: every tile to a temporary file first,
// the list and the layout complete as temporary files, then the tiles put in place and the
// list and the layout replaced together, last. Rows j outer, columns i inner, both from 0;
// `cut(i, j)` gives tile (i, j). `progress(done, total)` follows after each tile. When a file
// cannot be written, nothing is replaced: the earlier tiles, list and layout stay as they were
// and the temporary files are removed (`written` is 0). Temporary files that a killed earlier
// export of the same picture left in the folder are removed first. The settings must pass
// checkExport.
struct ExportOutcome {
    // Tiles written and listed; after a failure, the tiles already put in place (0 unless a
    // rename failed halfway, which leaves the list and the layout as they were).
    int64_t written = 0;
    std::string error;  // "" when every file was written
};
using TileCutter = std::function<form::Picture(int i, int j)>;
ExportOutcome exportAllTiles(const std::string& folder, const std::string& bigPicName, float size,
                             float margin, int64_t width, int64_t height,
                             const LayoutStretch& stretch, const TileCutter& cut,
                             const std::function<void(int64_t, int64_t)>& progress = {});

// The picture file of a result pair's [FILE] names: folder/name, or for a tile processed alone
// (named by its id, without ".bmp") the tile's file folder/name.bmp when only that exists.
std::string pictureFileOf(const std::string& folder, const std::string& name);

}  // namespace orv::tiles
