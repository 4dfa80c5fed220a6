#include "control/tiled_detect.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>
#include <thread>

#include "catalogue/measure/measure_results.h"
#include "catalogue/measure/sidecar.h"
#include "catalogue/picture_catalogue.h"
#include "control/pipeline.h"
#include "core/ini.h"
#include "core/numeric.h"
#include "core/text_file.h"
#include "extract/table_full.h"
#include "formats/fits.h"
#include "input/image_load.h"
#include "results/data_files.h"
#include "results/saved_records.h"
#include "tiles/big_picture.h"

namespace orv::control {

namespace {

using catalogue::CatalogueMeta;
using catalogue::CatalogueRecord;
using catalogue::TileResults;

// One tile's results, or why it could not be done.
struct TileOutcome {
    std::string error;  // "" when done
    std::vector<CatalogueRecord> records;
    CatalogueMeta meta;
    std::vector<std::string> split, problems;
};

// The engine of one thread, without a display and without files: the picture comes from
// memory (the host's decoder hands over the tile being detected) and nothing is saved.
class TileEngine : HeadlessEngine {
public:
    explicit TileEngine(const HeadlessOptions& options)
        : HeadlessEngine(options), options_(options) {
        host.decoder = [this](const std::string&) -> core::Result<form::Picture> { return *tile_; };
        ws.PictureWorkers = 1;  // the tiles themselves keep the jobs busy
    }

    // The results of `tile`, named `name`; a full table cuts it in four (step `size` halved).
    TileOutcome detect(const form::Picture& tile, const std::string& name, float size,
                       float margin) {
        TileOutcome out;
        bool full = false;
        try {
            full = once(tile, name, out);
        } catch (const core::ArithmeticFault& e) {
            out.error = name + ": 実行時エラー: " + e.what();
        } catch (const std::bad_alloc&) {
            out.error = name + ": メモリーが足りません。";
        }
        if (!out.error.empty() || !full) return out;
        return split(tile, name, size / 2, margin);
    }

private:
    // Detects the tile once; true when its cluster table filled (then `out` holds nothing).
    bool once(const form::Picture& tile, const std::string& name, TileOutcome& out) {
        tile_ = &tile;
        // No folder: the processing log and the result files have nowhere to go, and the
        // measurements read the tile's levels.
        prepare(options_, "", name, "");
        if (!input::cmdDataIn_Click(ctx, input::kSourceNamed)) {
            out.error = name + ": " + ws.lastLoadError;
            return false;
        }
        cmdDoAll_Click(ctx);
        if (!extract::tableFullMessage(ws).empty()) return true;
        takeResults(name, out);
        return false;
    }

    // The results as the saved pair and its measurement file give them back.
    void takeResults(const std::string& name, TileOutcome& out) {
        results::ResultFiles files;
        files.iniBytes = core::joinLines(results::resultIniLines(ctx));
        core::readDetectionSettings(core::IniFile::fromText(files.iniBytes), files.settings);
        catalogue::addPairMeta(files, out.meta);
        const std::vector<int32_t> numbers = results::savedNumbers(ws);
        out.records.reserve(numbers.size());
        for (int32_t i : numbers)
            out.records.push_back(catalogue::fromResult(results::savedRecord(ws, i), name));
        if (!options_.measure) return;
        const core::FileLines measured = catalogue::measure::measureFileForSave(ctx, "");
        if (!ws.measures.problem.empty())
            out.problems.push_back(name + ": not every result measured: " + ws.measures.problem);
        auto table = catalogue::measure::parseMeasureText(core::joinLines(measured.lines));
        if (!table) {
            out.problems.push_back(name + ": no measurements: " + table.error());
            return;
        }
        out.meta.measures = table->picture;
        for (size_t k = 0; k < out.records.size(); ++k)
            if (const core::MeasureRec* m = table->find(numbers[k])) out.records[k].measure = *m;
    }

    // The tile cut in four parts of step `size` over its own pixels, each detected (and cut
    // again when full), joined as the tiles of a picture are.
    TileOutcome split(const form::Picture& tile, const std::string& name, float size,
                      float margin) {
        TileOutcome out;
        if (size < kMinSplitSize) {
            out.error = name + ": the cluster table is full even in tiles of step " +
                        core::generalForm(size * 2) +
                        "; raise the threshold (Siki or --threshold-sigma) for this picture";
            return out;
        }
        out.split.push_back(name);
        const tiles::TileGrid grid = tiles::coverGrid(size, margin, tile.width, tile.height);
        std::vector<TileResults> parts;
        for (int j = 0; j < grid.rows; ++j)
            for (int i = 0; i < grid.columns; ++i) {
                const form::Picture part = tiles::tileView(tile, tiles::tileRect(grid, i, j));
                TileOutcome done = detect(
                    part, name + "/" + std::to_string(i) + "." + std::to_string(j), size, margin);
                if (!done.error.empty()) return done;
                if (parts.empty()) out.meta = done.meta;
                out.split.insert(out.split.end(), done.split.begin(), done.split.end());
                out.problems.insert(out.problems.end(), done.problems.begin(), done.problems.end());
                parts.push_back({i, j, std::move(done.records)});
            }
        out.records = catalogue::mergeTiles(grid, parts);
        return out;
    }

    const HeadlessOptions& options_;
    const form::Picture* tile_ = nullptr;
};

}  // namespace

void ArrivingRows::arrived(int rows) {
    constexpr int kRowsPerWake = 64;
    {
        std::lock_guard lock(mutex_);
        rows_ = rows;
    }
    if (rows - told_ < kRowsPerWake && rows < height_) return;
    told_ = rows;
    changed_.notify_all();
}

void ArrivingRows::end(bool whole) {
    {
        std::lock_guard lock(mutex_);
        if (whole) rows_ = height_;
        ended_ = true;
    }
    changed_.notify_all();
}

bool ArrivingRows::waitFor(int64_t top, int64_t bottom) {
    std::unique_lock lock(mutex_);
    auto there = [&] { return bottomFirst_ ? height_ - rows_ <= top : rows_ >= bottom; };
    changed_.wait(lock, [&] { return there() || ended_; });
    return there();
}

void ArrivingRows::waitForEnd() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return ended_; });
}

TiledDetection detectTiled(const HeadlessOptions& options, formats::LevelPicture big,
                           const std::string& picturePath, float size, float margin, int jobs,
                           const std::function<void(size_t, size_t)>& progress,
                           ArrivingRows* arriving) {
    TiledDetection out;
    const form::Picture& picture = big.picture;
    const int height = picture.height;
    out.grid = tiles::coverGrid(size, margin, picture.width, picture.height);
    const std::string bigPicName = core::fileNameOf(picturePath);
    const size_t total = static_cast<size_t>(out.grid.columns * out.grid.rows);

    // Each tile into its slot, rows j outer and columns i inner as a batch list orders them.
    std::vector<TileOutcome> slots(total);
    std::atomic<size_t> next{0};
    std::mutex doneMutex;
    size_t done = 0;
    auto work = [&] {
        TileEngine engine(options);
        for (size_t taken; (taken = next++) < total;) {
            // Rows read bottom first are detected bottom first.
            const size_t k = arriving && arriving->bottomFirst() ? total - 1 - taken : taken;
            const int i = static_cast<int>(k % static_cast<size_t>(out.grid.columns));
            const int j = static_cast<int>(k / static_cast<size_t>(out.grid.columns));
            const std::string name = tiles::tileFileName(bigPicName, i, j);
            const tiles::PixelRect rect = tiles::tileRect(out.grid, i, j);
            try {
                if (arriving && !arriving->waitFor(rect.y, rect.y + rect.height)) {
                    slots[k].error = name + ": the picture's rows could not all be read";
                } else {
                    const form::Picture tile = tiles::tileView(picture, rect);
                    slots[k] = engine.detect(tile, name, size, margin);
                }
            } catch (const std::bad_alloc&) {
                slots[k].error = name + ": メモリーが足りません。";
            }
            std::lock_guard lock(doneMutex);
            ++done;
            if (progress) progress(done, total);
        }
    };
    {
        const int threads = std::max(1, std::min<int>(jobs, static_cast<int>(total)));
        std::vector<std::jthread> helpers;
        for (int t = 1; t < threads; ++t) helpers.emplace_back(work);
        work();
    }
    // The reader lets go of the picture as it ends; then it is given back.
    if (arriving) arriving->waitForEnd();
    big.picture = form::Picture{};

    std::vector<TileResults> results;
    CatalogueMeta meta;
    for (size_t k = 0; k < total; ++k) {
        TileOutcome& t = slots[k];
        if (!t.error.empty()) {
            out.problems.push_back(t.error + "; left out");
            continue;
        }
        if (results.empty()) meta = t.meta;
        if (meta.measures.unit.empty()) meta.measures = t.meta.measures;
        for (auto& s : t.split) out.split.push_back(std::move(s));
        for (auto& p : t.problems) out.problems.push_back(std::move(p));
        const int i = static_cast<int>(k % static_cast<size_t>(out.grid.columns));
        const int j = static_cast<int>(k / static_cast<size_t>(out.grid.columns));
        results.push_back({i, j, std::move(t.records)});
    }
    if (!options.measure)
        out.notes.push_back(
            "saved without measuring (--no-measure): the measurement columns "
            "are empty");
    out.tilesDone = results.size();

    catalogue::Catalogue& c = out.catalogue;
    c.records = catalogue::mergeTiles(out.grid, results, &out.counts);
    c.pictureHeight = height;
    c.meta = meta;
    c.meta.picture = bigPicName;
    c.meta.tiles = static_cast<int>(results.size());
    if (formats::isFitsFile(picturePath))
        if (auto added = catalogue::addFitsColumns(c, picturePath, out.problems); !added)
            out.problems.push_back("no FITS columns: " + added.error());
    return out;
}

}  // namespace orv::control
