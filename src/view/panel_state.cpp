#include "view/panel_state.h"

#include <string_view>

#include "view/view_switch.h"

namespace orv::view {

namespace {

// clang-format off
// One row of the stage table: a character per stage 0..14 (stage 12 repeats stage 10):
// 'Y' sets the property, 'n' clears it, '.' leaves it.
//                                          stage: 0123456789.1234
constexpr std::string_view kMainVisible       = "YYYYYYYYYYYYYYY";
constexpr std::string_view kPsfVisible        = "nnnnnnnnnnnnnnn";
constexpr std::string_view kSourcesEnabled    = "YnnYnnYnYnYnYnY";
constexpr std::string_view kFra1Enabled       = "YnnnnnYnYnYnYnY";
constexpr std::string_view kFra2Enabled       = "YnYYnnYnYnYnYnn";
constexpr std::string_view kFra3Visible       = "nYnnYYYYYYYYYYY";
constexpr std::string_view kFra4Visible       = "nnnnnnnnnnYYYYY";
constexpr std::string_view kFra4Enabled       = "..........YnYnY";
constexpr std::string_view kFra5Visible       = "nYYYYYYYYYYYYYY";
constexpr std::string_view kFra5Enabled       = ".............Y.";
constexpr std::string_view kFra6Visible       = "YYYYYYYYYYYYYYY";
constexpr std::string_view kDoAllEnabled      = "nnnYnnYnYnYnYnn";
constexpr std::string_view kPickupEnabled     = "nnnnnnYnYnYnYnn";
constexpr std::string_view kCenterCalEnabled  = "nnnnnnnnYnYnYnn";
constexpr std::string_view kSaveDataEnabled   = "nnnnnnnnnnYnYnY";
constexpr std::string_view kViewVisible       = "nYYYYYYYYYYYYYY";
constexpr std::string_view kViewEnabled       = ".nnYYnYnYnYnYnY";
constexpr std::string_view kLayerVisible[5]   = {
    "nnYYnnnnnnnnnnn",
    "nnnnnYYnnnnnnnn",
    "nnnnnnnYYnnnnnn",
    "nnnnnnnnnYnYnYn",
    "nnnnnnnnnYYYYYY",
};
// The view option selected in each stage; '.' leaves the selection.
constexpr std::string_view kViewOption        = "..33.2211000000";
// clang-format on

static_assert(kViewOption.size() == 15 && kViewEnabled.size() == 15 && kFra5Enabled.size() == 15);

void apply(std::string_view row, int stage, bool& property) {
    char c = row[stage];
    if (c == 'Y') property = true;
    if (c == 'n') property = false;
}

}  // namespace

void OV_DispUIF(form::Ctx& ctx) {
    const int stage = ctx.ws.ProcStage;
    if (stage < 0 || stage > 14) return;
    auto& f = ctx.frm;

    apply(kMainVisible, stage, f.fraMain[0].Visible);
    apply(kPsfVisible, stage, f.fraMain[1].Visible);
    apply(kPsfVisible, stage, f.fraMain[2].Visible);
    for (auto* b : {&f.cmdShowBigPic, &f.cmdBachDo, &f.cmdReadData, &f.cmdDataIn[0],
                    &f.cmdDataIn[1], &f.cmdDataIn[2]})
        apply(kSourcesEnabled, stage, b->Enabled);
    apply(kFra1Enabled, stage, f.fra1.Enabled);
    apply(kFra2Enabled, stage, f.fra2.Enabled);
    apply(kFra3Visible, stage, f.fra3.Visible);
    apply(kFra4Visible, stage, f.fra4.Visible);
    apply(kFra4Enabled, stage, f.fra4.Enabled);
    apply(kFra5Visible, stage, f.fra5.Visible);
    apply(kFra5Enabled, stage, f.fra5.Enabled);
    apply(kFra6Visible, stage, f.fra6.Visible);
    apply(kDoAllEnabled, stage, f.cmdDoAll.Enabled);
    apply(kDoAllEnabled, stage, f.cmdIdoHeikin.Enabled);
    apply(kPickupEnabled, stage, f.cmdPickup.Enabled);
    apply(kCenterCalEnabled, stage, f.cmdCenterCal.Enabled);
    apply(kSaveDataEnabled, stage, f.cmdSaveData.Enabled);
    apply(kSaveDataEnabled, stage, f.cmdExport.Enabled);
    apply(kViewVisible, stage, f.fraView.Visible);
    apply(kViewEnabled, stage, f.fraView.Enabled);
    for (int i = 0; i < 5; ++i) apply(kLayerVisible[i], stage, f.picHSC[i].Visible);

    char option = kViewOption[stage];
    if (option != '.') selectOptFrame(ctx, option - '0');
}

}  // namespace orv::view
