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
// number, a number (of those keys or the PSF keys) that does not fit the type it is read into
// (a 16-bit whole number, a Single), which reading would turn into 0, and a FilterSigma that is
// neither 0 nor 0.5..5 (which would silently switch the filter off). The values are then read
// as readSettingsFile reads them.
Result<Settings> readSettingsFileStrictly(const std::string& path);
// The eight detection settings of a settings-style file: HeikinWidth, SikiTop and Siki as
// whole numbers (ValInt), the others as Singles (ValSng); 0 for what is missing. Then the
// detection filter of the section [DETECT] (filterSigmaValue of FilterSigma; a missing section
// is 0) and, with the filter on, Siki as a Single (ValSng of [DETECT] Siki when the file has
// it, else of [SYSTEM] Siki): a filtered threshold is fractional.
void readDetectionSettings(const IniFile& ini, Settings& s);
// The detection filter's sigma range in pixels.
inline constexpr float kFilterSigmaMin = 0.5f;
inline constexpr float kFilterSigmaMax = 5.0f;
// FilterSigma from its text: ValSng, and 0 (off) for anything outside 0.5..5.
float filterSigmaValue(const std::string& text);
// Only when the filter is on: "[DETECT]", "FilterSigma = 1.5" and, with `withSiki`,
// "Siki = " & Siki in general form (the result pair keeps the fractional threshold there).
std::vector<std::string> filterSettingLines(const Settings& s, bool withSiki);
// Their lines "HeikinWidth = 4" ... "Margin = 0", as both the settings file and the result
// files write them.
std::vector<std::string> detectionSettingLines(const Settings& s);
// The section of the stretch setting: "[STRETCH]", "Stretch = percentile:0.1,99.9".
std::vector<std::string> stretchSettingLines(const std::string& stretch);
// The 16 lines of the settings file: the 14 of the detection and PSF settings, then the
// section of the stretch of deep pictures (a file without it reads as the standard stretch),
// then the detection filter's section when the filter is on, then "[EDIT]",
// "ReadOutlineClick = 1" when results read back are to be found by their filled outlines.
std::vector<std::string> settingsFileLines(const Settings& s);

}  // namespace orv::core
