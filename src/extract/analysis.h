#pragma once
// Centroid and outline analysis: the brightness-weighted centroid of every cluster, the
// traced outer boundary as a chain code, its distance from the centroid in 36 sectors, the
// roundness ratio, and the class (noise, area object, star, elongated object).

#include <cstdint>
#include <vector>

#include "form/canvas.h"
#include "form/context.h"

namespace orv::extract {

// Button "恒星": the whole analysis over clusters 1..MaxStarNo, stages 9 -> 10.
void cmdCenterCal_Click(form::Ctx& ctx);

// Traces the outline of cluster n from its seed and fills Outline, Hankei(0..35), HankeiAve,
// HankeiMax, HankeiMin, HankeiSD and SinendoRatio. CenterX / CenterY must be set.
void OV_CheckProfile(core::Workspace& ws, int32_t n);

// The sector (0..35) of a boundary offset (dx, dy) from the centroid, d > 0.
int sectorOf(double dx, double dy);

// Draws a classified cluster into the marked layer: the centroid dot, and unless `dotOnly`
// the outline pixels from the seed along the chain code.
void drawResult(form::Ctx& ctx, int32_t n, form::Rgb colour, bool dotOnly);
// The picture pixels (0-based, as x, y pairs) that drawResult paints for result n's outline:
// the seed, then one pixel per chain-code step (up to a character other than 0..7).
std::vector<int32_t> outlinePixels(const core::Workspace& ws, int32_t n);

}  // namespace orv::extract
