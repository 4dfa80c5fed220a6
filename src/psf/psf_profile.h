#pragma once
// The PSF profile of the selected result, computed whenever the information panel shows a
// result while the PSF page fraMain(1) is open (edit::OV_DispStarInfo calls it then).
//
// The hook for the PSF mode: until the profile computation is built it does nothing. It works
// on SelStarNo, samples the picture with view::OV_GetBiLinear and may use the pointer handlers'
// selection; it must not change the selection or the tables.

#include "core/context.h"

namespace orv::psf {

void OV_CalPSFProfile(core::Ctx& ctx);

}  // namespace orv::psf
