// The division window's heavy steps on a huge BMP, timed one by one, against what the machine
// itself gives for the same bytes (bench/tiles_speed.sh runs it):
//
//   orvandel-tiles-bench PICTURE OUT_FOLDER [SIZE MARGIN]
//   orvandel-tiles-bench --make WIDTH HEIGHT PICTURE.bmp
//   orvandel-tiles-bench --make-fits WIDTH HEIGHT PICTURE.fits
//
// Prints, in milliseconds: reading the picture (streaming BMP reader, or CFITSIO and the
// stretch for a FITS file), the 420-pixel preview, cutting and writing every whole tile with
// the batch list; and the baselines: reading the file's bytes, writing the tiles' bytes as
// plain files of the same sizes. --make writes a sky with dots of any size row by row (the
// star-field generator holds a picture in memory and stops at 2^28 pixels) as a 24-bit BMP,
// --make-fits the same sky as 32-bit float samples.

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/fits_writer.h"
#include "tiles/big_picture.h"
#include "tiles/export.h"
#include "tiles/geometry.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Reads the whole file in 4 MB blocks; the bytes read.
size_t readAll(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::vector<char> block(4 << 20);
    size_t total = 0;
    for (ssize_t n; (n = ::read(fd, block.data(), block.size())) > 0;) total += n;
    ::close(fd);
    return total;
}

// Writes `count` files of `bytes` each into `folder`.
void writeFiles(const std::string& folder, int64_t count, size_t bytes) {
    std::vector<char> data(bytes, 7);
    for (int64_t k = 0; k < count; ++k) {
        const std::string path = folder + "/plain" + std::to_string(k);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::write(fd, data.data(), data.size()) != static_cast<ssize_t>(bytes))
            std::perror(path.c_str());
        ::close(fd);
    }
}

uint64_t hash(uint64_t a, uint64_t b) {
    uint64_t h = a * 0x9E3779B97F4A7C15ull ^ (b + 0x632BE59BD9B4E019ull) * 0xBF58476D1CE4E5B9ull;
    return h ^ (h >> 31);
}

// The sky's level at (x, y): noise of 5 levels and 4 x 4 dots.
uint8_t skyLevel(int x, int y) {
    const bool dot = hash(x / 4, y / 4) % 997 == 0;
    return dot ? 220 : static_cast<uint8_t>(28 + hash(x, y) % 5);
}

// A 24-bit BMP of a grey sky with noise and 4 x 4 dots, written row by row.
int makePicture(int width, int height, const std::string& path) {
    const uint64_t rowBytes = (static_cast<uint64_t>(width) * 3 + 3) / 4 * 4;
    const uint64_t imageBytes = rowBytes * height;
    std::string header(54, '\0');
    auto put = [&](size_t at, uint64_t v) {
        for (int k = 0; k < 4; ++k) header[at + k] = static_cast<char>(v >> (8 * k));
    };
    header[0] = 'B', header[1] = 'M';
    put(2, 54 + imageBytes), put(10, 54), put(14, 40), put(18, width), put(22, height);
    header[26] = 1, header[28] = 24;
    put(34, imageBytes);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 1;
    std::fwrite(header.data(), 1, header.size(), f);
    std::vector<uint8_t> row(rowBytes, 0);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x)
            row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = skyLevel(x, y);
        std::fwrite(row.data(), 1, row.size(), f);
    }
    return std::fclose(f) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--make")
        return makePicture(std::stoi(argv[2]), std::stoi(argv[3]), argv[4]);
    if (argc == 5 && std::string(argv[1]) == "--make-fits") {
        // The sky's levels as values of a 16-bit camera, with a fraction.
        auto made = orv::bench::writeFitsFloat(
            argv[4], std::stoi(argv[2]), std::stoi(argv[3]),
            [](int x, int y) { return 1000.25f + 150.0f * skyLevel(x, y); });
        if (!made) std::fprintf(stderr, "%s\n", made.error().c_str());
        return made ? 0 : 1;
    }
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: orvandel-tiles-bench PICTURE OUT_FOLDER [SIZE MARGIN]\n");
        return 2;
    }
    const std::string picture = argv[1], out = argv[2];
    const float size = argc == 5 ? std::stof(argv[3]) : 500;
    const float margin = argc == 5 ? std::stof(argv[4]) : 50;
    namespace fs = std::filesystem;
    fs::create_directories(out + "/tiles");
    fs::create_directories(out + "/plain");

    auto t0 = Clock::now();
    auto loaded = orv::tiles::loadBigPicture(picture, {}, "");
    const double readMs = msSince(t0);
    if (!loaded) {
        std::fprintf(stderr, "%s\n", loaded.error().c_str());
        return 1;
    }
    const orv::form::Picture* big = &loaded->picture;
    const int w = big->width, h = big->height;
    t0 = Clock::now();
    const int pw = w >= h ? 420 : 420 * w / h, ph = w >= h ? 420 * h / w : 420;
    orv::tiles::scaledPreview(*big, pw, ph);
    const double previewMs = msSince(t0);
    t0 = Clock::now();
    const auto o = orv::tiles::exportAllTiles(
        out + "/tiles", "big.bmp", size, margin, w, h, {}, [&](int i, int j) {
            return orv::tiles::cutTile(*big, orv::tiles::cutSquare(size, margin, i, j));
        });
    const double exportMs = msSince(t0);
    if (!o.error.empty()) std::fprintf(stderr, "%s\n", o.error.c_str());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);

    t0 = Clock::now();
    const size_t fileBytes = readAll(picture);
    const double plainReadMs = msSince(t0);
    const auto side = orv::tiles::cutSquare(size, margin, 0, 0).side;
    const size_t tileBytes = 54 + static_cast<size_t>((side * 3 + 3) / 4 * 4 * side);
    t0 = Clock::now();
    writeFiles(out + "/plain", o.written, tileBytes);
    const double plainWriteMs = msSince(t0);

    const double rgbMB = 3.0 * w * h / 1e6;
    std::printf("picture %d x %d (%.0f MB RGB), %lld tiles of %lld px (%.0f MB)\n", w, h, rgbMB,
                static_cast<long long>(o.written), static_cast<long long>(side),
                o.written * tileBytes / 1e6);
    std::printf("read_ms %.0f preview_ms %.0f tiles_ms %.0f peak_rss_MB %.0f (%.2fx RGB)\n", readMs,
                previewMs, exportMs, usage.ru_maxrss / 1024.0,
                usage.ru_maxrss * 1024.0 / 1e6 / rgbMB);
    std::printf("baseline: read %.0f MB %.0f ms, write %lld plain files %.0f ms\n", fileBytes / 1e6,
                plainReadMs, static_cast<long long>(o.written), plainWriteMs);
    return 0;
}
