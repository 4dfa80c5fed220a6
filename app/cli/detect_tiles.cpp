// `detect --tiles`: the picture loaded once, detected in tiles in memory, one catalogue.

#include "detect_tiles.h"

#include <array>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

#include "catalogue/output.h"
#include "catalogue/table.h"
#include "control/tiled_detect.h"
#include "core/numeric.h"
#include "core/paths.h"
#include "core/picture_folder.h"
#include "formats/guarded_picture.h"
#include "tiles/big_picture.h"

namespace orv::cli {
namespace {

std::string jsonList(const std::vector<std::string>& texts) {
    std::string j = "[";
    for (size_t k = 0; k < texts.size(); ++k) j += (k ? "," : "") + catalogue::jsonText(texts[k]);
    return j + "]";
}

// Results by class (Atr 1..4: noise, area, star, elongated).
std::array<size_t, 5> classCounts(const catalogue::Catalogue& c) {
    std::array<size_t, 5> n{};
    for (const auto& r : c.records)
        if (r.atr >= 1 && r.atr <= 4) ++n[static_cast<size_t>(r.atr)];
    return n;
}

// The summary of a run: the counts, the grid and what was cut in four.
std::string summaryLine(const std::string& image, const control::TiledDetection& d, bool chosen,
                        const std::string& file) {
    const auto n = classCounts(d.catalogue);
    const auto& g = d.grid;
    std::string line = image + ": " + std::to_string(d.catalogue.records.size()) +
                       " results: noise " + std::to_string(n[1]) + ", area " +
                       std::to_string(n[2]) + ", star " + std::to_string(n[3]) + ", elongated " +
                       std::to_string(n[4]) + "; " + std::to_string(g.columns) + " x " +
                       std::to_string(g.rows) + " tiles, S " + core::generalForm(g.size) +
                       (chosen ? " (auto)" : "") + ", M " + core::generalForm(g.margin);
    if (!d.split.empty())
        line += ", " + std::to_string(d.split.size()) + (d.split.size() == 1 ? " tile" : " tiles") +
                " cut in four for a full cluster table";
    if (!file.empty()) line += "; written to " + file;
    return line;
}

std::string summaryJson(const std::string& image, const control::TiledDetection& d, bool chosen,
                        const std::string& file, bool ok) {
    const auto n = classCounts(d.catalogue);
    const auto& g = d.grid;
    std::string j =
        "{\"path\":" + catalogue::jsonText(image) + ",\"ok\":" + (ok ? "true" : "false");
    j += ",\"results\":" + std::to_string(d.catalogue.records.size());
    j += ",\"counts\":{\"noise\":" + std::to_string(n[1]) + ",\"area\":" + std::to_string(n[2]) +
         ",\"star\":" + std::to_string(n[3]) + ",\"elongated\":" + std::to_string(n[4]) + "}";
    j += ",\"tiles\":{\"size\":" + core::generalForm(g.size) +
         ",\"auto\":" + (chosen ? "true" : "false") + ",\"margin\":" + core::generalForm(g.margin) +
         ",\"columns\":" + std::to_string(g.columns) + ",\"rows\":" + std::to_string(g.rows) +
         ",\"done\":" + std::to_string(d.tilesDone) + ",\"split\":" + jsonList(d.split) + "}";
    j += ",\"outputs\":" +
         jsonList(file.empty() ? std::vector<std::string>{} : std::vector<std::string>{file});
    j += ",\"problems\":" + jsonList(d.problems);
    return j + "}";
}

// The big picture read on a thread of its own. A BMP that the streaming reader takes is handed
// out as soon as its memory is taken, its rows following in `arriving`, so that the tiles are
// detected while the rest is read; any other picture once it is read.
class PictureReading {
public:
    PictureReading(const std::string& image, const std::string& stretch)
        : reader_([this, image, stretch] { read(image, stretch); }) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return arriving_.has_value() || finished_; });
    }

    // The picture (rows still coming when arriving() is set), or why it could not be read.
    core::Result<formats::LevelPicture> take() {
        std::lock_guard lock(mutex_);
        if (arriving_) return formats::LevelPicture{std::move(early_), "", {}};
        return std::move(loaded_);
    }
    control::ArrivingRows* arriving() { return arriving_ ? &*arriving_ : nullptr; }
    // Once the reading is over: why a streamed picture's rows were not all read ("" when they
    // were).
    std::string streamError() {
        if (reader_.joinable()) reader_.join();
        return streamError_;
    }

private:
    void read(const std::string& image, const std::string& stretch) {
        auto begun = [&](const form::Picture& picture, bool bottomFirst) {
            {
                std::lock_guard lock(mutex_);
                early_ = picture;
                arriving_.emplace(picture.height, bottomFirst);
            }
            changed_.notify_all();
        };
        auto loaded = tiles::loadBigPicture(
            image, formats::guardedDecoder(), stretch,
            [&](int rows, int) { arriving_->arrived(rows); }, {}, begun);
        bool streamed = false;
        {
            std::lock_guard lock(mutex_);
            streamed = arriving_.has_value();
            if (streamed)
                streamError_ = loaded ? "" : loaded.error();
            else
                loaded_ = std::move(loaded);
            finished_ = true;
        }
        // This thread's hold on a streamed picture goes before the detection is told.
        loaded = core::Error{""};
        if (streamed) arriving_->end(streamError_.empty());
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<control::ArrivingRows> arriving_;
    form::Picture early_;
    core::Result<formats::LevelPicture> loaded_ = core::Error{""};
    std::string streamError_;
    bool finished_ = false;
    std::jthread reader_;  // last, so that it starts once the rest is made
};

}  // namespace

int runDetectTiles(const ParsedArgs& a, const EngineOptions& engine,
                   const control::HeadlessOptions& options, const CatalogueTarget& target,
                   const std::string& outDir, const char* usage) {
    if (a.operands.size() != 1) return usageError("--tiles takes one picture", usage);
    const bool chosen = a.last("--tiles") == "auto";
    const auto size =
        chosen ? std::optional<float>(control::kAutoTileSize) : tileSettingOption(a, "--tiles", 0);
    const auto margin = tileSettingOption(a, "--margin", 50);
    if (!size) return usageError("--tiles takes a tile step in pixels or auto", usage);
    if (!margin) return usageError("--margin takes a number", usage);
    if (auto ok = tiles::checkSettings(*size, *margin); !ok) return usageError(ok.error(), usage);

    const std::string image = absolutePath(a.operands[0]);
    if (const std::string why = notAFileMessage("picture", image); !why.empty()) {
        std::fprintf(stderr, "orvandel-cli: %s\n", why.c_str());
        return kFailed;
    }
    PictureReading reading(image, options.settings.Stretch);
    auto picture = reading.take();
    auto failed = [&](const std::string& why) {
        std::fprintf(stderr, "%s: failed: %s\n", image.c_str(), why.c_str());
        reading.streamError();  // the reader ends before the picture is let go
        return kFailed;
    };
    if (!picture) return failed(picture.error());
    const form::Picture& big = picture->picture;
    if (auto ok = tiles::checkGrid(*size, *margin, big.width, big.height, true); !ok)
        return failed(ok.error());

    std::optional<Progress> detecting;
    // The picture moved in, so that its memory is given back before the results are joined.
    const control::TiledDetection d = control::detectTiled(
        options, std::move(picture.value()), image, *size, *margin, engine.jobs,
        [&](size_t done, size_t n) {
            if (!detecting) detecting.emplace(n, "tiles");
            detecting->draw(done);
        },
        reading.arriving());
    if (detecting) detecting->clear();
    if (const std::string why = reading.streamError(); !why.empty()) return failed(why);

    bool complete = d.problems.empty();
    control::PictureOutcome named;
    named.path = image;
    std::string file = target ? target(named) : "";
    if (file.empty()) {
        const std::string name = core::fileNameOf(image);
        const std::string folder = core::resultFolderOf(core::GetFolderName(image), name, outDir);
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        file = core::joinPath(folder, name + ".ecsv");
    }
    const core::Result<void> written =
        catalogue::writeCatalogueFile(d.catalogue, file, catalogue::OutputFormat::Ecsv);
    if (!written) {
        std::fprintf(stderr, "%s: no catalogue: %s\n", image.c_str(), written.error().c_str());
        complete = false;
    }
    // The summary goes to standard error when the catalogue takes standard output.
    const std::string shown = written && file != "-" ? file : "";
    FILE* to = file == "-" ? stderr : stdout;
    if (a.has("--json"))
        std::fprintf(to, "%s\n", summaryJson(image, d, chosen, shown, complete).c_str());
    else
        std::fprintf(to, "%s\n", summaryLine(image, d, chosen, shown).c_str());
    std::fflush(to);
    for (const std::string& note : d.notes)
        std::fprintf(stderr, "%s: %s\n", image.c_str(), note.c_str());
    for (const std::string& problem : d.problems)
        std::fprintf(stderr, "%s: incomplete: %s\n", image.c_str(), problem.c_str());
    return complete ? kDone : kFailed;
}

}  // namespace orv::cli
