#pragma once
// Measurements of the results on the picture's own samples (catalogue/measure): photometry,
// local sky, shape and flags per cluster number, and what they share for the whole picture.
// A value that could not be measured is NaN; `flags` is -1 when nothing is known.

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace orv::core {

inline constexpr double kNotMeasured = std::numeric_limits<double>::quiet_NaN();

// Flag bits of a measured result.
enum MeasureFlag : int32_t {
    kFlagSaturated = 1,    // a sample at the format's largest value or at SATURATE / DATAMAX
    kFlagEdge = 2,         // its pixels or its aperture reach the picture's (or tile's) edge
    kFlagGourd = 4,        // a part made by the gourd split
    kFlagUnprocessed = 8,  // reaches the rows that a full cluster table left unprocessed
    kFlagEdited = 16,      // deleted or noise-released by hand
    kFlagHandAdded = 32,   // added by hand: no pixels, no photometry
};

// One result, in the picture's sample units (`PictureMeasures::unit`) and pixels.
struct MeasureRec {
    double background = kNotMeasured;  // local sky per pixel
    double fluxIso = kNotMeasured;     // sum over the cluster's pixels of sample - sky
    double flux = kNotMeasured;        // in the circular aperture, sky subtracted
    double fluxErr = kNotMeasured;
    double fluxRadius = kNotMeasured;  // the aperture's radius
    double peak = kNotMeasured;        // largest sample - sky in the cluster
    double snr = kNotMeasured;         // flux / fluxErr
    double fwhm = kNotMeasured;
    double a = kNotMeasured, b = kNotMeasured;  // sigma along the major and minor axes
    double theta = kNotMeasured;                // degrees, counter-clockwise as shown
    double ellipticity = kNotMeasured;          // 1 - b / a
    int32_t flags = -1;
};

// What the measurements of one picture share.
struct PictureMeasures {
    std::string unit;     // the header's BUNIT, else "adu"
    std::string samples;  // "samples" (the file's own values) or "levels" (8-bit levels)
    double noiseSigma = kNotMeasured;  // median of the results' sky noise, in `unit`
    double saturation = kNotMeasured;  // the level from which a sample is saturated
    double gain = kNotMeasured;        // electrons per unit, from the header's GAIN
    std::string filter;                // the header's FILTER
};

// The measurements that belong to the current tables.
struct MeasureTable {
    // Read with the result pair: ClusterMap then holds only small blocks about the centroids,
    // so nothing may be measured anew until the clusters are extracted again.
    bool fromFile = false;
    std::vector<MeasureRec> byStar;  // index: cluster number; may be shorter than the table
    PictureMeasures picture;
    std::string problem;  // why measurements are missing ("" when none are)
    // Measured anew: the fingerprint of the picture and the results they belong to
    // (catalogue/measure/measure_results.h), 0 when none.
    uint64_t stamp = 0;
    // The last result measured alone while the table was out of date, as measured (before the
    // flags of its class), with the fingerprint it was measured for: the information panel
    // shows it again without measuring.
    struct One {
        int32_t n = 0;
        uint64_t stamp = 0;
        MeasureRec rec;
        bool found = false;
    } lastOne;

    const MeasureRec* find(int32_t n) const {
        return n >= 0 && static_cast<size_t>(n) < byStar.size() ? &byStar[n] : nullptr;
    }
};

}  // namespace orv::core
