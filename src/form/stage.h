#pragma once
// The stage code: every step sets it at its start and end, and the window follows it.

#include <cstdint>

#include "form/context.h"

namespace orv::form {

// Sets ProcStage and brings the window into that stage's state through the Ctx's stage
// listener (the panels for the stage; the selection and the PSF profile forgotten where the
// tables or the picture are replaced).
void setStage(Ctx& ctx, int16_t stage);

}  // namespace orv::form
