// Deep pictures against the decoding of an ordinary BMP, on a generated 4096 x 4096 field:
//   DecodeBmp24          Qt's decoding of the field as a 24-bit BMP, in this process
//   DecodeBmp24Guarded   what a BMP load costs: the guarded decoder, which reads a 24-bit BMP
//                        with the program's own streaming reader in this process
//   DecodeBmp24InHelper  Qt's decoding of the same file in the helper program, pixels back
//                        through shared memory (what guarding Qt's BMP reader would cost)
//   Fits16ToLevels       reading the field as a 16-bit FITS file and stretching it (0.1 to
//                        99.9 percentile) to 8-bit levels: what a FITS load costs
//   Png16ToLevels        the same from a 16-bit PNG through Qt
//   Float32FitsToLevels  the same field as a 32-bit float FITS file
//
//   build/release/bin/orvandel-formats-bench --benchmark_repetitions=5
//       --benchmark_report_aggregates_only=true
//
// With "--memory N" it instead writes an N x N 32-bit float FITS file, loads and stretches it,
// and prints the peak memory the load added, against the file's size.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench/bmp_writer.h"
#include "bench/fits_writer.h"
#include "bench/starfield.h"
#include "formats/decoder/picture_decoder.h"
#include "formats/fits.h"
#include "formats/guarded_decode.h"
#include "formats/picture_file.h"

namespace {

using namespace orv;

constexpr int kSide = 4096;

std::string benchFolder() {
    static const std::string folder = [] {
        const auto dir = std::filesystem::temp_directory_path() / "orvandel-formats-bench";
        std::filesystem::create_directories(dir);
        return dir.string();
    }();
    return folder;
}

// The field's files, written once.
struct Files {
    std::string bmp, fits16, png16, fits32;
};

const Files& files() {
    static const Files written = [] {
        auto spec = bench::denseField(kSide, kSide, 8000, 2015);
        spec.noiseSigma = 1.2;
        spec.colour = false;
        spec.deepScale = 200;
        spec.deepOffset = 1000;
        const auto field = bench::generateStarField(spec);
        Files f{benchFolder() + "/field.bmp", benchFolder() + "/field.fits",
                benchFolder() + "/field.png", benchFolder() + "/field32.fits"};
        if (!bench::writeBmp(f.bmp, field.width, field.height, field.rgb) ||
            !bench::writeFits16(f.fits16, field.width, field.height, field.deep) ||
            !bench::writeFitsFloat(f.fits32, field.width, field.height, [&](int x, int y) {
                return static_cast<float>(field.deep[static_cast<size_t>(y) * kSide + x]) * 0.5f;
            })) {
            std::fprintf(stderr, "cannot write the bench files in %s\n", benchFolder().c_str());
            std::exit(1);
        }
        QImage png(field.width, field.height, QImage::Format_Grayscale16);
        for (int y = 0; y < field.height; ++y)
            std::copy_n(field.deep.data() + static_cast<size_t>(y) * kSide, kSide,
                        reinterpret_cast<uint16_t*>(png.scanLine(y)));
        png.save(QString::fromStdString(f.png16));
        return f;
    }();
    return written;
}

void DecodeBmp24(benchmark::State& state) {
    const std::string path = files().bmp;
    for (auto _ : state) {
        auto p = formats::decodePictureFile(path);
        if (!p) state.SkipWithError(p.error().c_str());
        benchmark::DoNotOptimize(p);
    }
}
BENCHMARK(DecodeBmp24)->Unit(benchmark::kMillisecond)->UseRealTime();

void DecodeBmp24Guarded(benchmark::State& state) {
    const std::string path = files().bmp;
    for (auto _ : state) {
        auto p = formats::decodePictureFileGuarded(path);
        if (!p) state.SkipWithError(p.error().c_str());
        benchmark::DoNotOptimize(p);
    }
}
BENCHMARK(DecodeBmp24Guarded)->Unit(benchmark::kMillisecond)->UseRealTime();

void DecodeBmp24InHelper(benchmark::State& state) {
    const std::string path = files().bmp;
    formats::HelperRequest request;
    request.reader = formats::HelperReader::Toolkit;
    for (auto _ : state) {
        auto p = formats::decodeInHelper(path, request);
        if (!p) state.SkipWithError(p.error().c_str());
        // The pipeline reads every pixel: each page of the shared memory is touched once.
        uint64_t sum = 0;
        const size_t bytes = p->stride * static_cast<size_t>(p->height);
        for (size_t at = 0; at < bytes; at += 4096) sum += p->bits[at];
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(DecodeBmp24InHelper)->Unit(benchmark::kMillisecond)->UseRealTime();

void toLevelsOf(benchmark::State& state, const std::string& path, bool viaQt) {
    for (auto _ : state) {
        form::Picture deep;
        if (viaQt) {
            auto decoded = formats::decodePictureFile(path);
            if (!decoded) state.SkipWithError(decoded.error().c_str());
            deep = decoded.value();
        } else {
            auto samples = formats::readFits(path);
            if (!samples) state.SkipWithError(samples.error().c_str());
            deep.deep = std::make_shared<const form::DeepSamples>(std::move(samples.value()));
        }
        auto p = formats::toLevels(std::move(deep), "");
        if (!p) state.SkipWithError(p.error().c_str());
        benchmark::DoNotOptimize(p);
    }
}

void Fits16ToLevels(benchmark::State& state) {
    toLevelsOf(state, files().fits16, false);
}
BENCHMARK(Fits16ToLevels)->Unit(benchmark::kMillisecond)->UseRealTime();

void Png16ToLevels(benchmark::State& state) {
    toLevelsOf(state, files().png16, true);
}
BENCHMARK(Png16ToLevels)->Unit(benchmark::kMillisecond)->UseRealTime();

void Float32FitsToLevels(benchmark::State& state) {
    toLevelsOf(state, files().fits32, false);
}
BENCHMARK(Float32FitsToLevels)->Unit(benchmark::kMillisecond)->UseRealTime();

long peakKib() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

int memoryRun(int side) {
    const std::string path = benchFolder() + "/memory.fits";
    if (!bench::writeFitsFloat(path, side, side, [](int x, int y) {
            return static_cast<float>((x * 7 + y * 13) % 1000) + 0.25f;
        })) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    const double fileMib = static_cast<double>(std::filesystem::file_size(path)) / (1 << 20);
    const long before = peakKib();
    auto samples = formats::readFits(path);
    if (!samples) {
        std::fprintf(stderr, "%s\n", samples.error().c_str());
        return 1;
    }
    form::Picture deep;
    deep.deep = std::make_shared<const form::DeepSamples>(std::move(samples.value()));
    auto levels = formats::toLevels(std::move(deep), "");
    if (!levels) {
        std::fprintf(stderr, "%s\n", levels.error().c_str());
        return 1;
    }
    const double addedMib = static_cast<double>(peakKib() - before) / 1024.0;
    std::printf(
        "%d x %d float FITS: file %.0f MiB, peak memory added by the load %.0f MiB "
        "(%.2f x the file)\n",
        side, side, fileMib, addedMib, addedMib / fileMib);
    std::filesystem::remove(path);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--memory") return memoryRun(std::atoi(argv[2]));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);  // Qt's image plug-ins
    benchmark::Initialize(&argc, argv);
    files();
    benchmark::RunSpecifiedBenchmarks();
    std::filesystem::remove_all(benchFolder());
    return 0;
}
