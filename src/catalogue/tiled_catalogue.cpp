#include "catalogue/tiled_catalogue.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <optional>
#include <set>
#include <thread>
#include <utility>

#include "catalogue/picture_catalogue.h"
#include "core/checksum.h"
#include "core/paths.h"
#include "formats/fits.h"
#include "results/pair_sum.h"
#include "tiles/geometry.h"

namespace orv::catalogue {

namespace {

// A listed tile whose name was understood.
struct ListedTile {
    std::string folder, name;
    tiles::TileName tile;
};

// The grid without a layout file: as far as the listed tiles reach.
tiles::TileGrid gridOfTiles(float size, float margin, const std::vector<ListedTile>& listed) {
    tiles::TileGrid g{size, margin, 0, 0, 0, 0};
    for (const ListedTile& t : listed) {
        g.columns = std::max<int64_t>(g.columns, t.tile.i + 1);
        g.rows = std::max<int64_t>(g.rows, t.tile.j + 1);
    }
    if (g.columns > 0 && g.rows > 0) {
        const tiles::PixelSquare last = tiles::cutSquare(
            size, margin, static_cast<int>(g.columns - 1), static_cast<int>(g.rows - 1));
        g.width = last.x + last.side;
        g.height = last.y + last.side;
    }
    return g;
}

std::string tileCount(int64_t n) {
    return std::to_string(n) + (n == 1 ? " tile" : " tiles");
}

// Says which tiles of the grid the list leaves out.
void noteMissingTiles(const tiles::TileGrid& grid, const std::set<std::pair<int, int>>& seen,
                      std::vector<std::string>& problems) {
    int64_t missing = 0;
    std::pair<int, int> first;
    for (int j = 0; j < grid.rows; ++j)
        for (int i = 0; i < grid.columns; ++i)
            if (!seen.count({i, j}) && missing++ == 0) first = {i, j};
    if (missing > 0)
        problems.push_back("the list leaves out " + tileCount(missing) + " of the " +
                           std::to_string(grid.columns) + " x " + std::to_string(grid.rows) +
                           " grid, the first (" + std::to_string(first.first) + ", " +
                           std::to_string(first.second) +
                           "): the catalogue covers only the listed tiles");
}

// The FITS columns of the big picture, when it is a FITS file.
void addPictureColumns(Catalogue& c, const std::string& picture,
                       std::vector<std::string>& problems) {
    if (!formats::isFitsFile(picture)) return;
    if (!core::fileExists(picture)) {
        c.fitsColumns = c.pictureHeight > 0;
        problems.push_back("no ra and dec: the big picture " + picture + " was not found");
        return;
    }
    if (auto added = addFitsColumns(c, picture, problems); !added)
        problems.push_back("no FITS columns: " + added.error());
}

// When a record file was last written; nothing when there is none.
std::optional<std::filesystem::file_time_type> writtenAt(const std::string& dataFile) {
    std::error_code ec;
    const auto t = std::filesystem::last_write_time(dataFile, ec);
    if (ec) return std::nullopt;
    return t;
}

// A listed tile's results as read, where they came from, and what its files say beyond them.
struct ReadTile {
    TileResults results;
    bool fromWindow = false;  // the hand-edited pair of the tile processed alone in the window
    std::string note;         // what was left aside and changes nothing
    CatalogueMeta meta;
    std::vector<std::string> measureNotes, problems;
};

// The pair a tile's results come from: the batch's (named after the tile's file, in its folder
// or under `resultRoot`), or the pair of the tile processed alone in the window (named after
// the tile's id, without ".bmp", beside the tile) when it holds hand work and was saved after
// the batch's. `dataFile` is set to the record file read.
core::Result<results::ResultFiles> tilePair(const ListedTile& t, const std::string& resultRoot,
                                            ReadTile& out, std::string& dataFile) {
    const std::string batch = core::joinPath(t.folder, t.name);
    const std::string window =
        core::joinPath(t.folder, tiles::tileId(t.tile.bigPicName, t.tile.i, t.tile.j));
    dataFile = savedDataFile(batch, resultRoot);
    const auto windowTime = writtenAt(savedDataFile(window));
    if (!windowTime) return readSavedResults(batch, resultRoot);
    auto edited = readSavedResults(window);
    if (!edited)
        return core::Error{"the results edited in the window (" + savedDataFile(window) +
                           ") cannot be read: " + edited.error() + "; left out"};
    if (results::handWorkRecords(edited->records) == 0) return readSavedResults(batch, resultRoot);
    const auto batchTime = writtenAt(dataFile);
    if (batchTime && *batchTime >= *windowTime) {
        out.note = t.name + ": the batch's results are newer than those edited in the window (" +
                   savedDataFile(window) + "); the batch's taken";
        return readSavedResults(batch, resultRoot);
    }
    out.fromWindow = true;
    dataFile = savedDataFile(window);
    return edited;
}

// Whether the results were made from the tile the layout names: the checksum their sum file
// records must be the layout's (a layout written before checksums checks nothing).
core::Result<void> checkTileChecksum(const ListedTile& t, const results::ResultFiles& files,
                                     const tiles::TileLayout* layout) {
    if (!layout || layout->checksums.empty()) return {};
    const auto expected = layout->checksums.find({t.tile.i, t.tile.j});
    if (expected == layout->checksums.end())
        return core::Error{t.name + ": the layout file records no checksum of this tile; left out"};
    if (!files.pictureChecksum)
        return core::Error{t.name +
                           ": the results do not record the tile they were made from (saved "
                           "before the tiles were cut last?): process the tile again; left out"};
    if (*files.pictureChecksum != expected->second)
        return core::Error{t.name +
                           ": the results were made from another cut of this tile (its "
                           "checksum " +
                           core::checksumText(*files.pictureChecksum) + ", the layout's " +
                           core::checksumText(expected->second) +
                           "): process the tile again; left out"};
    return {};
}

// The results of a listed tile, or why they are left out.
core::Result<ReadTile> readTile(const ListedTile& t, const tiles::TileGrid& grid, int64_t side,
                                const tiles::TileLayout* layout, const std::string& resultRoot) {
    if (t.tile.i >= grid.columns || t.tile.j >= grid.rows)
        return core::Error{t.name + ": outside the grid of " + std::to_string(grid.columns) +
                           " x " + std::to_string(grid.rows) + " tiles; left out"};
    ReadTile out;
    std::string dataFile;
    auto files = tilePair(t, resultRoot, out, dataFile);
    if (!files) return core::Error{t.name + ": " + files.error()};
    if ((files->imageWidthP != 0 && files->imageWidthP != side) ||
        (files->imageHeightP != 0 && files->imageHeightP != side))
        return core::Error{t.name + ": the results are of a picture of " +
                           std::to_string(files->imageWidthP) + " x " +
                           std::to_string(files->imageHeightP) + ", not of a tile of " +
                           std::to_string(side) + " x " + std::to_string(side) + "; left out"};
    if (auto same = checkTileChecksum(t, files.value(), layout); !same)
        return core::Error{same.error()};
    out.results = {t.tile.i, t.tile.j, {}};
    out.results.records.reserve(files->records.size());
    std::vector<int32_t> numbers;
    for (const results::ResultRecord& r : files->records) {
        out.results.records.push_back(fromResult(r, t.name));
        numbers.push_back(r.number);
    }
    addPairMeta(files.value(), out.meta);
    addSavedMeasures(out.results.records, numbers, files.value(), dataFile, out.meta,
                     out.measureNotes, out.problems);
    for (std::string& p : out.problems) p = t.name + ": " + p;
    return out;
}

}  // namespace

TiledCatalogue readTiledCatalogue(const TiledSource& source,
                                  const std::function<void(size_t, size_t)>& progress) {
    TiledCatalogue out;
    std::string bigPicName = source.layout ? source.layout->picture : "";
    std::vector<ListedTile> listed;
    std::set<std::pair<int, int>> seen;
    for (const auto& [folder, name] : source.tiles) {
        const auto tile = tiles::parseTileFileName(name);
        if (!tile) {
            out.problems.push_back(name + ": not a tile's name (PICTURE.iii.jjj.bmp); left out");
            continue;
        }
        if (bigPicName.empty()) bigPicName = tile->bigPicName;
        if (tile->bigPicName != bigPicName) {
            out.problems.push_back(name + ": a tile of " + tile->bigPicName + ", not of " +
                                   bigPicName + "; left out");
            continue;
        }
        if (!seen.insert({tile->i, tile->j}).second) {
            out.notes.push_back(name + " is listed more than once; read once");
            continue;
        }
        listed.push_back({folder, name, *tile});
    }

    const tiles::TileGrid grid = source.layout
                                     ? tiles::tileGrid(source.layout->size, source.layout->margin,
                                                       source.layout->width, source.layout->height)
                                     : gridOfTiles(source.size, source.margin, listed);
    const int64_t side = tiles::cutSquare(grid.size, grid.margin, 0, 0).side;
    // The tiles are read in parallel, each into its slot; the caller's thread reports progress.
    std::vector<core::Result<ReadTile>> slots(listed.size(), core::Error{});
    const tiles::TileLayout* layout = source.layout ? &*source.layout : nullptr;
    std::atomic<size_t> next{0}, done{0};
    auto work = [&](bool report) {
        for (size_t k; (k = next++) < listed.size();) {
            slots[k] = readTile(listed[k], grid, side, layout, source.resultRoot);
            ++done;
            if (report && progress) progress(done, listed.size());
        }
    };
    {
        std::vector<std::jthread> helpers;
        for (int h = 1; h < source.jobs; ++h) helpers.emplace_back(work, false);
        work(true);
    }
    if (progress) progress(listed.size(), listed.size());
    std::vector<TileResults> results;
    CatalogueMeta meta;
    size_t unmeasured = 0;
    for (auto& slot : slots) {
        if (!slot) {
            out.problems.push_back(slot.error());
            continue;
        }
        ReadTile& read = slot.value();
        if (results.empty()) meta = read.meta;
        if (meta.measures.unit.empty()) meta.measures = read.meta.measures;
        unmeasured += !read.measureNotes.empty();
        for (std::string& p : read.problems) out.problems.push_back(std::move(p));
        if (!read.note.empty()) out.notes.push_back(read.note);
        out.windowTiles += read.fromWindow;
        results.push_back(std::move(read.results));
    }
    if (out.windowTiles > 0)
        out.notes.push_back(tileCount(static_cast<int64_t>(out.windowTiles)) +
                            " taken as edited in the window (PICTURE.iii.jjj.dir, newer than the "
                            "batch's results)");
    if (unmeasured > 0)
        out.notes.push_back(tileCount(static_cast<int64_t>(unmeasured)) +
                            " saved without measurements (no .dat.meas); their measurement "
                            "columns are empty");
    out.tilesRead = results.size();
    if (source.layout) noteMissingTiles(grid, seen, out.problems);

    Catalogue& c = out.catalogue;
    c.records = mergeTiles(grid, results, &out.counts);
    c.pictureHeight = source.layout ? static_cast<int32_t>(source.layout->height) : 0;
    c.meta = meta;
    c.meta.picture = bigPicName;
    c.meta.tiles = static_cast<int>(results.size());
    if (!bigPicName.empty() || !source.picturePath.empty()) {
        const std::string picture =
            !source.picturePath.empty()
                ? source.picturePath
                : core::joinPath(core::GetFolderName(core::GetFolderName(source.listPath)),
                                 bigPicName);
        addPictureColumns(c, picture, out.problems);
    }
    return out;
}

}  // namespace orv::catalogue
