#include "psf/psf_profile.h"

namespace orv::psf {

// No PSF computation exists yet: nothing to compute.
void OV_CalPSFProfile(core::Ctx& /*ctx*/) {}

}  // namespace orv::psf
