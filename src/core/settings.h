#pragma once
// The detection and PSF settings: the start-up settings file (read at start-up, written at
// exit and on request) and the validation of each settings box when it loses the focus.

#include <string>
#include <vector>

#include "core/context.h"
#include "core/ini.h"
#include "core/result.h"

namespace orv::core {

// Reads the settings file into the settings (missing file, section or key, or a non-numeric
// value, gives 0 or ""; no ranges applied; the stretch is read as text and checked when a deep
// picture is loaded), then shows them in the boxes.
void OV_GetIniData(Ctx& ctx);
// The values a box falls back to when its text is out of range, as a whole set: what a new
// settings file holds.
Settings defaultSettings();
// Reads settings from a given file (the same rules), without touching the window.
Settings readSettingsFile(const std::string& path);
// The same rules for a file already read.
Settings settingsOf(const IniFile& ini);
// Reads a settings file for a run without a window, where all-zero settings would go unnoticed
// and overwrite good results: refuses, with the reason, a file that cannot be read and one
// whose [SYSTEM] section lacks any of the eight detection keys or holds a value that is not a
// number. The values are then read as readSettingsFile reads them.
Result<Settings> readSettingsFileStrictly(const std::string& path);
// The eight detection settings of a settings-style file: HeikinWidth, SikiTop and Siki as
// whole numbers (ValInt), the others as Singles (ValSng); 0 for what is missing.
void readDetectionSettings(const IniFile& ini, Settings& s);
// Their lines "HeikinWidth = 4" ... "Margin = 0", as both the settings file and the result
// files write them.
std::vector<std::string> detectionSettingLines(const Settings& s);
// Shows the settings in their boxes (txtHeikinWidth shows 2n+1, txtPSFFactorRSD "0.0").
void showSettings(Ctx& ctx);
// Shows only the eight detection settings.
void showDetectionSettings(Ctx& ctx);
// The section of the stretch setting: "[STRETCH]", "Stretch = percentile:0.1,99.9".
std::vector<std::string> stretchSettingLines(const std::string& stretch);
// The 16 lines of the settings file: the 14 of the detection and PSF settings, then the
// section of the stretch of deep pictures (a file without it reads as the standard stretch).
std::vector<std::string> settingsFileLines(const Settings& s);
// Writes the settings file from the settings (not from the boxes).
Result<void> OV_SaveIniData(Ctx& ctx);

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

}  // namespace orv::core
