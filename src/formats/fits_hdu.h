#pragma once
// Shared by the FITS picture reader and the sky coordinates: an open FITS file that closes
// itself, and the choice of the HDU that holds the picture.

#include <fitsio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/result.h"

namespace orv::formats::detail {

// A FITS file opened for reading, closed when the object goes.
class FitsHandle {
public:
    FitsHandle() = default;
    ~FitsHandle();
    FitsHandle(const FitsHandle&) = delete;
    FitsHandle& operator=(const FitsHandle&) = delete;
    fitsfile* get() const { return file_; }
    fitsfile** out() { return &file_; }

private:
    fitsfile* file_ = nullptr;
};

struct PictureHdu {
    int bitpix = 0;                // of the stored samples (ZBITPIX for a compressed image)
    std::vector<long long> naxes;  // NAXIS1, NAXIS2, ...
    bool compressed = false;       // a tile-compressed image
    long long dataStart = 0;       // byte offset of the data unit in the file
    long long fileSize = 0;        // bytes
    // An R, G, B cube: three planes, every further axis of length 1.
    bool rgbCube() const {
        return naxes.size() >= 3 && naxes[2] == 3 &&
               std::all_of(naxes.begin() + 3, naxes.end(), [](long long n) { return n == 1; });
    }
};

// Opens `path` (as a plain file name: brackets and the like are no filter syntax) and moves to
// the primary HDU when it holds data, else to the first image extension. Refuses a file with
// no such HDU, with fewer than two axes, or with an axis of length 0. The error is the reason
// alone, in the user's terms.
core::Result<PictureHdu> openPictureHdu(const std::string& path, FitsHandle& file);

// The header of the HDU openPictureHdu chooses, for its WCS: the axes, and the header as
// 80-character cards (a compressed image's header as the image it stands for).
struct PictureHeader {
    std::vector<long long> naxes;
    std::string cards;
    int keys = 0;
    std::string problem;  // why the cards could not be had ("" when they could, or none exist)
};

// Reads it in this process. Refuses, with "FITS ファイルを読み込めません: PATH (REASON)", a file
// without such an HDU.
core::Result<PictureHeader> readPictureHeader(const std::string& path);

// A key of the current HDU as a number, or `fallback` when it is missing or not a number.
double numberKey(fitsfile* f, const char* key, double fallback);

// The user's terms for a CFITSIO status; clears CFITSIO's message stack.
std::string fitsProblem(int status);

}  // namespace orv::formats::detail
