#pragma once
// The result overlay: the star layers redrawn from the working state under the display
// options of "再描画", and the counts by class in "検出結果".

#include <cstdint>

#include "form/context.h"

namespace orv::view {

// The mark the redisplay gives result n under the display options of "再描画" (None: the
// result is not shown).
enum class Mark { None, Added, Deleted, Noise, Area, Circular, Elongated, Released };
Mark markOf(const form::Ctx& ctx, int32_t n);

// Button "再描画": grey picture into layers 3 and 4, a mark (and outline) per shown result
// into layer 4, recounting StarAtrNo rows 0 and 1.
void cmdReDisp_Click(form::Ctx& ctx);
// Copies the counts into the count labels.
void OV_DispResultNo(form::Ctx& ctx);

}  // namespace orv::view
