#include "bench/fits_writer.h"

#include <fitsio.h>

#include <algorithm>
#include <cstdio>

namespace orv::bench {

namespace {

// Writes the rows FITS row 1 (the picture's bottom row) first; fill(y, row) gives picture row y.
template <typename T>
core::Result<void> writeRows(const std::string& path, int bitpix, int datatype, int width,
                             int height, const std::function<void(int, T*)>& fill) {
    if (width <= 0 || height <= 0) return core::Error{"wrong picture size for " + path};
    std::remove(path.c_str());
    fitsfile* f = nullptr;
    int status = 0;
    long naxes[2] = {width, height};
    fits_create_diskfile(&f, path.c_str(), &status);
    fits_create_img(f, bitpix, 2, naxes, &status);
    std::vector<T> row(static_cast<size_t>(width));
    for (int j = 1; j <= height && status == 0; ++j) {
        fill(height - j, row.data());
        long long first[2] = {1, j};
        fits_write_pixll(f, datatype, first, width, row.data(), &status);
    }
    int closeStatus = 0;
    if (f != nullptr) fits_close_file(f, &closeStatus);
    if (status != 0 || closeStatus != 0) {
        char text[FLEN_STATUS] = {};
        fits_get_errstatus(status != 0 ? status : closeStatus, text);
        return core::Error{"cannot write " + path + ": " + text};
    }
    return {};
}

}  // namespace

core::Result<void> writeFits16(const std::string& path, int width, int height,
                               const std::vector<uint16_t>& topDown) {
    if (topDown.size() != static_cast<size_t>(width) * height)
        return core::Error{"wrong picture size for " + path};
    return writeRows<uint16_t>(path, USHORT_IMG, TUSHORT, width, height, [&](int y, uint16_t* row) {
        const uint16_t* in = topDown.data() + static_cast<size_t>(y) * width;
        std::copy(in, in + width, row);
    });
}

core::Result<void> writeFitsFloat(const std::string& path, int width, int height,
                                  const std::function<float(int, int)>& sample) {
    return writeRows<float>(path, FLOAT_IMG, TFLOAT, width, height, [&](int y, float* row) {
        for (int x = 0; x < width; ++x) row[x] = sample(x, y);
    });
}

}  // namespace orv::bench
