#pragma once
// Photometry and shape of one result on the picture's own samples.
//
// Outline (units: the samples' own, pixels; picture coordinates, a pixel's centre at index +
// 0.5, y down):
// 1. The cluster's pixels are those of ClusterMap holding its number; its extent r_ext is the
//    largest distance of their centres from the centroid, plus half a pixel.
// 2. Local sky: the pixels of an annulus that belong to no cluster, clipped at 3 sigma (1.4826
//    times their median absolute deviation, which the outliers do not raise) about their
//    median; the sky is the mean of those kept (their median would step with the samples'
//    whole numbers) and sigma their standard deviation. The first annulus lies beyond 2 r_ext; the
//    later ones beyond the flux aperture (step 4).
// 3. Shape: second moments of (sample - sky) about the centre with a Gaussian weight matched to
//    the star (adaptive moments): with the weight's covariance W and the weighted moments M,
//    the star's covariance is C = (M^-1 - W^-1)^-1, which becomes the next weight, until C
//    and the centre settle (each round of step 4 starting from the last shape; a star wider
//    than 3 r_ext + 1 sigma is no shape of this cluster). Other clusters' pixels count as sky,
//    the weight is summed out to 3.5 of its sigmas. a and b are the square roots
//    of C's eigenvalues, theta the major axis' direction (counter-clockwise as the picture is
//    shown, i.e. y up), fwhm = 2 sqrt(2 ln 2) sqrt((a^2 + b^2) / 2).
// 4. Aperture: radius R = max(3 fwhm, r_ext) about the weighted centre; the sky annulus from
//    R + 2 to R + 2 + max(6, R / 2) (widened when it holds fewer than 30 sky pixels). Steps 2
//    to 4 repeat until R settles.
// 5. flux = sum over the aperture of (sample - sky), the pixels of other clusters (and missing
//    pixels) taken as sky; flux_err^2 = N sigma^2 + N^2 sigma^2 / N_sky + flux / gain (the
//    last term with a gain only); flux_iso and peak over the cluster's own pixels.

#include <cstdint>

#include "catalogue/measure/sample_rows.h"
#include "core/array2d.h"
#include "core/measure_records.h"

namespace orv::catalogue::measure {

// A cluster's pixels: 0-based picture pixels, inclusive.
struct PixelBox {
    int x0 = 0, y0 = 0, x1 = -1, y1 = -1;
    bool empty() const { return x1 < x0; }
    void add(int x, int y);
};

struct ClusterInput {
    int32_t number = 0;
    PixelBox box;                 // where its pixels lie
    double cx = 0, cy = 0;        // its centroid (CenterX, CenterY)
    double saturation = NAN;      // a sample at or above it is saturated
    double gain = 0;              // electrons per unit, 0 when unknown
    int unprocessedFromRow = -1;  // 0-based row from which the picture was left unprocessed
};

struct ClusterMeasure {
    core::MeasureRec rec;  // flags hold the bits measured here: saturated, edge, unprocessed
    double skySigma = NAN;
    bool found = false;  // the cluster has pixels in the map
};

// Measures one cluster. `map` is ClusterMap (1-based with its zero border). A row that cannot
// be read leaves the values it would give NaN.
ClusterMeasure measureCluster(RowCache& rows, const core::Array2D<uint16_t>& map,
                              const ClusterInput& in);

// The sky of the pixels of `map` that are 0 within rIn <= d < rOut of (cx, cy): sigma-clipped
// mean, standard deviation and count (NaN, NaN, 0 when empty); `roughly`, their median alone
// (sigma NaN).
struct SkyEstimate {
    double level = NAN, sigma = NAN;
    int count = 0;
};
SkyEstimate annulusSky(RowCache& rows, const core::Array2D<uint16_t>& map, double cx, double cy,
                       double rIn, double rOut, bool roughly = false);

// The clipped mean and standard deviation of `values` (those within 3 x 1.4826 x the median
// absolute deviation of the median); the vector is reordered.
SkyEstimate clippedMean(std::vector<float>& values);

}  // namespace orv::catalogue::measure
