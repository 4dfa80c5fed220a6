#pragma once
// The three PSF setting boxes of the frame "設定": each checks its text, keeps the setting and
// shows it again in its own form. A text that is not a number, or a number outside the range,
// gives the box's fallback value.
//
//   box              checked when          range    fallback  shown as
//   txtPSFAnnulus    it loses the focus    0 .. 10  3         " 4" (a blank before the number)
//   txtPSFDAnnulus   at every change       0 .. 10  3         " 2"
//   txtPSFFactorRSD  it loses the focus    0 .. 2   0.3       "0.0#" ("1.0", "0.25")

#include "form/context.h"

namespace orv::psf {

void txtPSFAnnulus_LostFocus(form::Ctx& ctx);
// Runs at every keystroke: typing a second digit that takes the value above 10 gives 3.
void txtPSFDAnnulus_Change(form::Ctx& ctx);
void txtPSFFactorRSD_LostFocus(form::Ctx& ctx);

}  // namespace orv::psf
