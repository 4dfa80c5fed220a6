#pragma once
// Bilinear sampling of the picture's brightness (PixelLevel Level) at a fractional picture
// position, for the PSF profile.
//
// Picture pixel k (0-based) is taken to lie at coordinate k, so element (k + 1) of PixelLevel
// holds the value at coordinate k. With i = Int(x) + 1, j = Int(y) + 1 (Int = floor),
// fx = x - Int(x), fy = y - Int(y) and V(a, b) = PixelLevel(a, b).Level:
//
//   Level = (1 - fx)(1 - fy) V(i, j) + (1 - fx) fy V(i, j + 1)
//         + fx (1 - fy) V(i + 1, j) + fx fy V(i + 1, j + 1)
//
// The weights are formed from the single-precision arguments, the products and the sum (in
// the order of the terms) in double precision; the result is rounded to single precision.
//
//        x = -1    0    1   ...  W-1    W
//   index    0     1    2   ...   W    W+1
//          (zero)                     (zero)
//
// The zero border makes a point within one pixel outside the picture fade towards 0: the
// valid arguments are -1 <= x < ImageWidthP and -1 <= y < ImageHeightP. Anywhere else (and
// for a NaN, or when no picture is loaded) the result is 0; PixelLevel is never read outside
// its bounds.

#include "core/workspace.h"

namespace orv::view {

// Level at picture position (x, y), returned in `Level`.
void OV_GetBiLinear(const core::Workspace& ws, float x, float y, float& Level);

}  // namespace orv::view
