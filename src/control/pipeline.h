#pragma once
// The one-click pipeline (background, clusters, analysis with pauses between them) and the
// cancel request, honoured between steps.

#include "form/context.h"

namespace orv::control {

// Button "恒星位置抽出".
void cmdDoAll_Click(form::Ctx& ctx);
// Button "中止": asks for confirmation, then requests a stop at the next step boundary.
void cmdCancel_Click(form::Ctx& ctx);

}  // namespace orv::control
