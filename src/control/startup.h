#pragma once
// Start-up and shut-down of the main window.

#include "form/context.h"

namespace orv::control {

// Start-up: version label, settings, empty tables, layout, detection page, stage 0.
void Form_Load(form::Ctx& ctx);
// Shut-down: writes the settings file. A failure to write does not keep the window open.
void Form_Unload(form::Ctx& ctx);

}  // namespace orv::control
