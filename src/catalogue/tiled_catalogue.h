#pragma once
// The catalogue of a tiled picture: the saved results of every tile that a tile batch list
// names (tiles/export.h), joined into one list of the big picture's stars (catalogue/merge.h),
// with the FITS pixel columns and, where the header allows, RA and Dec when the big picture is
// a FITS file.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/merge.h"
#include "tiles/export.h"

namespace orv::catalogue {

struct TiledSource {
    std::string listPath;  // the batch list, for where the big picture lies by default
    // The list's records: the folder and the file name of each tile.
    std::vector<std::pair<std::string, std::string>> tiles;
    // The layout file beside the list; without it S and M are `size` and `margin`, the grid
    // reaches as far as the listed tiles and the picture's height is unknown (unless a FITS
    // header gives it).
    std::optional<tiles::TileLayout> layout;
    float size = 0, margin = 0;
    // The big picture, read only when it is a FITS file, for its header; "" for the layout's
    // Picture (or the name the tiles carry) in the folder that holds the list's folder.
    std::string picturePath;
    int jobs = 1;  // tiles read in parallel
    // Where the tiles' ".dir" folders lie: "" beside the tiles, else this folder.
    std::string resultRoot;
};

struct TiledCatalogue {
    Catalogue catalogue;  // pictureHeight 0 when unknown
    MergeCounts counts;
    size_t tilesRead = 0;
    // Tiles whose results were taken from the pair edited in the window (the tile processed
    // alone, named without ".bmp"), which holds hand work and is newer than the batch's.
    size_t windowTiles = 0;
    // What makes the catalogue incomplete: records that are no tiles of the picture or whose
    // results cannot be read, tiles of the grid the list leaves out, columns that cannot be
    // added.
    std::vector<std::string> problems;
    // What changes nothing in the catalogue (a tile listed twice is read once).
    std::vector<std::string> notes;
};

// Reads every listed tile's result pair and joins them. Never fails as a whole: what cannot be
// read is left out and said in `problems`, so are results that the layout's checksum of their
// tile shows were made from another cut of it. `progress(done, total)` follows the tiles read.
TiledCatalogue readTiledCatalogue(const TiledSource& source,
                                  const std::function<void(size_t, size_t)>& progress = {});

}  // namespace orv::catalogue
