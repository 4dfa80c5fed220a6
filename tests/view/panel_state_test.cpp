#include "view/panel_state.h"

#include <gtest/gtest.h>

#include "control/startup.h"
#include "form/stage.h"
#include "psf/mode_switch.h"
#include "support/test_app.h"
#include "view/view_switch.h"

namespace orv::view {
namespace {

using test::TestApp;

// The visible layers as a string of their indices, e.g. "34".
std::string visibleLayers(const form::FrmOrvandel& f) {
    std::string s;
    for (int i = 0; i < 5; ++i)
        if (f.picHSC[i].Visible) s += char('0' + i);
    return s;
}

int selectedOption(const form::FrmOrvandel& f) {
    for (int i = 0; i < 4; ++i)
        if (f.optFrame[i].Value) return i;
    return -1;
}

TEST(StageTable, EachStageSetsItsControls) {
    TestApp app;
    control::Form_Load(app.ctx);
    auto& f = app.frm;
    struct Row {
        int16_t stage;
        bool sources, fra1, fra2, fra3, fra4, doAll, pickup, centerCal, save, view;
        const char* layers;
        int option;
    };
    const Row rows[] = {
        {0, true, true, true, false, false, false, false, false, false, false, "", 3},
        {3, true, false, true, false, false, true, false, false, false, true, "0", 3},
        {5, false, false, false, true, false, false, false, false, false, true, "1", 2},
        {6, true, true, true, true, false, true, true, false, false, true, "1", 2},
        {7, false, false, false, true, false, false, false, false, false, true, "2", 1},
        {8, true, true, true, true, false, true, true, true, false, true, "2", 1},
        {10, true, true, true, true, true, true, true, true, true, true, "4", 0},
        {14, true, true, false, true, true, false, false, false, true, true, "4", 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.stage);
        form::setStage(app.ctx, r.stage);
        EXPECT_EQ(f.cmdDataIn[1].Enabled, r.sources);
        EXPECT_EQ(f.cmdReadData.Enabled, r.sources);
        EXPECT_EQ(f.fra1.Enabled, r.fra1);
        EXPECT_EQ(f.fra2.Enabled, r.fra2);
        EXPECT_EQ(f.fra3.Visible, r.fra3);
        EXPECT_EQ(f.fra4.Visible, r.fra4);
        EXPECT_EQ(f.cmdDoAll.Enabled, r.doAll);
        EXPECT_EQ(f.cmdIdoHeikin.Enabled, r.doAll);
        EXPECT_EQ(f.cmdPickup.Enabled, r.pickup);
        EXPECT_EQ(f.cmdCenterCal.Enabled, r.centerCal);
        EXPECT_EQ(f.cmdSaveData.Enabled, r.save);
        EXPECT_EQ(f.fraView.Visible, r.view);
        EXPECT_EQ(visibleLayers(f), r.layers);
        EXPECT_EQ(selectedOption(f), r.option);
    }
}

// While a long procedure runs, nothing that starts processing, loading, saving or reading can
// be pressed, whatever stage the window came from.
TEST(StageTable, NoRunningStageOffersAnotherProcedure) {
    TestApp app;
    control::Form_Load(app.ctx);
    auto& f = app.frm;
    using F = form::FrmOrvandel;
    const std::pair<const char*, form::CommandButton F::*> buttons[] = {
        {"cmdShowBigPic", &F::cmdShowBigPic}, {"cmdBachDo", &F::cmdBachDo},
        {"cmdReadData", &F::cmdReadData},     {"cmdDoAll", &F::cmdDoAll},
        {"cmdIdoHeikin", &F::cmdIdoHeikin},   {"cmdPickup", &F::cmdPickup},
        {"cmdCenterCal", &F::cmdCenterCal},   {"cmdSaveData", &F::cmdSaveData},
    };
    for (int16_t running : {1, 2, 4, 5, 7, 9, 11, 13})
        for (int16_t before = 0; before <= 14; ++before) {
            SCOPED_TRACE(testing::Message() << "stage " << running << " after " << before);
            form::setStage(app.ctx, before);
            form::setStage(app.ctx, running);
            for (const auto& [name, button] : buttons) EXPECT_FALSE((f.*button).Enabled) << name;
            for (int i = 0; i < 3; ++i) EXPECT_FALSE(f.cmdDataIn[i].Enabled) << "cmdDataIn " << i;
            EXPECT_FALSE(f.fra4.Visible && f.fra4.Enabled && f.cmdReDisp.Enabled);
        }
}

TEST(StageTable, StageTwelveEqualsTenAndFifteenChangesNothing) {
    TestApp a, b;
    control::Form_Load(a.ctx);
    control::Form_Load(b.ctx);
    form::setStage(a.ctx, 10);
    form::setStage(b.ctx, 12);
    auto state = [](const form::FrmOrvandel& f) {
        return std::make_tuple(f.fra1.Enabled, f.fra2.Enabled, f.fra4.Enabled,
                               f.cmdSaveData.Enabled, f.cmdDoAll.Enabled, f.fraView.Enabled,
                               visibleLayers(f), selectedOption(f));
    };
    EXPECT_EQ(state(a.frm), state(b.frm));
    form::setStage(a.ctx, 15);
    EXPECT_EQ(state(a.frm), state(b.frm));
}

TEST(StageTable, OnlyStageThirteenEnablesFra5) {
    TestApp app;
    control::Form_Load(app.ctx);
    app.frm.fra5.Enabled = false;
    for (int16_t s = 0; s <= 14; ++s) {
        if (s == 13) continue;
        form::setStage(app.ctx, s);
        EXPECT_FALSE(app.frm.fra5.Enabled) << s;
    }
    form::setStage(app.ctx, 13);
    EXPECT_TRUE(app.frm.fra5.Enabled);
    form::setStage(app.ctx, 0);
    EXPECT_TRUE(app.frm.fra5.Enabled);  // no stage disables it
}

TEST(StageTable, AnAlreadySelectedOptionLeavesBothStarLayersDuringAnalysis) {
    TestApp app;
    control::Form_Load(app.ctx);
    form::setStage(app.ctx, 10);  // option 0 selected, layer 4 shown
    form::setStage(app.ctx, 9);
    EXPECT_EQ(visibleLayers(app.frm), "34");
    form::setStage(app.ctx, 8);  // switches to option 1
    form::setStage(app.ctx, 9);  // selecting option 0 runs its view switch
    EXPECT_EQ(visibleLayers(app.frm), "4");
}

TEST(ViewSwitch, OptionsMarksAndFlicker) {
    TestApp app;
    control::Form_Load(app.ctx);
    auto& f = app.frm;
    f.chkCircle.Value = 0;
    optFrame_Click(app.ctx, 0);
    EXPECT_EQ(visibleLayers(f), "3");
    f.chkCircle.Value = 1;
    optFrame_Click(app.ctx, 0);
    EXPECT_EQ(visibleLayers(f), "4");
    optFrame_Click(app.ctx, 3);
    EXPECT_EQ(visibleLayers(f), "0");
    f.chkCircle.Value = 0;
    chkCircle_Click(app.ctx);  // the star layer appears even under another option
    EXPECT_EQ(visibleLayers(f), "03");

    f.chkFlicker.Value = 1;
    chkFlicker_Click(app.ctx);
    EXPECT_TRUE(f.tmrFlicker.Enabled);
    EXPECT_EQ(f.tmrFlicker.Interval, 500);
    tmrFlicker_Timer(app.ctx);
    EXPECT_EQ(visibleLayers(f), "04");
    tmrFlicker_Timer(app.ctx);
    EXPECT_EQ(visibleLayers(f), "03");
    f.chkFlicker.Value = 0;
    chkFlicker_Click(app.ctx);  // ends with the marks shown
    EXPECT_FALSE(f.tmrFlicker.Enabled);
    EXPECT_EQ(f.chkCircle.Value, 1);
    EXPECT_EQ(visibleLayers(f), "04");
}

TEST(ViewSwitch, ResizeLaysOutFromTwoHundredPixels) {
    TestApp app;
    Form_Resize(app.ctx, 199, 199, 300);
    EXPECT_EQ(app.frm.fraPickUp.Width, 0);
    Form_Resize(app.ctx, 200, 1000, 700);
    EXPECT_EQ(app.frm.fraPickUp.Left, 320);
    EXPECT_EQ(app.frm.fraPickUp.Top, 40);
    EXPECT_EQ(app.frm.fraPickUp.Width, 675);
    EXPECT_EQ(app.frm.fraPickUp.Height, 650);
    Form_Resize(app.ctx, 200, 200, 30);
    EXPECT_EQ(app.frm.fraPickUp.Width, 0);
    EXPECT_EQ(app.frm.fraPickUp.Height, 0);
}

TEST(ModeButtons, MoveTheMarkerAndSwitchPages) {
    TestApp app;
    control::Form_Load(app.ctx);
    auto& f = app.frm;
    EXPECT_EQ(f.cmdMain[0].Caption, "●恒星位置検出");
    psf::cmdMain_Click(app.ctx, 1);
    EXPECT_EQ(f.cmdMain[0].Caption, "恒星位置検出");
    EXPECT_EQ(f.cmdMain[1].Caption, "● PSF設定");
    EXPECT_TRUE(f.fraMain[0].Visible);
    EXPECT_FALSE(f.fraMain[0].Enabled);
    EXPECT_TRUE(f.fraMain[1].Visible);
    psf::cmdMain_Click(app.ctx, 2);
    EXPECT_EQ(f.cmdMain[1].Caption, " PSF設定");
    EXPECT_TRUE(f.fraMain[2].Visible);
    EXPECT_FALSE(f.fraMain[1].Visible);
    psf::cmdMain_Click(app.ctx, 0);
    EXPECT_TRUE(f.fraMain[0].Enabled);
    EXPECT_EQ(f.cmdMain[2].Caption, "PSF測光");
}

}  // namespace
}  // namespace orv::view
