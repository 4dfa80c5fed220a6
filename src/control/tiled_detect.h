#pragma once
// Detecting the stars of a picture of any size in one pass: the picture is held once, cut into
// tiles in memory, the tiles are detected on several threads with the engine of a batch run,
// and their results are joined into one catalogue exactly as `merge` joins the results of the
// same tiles cut into files and processed by a batch.
//
// Outline:
// 1. Lay the covering grid over the picture (tiles/geometry.h: coverGrid), so that every
//    pixel lies in the owned area of exactly one tile.
// 2. On each of `jobs` threads, take the next tile, cut it and run it through the engine
//    (load, background, clusters, analysis, measurements), with no file read or written.
// 3. Take each tile's results as the batch's result pair and measurement file hold them
//    (their lines written and read back), so that the catalogue is the same to the last digit.
// 4. A tile whose cluster table fills is cut in four (S/2, the same margin) and done again,
//    down to kMinSplitSize; its four parts are joined into the tile's results by the same rule.
// 5. Join the tiles' results (catalogue/merge.h) in row order and add the FITS columns of a
//    FITS picture.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/merge.h"
#include "control/headless_run.h"
#include "formats/picture_file.h"
#include "tiles/geometry.h"

namespace orv::control {

// The tile step that `--tiles auto` takes: tiles of about 4 megapixels, far fewer clusters than
// a table holds on any sky that a threshold above the noise leaves.
inline constexpr float kAutoTileSize = 2000;
// The smallest tile step a full tile is cut down to; below it the tile is given up.
inline constexpr float kMinSplitSize = 64;

// The rows of a picture that another thread is still reading, top row first or bottom row
// first, so that each tile can start as soon as its own rows are there.
class ArrivingRows {
public:
    ArrivingRows(int height, bool bottomFirst) : height_(height), bottomFirst_(bottomFirst) {}
    bool bottomFirst() const { return bottomFirst_; }
    // `rows` rows have been read (counted from the first row read). The waiting tiles are woken
    // every 64 rows and at the last (a tile that starts to wait sees every row read): waking them
    // for each row would take the reader's time.
    void arrived(int rows);
    // The reading is over: every row read (`whole`), or it stopped.
    void end(bool whole);
    // Waits until picture rows top..bottom-1 are read; false when the reading ended without them.
    bool waitFor(int64_t top, int64_t bottom);
    // Waits until the reading is over.
    void waitForEnd();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    const int height_;
    const bool bottomFirst_;
    int rows_ = 0;
    int told_ = 0;  // the rows the tiles were last woken for (the reader's alone)
    bool ended_ = false;
};

struct TiledDetection {
    catalogue::Catalogue catalogue;  // the picture's results, each once, in tile order
    catalogue::MergeCounts counts;   // of the top-level join
    tiles::TileGrid grid;            // the covering grid laid over the picture
    size_t tilesDone = 0;            // top-level tiles whose results are in the catalogue
    // Tiles cut in four because their cluster table filled (at every depth), by name.
    std::vector<std::string> split;
    // What leaves the catalogue incomplete: tiles that could not be done (named), measurements
    // missing, FITS columns that could not be added.
    std::vector<std::string> problems;
    std::vector<std::string> notes;  // what changes nothing (results saved without measuring)
};

// Detects the picture `big` (8-bit levels; the file `picturePath`, read only for a FITS
// header) in tiles of step `size` and margin `margin` on `jobs` threads. The picture is let
// go once every tile is done, before the results are joined (the memory then holds the
// results alone when the caller moved the picture in). Tiles are named as
// `tiles` names their files (PICTURE.iii.jjj.bmp); a part of a split tile adds "/i.j".
// `progress(done, total)` follows the top-level tiles, called from one thread at a time.
// The settings must pass tiles::checkGrid for the covering grid. With `arriving`, the picture's
// rows are still being read: each tile waits for its rows (the tiles are taken in the order the
// rows come), and a tile whose rows never come is left out.
TiledDetection detectTiled(const HeadlessOptions& options, formats::LevelPicture big,
                           const std::string& picturePath, float size, float margin, int jobs,
                           const std::function<void(size_t, size_t)>& progress = {},
                           ArrivingRows* arriving = nullptr);

}  // namespace orv::control
