// Measuring the results of a deep picture on its own samples (catalogue/measure): the time and
// the peak memory the measuring adds, against the picture's samples.
//
//   orvandel-measure-bench [--side N] [--stars M]
//
// Writes a generated N x N field (default 4096, M stars, default 20000) as a 16-bit FITS file,
// runs the one-click pipeline on it as the command line does, then measures every result as a
// save does, three times. Before each measuring run the process's peak resident memory is reset
// (/proc/self/clear_refs), so the peak it reaches afterwards, less the memory held before, is
// what the measuring added.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/fits_writer.h"
#include "bench/starfield.h"
#include "catalogue/measure/measure_results.h"
#include "control/pipeline.h"
#include "control/stage_refresh.h"
#include "core/settings.h"
#include "extract/numbering.h"
#include "form/context.h"
#include "form/headless_host.h"
#include "input/image_load.h"

namespace {

using namespace orv;

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM").
long statusKib(const std::string& key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key + ":", 0) == 0) return std::atol(line.c_str() + key.size() + 1);
    return -1;
}

bool resetPeak() {
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
    int side = 4096, stars = 20000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--side") side = std::atoi(argv[i + 1]);
        if (option == "--stars") stars = std::atoi(argv[i + 1]);
    }
    const auto dir = std::filesystem::temp_directory_path() / "orvandel-measure-bench";
    std::filesystem::create_directories(dir);
    auto spec = bench::denseField(side, side, stars, 11);
    spec.colour = false;
    spec.noiseSigma = 1.2;
    spec.deepScale = 200;
    spec.deepOffset = 1000;
    const auto field = bench::generateStarField(spec);
    const std::string path = (dir / "field.fits").string();
    if (auto written = bench::writeFits16(path, side, side, field.deep); !written) {
        std::fprintf(stderr, "%s\n", written.error().c_str());
        return 1;
    }

    core::Workspace ws;
    form::FrmOrvandel frm;
    frm.disableDrawing();
    form::HeadlessHost host;
    form::Ctx ctx{ws, frm, host, nullptr, control::stageRefresh()};
    extract::resetTables(ws);
    ws.settings = core::defaultSettings();
    ws.settings.Stretch = "range:1000,52000";
    ws.ProcStage = core::kStageBatch;
    ws.DoFilePath = dir.string();
    ws.DoFileName = "field.fits";
    if (!input::cmdDataIn_Click(ctx, input::kSourceNamed)) {
        std::fprintf(stderr, "cannot load %s: %s\n", path.c_str(), ws.lastLoadError.c_str());
        return 1;
    }
    control::cmdDoAll_Click(ctx);

    const double samplesMib = static_cast<double>(side) * side * 2 / (1 << 20);
    for (int run = 0; run < 3; ++run) {
        const bool reset = resetPeak();
        const long before = statusKib("VmRSS");
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t cpuStart = std::clock();
        const core::MeasureTable t = catalogue::measure::measureResults(ctx);
        const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double addedMib = static_cast<double>(statusKib("VmHWM") - before) / 1024.0;
        size_t measured = 0;
        for (const core::MeasureRec& r : t.byStar) measured += r.flags >= 0;
        std::printf(
            "%d x %d 16-bit FITS (%.0f MiB of samples): %zu results measured in %.2f s, %.2f s "
            "CPU (%.1f us CPU each); peak memory added %s%.1f MiB (%.3f x the samples)%s\n",
            side, side, samplesMib, measured, seconds, cpu,
            1e6 * cpu / static_cast<double>(std::max<size_t>(measured, 1)), reset ? "" : "at most ",
            addedMib, addedMib / samplesMib, t.problem.empty() ? "" : (" - " + t.problem).c_str());
    }
    std::filesystem::remove_all(dir);
    return 0;
}
