// Engine benchmarks on a generated 4096 x 4096 field with about 8000 stars:
//   Background/<n>      the moving-average background alone, for half-widths n
//   NoiseEstimate       the noise sigma of the picture from Level - BackLevel alone
//   Computation         channel extraction + background + clusters + analysis, no drawing
//   Computation/<10 S>  the same with the detection filter of sigma S (Siki = 3.25 sigma of
//                       the smoothed residual, the rest standard)
//   SmoothResidual/<10 S>  the detection filter's smoothing alone
//   WithDrawing         the same, drawing into the five picture layers as the window does
//   PsfProfile          one star's PSF profile: 1116 bilinear ring samples and the fit
//   PsfRings, PsfFit    its two halves
//   PsfWindowProfile    the same as the PSF page computes it, drawing its three pictures
// Counters: clusters found and the working arrays' bytes per picture pixel.
//
//   build/bench/bin/orvandel-bench --benchmark_repetitions=5
//   --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/starfield.h"
#include "control/stage_refresh.h"
#include "core/settings.h"
#include "extract/analysis.h"
#include "extract/records.h"
#include "form/context.h"
#include "form/headless_host.h"
#include "input/background.h"
#include "input/clusters.h"
#include "input/detect_filter.h"
#include "input/image_load.h"
#include "input/noise.h"
#include "psf/profile.h"
#include "psf/psf_profile.h"
#include "results/pair_sum.h"
#include "tiles/export.h"

namespace {

using namespace orv;

constexpr int kSide = 4096;
constexpr int kStars = 8000;

// The standard settings' threshold (Siki 4) sits above the noise of this field, so the
// clusters are stars and a few thousand noise specks, as on a good exposure.
bench::FieldSpec benchSpec() {
    bench::FieldSpec spec = bench::denseField(kSide, kSide, kStars, 2015);
    spec.noiseSigma = 1.2;
    return spec;
}

const form::Picture& benchPicture() {
    static const form::Picture picture = [] {
        auto field = bench::generateStarField(benchSpec());
        auto rgb = std::make_shared<std::vector<uint8_t>>(std::move(field.rgb));
        return form::Picture::fromRgb(field.width, field.height, rgb);
    }();
    return picture;
}

// A window without a display: the engine's procedures as the batch run calls them.
struct Engine {
    core::Workspace ws;
    form::FrmOrvandel frm;
    form::HeadlessHost host;
    form::Ctx ctx{ws, frm, host, nullptr, control::stageRefresh()};

    explicit Engine(bool draw, float filterSigma = 0) {
        if (!draw) frm.disableDrawing();
        ws.settings = core::defaultSettings();
        ws.settings.FilterSigma = filterSigma;
        if (filterSigma > 0) ws.SikiSigmaFactor = input::kSuggestedFilterSigmaFactor;
        ws.Clusters = extract::newClusterTable();
        ws.Stars = extract::newStarTable();
        ws.ProcStage = core::kStageBatch;
        ws.DoFilePath = "/nonexistent";  // no log is written
        ws.DoFileName = "field.bmp";
        host.decoder = [](const std::string&) -> core::Result<form::Picture> {
            return benchPicture();
        };
    }
    void run() {
        input::cmdDataIn_Click(ctx, input::kSourceNamed);
        input::cmdIdoHeikin_Click(ctx);
        input::cmdPickup_Click(ctx);
        extract::cmdCenterCal_Click(ctx);
    }
};

void report(benchmark::State& state, const core::Workspace& ws) {
    state.counters["clusters"] = ws.MaxStarNo;
    state.counters["bytes_per_pixel"] =
        static_cast<double>(ws.workingBytes()) / (static_cast<double>(kSide) * kSide);
}

void Background(benchmark::State& state) {
    Engine e(false);
    e.run();
    const int n = static_cast<int>(state.range(0));
    core::Array2D<float> out;
    for (auto _ : state) {
        input::computeBackground(e.ws.PixelLevel, kSide, kSide, n, out);
        benchmark::DoNotOptimize(out.at(0, 0));
    }
}
BENCHMARK(Background)->Arg(0)->Arg(4)->Arg(15)->Arg(30)->Unit(benchmark::kMillisecond);

void NoiseEstimate(benchmark::State& state) {
    Engine e(false);
    e.run();
    for (auto _ : state)
        benchmark::DoNotOptimize(
            input::measureNoise(e.ws.PixelLevel, e.ws.BackLevel, kSide, kSide));
}
BENCHMARK(NoiseEstimate)->Unit(benchmark::kMillisecond);

// The checksum of a picture's pixels, which a tile's layout and its results record: of the
// 48 MB RGB picture as cut (TilePixels), and of the loaded picture's R, G, B planes as a save
// computes it (LoadedPixels).
void TilePixels(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(tiles::tileChecksum(benchPicture()));
}
BENCHMARK(TilePixels)->Unit(benchmark::kMillisecond);

void LoadedPixels(benchmark::State& state) {
    Engine e(false);
    input::cmdDataIn_Click(e.ctx, input::kSourceNamed);
    for (auto _ : state) benchmark::DoNotOptimize(results::pictureChecksum(e.ws));
}
BENCHMARK(LoadedPixels)->Unit(benchmark::kMillisecond);

void Computation(benchmark::State& state) {
    benchPicture();
    const float filter = static_cast<float>(state.range(0)) / 10.0f;
    for (auto _ : state) {
        Engine e(false, filter);
        e.run();
        state.PauseTiming();
        report(state, e.ws);
        state.ResumeTiming();
    }
}
BENCHMARK(Computation)
    ->Arg(0)
    ->Arg(8)
    ->Arg(10)
    ->Arg(15)
    ->Arg(20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void SmoothResidual(benchmark::State& state) {
    Engine e(false);
    e.run();
    const float filter = static_cast<float>(state.range(0)) / 10.0f;
    core::Array2D<float> out;
    for (auto _ : state) {
        input::smoothResidual(e.ws.PixelLevel, e.ws.BackLevel, kSide, kSide, filter, out);
        benchmark::DoNotOptimize(out.at(0, 0));
    }
}
BENCHMARK(SmoothResidual)->Arg(8)->Arg(10)->Arg(15)->Arg(20)->Unit(benchmark::kMillisecond);

void WithDrawing(benchmark::State& state) {
    benchPicture();
    for (auto _ : state) {
        Engine e(true);
        e.run();
        state.PauseTiming();
        report(state, e.ws);
        state.ResumeTiming();
    }
}
BENCHMARK(WithDrawing)->Unit(benchmark::kMillisecond)->UseRealTime();

// The circular results at least 20 pixels inside the picture: the stars a user would measure.
std::vector<int32_t> psfStars(const core::Workspace& ws) {
    std::vector<int32_t> stars;
    for (int32_t n = 1; n <= ws.MaxStarNo; ++n) {
        const auto& s = ws.Stars[n];
        if (ws.Clusters[n].Atr == extract::kAtrCircular && s.CenterX > 20 &&
            s.CenterX < kSide - 20 && s.CenterY > 20 && s.CenterY < kSide - 20)
            stars.push_back(n);
    }
    return stars;
}

// Each iteration measures the next star of the field.
template <typename Measure>
void eachStar(benchmark::State& state, bool draw, Measure measure) {
    Engine e(draw);
    e.run();
    const std::vector<int32_t> stars = psfStars(e.ws);
    size_t i = 0;
    for (auto _ : state) {
        measure(e, stars[i]);
        i = (i + 1) % stars.size();
    }
    state.counters["stars"] = static_cast<double>(stars.size());
}

void PsfProfile(benchmark::State& state) {
    eachStar(state, false, [](Engine& e, int32_t n) {
        const auto& s = e.ws.Stars[n];
        benchmark::DoNotOptimize(psf::measureProfile(e.ws, e.ws.settings, s.CenterX, s.CenterY));
    });
}
BENCHMARK(PsfProfile)->Unit(benchmark::kMicrosecond);

void PsfRings(benchmark::State& state) {
    eachStar(state, false, [](Engine& e, int32_t n) {
        const auto& s = e.ws.Stars[n];
        benchmark::DoNotOptimize(psf::sampleRings(e.ws, s.CenterX, s.CenterY, 2));
    });
}
BENCHMARK(PsfRings)->Unit(benchmark::kMicrosecond);

void PsfFit(benchmark::State& state) {
    Engine e(false);
    e.run();
    std::vector<psf::Profile> profiles;
    for (int32_t n : psfStars(e.ws)) {
        const auto rings = psf::sampleRings(e.ws, e.ws.Stars[n].CenterX, e.ws.Stars[n].CenterY, 2);
        if (rings.complete()) profiles.push_back(rings.P);
    }
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(psf::fitProfile(profiles[i], 4, 2));
        i = (i + 1) % profiles.size();
    }
}
BENCHMARK(PsfFit)->Unit(benchmark::kMicrosecond);

void PsfWindowProfile(benchmark::State& state) {
    eachStar(state, true, [](Engine& e, int32_t n) {
        e.ws.SelStarNo = n;
        psf::OV_CalPSFProfile(e.ctx);
    });
}
BENCHMARK(PsfWindowProfile)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
