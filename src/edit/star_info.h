#pragma once
// The information panel fraStarInfo: everything known about one result, which becomes the
// selected one (SelStarNo), with the edit buttons that apply to it and its note.

#include <cstdint>

#include "form/context.h"

namespace orv::edit {

// Shows result n in the panel and selects it:
//   value labels 0..13 "-", then 11 = n; the attribute word (12) and the noise buttons by Atr;
//   the edit-state word (13) and 削除 / 復活 by EditAtr; coordinates, threshold, area, summed
//   and peak brightness; for circular and elongated results (Atr 3, 4) also roundness, the
//   radii and their spread; the note into txtStarNote.
// While the PSF page fraMain(1) is shown, the PSF profile of n is computed as well
// (psf::OV_CalPSFProfile). A number that names no record (outside 1..MaxStarNo) changes
// nothing.
void OV_DispStarInfo(form::Ctx& ctx, int32_t n);

// The measurement rows below the 14 pairs: flux, FWHM and SNR of result n on the picture's own
// samples (catalogue/measure), "-" where there is none.
void showStarMeasures(form::Ctx& ctx, int32_t n);

}  // namespace orv::edit
