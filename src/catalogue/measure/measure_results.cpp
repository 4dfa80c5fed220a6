#include "catalogue/measure/measure_results.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <numeric>
#include <tuple>
#include <utility>

#include "catalogue/measure/measure.h"
#include "catalogue/measure/sidecar.h"
#include "core/folder_lock.h"
#include "core/parallel.h"
#include "core/paths.h"
#include "core/picture_folder.h"
#include "core/sum_file.h"
#include "core/vector_loops.h"
#include "form/message_log.h"
#include "formats/fits.h"
#include "results/pair_sum.h"
#include "results/saved_records.h"

namespace orv::catalogue::measure {

namespace {

// Rows more than this above the result being measured are given back.
constexpr int kKeepRows = 64;
constexpr double kLevelLargest = 255;
// The fewest results a measuring thread takes at a time.
constexpr size_t kShortestRun = 64;

// The file the working picture was read from, "" for a clipboard picture or a picture without a
// folder (a tile held in memory).
std::string pictureFile(const core::Workspace& ws) {
    if (!core::hasPictureFile(ws)) return "";
    const std::string path = core::joinPath(ws.DoFilePath, ws.DoFileName);
    return core::fileExists(path) ? path : "";
}

core::Result<PictureSamples> fitsSamples(const std::string& path, int channel) {
    auto rows = formats::FitsRows::open(path, channel);
    if (!rows) return core::Error{rows.error()};
    PictureSamples s;
    const formats::FitsFacts& f = rows->facts();
    s.facts.unit = f.bunit.empty() ? "adu" : f.bunit;
    s.facts.samples = "samples";
    s.facts.saturation = f.saturation;
    s.facts.gain = f.gain > 0 ? f.gain : core::kNotMeasured;
    s.facts.filter = f.filter;
    s.rows = fitsRows(std::move(rows.value()));
    return s;
}

core::Result<PictureSamples> decodedSamples(form::Host& host, const std::string& path,
                                            int channel) {
    auto decoded = host.decodePicture(path);
    if (!decoded) return core::Error{decoded.error()};
    if (!decoded->deep) return core::Error{path + " に深いサンプルがありません"};
    const form::DeepSamples& d = *decoded->deep;
    PictureSamples s;
    s.facts.unit = "adu";
    s.facts.samples = "samples";
    s.facts.saturation = std::max(d.offset, d.offset + d.scale * 65535.0);
    s.rows = deepRows(decoded->deep, channel);
    return s;
}

PictureSamples levelSamples(const core::Workspace& ws) {
    PictureSamples s;
    s.facts.unit = "adu";
    s.facts.samples = "levels";
    s.facts.saturation = kLevelLargest;
    s.rows = levelRows(ws.PixelLevel, ws.ImageWidthP, ws.ImageHeightP);
    return s;
}

// Where each cluster's pixels lie, by number: the boxes of bands of rows, found on the
// picture's workers, joined (a box is the same whatever the order its pixels are added in).
std::vector<PixelBox> clusterBoxes(const core::Workspace& ws) {
    const size_t n = static_cast<size_t>(std::max(ws.MaxStarNo, 0)) + 1;
    const int parts = core::pictureWorkers(ws.PictureWorkers);
    std::vector<std::vector<PixelBox>> bands(static_cast<size_t>(std::max(parts, 1)));
    const auto& map = ws.ClusterMap;
    core::forEachPart(parts, ws.ImageHeightP, [&](int k, int64_t begin, int64_t end) {
        std::vector<PixelBox>& boxes = bands[static_cast<size_t>(k)];
        boxes.resize(n);
        for (int y = static_cast<int>(begin) + 1; y <= end; ++y) {
            const uint16_t* row = map.at(1, y);
            core::forEachNonZero(row, ws.ImageWidthP, [&](int x) {
                if (row[x] < n) boxes[row[x]].add(x, y - 1);
            });
        }
    });
    std::vector<PixelBox> boxes = std::move(bands[0]);
    boxes.resize(n);
    for (size_t k = 1; k < bands.size(); ++k)
        for (size_t i = 0; i < bands[k].size(); ++i) {
            const PixelBox& b = bands[k][i];
            if (b.empty()) continue;
            boxes[i].add(b.x0, b.y0);
            boxes[i].add(b.x1, b.y1);
        }
    return boxes;
}

bool handAdded(const core::ClusterRec& c) {
    return (c.EditAtr & core::kEditAdded) != 0;
}

ClusterInput inputOf(const core::Workspace& ws, const PictureSamples& s, int32_t n,
                     const PixelBox& box) {
    ClusterInput in;
    in.number = n;
    in.box = box;
    in.cx = ws.Stars[n].CenterX;
    in.cy = ws.Stars[n].CenterY;
    in.saturation = s.facts.saturation;
    in.gain = std::isfinite(s.facts.gain) ? s.facts.gain : 0;
    in.unprocessedFromRow = ws.tableFull.stoppedAtRow > 0 ? ws.tableFull.stoppedAtRow - 1 : -1;
    return in;
}

core::MeasureRec finished(const core::Workspace& ws, int32_t n, const ClusterMeasure& m) {
    core::MeasureRec r = m.rec;
    if (m.found && ws.Clusters[n].Siki > ws.settings.Siki) r.flags |= core::kFlagGourd;
    return r;
}

bool samplesFit(const core::Workspace& ws, const SampleRows& rows) {
    return rows.width() == ws.ImageWidthP && rows.height() == ws.ImageHeightP &&
           ws.ClusterMap.width() == ws.ImageWidthP + 2 &&
           ws.ClusterMap.height() == ws.ImageHeightP + 2;
}

double median(std::vector<double> v) {
    if (v.empty()) return core::kNotMeasured;
    auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    return *mid;
}

}  // namespace

core::Result<PictureSamples> openPictureSamples(form::Ctx& ctx) {
    const core::Workspace& ws = ctx.ws;
    if (ws.PixelLevel.empty() || ws.ImageWidthP <= 0 || ws.ImageHeightP <= 0)
        return core::Error{"画像が読み込まれていません"};
    const int channel = ws.PixelLevel.channel();
    const std::string file = pictureFile(ws);
    core::Result<PictureSamples> s = core::Error{""};
    if (!file.empty() && formats::isFitsFile(file))
        s = fitsSamples(file, channel);
    else if (!file.empty() && !ws.StretchUsed.empty())
        s = decodedSamples(ctx.host, file, channel);
    else
        s = levelSamples(ws);
    if (!s) return s;
    if (s->rows->width() != ws.ImageWidthP || s->rows->height() != ws.ImageHeightP)
        return core::Error{file + " の大きさが読み込んだときと違います (" +
                           std::to_string(s->rows->width()) + " x " +
                           std::to_string(s->rows->height()) + ")"};
    return s;
}

core::MeasureTable measureResults(form::Ctx& ctx) {
    return measureResults(ctx, [&ctx] { return openPictureSamples(ctx); });
}

core::MeasureTable measureResults(form::Ctx& ctx,
                                  const std::function<core::Result<PictureSamples>()>& open) {
    core::Workspace& ws = ctx.ws;
    core::MeasureTable t;
    const int32_t last = std::min<int32_t>(static_cast<int32_t>(ws.Clusters.size()) - 1,
                                           std::min(ws.MaxStarNo, core::kMaxStarNo));
    const std::vector<int32_t> saved = results::savedNumbers(ws);
    t.byStar.resize(static_cast<size_t>(std::max(last, saved.empty() ? 0 : saved.back())) + 1);
    std::vector<int32_t> order;
    for (int32_t i : saved) {
        const core::ClusterRec& c = ws.Clusters[i];
        if (handAdded(c))
            t.byStar[i].flags = core::kFlagHandAdded;
        else
            order.push_back(i);
    }
    if (order.empty()) return t;

    auto samples = open();
    if (!samples) {
        t.problem = samples.error();
        return t;
    }
    t.picture = samples->facts;
    if (!samplesFit(ws, *samples->rows)) {
        t.problem = "クラスタマップが画像と合いません";
        return t;
    }
    const std::vector<PixelBox> boxes = clusterBoxes(ws);
    // Top to bottom, so that the rows above the current result can be given back.
    std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
        return ws.Stars[a].CenterY < ws.Stars[b].CenterY;
    });
    // The threads take runs of that order, long ones first and shorter ones towards the end so
    // that they finish together, each thread with rows of its own; every result's measurement
    // depends on the samples and the map alone, so the table is the same whoever measures
    // what. Only the calling thread yields to the event queue.
    SampleRows& rows = *samples->rows;
    const int parts = rows.concurrentReads() ? core::pictureWorkers(ws.PictureWorkers) : 1;
    struct Part {
        std::vector<double> sigmas;
        int missing = 0;
        std::string error;
    };
    std::vector<Part> done(static_cast<size_t>(std::max(parts, 1)));
    std::mutex taking;
    size_t next = 0;
    // The next run [begin, end) of `order`, empty when none is left.
    auto take = [&] {
        std::lock_guard lock(taking);
        const size_t left = order.size() - next;
        const size_t run =
            std::min(left, std::max(kShortestRun, left / (2 * static_cast<size_t>(parts))));
        next += run;
        return std::pair(next - run, next);
    };
    core::forEachPart(parts, parts, [&](int k, int64_t, int64_t) {
        Part& part = done[static_cast<size_t>(k)];
        RowCache cache(rows);
        for (auto [begin, end] = take(); begin < end; std::tie(begin, end) = take()) {
            for (size_t i = begin; i < end; ++i) {
                const int32_t n = order[i];
                const PixelBox box = static_cast<size_t>(n) < boxes.size() ? boxes[n] : PixelBox{};
                const ClusterMeasure m =
                    measureCluster(cache, ws.ClusterMap, inputOf(ws, samples.value(), n, box));
                t.byStar[n] = finished(ws, n, m);
                if (std::isfinite(m.skySigma)) part.sigmas.push_back(m.skySigma);
                part.missing += !m.found;
                const double top = std::floor(ws.Stars[n].CenterY) - kKeepRows;
                if (std::isfinite(top)) cache.forgetAbove(static_cast<int>(std::max(top, 0.0)));
                if (k == 0) ctx.host.pump();
            }
        }
        part.error = cache.error();
    });
    std::vector<double> sigmas;
    int missing = 0;
    std::string error;
    for (Part& part : done) {
        sigmas.insert(sigmas.end(), part.sigmas.begin(), part.sigmas.end());
        missing += part.missing;
        if (error.empty()) error = part.error;
    }
    t.picture.noiseSigma = median(std::move(sigmas));
    if (!error.empty())
        t.problem = error;
    else if (missing > 0)
        t.problem = std::to_string(missing) + " 個の結果の画素がクラスタマップにありません";
    return t;
}

uint64_t resultsStamp(const core::Workspace& ws) {
    // FNV-1a over the values that decide the measurements.
    uint64_t h = 1469598103934665603ull;
    auto mix = [&](uint64_t v) {
        for (int k = 0; k < 8; ++k) {
            h ^= (v >> (8 * k)) & 0xFF;
            h *= 1099511628211ull;
        }
    };
    mix(ws.PictureGeneration);
    mix(static_cast<uint64_t>(ws.MaxStarNo));
    // The results a save writes, which the table measures.
    for (int32_t i : results::savedNumbers(ws)) {
        if (static_cast<size_t>(i) >= ws.Stars.size()) break;
        const core::ClusterRec& c = ws.Clusters[i];
        const core::StarRec& s = ws.Stars[i];
        uint32_t x = 0, y = 0;
        std::memcpy(&x, &s.CenterX, sizeof x);
        std::memcpy(&y, &s.CenterY, sizeof y);
        mix(static_cast<uint64_t>(i) << 32 | static_cast<uint32_t>(s.PixelCount));
        mix(static_cast<uint64_t>(x) << 32 | y);
        mix(static_cast<uint64_t>(static_cast<uint16_t>(c.EditAtr & core::kEditAdded)));
    }
    return h == 0 ? 1 : h;
}

void refreshMeasures(form::Ctx& ctx) {
    core::Workspace& ws = ctx.ws;
    if (ws.measures.fromFile) return;
    const uint64_t stamp = resultsStamp(ws);
    if (ws.measures.stamp == stamp) return;
    ws.measures = measureResults(ctx);
    // What could not be measured is tried again next time.
    ws.measures.stamp = ws.measures.problem.empty() ? stamp : 0;
}

core::MeasureRec measureResult(form::Ctx& ctx, int32_t n) {
    core::Workspace& ws = ctx.ws;
    auto fromTable = [&] {
        const core::MeasureRec* r = ws.measures.find(n);
        return r ? *r : core::MeasureRec{};
    };
    if (ws.measures.fromFile) return fromTable();
    const uint64_t stamp = resultsStamp(ws);
    if (ws.measures.stamp == stamp) return fromTable();
    if (n < 1 || n > ws.MaxStarNo || static_cast<size_t>(n) >= ws.Clusters.size() ||
        handAdded(ws.Clusters[n]))
        return {};
    core::MeasureTable::One& last = ws.measures.lastOne;
    auto lastFinished = [&] {
        ClusterMeasure m;
        m.rec = last.rec;
        m.found = last.found;
        return finished(ws, n, m);
    };
    if (last.n == n && last.stamp == stamp) return lastFinished();
    const std::string file = pictureFile(ws);
    if (!file.empty() && !formats::isFitsFile(file) && !ws.StretchUsed.empty()) {
        refreshMeasures(ctx);
        return fromTable();
    }
    auto samples = openPictureSamples(ctx);
    if (!samples || !samplesFit(ws, *samples->rows)) return {};
    PixelBox box;
    for (int y = 1; y <= ws.ImageHeightP; ++y) {
        const uint16_t* row = ws.ClusterMap.at(1, y);
        for (int x = 0; x < ws.ImageWidthP; ++x)
            if (row[x] == n) box.add(x, y - 1);
    }
    RowCache cache(*samples->rows);
    const ClusterMeasure m =
        measureCluster(cache, ws.ClusterMap, inputOf(ws, samples.value(), n, box));
    last = {n, stamp, m.rec, m.found};
    return lastFinished();
}

core::FileLines measureFileForSave(form::Ctx& ctx, const std::string& dataFile) {
    refreshMeasures(ctx);
    return {measureFilePath(dataFile), measureFileLines(ctx.ws)};
}

std::vector<core::FileLines> withMeasureFile(form::Ctx& ctx, std::vector<core::FileLines> pair,
                                             const std::string& dataFile) {
    if (ctx.ws.MeasureOnSave) pair.push_back(measureFileForSave(ctx, dataFile));
    return pair;
}

void afterSave(form::Ctx& ctx, const std::string& dataFile) {
    if (!ctx.ws.MeasureOnSave) {
        // Under the folder's lock, and only while the pair's sum file does not name it: a save
        // of the same picture with measurements may have come in between.
        const core::FolderLock lock(core::GetFolderName(dataFile));
        const std::string path = measureFilePath(dataFile);
        if (auto sum = core::readFileBytes(results::sumFileOf(dataFile)))
            if (auto named = core::parseSumFile(sum.value()))
                for (const core::SummedFile& f : named->files)
                    if (f.name == core::fileNameOf(path)) return;
        std::error_code ec;
        std::filesystem::remove(path, ec);
        return;
    }
    if (ctx.ws.measures.fromFile || ctx.ws.measures.problem.empty()) return;
    const std::string text = "＊測光できなかった結果があります: " + ctx.ws.measures.problem;
    form::OV_DispMsg(ctx, text);
    form::OV_Logout(ctx, text);
}

void takeSavedMeasures(core::Workspace& ws, const results::ResultFiles& files,
                       const std::string& dataFile) {
    core::MeasureTable t;
    t.fromFile = true;
    auto read = readSavedMeasures(files.summed, files.summedWith, dataFile);
    if (!read)
        t.problem = read.error();
    else if (!read.value())
        t.problem = "測光ファイル " + measureFilePath(dataFile) + " がありません";
    else
        t = std::move(*read.value());
    ws.measures = std::move(t);
}

}  // namespace orv::catalogue::measure
