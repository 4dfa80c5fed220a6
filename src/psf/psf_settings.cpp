#include "psf/psf_settings.h"

#include "core/numeric.h"

namespace orv::psf {

namespace {

// The value of a box: its number when it is one within [lo, hi], else the fallback.
float checked(const std::string& text, float lo, float hi, float fallback) {
    if (!core::IsNumeric(text)) return fallback;
    float v = fallback;
    try {
        v = core::CSng(*core::parseNumber(text));
    } catch (const core::ArithmeticFault&) {
        return fallback;  // beyond the range of a Single
    }
    return v >= lo && v <= hi ? v : fallback;
}

void radiusBox(form::TextBox& box, float& setting) {
    setting = checked(box.Text, 0, 10, 3);
    box.Text = core::signPositionForm(setting);
}

}  // namespace

void txtPSFAnnulus_LostFocus(form::Ctx& ctx) {
    radiusBox(ctx.frm.txtPSFAnnulus, ctx.ws.settings.PSFAnnulus);
}

void txtPSFDAnnulus_Change(form::Ctx& ctx) {
    radiusBox(ctx.frm.txtPSFDAnnulus, ctx.ws.settings.PSFDAnnulus);
}

void txtPSFFactorRSD_LostFocus(form::Ctx& ctx) {
    auto& box = ctx.frm.txtPSFFactorRSD;
    ctx.ws.settings.PSFFactorRSD = checked(box.Text, 0, 2, 0.3f);
    box.Text = core::Format(ctx.ws.settings.PSFFactorRSD, "0.0#", 7);
}

}  // namespace orv::psf
