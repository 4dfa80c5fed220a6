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

// The screen mark of result n after a hand edit (form/edit_marks.h), from its edit state: a
// deleted result its outline (areas, circular and elongated objects) and, when `byShiftClick`,
// its dot's rim; a point added by hand its dot; any other result none. The marks are
// forgotten whenever layer 4 is drawn whole again (see forgetEditMarks).
void markEdit(form::Ctx& ctx, int32_t n, bool byShiftClick);
// Layer 4 is drawn whole again (redisplay, analysis, a new picture or new tables): it shows
// every edit itself, or the results the marks belonged to are gone.
void forgetEditMarks(form::Ctx& ctx);

}  // namespace orv::view
