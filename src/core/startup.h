#pragma once
// Start-up and shut-down of the main window, and the stage code.

#include <cstdint>

#include "core/context.h"

namespace orv::core {

// Sets ProcStage and brings the window into that stage's state.
void setStage(Ctx& ctx, int16_t stage);

// Start-up: version label, settings, empty tables, layout, detection page, stage 0.
void Form_Load(Ctx& ctx);
// Shut-down: writes the settings file. A failure to write does not keep the window open.
void Form_Unload(Ctx& ctx);

}  // namespace orv::core
