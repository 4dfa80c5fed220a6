#pragma once
// The stretch of deep samples (16-bit PNG or TIFF, FITS) to the 8-bit levels 0..255 that every
// processing step works on: linear between a black point (level 0) and a white point (level
// 255). The points are the 0.1th and 99.9th percentiles of the values by default, or their
// minimum and maximum, other percentiles, or two fixed values.
//
// Shared rules:
// - Missing pixels (NaN, infinite, or FITS BLANK, which the reader turns into NaN) are left
//   out of every statistic and get level 0.
// - A value v gets round((v - black) * (255 / (white - black))), ties to even, clipped to
//   0..255, computed in double precision.
// - Every channel of a colour picture uses the same two points, so colours keep their balance.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/result.h"
#include "core/workspace.h"
#include "form/picture.h"

namespace orv::formats {

// Called now and then during long loops, so that a window can repaint (may be empty).
using Pump = std::function<void()>;

struct Stretch {
    enum class Mode { Percentile, MinMax, Range };
    Mode mode = Mode::Percentile;
    // Percentile: the two percentiles (0 <= low < high <= 100). Range: black and white
    // themselves (low < high). MinMax: unused.
    double low = 0.1;
    double high = 99.9;
};

// The standard stretch, as the settings file and the command line write it.
inline constexpr const char* kDefaultStretch = core::kStandardStretch;

// Reads "minmax", "percentile:LO,HI" or "range:A,B" (blanks allowed around the parts); an
// empty text is the standard stretch. The error says what is wrong, in the user's terms.
core::Result<Stretch> parseStretch(std::string_view text);
// The text that parseStretch reads back into the same stretch ("percentile:0.1,99.9").
std::string stretchText(const Stretch& stretch);
// The shortest text that reads back to the same double ("0.1", "38112", "1e-05").
std::string exactText(double value);

struct StretchPoints {
    double black = 0.0;
    double white = 0.0;
};

// The black and white points of the samples. A percentile p is interpolated linearly between
// the values of rank floor(q) and floor(q) + 1 in ascending order, q = p / 100 * (n - 1), so
// percentile 0 is the minimum and 100 the maximum. Where two percentiles meet although the
// values differ (a picture that is nearly all one value), the minimum and maximum are taken.
// Fails when no pixel has a value or when all values are equal (nothing to stretch).
core::Result<StretchPoints> findStretchPoints(const form::DeepSamples& samples,
                                              const Stretch& stretch, const Pump& pump = {});

// The level of one value (the rule above).
uint8_t stretchLevel(double value, StretchPoints points);

// The 8-bit picture of the samples: one channel gives a Grey8 picture, three an Rgb888 one.
// Throws std::bad_alloc when memory runs out.
form::Picture applyStretch(const form::DeepSamples& samples, StretchPoints points,
                           const Pump& pump = {});

}  // namespace orv::formats
