// The start-up settings file, read as the window reads it (and shown in the boxes, whose
// validation then runs on what they show and on text from the input), read as the command
// line reads it, and written back: what is written never holds a number that cannot be read.

#include <cstdint>
#include <string>

#include "core/ini.h"
#include "core/numeric.h"
#include "core/settings.h"
#include "form/settings_boxes.h"
#include "fuzz_support.h"

using namespace orv;

namespace {

void lostFocusAll(form::Ctx& ctx) {
    form::txtHeikinWidth_LostFocus(ctx);
    form::txtSiki_LostFocus(ctx);
    form::txtSikiTop_LostFocus(ctx);
    form::txtNumPixel_LostFocus(ctx);
    form::txtNumPixel2_LostFocus(ctx);
    form::txtSinendo_LostFocus(ctx);
    form::txtSinendoMax_LostFocus(ctx);
    form::txtMargin_LostFocus(ctx);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    fuzz::clearScratch();
    fuzz::Window w;
    const std::string file = w.ws.folders.programFolder + "/" + core::kSettingsFileName;
    fuzz::writeScratch("program/" + std::string(core::kSettingsFileName), bytes);
    form::OV_GetIniData(w.ctx);
    lostFocusAll(w.ctx);
    (void)core::readSettingsFileStrictly(file);

    // Every box given the input's first line, as if typed.
    const std::string typed = bytes.substr(0, bytes.find('\n'));
    for (form::TextBox* box :
         {&w.frm.txtHeikinWidth, &w.frm.txtSiki, &w.frm.txtSikiTop, &w.frm.txtNumPixel,
          &w.frm.txtNumPixel2, &w.frm.txtSinendo, &w.frm.txtSinendoMax, &w.frm.txtMargin})
        box->Text = typed;
    lostFocusAll(w.ctx);

    if (!form::OV_SaveIniData(w.ctx)) return 0;
    const core::IniFile back = core::IniFile::load(file);
    for (const char* key : {"HeikinWidth", "SikiTop", "Siki", "NumPixel", "NumPixel2", "Sinendo",
                            "SinendoMax", "Margin"})
        if (!core::IsNumeric(back.get("SYSTEM", key))) __builtin_trap();  // "INF", "NAN", ...
    for (const char* key : {"PSFFactorRSD", "PSFAnnulus", "PSFDAnnulus"})
        if (!core::IsNumeric(back.get("PSF", key))) __builtin_trap();
    return 0;
}
