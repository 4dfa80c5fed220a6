#include "form/settings_boxes.h"

#include "core/anew_file.h"
#include "core/numeric.h"
#include "core/paths.h"
#include "core/text_file.h"
#include "form/message_log.h"

namespace orv::form {

using core::ArithmeticFault;
using core::CLng;
using core::CSng;
using core::fileExists;
using core::Format;
using core::generalForm;
using core::IsNumeric;
using core::parseNumber;
using core::readSettingsFile;
using core::Result;
using core::Settings;
using core::settingsFileLines;
using core::ValInt;
using core::ValLng;
using core::writeLinesAnew;

void showDetectionSettings(Ctx& ctx) {
    const Settings& s = ctx.ws.settings;
    auto& f = ctx.frm;
    f.txtHeikinWidth.Text = generalForm(2 * static_cast<int64_t>(s.HeikinWidth) + 1);
    f.txtSikiTop.Text = generalForm(s.SikiTop);
    f.txtSiki.Text = generalForm(s.Siki);
    f.txtNumPixel.Text = generalForm(s.NumPixel);
    f.txtNumPixel2.Text = generalForm(s.NumPixel2);
    f.txtSinendo.Text = generalForm(s.Sinendo);
    f.txtSinendoMax.Text = generalForm(s.SinendoMax);
    f.txtMargin.Text = generalForm(s.Margin);
    f.txtFilterSigma.Text = generalForm(s.FilterSigma);
}

void showSettings(Ctx& ctx) {
    showDetectionSettings(ctx);
    const Settings& s = ctx.ws.settings;
    auto& f = ctx.frm;
    f.txtPSFAnnulus.Text = generalForm(s.PSFAnnulus);
    f.txtPSFDAnnulus.Text = generalForm(s.PSFDAnnulus);
    f.txtPSFFactorRSD.Text = Format(s.PSFFactorRSD, "0.0", 7);
    f.chkReadOutline.Value = s.ReadOutlineClick ? 1 : 0;
}

void OV_GetIniData(Ctx& ctx) {
    ctx.ws.settings = readSettingsFile(ctx.ws.folders.settingsFileToRead());
    showSettings(ctx);
}

Result<void> OV_SaveIniData(Ctx& ctx) {
    return writeLinesAnew(ctx.ws.folders.settingsFileToWrite(), settingsFileLines(ctx.ws.settings));
}

void cmdSaveSettingData_Click(Ctx& ctx) {
    auto saved = OV_SaveIniData(ctx);
    ctx.host.beep();
    if (!saved) {
        ctx.host.msgBox("設定ファイルを保存できませんでした。\n" + saved.error(), MsgButtons::Ok,
                        "設定ファイルの保存");
        return;
    }
    ctx.host.msgBox("設定値を保存しました。次回起動時はこの設定値がデフォルトになります。",
                    MsgButtons::Ok, "設定ファイルの保存");
}

void Label1_DblClick(Ctx& ctx, int /*index*/) {
    // A first-time user gets the current settings in the editor rather than an empty file
    // (and re-reading it then keeps them).
    std::string path = ctx.ws.folders.settingsFileToRead();
    if (!fileExists(path)) {
        OV_SaveIniData(ctx);
        path = ctx.ws.folders.settingsFileToWrite();
    }
    startEditorOrSay(ctx, path);
    OV_GetIniData(ctx);
}

namespace {

// A single-precision setting: numeric text inside [lo, hi] is taken, anything else gives the
// default. `wholeNumber` first rounds the text to a whole number (ties to even).
void validateSingle(TextBox& box, float& global, float lo, float hi, float fallback,
                    bool wholeNumber) {
    float v = fallback;
    if (IsNumeric(box.Text)) {
        try {
            v = wholeNumber ? static_cast<float>(ValInt(box.Text)) : CSng(*parseNumber(box.Text));
        } catch (const ArithmeticFault&) {
            v = fallback;  // beyond the range of a Single: out of range
        }
        if (v < lo || v > hi) v = fallback;
    }
    global = v;
    box.Text = generalForm(global);
}

}  // namespace

void txtHeikinWidth_LostFocus(Ctx& ctx) {
    auto& box = ctx.frm.txtHeikinWidth;
    int32_t n = 4;
    if (IsNumeric(box.Text)) {
        try {
            float lessOne = CSng(CSng(*parseNumber(box.Text)) - 1.0f);
            n = CLng(ValLng(generalForm(lessOne)) / 2.0);
        } catch (const ArithmeticFault&) {
            n = 4;
        }
        if (n < 0 || n > 30) n = 4;
    }
    ctx.ws.settings.HeikinWidth = n;
    box.Text = generalForm(2 * static_cast<int64_t>(n) + 1);
}

void txtSiki_LostFocus(Ctx& ctx) {
    validateSingle(ctx.frm.txtSiki, ctx.ws.settings.Siki, 0, 255, 4, false);
}

void txtSikiTop_LostFocus(Ctx& ctx) {
    validateSingle(ctx.frm.txtSikiTop, ctx.ws.settings.SikiTop, 100, 255, 240, false);
}

void txtNumPixel_LostFocus(Ctx& ctx) {
    validateSingle(ctx.frm.txtNumPixel, ctx.ws.settings.NumPixel, 0, 50, 5, true);
}

void txtNumPixel2_LostFocus(Ctx& ctx) {
    validateSingle(ctx.frm.txtNumPixel2, ctx.ws.settings.NumPixel2, 0, 100, 12, true);
}

void txtSinendo_LostFocus(Ctx& ctx) {
    validateSingle(ctx.frm.txtSinendo, ctx.ws.settings.Sinendo, 0, 20, 2, false);
}

void txtSinendoMax_LostFocus(Ctx& ctx) {
    validateSingle(ctx.frm.txtSinendoMax, ctx.ws.settings.SinendoMax, 0, 50, 30, false);
}

void txtMargin_LostFocus(Ctx& ctx) {
    auto& box = ctx.frm.txtMargin;
    int32_t m = 0;
    if (IsNumeric(box.Text)) {
        try {
            m = CLng(*parseNumber(box.Text));
        } catch (const ArithmeticFault&) {
            m = 0;
        }
        if (m < 0 || m > 100) m = 0;
    }
    ctx.ws.settings.Margin = static_cast<float>(m);
    box.Text = generalForm(ctx.ws.settings.Margin);
}

void txtFilterSigma_LostFocus(Ctx& ctx) {
    // 0 switches the filter off; anything outside 0.5..5 does too.
    validateSingle(ctx.frm.txtFilterSigma, ctx.ws.settings.FilterSigma, core::kFilterSigmaMin,
                   core::kFilterSigmaMax, 0, false);
}

}  // namespace orv::form
