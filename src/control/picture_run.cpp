#include "control/picture_run.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <new>
#include <span>
#include <variant>

#include "catalogue/export_results.h"
#include "catalogue/measure/measure_results.h"
#include "catalogue/measure/sidecar.h"
#include "catalogue/picture_catalogue.h"
#include "control/pipeline.h"
#include "control/stage_refresh.h"
#include "core/numeric.h"
#include "core/paths.h"
#include "extract/numbering.h"
#include "extract/records.h"
#include "extract/table_full.h"
#include "form/context.h"
#include "form/headless_host.h"
#include "formats/fits.h"
#include "input/image_load.h"
#include "psf/entries.h"
#include "results/saved_records.h"

// A picture file is loaded as `detect` loads it: its folder and name become the picture's, and
// the loading step reads it (FITS through CFITSIO, other files through the decoder). A picture
// the caller holds comes in as the headless host's clipboard picture: the loading step takes
// it, stretches deep samples with the stretch setting, and, as for any picture from memory,
// keeps no log. The log of a file's run is switched off.

namespace orv::control {

namespace {

using Clock = std::chrono::steady_clock;

// The engine of one run.
struct Engine : HeadlessEngine {
    explicit Engine(const HeadlessOptions& options) : HeadlessEngine(options) {
        ws.logEnabled = false;
        prepare(options);
    }

    // Runs `step` (loading, then the pipeline if `detect`), noting a failure in `o`.
    bool run(const PictureSource& source, bool detect, PictureOutcome& o) {
        int index = input::kSourceClipboard;
        if (!source.path.empty()) {
            ws.DoFilePath = core::GetFolderName(source.path);
            ws.DoFileName = core::fileNameOf(source.path);
            index = input::kSourceNamed;
        } else {
            host.clipboard = [&source]() -> core::Result<form::Picture> { return source.picture; };
        }
        o.path = source.path;
        try {
            if (!input::cmdDataIn_Click(ctx, index)) {
                o.failure = PictureOutcome::Failure::Load;
                o.error = ws.lastLoadError;
                return false;
            }
            if (detect) cmdDoAll_Click(ctx);
        } catch (const core::ArithmeticFault& e) {
            o.failure = PictureOutcome::Failure::Fault;
            o.error = std::string("実行時エラー: ") + e.what();
            return false;
        } catch (const std::bad_alloc&) {
            o.failure = PictureOutcome::Failure::Fault;
            o.error = "メモリーが足りません。";
            return false;
        }
        o.ok = true;
        if (!detect) return true;
        o.incomplete = extract::tableFullMessage(ws);
        o.counts = ws.StarAtrNo;
        o.siki = ws.settings.Siki;
        o.noiseSigma = ws.NoiseSigma;
        return true;
    }
};

// The samples of a deep picture the caller holds, measured as those of the same picture read
// from a file are: the values themselves, saturated at 16-bit samples' largest (none for real
// samples, as for a FITS picture of reals without SATURATE).
core::Result<catalogue::measure::PictureSamples> heldSamples(const form::Picture& held,
                                                             int channel) {
    catalogue::measure::PictureSamples s;
    const form::DeepSamples& d = *held.deep;
    s.facts.unit = "adu";
    s.facts.samples = "samples";
    const bool whole = std::holds_alternative<std::span<const uint16_t>>(d.samples) ||
                       std::holds_alternative<std::vector<uint16_t>>(d.samples);
    s.facts.saturation =
        whole ? std::max(d.offset, d.offset + d.scale * 65535.0) : core::kNotMeasured;
    s.rows = catalogue::measure::deepRows(held.deep, channel);
    return s;
}

// The measurements of the results, as a save measures them: on the picture file's samples,
// the held deep samples, or the 8-bit levels.
void measure(Engine& e, const PictureSource& source, PictureOutcome& o) {
    auto& ws = e.ws;
    if (source.path.empty() && source.picture.deep) {
        const int channel = ws.PixelLevel.channel();
        ws.measures = catalogue::measure::measureResults(
            e.ctx, [&] { return heldSamples(source.picture, channel); });
    } else {
        ws.measures = catalogue::measure::measureResults(e.ctx);
    }
    o.measureProblem = ws.measures.problem;
}

// The catalogue of the engine's results, as `export` makes it of the saved pair and the
// measurements saved with it.
void takeCatalogue(const Engine& e, const PictureSource& source, DetectedPicture& d) {
    const core::Workspace& ws = e.ws;
    const std::vector<int32_t> numbers = results::savedNumbers(ws);
    const std::string name = source.path.empty() ? "" : core::fileNameOf(source.path);
    catalogue::Catalogue& c = d.catalogue;
    c.pictureHeight = ws.ImageHeightP;
    c.records.reserve(numbers.size());
    const core::MeasureRec none;
    for (int32_t i : numbers) {
        catalogue::CatalogueRecord r = catalogue::fromResult(results::savedRecord(ws, i), name);
        // Measurements are kept with 7 digits, the flags with the edits of now.
        const core::MeasureRec* m = ws.measures.find(i);
        r.measure = m ? *m : none;
        r.measure.flags = catalogue::measure::currentFlags(ws.Clusters[i], r.measure.flags);
        c.records.push_back(std::move(r));
    }
    d.outcome.results = static_cast<int32_t>(numbers.size());
    c.meta = catalogue::workspaceMeta(ws, name, e.frm.lblVersion.Caption);
    catalogue::CatalogueMeta& meta = c.meta;
    for (double* v : {&meta.measures.noiseSigma, &meta.measures.saturation, &meta.measures.gain})
        *v = std::isfinite(*v) ? core::generalFormValue(*v, 7) : core::kNotMeasured;
    if (!source.path.empty() && formats::isFitsFile(source.path))
        if (auto added = catalogue::addFitsColumns(c, source.path, d.missingColumns); !added)
            d.missingColumns.push_back(added.error());
}

}  // namespace

DetectedPicture detectInMemory(const HeadlessOptions& options, const PictureSource& source) {
    DetectedPicture d;
    Engine e(options);
    const auto start = Clock::now();
    bool ran = e.run(source, true, d.outcome);
    if (ran) {
        try {
            measure(e, source, d.outcome);
        } catch (const std::bad_alloc&) {
            d.outcome.ok = ran = false;
            d.outcome.failure = PictureOutcome::Failure::Fault;
            d.outcome.error = "メモリーが足りません。";
        }
    }
    d.engineSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    d.settings = e.ws.settings;
    if (!ran) return d;
    d.width = e.ws.ImageWidthP;
    d.height = e.ws.ImageHeightP;
    d.stretch = e.ws.StretchUsed;
    d.stretchBlack = e.ws.StretchBlack;
    d.stretchWhite = e.ws.StretchWhite;
    d.stoppedAtRow = e.ws.tableFull.stoppedAtRow;
    d.splitsCutShort = e.ws.tableFull.splitsCutShort;
    takeCatalogue(e, source, d);
    return d;
}

PsfRun psfInMemory(const HeadlessOptions& options, const PictureSource& source,
                   const std::optional<std::vector<PsfStar>>& stars) {
    PsfRun out;
    out.settingsProblem = psf::settingsProblem(options.settings);
    if (!out.settingsProblem.empty()) return out;
    Engine e(options);
    auto& ws = e.ws;
    if (!e.run(source, !stars, out.outcome)) return out;

    // The stars given; or every circular result not deleted, as the result pair keeps it.
    std::vector<PsfStar> chosen;
    if (stars) {
        chosen = *stars;
    } else {
        for (const results::ResultRecord& r : results::savedRecords(ws))
            if (r.cluster.Atr == extract::kAtrCircular &&
                (r.cluster.EditAtr & extract::kEditDeleted) == 0)
                chosen.push_back({r.number, r.star.CenterX, r.star.CenterY});
    }
    int32_t highest = ws.MaxStarNo;
    for (const PsfStar& s : chosen) highest = std::max(highest, s.number);
    ws.MaxStarNo = std::min<int32_t>(highest, extract::kMaxStarNo);
    extract::noteTableUse(ws);

    for (const PsfStar& s : chosen) {
        PsfStarProfile p;
        p.star = s;
        const psf::Measurement m = psf::measureProfile(ws, ws.settings, s.x, s.y);
        p.outcome = m.outcome;
        p.skipped = psf::skipReason(m, ws.settings);
        if (m.outcome == psf::Measurement::Outcome::Fitted) {
            p.sigma = m.fit.sigma;
            p.peak = m.fit.peak;
            p.sky = m.fit.sky;
            if (s.number >= 1 && s.number <= extract::kMaxStarNo) {
                // The entry records the centroid measured at.
                ws.Stars[s.number].CenterX = s.x;
                ws.Stars[s.number].CenterY = s.y;
                auto& state = ws.psf;
                state.PSFStarNo = s.number;
                state.PSFSigma = m.fit.sigma;
                state.PSFPeak = m.fit.peak;
                state.PSFSky = m.fit.sky;
                state.ProfileOwn = true;
                p.adopted = psf::adoptProfile(ws) == psf::Adoption::Added;
            }
        }
        out.stars.push_back(std::move(p));
    }
    out.entries = ws.psf.PSFDataNo;
    out.sd = ws.psf.PSFsd;
    out.sdd = ws.psf.PSFsdd;
    return out;
}

}  // namespace orv::control
