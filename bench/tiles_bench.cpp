// The division window's heavy steps on a huge BMP, timed one by one, against what the machine
// itself gives for the same bytes (bench/tiles_speed.sh runs it):
//
//   orvandel-tiles-bench PICTURE.bmp OUT_FOLDER [SIZE MARGIN]
//
// Prints, in milliseconds: reading the picture (streaming BMP reader), the 420-pixel
// preview, cutting and writing every whole tile with the batch list; and the baselines:
// reading the file's bytes, writing the tiles' bytes as plain files of the same sizes.

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: orvandel-tiles-bench PICTURE.bmp OUT_FOLDER [SIZE MARGIN]\n");
        return 2;
    }
    const std::string picture = argv[1], out = argv[2];
    const float size = argc == 5 ? std::stof(argv[3]) : 500;
    const float margin = argc == 5 ? std::stof(argv[4]) : 50;
    namespace fs = std::filesystem;
    fs::create_directories(out + "/tiles");
    fs::create_directories(out + "/plain");

    auto t0 = Clock::now();
    auto big = orv::tiles::loadBigPicture(picture, {});
    const double readMs = msSince(t0);
    if (!big) {
        std::fprintf(stderr, "%s\n", big.error().c_str());
        return 1;
    }
    const int w = big->width, h = big->height;
    t0 = Clock::now();
    const int pw = w >= h ? 420 : 420 * w / h, ph = w >= h ? 420 * h / w : 420;
    orv::tiles::scaledPreview(big.value(), pw, ph);
    const double previewMs = msSince(t0);
    t0 = Clock::now();
    const auto o = orv::tiles::exportAllTiles(
        out + "/tiles", "big.bmp", size, margin, w, h, [&](int i, int j) {
            return orv::tiles::cutTile(big.value(), orv::tiles::cutSquare(size, margin, i, j));
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
