#include "psf/mode_switch.h"

#include <string_view>

namespace orv::psf {

namespace {
constexpr std::string_view kMarker = "●";
}

void cmdMain_Click(form::Ctx& ctx, int index) {
    auto& page = ctx.frm.fraMain;
    page[0].Visible = true;
    page[0].Enabled = index == 0;
    page[1].Visible = index == 1;
    page[2].Visible = index == 2;
    for (auto& b : ctx.frm.cmdMain)
        if (std::string_view(b.Caption).substr(0, kMarker.size()) == kMarker)
            b.Caption.erase(0, kMarker.size());
    ctx.frm.cmdMain[index].Caption.insert(0, kMarker);
}

}  // namespace orv::psf
