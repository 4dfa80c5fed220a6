#include "core/settings.h"

#include <optional>

#include "core/ini.h"
#include "core/numeric.h"
#include "core/paths.h"
#include "core/text_file.h"

namespace orv::core {

Settings defaultSettings() {
    Settings s;
    s.HeikinWidth = 4;
    s.Siki = 4;
    s.SikiTop = 240;
    s.NumPixel = 5;
    s.NumPixel2 = 12;
    s.Sinendo = 2;
    s.SinendoMax = 30;
    s.Margin = 0;
    s.PSFFactorRSD = 2;
    s.PSFAnnulus = 4;
    s.PSFDAnnulus = 2;
    s.Stretch = kStandardStretch;
    return s;
}

void readDetectionSettings(const IniFile& ini, Settings& s) {
    auto get = [&](const char* key) { return ini.get("SYSTEM", key); };
    s.HeikinWidth = ValInt(get("HeikinWidth"));
    s.SikiTop = ValInt(get("SikiTop"));
    s.Siki = ValInt(get("Siki"));
    s.NumPixel = ValSng(get("NumPixel"));
    s.NumPixel2 = ValSng(get("NumPixel2"));
    s.Sinendo = ValSng(get("Sinendo"));
    s.SinendoMax = ValSng(get("SinendoMax"));
    s.Margin = ValSng(get("Margin"));
    s.FilterSigma = filterSigmaValue(ini.get("DETECT", "FilterSigma"));
    if (s.FilterSigma > 0) {
        const std::string siki = ini.get("DETECT", "Siki");
        s.Siki = ValSng(siki.empty() ? get("Siki") : siki);
    }
}

float filterSigmaValue(const std::string& text) {
    const float sigma = ValSng(text);
    return sigma >= kFilterSigmaMin && sigma <= kFilterSigmaMax ? sigma : 0.0f;
}

std::vector<std::string> filterSettingLines(const Settings& s, bool withSiki) {
    if (!(s.FilterSigma > 0)) return {};
    std::vector<std::string> lines = {"[DETECT]", "FilterSigma = " + generalForm(s.FilterSigma)};
    if (withSiki) lines.push_back("Siki = " + generalForm(s.Siki));
    return lines;
}

Settings readSettingsFile(const std::string& path) {
    return settingsOf(IniFile::load(path));
}

namespace {

// Whether a number read as ValInt (whole, 16 bits) or ValSng (Single) reads it fits that type:
// the readers give 0 for one that does not, which a run must not take silently.
bool fitsItsType(const std::string& text, bool whole) {
    const auto v = parseNumber(text);
    if (!v) return false;
    try {
        if (whole)
            CInt(*v);
        else
            CSng(*v);
        return true;
    } catch (const ArithmeticFault&) {
        return false;
    }
}

}  // namespace

Result<Settings> readSettingsFileStrictly(const std::string& path) {
    if (const std::string why = unreadableFileReason(path); !why.empty())
        return Error{why + ": " + path};
    auto bytes = readFileBytes(path);
    if (!bytes) return Error{bytes.error()};
    const IniFile ini = IniFile::fromText(bytes.value());
    std::string missing, notNumbers, tooLarge;
    auto note = [](std::string& list, const std::string& item) {
        list += (list.empty() ? "" : ", ") + item;
    };
    struct Key {
        const char* section;
        const char* name;
        bool whole;     // read with ValInt, else ValSng
        bool required;  // one of the eight detection settings
    };
    static constexpr Key kKeys[] = {
        {"SYSTEM", "HeikinWidth", true, true}, {"SYSTEM", "SikiTop", true, true},
        {"SYSTEM", "Siki", true, true},        {"SYSTEM", "NumPixel", false, true},
        {"SYSTEM", "NumPixel2", false, true},  {"SYSTEM", "Sinendo", false, true},
        {"SYSTEM", "SinendoMax", false, true}, {"SYSTEM", "Margin", false, true},
        {"PSF", "PSFFactorRSD", false, false}, {"PSF", "PSFAnnulus", false, false},
        {"PSF", "PSFDAnnulus", false, false},
    };
    for (const Key& key : kKeys) {
        const std::string value = ini.get(key.section, key.name);
        if (value.empty()) {
            if (key.required) note(missing, key.name);
        } else if (!IsNumeric(value)) {
            if (key.required) note(notNumbers, std::string(key.name) + " = " + value);
        } else if (!fitsItsType(value, key.whole)) {
            note(tooLarge, std::string(key.name) + " = " + value +
                               (key.whole ? " (-32768 から 32767 まで)" : " (単精度の範囲)"));
        }
    }
    if (!missing.empty()) return Error{"[SYSTEM] に検出設定がありません: " + missing};
    if (!notNumbers.empty()) return Error{"数値でない検出設定があります: " + notNumbers};
    if (!tooLarge.empty()) return Error{"型に収まらない数値の設定があります: " + tooLarge};
    const std::string filter = ini.get("DETECT", "FilterSigma");
    if (!filter.empty()) {
        const std::optional<double> sigma = parseNumber(filter);
        if (!sigma || (*sigma != 0 && filterSigmaValue(filter) == 0))
            return Error{"[DETECT] の FilterSigma は 0（使わない）か 0.5 から 5 の数値です: " +
                         filter};
    }
    return settingsOf(ini);
}

Settings settingsOf(const IniFile& ini) {
    Settings s;
    s.WorkPath = ini.get("SYSTEM", "WorkPath");
    readDetectionSettings(ini, s);
    s.PSFFactorRSD = ValSng(ini.get("PSF", "PSFFactorRSD"));
    s.PSFAnnulus = ValSng(ini.get("PSF", "PSFAnnulus"));
    s.PSFDAnnulus = ValSng(ini.get("PSF", "PSFDAnnulus"));
    s.Stretch = ini.get("STRETCH", "Stretch");
    s.ReadOutlineClick = ini.get("EDIT", "ReadOutlineClick") == "1";
    return s;
}

std::vector<std::string> detectionSettingLines(const Settings& s) {
    return {
        "HeikinWidth = " + generalForm(s.HeikinWidth),
        "SikiTop = " + generalForm(s.SikiTop),
        "Siki = " + generalForm(s.Siki),
        "NumPixel = " + generalForm(s.NumPixel),
        "NumPixel2 = " + generalForm(s.NumPixel2),
        "Sinendo = " + generalForm(s.Sinendo),
        "SinendoMax = " + generalForm(s.SinendoMax),
        "Margin = " + generalForm(s.Margin),
    };
}

std::vector<std::string> stretchSettingLines(const std::string& stretch) {
    return {"[STRETCH]", "Stretch = " + (stretch.empty() ? kStandardStretch : stretch)};
}

std::vector<std::string> settingsFileLines(const Settings& s) {
    std::vector<std::string> lines = {"[SYSTEM]", "WorkPath = " + s.WorkPath};
    for (auto& line : detectionSettingLines(s)) lines.push_back(std::move(line));
    lines.push_back("[PSF]");
    lines.push_back("PSFFactorRSD = " + generalForm(s.PSFFactorRSD));
    lines.push_back("PSFAnnulus = " + generalForm(s.PSFAnnulus));
    lines.push_back("PSFDAnnulus = " + generalForm(s.PSFDAnnulus));
    for (auto& line : stretchSettingLines(s.Stretch)) lines.push_back(std::move(line));
    for (auto& line : filterSettingLines(s, false)) lines.push_back(std::move(line));
    // Only when on, so that a file of the standard settings stays as it was.
    if (s.ReadOutlineClick) {
        lines.push_back("[EDIT]");
        lines.push_back("ReadOutlineClick = 1");
    }
    return lines;
}

}  // namespace orv::core
