#pragma once
// The PSF mode's working state as the PSF code names it. It lives with the working state in
// core (core/psf_records.h).

#include "core/psf_records.h"

namespace orv::psf {

using core::forgetProfile;
using core::kMaxEntries;
using core::PSFEntryRec;
using core::PsfState;

}  // namespace orv::psf
