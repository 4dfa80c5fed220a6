#include "bench/fits_writer.h"

#include <fitsio.h>

#include <cstdio>

namespace orv::bench {

core::Result<void> writeFits16(const std::string& path, int width, int height,
                               const std::vector<uint16_t>& topDown) {
    if (width <= 0 || height <= 0 || topDown.size() != static_cast<size_t>(width) * height)
        return core::Error{"wrong picture size for " + path};
    std::remove(path.c_str());
    fitsfile* f = nullptr;
    int status = 0;
    long naxes[2] = {width, height};
    fits_create_diskfile(&f, path.c_str(), &status);
    fits_create_img(f, USHORT_IMG, 2, naxes, &status);
    std::vector<uint16_t> row;
    for (int j = 1; j <= height && status == 0; ++j) {
        const uint16_t* in = topDown.data() + static_cast<size_t>(height - j) * width;
        row.assign(in, in + width);
        long long first[2] = {1, j};
        fits_write_pixll(f, TUSHORT, first, width, row.data(), &status);
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

}  // namespace orv::bench
