// The astronomer's desk: ordering 50000 results in the results table, and the display
// stretch's pass over a 4096 x 4096 picture (the histogram, a new table and the stretched copy
// of the whole picture, as the window makes it below scale 1 or for the thumbnail) and over a
// laptop's viewport (1366 x 768, what a repaint at scale 1 or more stretches).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "core/workspace.h"
#include "extract/numbering.h"
#include "view/display_stretch.h"
#include "view/results_list.h"

namespace {

using orv::view::ResultColumn;

orv::core::Workspace& tables() {
    static orv::core::Workspace ws = [] {
        orv::core::Workspace w;
        w.MaxStarNo = 50000;
        orv::extract::noteTableUse(w);
        uint32_t seed = 1;
        auto next = [&] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
        for (int32_t n = 1; n <= w.MaxStarNo; ++n) {
            auto& c = w.Clusters[n];
            c.Used = -1;
            c.Atr = static_cast<int16_t>(1 + next() % 5);
            c.Note = next() % 10 == 0 ? "note " + std::to_string(next() % 1000) : "";
            auto& s = w.Stars[n];
            s.CenterX = static_cast<float>(next() % 40960) / 10;
            s.SumLevel = static_cast<float>(next() % 1000000);
            s.SinendoRatio = static_cast<float>(next() % 3000) / 1000;
        }
        return w;
    }();
    return ws;
}

void BM_SortResults(benchmark::State& state) {
    const auto& ws = tables();
    const auto column = static_cast<ResultColumn>(state.range(0));
    std::vector<int32_t> rows(50000);
    for (int32_t i = 0; i < 50000; ++i) rows[i] = i + 1;
    bool descending = false;
    for (auto _ : state) {
        descending = !descending;  // each run orders the previous order the other way
        orv::view::sortResults(ws, nullptr, rows, column, descending);
        benchmark::DoNotOptimize(rows.data());
    }
}
BENCHMARK(BM_SortResults)
    ->Arg(static_cast<int>(ResultColumn::SumLevel))
    ->Arg(static_cast<int>(ResultColumn::Roundness))
    ->Arg(static_cast<int>(ResultColumn::Note))
    ->Unit(benchmark::kMillisecond);

void BM_StretchPass(benchmark::State& state) {
    const size_t w = static_cast<size_t>(state.range(0)), h = static_cast<size_t>(state.range(1));
    std::vector<uint32_t> from(w * h), to(w * h);
    for (size_t i = 0; i < from.size(); ++i) {
        const uint32_t v = static_cast<uint32_t>((i * 2654435761u) >> 24);
        from[i] = 0xff000000u | v << 16 | v << 8 | v;
    }
    int white = 100;
    for (auto _ : state) {
        white = white == 100 ? 120 : 100;  // a new stretch each time, as a drag makes them
        const auto table = orv::view::stretchTable({orv::view::StretchCurve::Asinh, 5, white});
        orv::view::applyStretch(table, from.data(), to.data(), from.size());
        benchmark::DoNotOptimize(to.data());
    }
}
BENCHMARK(BM_StretchPass)->Args({4096, 4096})->Args({1366, 768})->Unit(benchmark::kMillisecond);

void BM_LevelHistogram(benchmark::State& state) {
    orv::core::Workspace ws;
    ws.ImageWidthP = ws.ImageHeightP = 4096;
    ws.PixelLevel.create(4096, 4096, orv::core::kChannelY);
    // A sky about 30 with faint noise, as a star field's levels mostly are.
    auto& plane = ws.PixelLevel.plane(orv::core::kChannelY);
    uint32_t seed = 3;
    for (int y = 1; y <= 4096; ++y)
        for (int x = 1; x <= 4096; ++x)
            plane(x, y) = static_cast<uint8_t>(28 + ((seed = seed * 1664525u + 1013904223u) >> 29));
    for (auto _ : state) benchmark::DoNotOptimize(orv::view::levelHistogram(ws));
}
BENCHMARK(BM_LevelHistogram)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
