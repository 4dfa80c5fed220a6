#pragma once
// The moving-average sky background: the mean Level of the (2n+1) x (2n+1) window around each
// pixel, clipped at the picture's edges.

#include "form/context.h"

namespace orv::input {

// Button "背景": computes BackLevel, draws it into layer 1 and sets the stages 5 -> 6.
void cmdIdoHeikin_Click(form::Ctx& ctx);

// BackLevel(x0, y0) = (sum of Level over the clipped window) / (pixel count), rounded to
// single precision, for every 0-based pixel; `n` is the half-width (0..30). The sums are exact
// integers and the cost does not depend on n. Creates `out` as (0..W-1, 0..H-1).
void computeBackground(const core::PixelPlanes& pixels, int width, int height, int n,
                       core::Array2D<float>& out);

}  // namespace orv::input
