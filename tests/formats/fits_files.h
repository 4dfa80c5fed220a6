#pragma once
// FITS files for the tests, written with CFITSIO.

#include <fitsio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace orv::test {

struct FitsSpec {
    int bitpix = 16;
    std::vector<long> naxes = {4, 3};
    double bzero = 0.0;   // written as BZERO when not 0
    double bscale = 1.0;  // written as BSCALE when not 1
    bool blank = false;   // BLANK = blankValue (integer BITPIX only)
    long long blankValue = -32768;
    bool emptyPrimary = false;  // the picture in an image extension after an empty primary
    int compression = 0;        // a CFITSIO compression type (RICE_1 ...), 0 for none
    std::vector<std::pair<std::string, std::string>> textKeys;  // extra string keys
    std::vector<std::pair<std::string, double>> numberKeys;     // extra number keys
};

// A value that stands for a missing pixel in writeFits.
inline constexpr double kMissing = -1e30;

// Writes the values (physical, in FITS order: NAXIS1 fastest, FITS row 1 first) through
// CFITSIO's scaling; kMissing values become BLANK (integer BITPIX) or NaN (float BITPIX).
inline void writeFits(const std::string& path, const FitsSpec& spec,
                      const std::vector<double>& values) {
    std::remove(path.c_str());
    fitsfile* f = nullptr;
    int status = 0;
    fits_create_diskfile(&f, path.c_str(), &status);
    if (spec.emptyPrimary) fits_create_img(f, 8, 0, nullptr, &status);
    if (spec.compression != 0) fits_set_compression_type(f, spec.compression, &status);
    std::vector<long> naxes = spec.naxes;
    fits_create_img(f, spec.bitpix, static_cast<int>(naxes.size()), naxes.data(), &status);
    if (spec.bzero != 0.0)
        fits_write_key(f, TDOUBLE, "BZERO", const_cast<double*>(&spec.bzero), nullptr, &status);
    if (spec.bscale != 1.0)
        fits_write_key(f, TDOUBLE, "BSCALE", const_cast<double*>(&spec.bscale), nullptr, &status);
    if (spec.blank) {
        long long blank = spec.blankValue;
        fits_write_key(f, TLONGLONG, "BLANK", &blank, nullptr, &status);
    }
    for (const auto& [key, text] : spec.textKeys)
        fits_write_key(f, TSTRING, key.c_str(), const_cast<char*>(text.c_str()), nullptr, &status);
    for (const auto& [key, number] : spec.numberKeys) {
        double v = number;
        fits_write_key(f, TDOUBLE, key.c_str(), &v, nullptr, &status);
    }
    std::vector<double> v = values;
    double missing = kMissing;
    if (spec.bscale != 1.0 || spec.bzero != 0.0)
        fits_set_bscale(f, spec.bscale, spec.bzero, &status);
    if (spec.compression != 0) {
        // CFITSIO compresses only samples of the image's own type (16-bit here).
        std::vector<short> samples(v.begin(), v.end());
        fits_write_img(f, TSHORT, 1, static_cast<long long>(v.size()), samples.data(), &status);
    } else if (std::find(v.begin(), v.end(), kMissing) != v.end())
        fits_write_imgnull(f, TDOUBLE, 1, static_cast<long long>(v.size()), v.data(), &missing,
                           &status);
    else if (!v.empty())
        fits_write_img(f, TDOUBLE, 1, static_cast<long long>(v.size()), v.data(), &status);
    fits_close_file(f, &status);
    char text[FLEN_STATUS] = {};
    fits_get_errstatus(status, text);
    ASSERT_EQ(status, 0) << path << ": " << text;
}

// Values for a picture of the given size from f(x, y, plane) in FITS pixel numbers (1-based).
inline std::vector<double> fitsValues(const FitsSpec& spec,
                                      const std::function<double(int, int, int)>& f) {
    long planes = 1;
    for (size_t i = 2; i < spec.naxes.size(); ++i) planes *= spec.naxes[i];
    std::vector<double> v;
    for (long p = 1; p <= planes; ++p)
        for (long y = 1; y <= spec.naxes[1]; ++y)
            for (long x = 1; x <= spec.naxes[0]; ++x)
                v.push_back(f(static_cast<int>(x), static_cast<int>(y), static_cast<int>(p)));
    return v;
}

}  // namespace orv::test
