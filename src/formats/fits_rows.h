#pragma once
// A FITS picture's samples read a row at a time (BZERO and BSCALE applied, BLANK and NaN as
// NaN), for measuring results without holding the whole picture, and the header keywords the
// measurements use. Rows are picture rows (0-based from the top; picture row y is FITS row
// NAXIS2 - y), on the same HDU and planes as the picture reader (formats/fits.h).

#include <memory>
#include <string>
#include <vector>

#include "core/result.h"

namespace orv::formats {

namespace detail {
class FitsHandle;
}

struct FitsFacts {
    int width = 0, height = 0;
    int planes = 1;      // 3 for an R, G, B cube, else 1
    std::string bunit;   // BUNIT ("" when missing)
    std::string filter;  // FILTER ("" when missing)
    double gain = 0;     // GAIN (electrons per unit), 0 when missing or not positive
    // The smallest of the largest value the samples can hold (integer BITPIX through BZERO and
    // BSCALE; none for floating-point samples), SATURATE and DATAMAX; NaN when none applies.
    double saturation = 0;
};

class FitsRows {
public:
    // Opens the picture. `channel` (core::Channel) chooses the plane of an R, G, B cube, Y
    // being 0.30 R + 0.59 G + 0.11 B; a grey picture has one plane for every channel. Fails
    // with the reader's message.
    static core::Result<FitsRows> open(const std::string& path, int channel);
    FitsRows(FitsRows&&) noexcept;
    FitsRows& operator=(FitsRows&&) noexcept;
    ~FitsRows();

    const FitsFacts& facts() const { return facts_; }
    // Picture row y (0 <= y < height) into `out` (width values). Fails with CFITSIO's reason.
    core::Result<void> read(int y, float* out);

private:
    FitsRows();
    std::unique_ptr<detail::FitsHandle> file_;
    FitsFacts facts_;
    int channel_ = 0;
    int naxis_ = 2;
    // Room a row is read with, made once: the first pixel's coordinates, and the green and
    // blue planes of a cube read as Y.
    std::vector<long long> first_;
    std::vector<float> green_, blue_;
};

}  // namespace orv::formats
