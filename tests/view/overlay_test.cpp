#include "view/overlay.h"

#include <gtest/gtest.h>

#include "control/startup.h"
#include "extract/numbering.h"
#include "form/class_colours.h"
#include "support/pictures.h"

namespace orv::view {
namespace {

using test::TestApp;

// One result on a black 100 x 100 picture: its dot at pixel (30, 40) unless placed elsewhere,
// its outline starting at pixel (32, 40) ("5": one step right).
struct Result {
    int16_t atr, edit = 0, divided = 0;
    float cx = 30.5f, cy = 40.5f;
};

struct Redisplay {
    TestApp app;
    explicit Redisplay(const Result& r, int dispOff = -1, float margin = 0) {
        control::Form_Load(app.ctx);
        EXPECT_TRUE(
            test::loadPicture(app, test::greyPicture(100, 100, [](int, int) { return 0; })));
        app.ws.settings.Margin = margin;
        for (auto& c : app.frm.chkDisp) c.Value = 1;
        if (dispOff >= 0) app.frm.chkDisp[dispOff].Value = 0;
        app.ws.MaxStarNo = 1;
        extract::noteTableUse(app.ws);
        auto& c = app.ws.Clusters[1];
        c.Used = -1, c.Atr = r.atr, c.EditAtr = r.edit, c.Divided = r.divided;
        c.StartX = 33, c.StartY = 41;
        auto& s = app.ws.Stars[1];
        s.CenterX = r.cx, s.CenterY = r.cy, s.Outline = "5";
        app.ws.StarAtrNo[3][7] = 99;  // a cell the redisplay never counts
        cmdReDisp_Click(app.ctx);
    }
    form::Rgb at(int x, int y) const { return app.frm.picHSC[4].canvas.pixel(x, y); }
};

TEST(Overlay, MarksAndCountsFollowClassEditStateFiltersAndMargin) {
    const form::Rgb kNone = form::greyRgb(0);
    struct Case {
        const char* name;
        Result result;
        int dispOff;  // chkDisp turned off, -1 none
        float margin;
        int row, col;  // the cell counted, -1 none
        form::Rgb colour;
        bool outline;
    };
    const Case cases[] = {
        {"noise", {1}, -1, 0, 0, 1, form::kColourNoise, false},
        {"noise hidden", {1}, 0, 0, -1, -1, kNone, false},
        {"area", {2}, -1, 0, 0, 2, form::kColourArea, true},
        {"circular", {3}, -1, 0, 0, 3, form::kColourCircular, true},
        {"elongated", {4}, -1, 0, 0, 4, form::kColourElongated, true},
        {"no outlines", {3}, 1, 0, 0, 3, form::kColourCircular, false},
        {"noise released", {5}, 0, 0, 0, 5, form::kColourNoiseReleased, false},
        {"not classified", {0}, -1, 0, -1, -1, kNone, false},
        {"added", {3, 2}, -1, 0, 1, 2, form::kColourAdded, false},
        {"added hidden", {3, 2}, 3, 0, -1, -1, kNone, false},
        {"deleted star", {3, 1}, -1, 0, 1, 1, form::kColourDeleted, false},
        {"deleted noise, noise hidden", {1, 1}, 0, 0, 1, 1, form::kColourDeleted, false},
        {"added then deleted", {3, 3}, -1, 0, 1, 1, form::kColourDeleted, false},
        {"deleted hidden", {3, 1}, 2, 0, -1, -1, kNone, false},
        {"unknown edit state", {3, 4}, -1, 0, -1, -1, kNone, false},
        {"being divided", {3, 0, -1}, -1, 0, -1, -1, kNone, false},
        {"on the margin line", {3, 0, 0, 90.0f, 50.0f}, 4, 10, 0, 3, form::kColourCircular, true},
        {"beyond the margin", {3, 0, 0, 90.01f, 50.0f}, 4, 10, -1, -1, kNone, false},
        {"beyond, shown", {3, 0, 0, 90.01f, 50.0f}, -1, 10, 0, 3, form::kColourCircular, true},
        {"before the margin", {3, 0, 0, 30.5f, 9.99f}, 4, 10, -1, -1, kNone, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Redisplay d(c.result, c.dispOff, c.margin);
        const auto& a = d.app.ws.StarAtrNo;
        int counted = 0;
        for (int row : {0, 1})
            for (int col = 0; col <= 10; ++col) {
                const int expected = row == c.row && col == c.col ? 1 : 0;
                EXPECT_EQ(a[row][col], expected) << row << "," << col;
                counted += a[row][col];
            }
        EXPECT_EQ(a[3][7], 99);  // rows 2..4 keep their values
        EXPECT_EQ(d.app.frm.lblStarNo.Caption, std::to_string(counted));
        const int dx = static_cast<int>(c.result.cx), dy = static_cast<int>(c.result.cy);
        EXPECT_EQ(d.at(dx, dy), c.colour);
        EXPECT_EQ(c.colour != kNone && d.at(32, 40) == c.colour && d.at(33, 40) == c.colour,
                  c.outline);
        EXPECT_EQ(d.app.frm.picHSC[3].canvas.pixel(dx, dy), kNone);  // layer 3 stays unmarked
    }
}

TEST(Overlay, BothStarLayersShowWithoutMarksOnlyTheMarkedOneWithThem) {
    for (int circle : {0, 1}) {
        TestApp app;
        control::Form_Load(app.ctx);
        ASSERT_TRUE(test::loadPicture(app, test::greyPicture(20, 20, [](int, int) { return 0; })));
        app.frm.chkCircle.Value = circle;
        cmdReDisp_Click(app.ctx);
        EXPECT_EQ(app.frm.picHSC[3].Visible, circle == 0) << circle;
        EXPECT_TRUE(app.frm.picHSC[4].Visible);
        EXPECT_TRUE(app.frm.optFrame[0].Value);
    }
}

}  // namespace
}  // namespace orv::view
