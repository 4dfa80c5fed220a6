#pragma once
// The mode buttons cmdMain(0..2): star detection, PSF settings, PSF photometry.

#include "form/context.h"

namespace orv::psf {

// Shows the page of the mode (detection page stays visible but is disabled in the PSF modes)
// and moves the "●" marker to the mode's button.
void cmdMain_Click(form::Ctx& ctx, int index);

}  // namespace orv::psf
