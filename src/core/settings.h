#pragma once
// The detection and PSF settings and the lines of the start-up settings file (read at start-up,
// written at exit and on request); form/settings_boxes.h shows them in the window's boxes.

#include <string>
#include <vector>

#include "core/ini.h"
#include "core/result.h"
#include "core/workspace.h"

namespace orv::core {

// The values a box falls back to when its text is out of range, as a whole set: what a new
// settings file holds.
Settings defaultSettings();
// Reads settings from a given file (missing file, section or key, or a non-numeric value,
// gives 0 or ""; no ranges applied; the stretch is read as text and checked when a deep
// picture is loaded).
Settings readSettingsFile(const std::string& path);
// The same rules for a file already read.
Settings settingsOf(const IniFile& ini);
// Reads a settings file for a run without a window, where all-zero settings would go unnoticed
// and overwrite good results: refuses, with the reason, a file that cannot be read and one
// whose [SYSTEM] section lacks any of the eight detection keys or holds a value that is not a
// number, and a number (of those keys or the PSF keys) that does not fit the type it is read
// into (a 16-bit whole number, a Single), which reading would turn into 0. The values are then
// read as readSettingsFile reads them.
Result<Settings> readSettingsFileStrictly(const std::string& path);
// The eight detection settings of a settings-style file: HeikinWidth, SikiTop and Siki as
// whole numbers (ValInt), the others as Singles (ValSng); 0 for what is missing.
void readDetectionSettings(const IniFile& ini, Settings& s);
// Their lines "HeikinWidth = 4" ... "Margin = 0", as both the settings file and the result
// files write them.
std::vector<std::string> detectionSettingLines(const Settings& s);
// The section of the stretch setting: "[STRETCH]", "Stretch = percentile:0.1,99.9".
std::vector<std::string> stretchSettingLines(const std::string& stretch);
// The 16 lines of the settings file: the 14 of the detection and PSF settings, then the
// section of the stretch of deep pictures (a file without it reads as the standard stretch).
std::vector<std::string> settingsFileLines(const Settings& s);

}  // namespace orv::core
