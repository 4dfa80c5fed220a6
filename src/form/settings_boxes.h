#pragma once
// The settings in the window: the start-up settings file read into the boxes and written from
// the settings, and the validation of each settings box when it loses the focus.

#include "core/result.h"
#include "core/settings.h"
#include "form/context.h"

namespace orv::form {

// Reads the settings file into the settings (core::readSettingsFile's rules), then shows them
// in the boxes.
void OV_GetIniData(Ctx& ctx);
// Shows the settings in their boxes (txtHeikinWidth shows 2n+1, txtPSFFactorRSD "0.0").
void showSettings(Ctx& ctx);
// Shows only the detection settings (the eight and the detection filter).
void showDetectionSettings(Ctx& ctx);
// Writes the settings file from the settings (not from the boxes).
core::Result<void> OV_SaveIniData(Ctx& ctx);

// Button "設定保存".
void cmdSaveSettingData_Click(Ctx& ctx);
// Double-click on any Label1 element: opens the settings file in the text editor without
// waiting, then reads it again at once.
void Label1_DblClick(Ctx& ctx, int index);

// Validation when a settings box loses the focus: a rejected value is silently replaced.
void txtHeikinWidth_LostFocus(Ctx& ctx);
void txtSiki_LostFocus(Ctx& ctx);
void txtSikiTop_LostFocus(Ctx& ctx);
void txtNumPixel_LostFocus(Ctx& ctx);
void txtNumPixel2_LostFocus(Ctx& ctx);
void txtSinendo_LostFocus(Ctx& ctx);
void txtSinendoMax_LostFocus(Ctx& ctx);
void txtMargin_LostFocus(Ctx& ctx);
// The detection filter's sigma: 0.5..5 is taken, anything else gives 0 (off).
void txtFilterSigma_LostFocus(Ctx& ctx);

}  // namespace orv::form
