#pragma once
// The review queue: the keys N and P step through the results the display options show, in
// order of their numbers, optionally only one class; each step selects the result as a click
// would, centres it in the viewport and says on the message line where it stands in the
// queue ("横長天体 12 / 147").

#include <cstdint>

#include "form/context.h"

namespace orv::edit {

// Selects the next (direction > 0) or previous (direction < 0) result of the queue after or
// before SelStarNo, going round at the ends. With none in the queue, says so.
void reviewStep(form::Ctx& ctx, int direction);
// Keys 0..5: the queue holds every shown result (0) or the shown results of one Atr (1 noise,
// 2 area object, 3 circular, 4 elongated, 5 noise released). A class key also steps to the
// next result of its class.
void reviewClass(form::Ctx& ctx, int atr);
// Selects result n as a click would (panel and cursors) and centres the viewport on it; a
// number that names no record changes nothing.
void selectAndCentre(form::Ctx& ctx, int32_t n);
// Whether result n is in the queue of class `atr` (0: any class).
bool inReviewQueue(const form::Ctx& ctx, int32_t n, int atr);

}  // namespace orv::edit
