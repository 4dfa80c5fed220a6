#pragma once
// The panels, buttons and picture layers that belong to each processing stage.

#include "form/context.h"

namespace orv::view {

// Brings the window into the state of the current ProcStage (a pure function of it; a value
// outside 0..14 changes nothing). Ends by selecting the stage's view option, which runs its
// view switch when the selection changes.
void OV_DispUIF(form::Ctx& ctx);

}  // namespace orv::view
