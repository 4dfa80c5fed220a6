#include "extract/hyotan.h"

#include <gtest/gtest.h>

#include <cmath>

#include "bench/starfield.h"
#include "control/pipeline.h"
#include "control/startup.h"
#include "extract/analysis.h"
#include "extract/numbering.h"
#include "extract/records.h"
#include "input/clusters.h"
#include "support/pictures.h"

namespace orv::extract {
namespace {

using test::TestApp;

// Two discs of Level 100 (radius 3, centres 8 apart) joined by a one-pixel waist of Level 15,
// on a sky of 0 with a flat background of 10: at Siki 4 everything above 14 is one gourd; one
// step higher the waist falls away.
form::Picture gourd(int waist = 15) {
    return test::greyPicture(30, 20, [=](int x, int y) {
        auto disc = [&](int cx) { return (x - cx) * (x - cx) + (y - 10) * (y - 10) <= 9; };
        if (disc(10) || disc(18)) return 100;
        if (y == 10 && x > 10 && x < 18) return waist;
        return 0;
    });
}

void extractOnFlatBackground(TestApp& app, float background) {
    input::cmdPickup_Click(app.ctx);  // first run: the background is still all 0
    for (int y = 0; y < app.ws.ImageHeightP; ++y)
        for (int x = 0; x < app.ws.ImageWidthP; ++x) app.ws.BackLevel(x, y) = background;
    input::cmdPickup_Click(app.ctx);
}

void analyseOnFlatBackground(TestApp& app, float background) {
    extractOnFlatBackground(app, background);
    cmdCenterCal_Click(app.ctx);
}

// A window with typical settings and the gourd split on, the gourd loaded.
void loadGourd(TestApp& app) {
    control::Form_Load(app.ctx);
    test::typicalSettings(app.ws.settings);
    app.frm.chkHyotan.Value = 1;
    EXPECT_TRUE(test::loadPicture(app, gourd()));
}

struct GourdScene {
    TestApp app;
    explicit GourdScene(bool hyotan, int waist = 15) {
        control::Form_Load(app.ctx);
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
    EXPECT_EQ(marks.pixel(10, 10), form::RGB(255, 128, 0));
    EXPECT_EQ(scene.app.frm.picHSC[2].canvas.pixel(14, 10), form::RGB(0, 0, 0));
    EXPECT_EQ(scene.app.frm.picHSC[2].canvas.pixel(10, 10), OV_GetClasterColor(2));
}

// With every other number in use, the split cannot number its parts: the gourd leaves the
// results, and the message line and the log say so.
TEST(GourdSplit, AFullTableIsSaidNotSilentlyDropped) {
    TestApp app;
    loadGourd(app);
    extractOnFlatBackground(app, 10);
    auto& ws = app.ws;
    ASSERT_EQ(ws.MaxStarNo, 1);
    ws.MaxStarNo = kMaxStarNo;
    noteTableUse(ws);
    for (int32_t i = 2; i <= kMaxStarNo; ++i) ws.Clusters[i].Used = ws.Clusters[i].Divided = -1;
    cmdCenterCal_Click(app.ctx);
    EXPECT_EQ(ws.tableFull.splitsCutShort, 1);
    EXPECT_EQ(ws.Clusters[1].Used, 0);
    const std::string said =
        "ひょうたん型の分離でクラスタが上限の 50000 個に達し、1 "
        "個のクラスタの一部または全部が結果から外れました。閾値を上げるか、分割画像で処理してくだ"
        "さい。";
    EXPECT_EQ(app.frm.lblMsg.Caption, said);
    EXPECT_NE(test::readFile(app.dir.file("test.bmp.dir/test.bmp.log")).find(said),
              std::string::npos);
}

// The search box: its ends rounded half to even (CLng), its upper ends cut to the last column
// and row but one. Cluster 1 is a row of five pixels at row 5; only one of them rises above
// background + Siki + k.
TEST(GourdSplit, TheSearchBoxRoundsHalfToEvenAndNeverReachesTheLastColumn) {
    struct Case {
        const char* name;
        int first, bright;  // the row's first column and its bright one (1-based)
        float centerX, hankeiMax;
        bool divides;
    };
    const Case cases[] = {
        // reach 0.5: columns CLng(9.5) = 10 to CLng(10.5) = 10
        {"above the upper end", 8, 11, 10.0f, -0.5f, false},
        {"at the upper end", 8, 10, 10.0f, -0.5f, true},
        // columns CLng(10.5) = 10 to CLng(11.5) = 12
        {"at the lower end", 8, 10, 11.0f, -0.5f, true},
        {"below the lower end", 8, 9, 11.0f, -0.5f, false},
        // columns up to CLng(22.5) = 22, cut to 19 in a picture 20 wide
        {"in the last column", 16, 20, 19.5f, 2.0f, false},
        {"in the column before", 16, 19, 19.5f, 2.0f, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestApp app;
        control::Form_Load(app.ctx);
        test::typicalSettings(app.ws.settings);
        EXPECT_TRUE(test::loadPicture(app, test::greyPicture(20, 10, [&](int x, int y) {
                                          if (y != 4 || x + 1 < c.first || x + 1 > c.first + 4)
                                              return 0;
                                          return x + 1 == c.bright ? 100
                                                                   : 5;  // 5 is not above 0 + 4 + 1
                                      })));
        auto& ws = app.ws;
        ws.MaxStarNo = 1;
        noteTableUse(ws);
        ws.Clusters[1].Used = -1;
        for (int x = c.first; x < c.first + 5; ++x) ws.ClusterMap(x, 5) = 1;
        ws.Stars[1].CenterX = c.centerX;
        ws.Stars[1].CenterY = 5.0f;
        ws.Stars[1].HankeiMax = c.hankeiMax;
        EXPECT_EQ(OV_Hyotanjima(app.ctx, 1, 4.0f), c.divides);
        EXPECT_EQ(ws.Clusters[1].Used, c.divides ? 0 : -1);
    }
}

// Parts are classified by their own rules: fewer pixels than NumPixel2 make an area object
// (magenta), never an elongated one; the gourd's own number is freed.
TEST(GourdSplit, PartsBelowNumPixel2AreAreaObjects) {
    TestApp app;
    loadGourd(app);
    app.ws.settings.NumPixel2 = 30;  // each disc has 29 pixels, the gourd 65
    analyseOnFlatBackground(app, 10);
    auto& ws = app.ws;
    ASSERT_EQ(ws.MaxStarNo, 3);
    EXPECT_EQ(ws.Clusters[1].Used, 0);
    for (int p : {2, 3}) EXPECT_EQ(ws.Clusters[p].Atr, kAtrArea) << p;
    EXPECT_EQ(ws.StarAtrNo[0][kAtrArea], 2);
    EXPECT_EQ(ws.StarAtrNo[0][kAtrCircular], 0);
    EXPECT_EQ(app.frm.picHSC[4].canvas.pixel(10, 10), form::RGB(255, 0, 255));
}

TEST(GourdSplit, WithoutTheOptionTheGourdIsElongated) {
    GourdScene scene(false);
    EXPECT_EQ(scene.app.ws.MaxStarNo, 1);
    EXPECT_EQ(scene.app.ws.Clusters[1].Atr, kAtrElongated);
}

TEST(GourdSplit, NothingAboveTheNextStepCountsCircular) {
    // Everything within one step of background + Siki: no seed at any raised threshold.
    TestApp app;
    loadGourd(app);
    for (int y = 1; y <= 20; ++y)
        for (int x = 1; x <= 30; ++x) {
            auto& b = app.ws.PixelLevel.plane(core::kChannelB)(x, y);
            if (b > 0) b = 15;
        }
    analyseOnFlatBackground(app, 10);
    EXPECT_EQ(app.ws.MaxStarNo, 1);
    EXPECT_EQ(app.ws.Clusters[1].Used, -1);
    EXPECT_EQ(app.ws.Clusters[1].Atr, kAtrCircular);
    EXPECT_EQ(app.frm.picHSC[4].canvas.pixel(14, 10), form::RGB(255, 128, 0));
}

TEST(GourdSplit, ManyPartsAtOneLevelAreAllKept) {
    // A comb: 30 teeth of Level 100 on a faint spine; one step up the spine falls away.
    TestApp app;
    control::Form_Load(app.ctx);
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

// With the detection filter the split rises through the smoothed residual, FilterSplitStep
// at a time: the gourd still falls into its two discs, each part's threshold is the filter's
// Siki raised by whole steps, and each part is the pixels above it on the smoothed residual.
TEST(GourdSplit, WithTheFilterTheSplitStepsThroughTheSmoothedResidual) {
    TestApp app;
    loadGourd(app);
    app.ws.settings.FilterSigma = 0.5f;
    app.ws.settings.Siki = 1.0f;
    for (int y = 0; y < app.ws.ImageHeightP; ++y)
        for (int x = 0; x < app.ws.ImageWidthP; ++x) app.ws.BackLevel(x, y) = 10;
    input::cmdPickup_Click(app.ctx);
    ASSERT_EQ(app.ws.MaxStarNo, 1);  // the waist joins the discs on the smoothed residual too
    cmdCenterCal_Click(app.ctx);
    const auto& smoothed = app.ws.SmoothedResidual;
    std::vector<int32_t> parts;
    for (int32_t n = 1; n <= app.ws.MaxStarNo; ++n)
        if (app.ws.Clusters[n].Used == -1) parts.push_back(n);
    ASSERT_EQ(parts.size(), 2u);
    for (int32_t p : parts) {
        SCOPED_TRACE(p);
        const auto& c = app.ws.Clusters[p];
        EXPECT_EQ(c.Atr, kAtrCircular);
        // Whole steps of 0.2 above Siki 1, and not a whole number, as a split rising through
        // the raw Level one level at a time would end.
        const double steps = (c.Siki - 1.0) / app.ws.FilterSplitStep;
        EXPECT_GE(steps, 0.999);
        EXPECT_NEAR(steps, std::round(steps), 1e-3);
        EXPECT_GT(std::abs(c.Siki - std::round(c.Siki)), 0.1f) << c.Siki;
        for (int y = 1; y <= app.ws.ImageHeightP; ++y)
            for (int x = 1; x <= app.ws.ImageWidthP; ++x)
                if (app.ws.ClusterMap(x, y) == p) {
                    ASSERT_GT(smoothed(x - 1, y - 1), c.Siki);
                }
    }
    EXPECT_NEAR(app.ws.Stars[parts[0]].CenterX, 10.5, 0.3);
    EXPECT_NEAR(app.ws.Stars[parts[1]].CenterX, 18.5, 0.3);
}

}  // namespace
}  // namespace orv::extract

namespace orv::extract {
namespace {

// Generated pairs of touching stars (centres 3.3 to 4 sigma apart, a faint waist between
// them), well apart from each other: with the split on, each member is found as a round part
// of its own near its true centre; without it, some pairs are one cluster.
TEST(GourdSplit, GeneratedTouchingPairsSplitIntoTwoRoundParts) {
    bench::FieldSpec spec;
    spec.width = spec.height = 400;
    spec.seed = 42;
    spec.noiseSigma = 0.5;
    spec.pairCount = 12;
    spec.starCount = 24;
    spec.sigmaMin = 1.5;
    spec.sigmaMax = 1.8;
    spec.pairSeparationMin = 3.3;  // a waist a few levels above the threshold
    spec.pairSeparationMax = 4.0;
    spec.peakMin = 80;
    spec.peakMax = 150;
    spec.margin = 20;
    const auto field = bench::generateStarField(spec);
    auto rgb = std::make_shared<std::vector<uint8_t>>(field.rgb);
    const auto picture = form::Picture::fromRgb(field.width, field.height, rgb);

    auto analyse = [&](bool hyotan, TestApp& app) {
        control::Form_Load(app.ctx);
        test::typicalSettings(app.ws.settings);
        app.frm.chkHyotan.Value = hyotan ? 1 : 0;
        ASSERT_TRUE(test::loadPicture(app, picture));
        control::cmdDoAll_Click(app.ctx);
    };
    // The result nearest to (x, y) among the clusters in use.
    auto nearest = [](const core::Workspace& ws, double x, double y) {
        int32_t best = 0;
        double bestD = 1e9;
        for (int32_t n = 1; n <= ws.MaxStarNo; ++n) {
            if (ws.Clusters[n].Used != -1) continue;
            const double d = std::hypot(ws.Stars[n].CenterX - x, ws.Stars[n].CenterY - y);
            if (d < bestD) bestD = d, best = n;
        }
        return std::pair{best, bestD};
    };

    TestApp split;
    analyse(true, split);
    int separated = 0;
    for (int k = 0; k < spec.pairCount; ++k) {
        const auto& a = field.stars[2 * k];
        const auto& b = field.stars[2 * k + 1];
        ASSERT_EQ(a.pairId, b.pairId);
        auto [na, da] = nearest(split.ws, a.x, a.y);
        auto [nb, db] = nearest(split.ws, b.x, b.y);
        if (na != nb && da < 1.0 && db < 1.0 && split.ws.Clusters[na].Atr == kAtrCircular &&
            split.ws.Clusters[nb].Atr == kAtrCircular)
            ++separated;
    }
    EXPECT_EQ(separated, spec.pairCount);

    TestApp whole;
    analyse(false, whole);
    int merged = 0;
    for (int k = 0; k < spec.pairCount; ++k)
        merged += nearest(whole.ws, field.stars[2 * k].x, field.stars[2 * k].y).first ==
                  nearest(whole.ws, field.stars[2 * k + 1].x, field.stars[2 * k + 1].y).first;
    // Some pairs are one cluster at the base threshold: the split made two of each.
    EXPECT_GE(merged, 3);
    auto inUse = [](const core::Workspace& ws) {
        int n = 0;
        for (int32_t i = 1; i <= ws.MaxStarNo; ++i) n += ws.Clusters[i].Used == -1;
        return n;
    };
    EXPECT_EQ(inUse(split.ws), inUse(whole.ws) + merged);
}

}  // namespace
}  // namespace orv::extract
