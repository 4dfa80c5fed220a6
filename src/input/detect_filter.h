#pragma once
// The detection filter: the residual Level - BackLevel smoothed by a Gaussian of sigma S
// pixels. With the filter on, the bright-pixel test of the cluster step and of the gourd split
// is made on it (a matched filter: a faint star stands out of the smoothed noise where no single
// pixel of it does); everything else is still measured on the raw Level.
//
// The rule:
// - taps g(k) = exp(-k^2 / (2 S^2)) for k = -R..R, R = ceil(3 S), divided by their sum;
// - separable: each column of residuals is weighted by the taps, then each row of that;
// - at the picture's edges the taps that fall outside are left out and those used are
//   renormalised (divided by their sum). Over the two passes this is the product kernel
//   renormalised over the part of its square inside the picture.
// The residual, the taps and the sums are Singles, each pixel's sum taken in a fixed order,
// so the result does not depend on the processor.

#include <cstdint>
#include <utility>
#include <vector>

#include "core/array2d.h"
#include "core/workspace.h"

namespace orv::input {

// R = ceil(3 sigma): the taps reach R pixels to each side.
int filterRadius(float sigma);
// The 2R + 1 taps, index k + R for offset k, summing to 1.
std::vector<float> filterTaps(float sigma);

// Smooths the residual one row at a time, as the background step finishes its rows, so that
// each row is read while it is still in cache. Holds 2R + 1 rows of residuals; nothing is
// allocated per pixel.
class ResidualSmoother {
public:
    // `level` is the Level plane (1-based, with its border), `back` BackLevel (0-based), both
    // of the picture's size; `out` is created 0..width-1, 0..height-1. sigma is 0.5..5.
    ResidualSmoother(const core::Array2D<uint8_t>& level, const core::Array2D<float>& back,
                     int width, int height, float sigma, core::Array2D<float>& out);

    // Row y0 (0-based) of BackLevel is complete; rows must come in order 0, 1, ... Writes every
    // smoothed row that needs no later row and returns them as [first, last); the last
    // background row completes them all.
    std::pair<int, int> backgroundRowReady(int y0);

private:
    void smoothRow(int y);

    const core::Array2D<uint8_t>& level_;
    const core::Array2D<float>& back_;
    core::Array2D<float>& out_;
    int width_, height_, radius_;
    int next_ = 0;  // the next smoothed row to write
    std::vector<float> taps_;
    std::vector<float> ring_;            // residual rows y mod (2R + 1)
    std::vector<float> column_;          // the column pass of one row
    std::vector<const float*> lo_, hi_;  // the values k before and after, for each k
};

// The whole picture at once: SmoothedResidual for a background already computed.
void smoothResidual(const core::PixelPlanes& pixels, const core::Array2D<float>& back, int width,
                    int height, float sigma, core::Array2D<float>& out);

// Makes ws.SmoothedResidual for ws.settings.FilterSigma unless it is already made for it and
// the current background. False when the filter is off or there is no background to smooth.
bool ensureSmoothedResidual(core::Workspace& ws);

}  // namespace orv::input
