#pragma once
// The picture's own samples for measuring results, read a row at a time: the FITS file's
// values (BZERO and BSCALE applied), a 16-bit PNG or TIFF's samples, or the 8-bit levels of a
// picture that has no deeper samples (BMP, JPEG, the clipboard, a tile). Rows are 0-based from
// the top, x from the left, missing pixels NaN.
//
// RowCache keeps the rows that the results being measured need and gives back the ones above
// them, so that a deep picture's samples are never all held at once.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "core/measure_records.h"
#include "core/result.h"
#include "core/workspace.h"
#include "form/picture.h"
#include "formats/fits_rows.h"

namespace orv::catalogue::measure {

class SampleRows {
public:
    virtual ~SampleRows() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    // Row y (0 <= y < height) into `out` (width values). Fails with the reader's reason.
    virtual core::Result<void> read(int y, float* out) = 0;
    // Whether every sample is a whole number 0..255 (the 8-bit levels), which lets medians of
    // them be counted rather than sorted.
    virtual bool wholeLevels() const { return false; }
    // Whether rows may be read from several threads at once.
    virtual bool concurrentReads() const { return false; }
};

// The Level plane of the working picture.
std::unique_ptr<SampleRows> levelRows(const core::PixelPlanes& pixels, int width, int height);
// A FITS picture read through CFITSIO.
std::unique_ptr<SampleRows> fitsRows(formats::FitsRows rows);
// Decoded deep samples (held while measuring); `channel` picks the plane of a colour picture,
// Y being 0.30 R + 0.59 G + 0.11 B.
std::unique_ptr<SampleRows> deepRows(std::shared_ptr<const form::DeepSamples> samples, int channel);

// The samples of a picture with what the measurements need to know about them.
struct PictureSamples {
    std::unique_ptr<SampleRows> rows;
    core::PictureMeasures facts;  // unit, samples, saturation, gain, filter (noise not yet)
};

class RowCache {
public:
    explicit RowCache(SampleRows& rows)
        : rows_(rows),
          width_(rows.width()),
          height_(rows.height()),
          whole_(rows.wholeLevels()),
          cache_(static_cast<size_t>(height_)) {}
    int width() const { return width_; }
    int height() const { return height_; }
    bool wholeLevels() const { return whole_; }
    // Row y (0 <= y < height), read when it is not held; nullptr when it cannot be read (the
    // reason is kept in error()).
    const float* row(int y) {
        const std::vector<float>& r = cache_[static_cast<size_t>(y)];
        return r.empty() ? readRow(y) : r.data();
    }
    // Gives back the rows above row y.
    void forgetAbove(int y);
    const std::string& error() const { return error_; }
    // The most bytes of rows held at once.
    size_t peakBytes() const { return peakBytes_; }

private:
    const float* readRow(int y);

    SampleRows& rows_;
    const int width_, height_;
    const bool whole_;
    std::vector<std::vector<float>> cache_;
    int lowest_ = 0;  // no row above it is held
    size_t heldBytes_ = 0, peakBytes_ = 0;
    std::string error_;
};

}  // namespace orv::catalogue::measure
