#include "extract/hyotan.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/startup.h"
#include "extract/analysis.h"
#include "extract/numbering.h"
#include "input/clusters.h"
#include "support/pictures.h"

namespace orv::extract {
namespace {

using test::TestApp;

// Two discs of Level 100 (radius 3, centres 8 apart) joined by a one-pixel waist of Level 15,
// on a sky of 0 with a flat background of 10: at Siki 4 everything above 14 is one gourd; one
// step higher the waist falls away.
ui::Picture gourd(int waist = 15) {
    return test::greyPicture(30, 20, [=](int x, int y) {
        auto disc = [&](int cx) { return (x - cx) * (x - cx) + (y - 10) * (y - 10) <= 9; };
        if (disc(10) || disc(18)) return 100;
        if (y == 10 && x > 10 && x < 18) return waist;
        return 0;
    });
}

void analyseOnFlatBackground(TestApp& app, float background) {
    input::cmdPickup_Click(app.ctx);  // first run: the background is still all 0
    for (int y = 0; y < app.ws.ImageHeightP; ++y)
        for (int x = 0; x < app.ws.ImageWidthP; ++x) app.ws.BackLevel(x, y) = background;
    input::cmdPickup_Click(app.ctx);
    cmdCenterCal_Click(app.ctx);
}

struct GourdScene {
    TestApp app;
    explicit GourdScene(bool hyotan, int waist = 15) {
        core::Form_Load(app.ctx);
        test::typicalSettings(app.ws.settings);
        app.frm.chkHyotan.Value = hyotan ? 1 : 0;
        EXPECT_TRUE(test::loadPicture(app, gourd(waist)));
        analyseOnFlatBackground(app, 10);
    }
};

TEST(GourdSplit, TwoTouchingStarsBecomeTwoRoundParts) {
    GourdScene scene(true);
    auto& ws = scene.app.ws;
    EXPECT_EQ(ws.MaxStarNo, 3);
    EXPECT_EQ(ws.Clusters[1].Used, 0);  // the gourd's number is free again
    EXPECT_EQ(ws.Clusters[1].Divided, 0);
    for (int p : {2, 3}) {
        SCOPED_TRACE(p);
        EXPECT_EQ(ws.Clusters[p].Used, -1);
        EXPECT_EQ(ws.Clusters[p].Atr, kAtrCircular);
        EXPECT_EQ(ws.Clusters[p].Siki, 5.0f);
        EXPECT_EQ(ws.Clusters[p].FillOK, -1);
        EXPECT_EQ(ws.Stars[p].PixelCount, 29);
        EXPECT_LE(ws.Stars[p].SinendoRatio, 2.0f);
    }
    EXPECT_FLOAT_EQ(ws.Stars[2].CenterX, 10.5f);
    EXPECT_FLOAT_EQ(ws.Stars[3].CenterX, 18.5f);
    EXPECT_FLOAT_EQ(ws.Stars[2].CenterY, 10.5f);
    EXPECT_EQ(ws.Clusters[2].StartY, 8);  // the seed is each disc's top pixel
    EXPECT_EQ(ws.StarAtrNo[0][kAtrCircular], 2);
    EXPECT_EQ(ws.ClusterMap(15, 11), 0);  // the waist left every cluster
    EXPECT_EQ(ws.HyotanDepth, 0);
    // Parts are drawn orange; the gourd was blacked out in the cluster view before the refill.
    auto& marks = scene.app.frm.picHSC[4].canvas;
    EXPECT_EQ(marks.pixel(10, 10), ui::RGB(255, 128, 0));
    EXPECT_EQ(scene.app.frm.picHSC[2].canvas.pixel(14, 10), ui::RGB(0, 0, 0));
    EXPECT_EQ(scene.app.frm.picHSC[2].canvas.pixel(10, 10), OV_GetClasterColor(2));
}

TEST(GourdSplit, WithoutTheOptionTheGourdIsElongated) {
    GourdScene scene(false);
    EXPECT_EQ(scene.app.ws.MaxStarNo, 1);
    EXPECT_EQ(scene.app.ws.Clusters[1].Atr, kAtrElongated);
}

TEST(GourdSplit, NothingAboveTheNextStepCountsCircular) {
    // Everything within one step of background + Siki: no seed at any raised threshold.
    TestApp app;
    core::Form_Load(app.ctx);
    test::typicalSettings(app.ws.settings);
    app.frm.chkHyotan.Value = 1;
    EXPECT_TRUE(test::loadPicture(app, gourd()));
    for (int y = 1; y <= 20; ++y)
        for (int x = 1; x <= 30; ++x) {
            auto& b = app.ws.PixelLevel.plane(core::kChannelB)(x, y);
            if (b > 0) b = 15;
        }
    analyseOnFlatBackground(app, 10);
    EXPECT_EQ(app.ws.MaxStarNo, 1);
    EXPECT_EQ(app.ws.Clusters[1].Used, -1);
    EXPECT_EQ(app.ws.Clusters[1].Atr, kAtrCircular);
    EXPECT_EQ(app.frm.picHSC[4].canvas.pixel(14, 10), ui::RGB(255, 128, 0));
}

TEST(GourdSplit, ManyPartsAtOneLevelAreAllKept) {
    // A comb: 30 teeth of Level 100 on a faint spine; one step up the spine falls away.
    TestApp app;
    core::Form_Load(app.ctx);
    test::typicalSettings(app.ws.settings);
    app.ws.settings.NumPixel = 1;
    app.ws.settings.NumPixel2 = 1;
    app.ws.settings.SinendoMax = 1000;  // however far from round, hand it to the split
    app.frm.chkHyotan.Value = 1;
    EXPECT_TRUE(test::loadPicture(app, test::greyPicture(64, 12, [](int x, int y) {
                                      if (y == 8 && x >= 2 && x <= 61) return 15;
                                      if (y >= 3 && y <= 7 && x >= 2 && x <= 61 && x % 2 == 0)
                                          return 100;
                                      return 0;
                                  })));
    analyseOnFlatBackground(app, 10);
    int parts = 0;
    for (int n = 1; n <= app.ws.MaxStarNo; ++n) parts += app.ws.Clusters[n].Used == -1;
    EXPECT_EQ(parts, 30);
    EXPECT_EQ(app.ws.StarAtrNo[0][kAtrArea] + app.ws.StarAtrNo[0][kAtrCircular], 30);
}

}  // namespace
}  // namespace orv::extract
