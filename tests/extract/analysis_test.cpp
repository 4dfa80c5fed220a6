#include "extract/analysis.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <vector>

#include "control/startup.h"
#include "core/numeric.h"
#include "extract/records.h"
#include "extract/reference_trace.h"
#include "input/background.h"
#include "input/clusters.h"
#include "results/data_files.h"
#include "support/pictures.h"

namespace orv::extract {
namespace {

using test::TestApp;

// A window with typical settings and a picture: bright pixels listed as 0-based (x, y), Level
// `level`, on a black sky.
struct Scene {
    TestApp app;
    explicit Scene(int w, int h, const std::set<std::pair<int, int>>& bright, int level = 100) {
        control::Form_Load(app.ctx);
        test::typicalSettings(app.ws.settings);
        EXPECT_TRUE(test::loadPicture(app, test::greyPicture(w, h, [&](int x, int y) {
                                          return bright.count({x, y}) ? level : 0;
                                      })));
    }
    void analyse() {
        input::cmdIdoHeikin_Click(app.ctx);
        input::cmdPickup_Click(app.ctx);
        cmdCenterCal_Click(app.ctx);
    }
    StarRec& star(int n) { return app.ws.Stars[n]; }
    ClusterRec& cluster(int n) { return app.ws.Clusters[n]; }
};

std::set<std::pair<int, int>> rect(int x0, int y0, int w, int h) {
    std::set<std::pair<int, int>> s;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) s.insert({x, y});
    return s;
}

TEST(Analysis, TheThreeByThreeSquare) {
    Scene scene(100, 100, rect(33, 55, 3, 3));
    scene.analyse();
    ASSERT_EQ(scene.app.ws.MaxStarNo, 1);
    const StarRec& s = scene.star(1);
    EXPECT_EQ(scene.cluster(1).StartX, 34);
    EXPECT_EQ(scene.cluster(1).StartY, 56);
    EXPECT_EQ(s.CenterX, 34.5f);
    EXPECT_EQ(s.CenterY, 56.5f);
    EXPECT_EQ(s.PixelCount, 9);
    EXPECT_EQ(s.SumLevel, 900);
    EXPECT_EQ(s.MaxLevel, 100);
    EXPECT_EQ(s.Outline, "33557711");
    EXPECT_EQ(core::generalForm(s.HankeiAve), "1.207107");
    EXPECT_FLOAT_EQ(s.HankeiAve, 1.2071068f);
    EXPECT_EQ(s.HankeiMax, 1.4142135f);
    EXPECT_EQ(s.HankeiMin, 1.0f);
    EXPECT_EQ(s.SinendoRatio, 1.4142135f);
    EXPECT_EQ(core::generalForm(s.HankeiSD), "0.2071068");
    std::set<int> sectors;
    for (int i = 0; i < 36; ++i)
        if (s.Hankei[i] > 0) sectors.insert(i);
    EXPECT_EQ(sectors, (std::set<int>{13, 18, 22, 27, 31, 0, 5, 9}));
    EXPECT_EQ(s.Hankei[13], 1.4142135f);
    EXPECT_EQ(s.Hankei[18], 1.0f);
    // NumPixel2 12: nine pixels are fewer, so it is an area object.
    EXPECT_EQ(scene.cluster(1).Atr, kAtrArea);
    EXPECT_EQ(scene.app.ws.StarAtrNo[0][2], 1);
    EXPECT_EQ(scene.app.frm.lblStarAtr[1].Caption, "1");
    EXPECT_EQ(scene.app.frm.lblStarNo.Caption, "1");
    EXPECT_EQ(scene.app.ws.ProcStage, core::kStageAnalysed);
    EXPECT_EQ(scene.app.host.sleptMs, 1000);
    // Drawn into the marked layer in magenta: the dot and the outline.
    EXPECT_EQ(scene.app.frm.picHSC[4].canvas.pixel(34, 56), form::RGB(255, 0, 255));
    EXPECT_EQ(scene.app.frm.picHSC[4].canvas.pixel(33, 55), form::RGB(255, 0, 255));
    EXPECT_EQ(scene.app.frm.picHSC[3].canvas.pixel(33, 55), form::greyRgb(100));
    EXPECT_EQ(scene.app.frm.picHSC[4].canvas.pixel(36, 55), form::greyRgb(0));

    // With NumPixel2 <= 9 and Sinendo >= 1.5 the square is circular.
    Scene round(100, 100, rect(33, 55, 3, 3));
    round.app.ws.settings.NumPixel2 = 9;
    round.app.ws.settings.Sinendo = 1.5f;
    round.analyse();
    EXPECT_EQ(round.cluster(1).Atr, kAtrCircular);
    EXPECT_EQ(round.app.frm.picHSC[4].canvas.pixel(34, 56), form::RGB(255, 0, 0));
}

TEST(Analysis, OnePixelClusterKeepsZeroStatistics) {
    Scene scene(20, 20, {{5, 5}});
    scene.app.ws.settings.NumPixel = 1;
    scene.app.ws.settings.NumPixel2 = 1;
    scene.analyse();
    const StarRec& s = scene.star(1);
    EXPECT_EQ(s.Outline, "");
    EXPECT_EQ(s.HankeiAve, 0);
    EXPECT_EQ(s.SinendoRatio, 0);
    EXPECT_EQ(scene.cluster(1).Atr, kAtrCircular);
}

TEST(Analysis, AStraightLineIsWalkedOutAndBack) {
    Scene scene(30, 10, rect(10, 4, 5, 1));
    scene.app.ws.settings.NumPixel2 = 3;
    scene.analyse();
    const StarRec& s = scene.star(1);
    EXPECT_EQ(s.Outline, "55551111");
    EXPECT_EQ(s.HankeiMin, 1.0f);  // the middle pixel (distance 0) is not measured
    EXPECT_EQ(s.HankeiMax, 2.0f);
    EXPECT_EQ(s.SinendoRatio, 2.0f);
    EXPECT_EQ(scene.cluster(1).Atr, kAtrCircular);  // ratio 2 equals Sinendo 2
}

TEST(Analysis, ARingTracesOnlyItsOuterBoundary) {
    auto ring = rect(5, 5, 5, 5);
    ring.erase({7, 7});
    Scene scene(20, 20, ring);
    scene.analyse();
    EXPECT_EQ(scene.star(1).Outline, "3333555577771111");
    EXPECT_EQ(scene.star(1).PixelCount, 24);
}

TEST(Analysis, ATraceBeyondTwoThousandStepsGetsFixedValues) {
    Scene scene(1300, 3, rect(10, 1, 1200, 1));
    scene.analyse();
    const StarRec& s = scene.star(1);
    EXPECT_EQ(s.Outline, "");
    EXPECT_EQ(s.HankeiAve, 5.0f);
    EXPECT_EQ(s.HankeiMax, 5.0f);
    EXPECT_EQ(s.HankeiMin, 5.0f);
    EXPECT_EQ(s.SinendoRatio, 1.0f);
    EXPECT_EQ(s.HankeiSD, 0.1f);
    EXPECT_EQ(scene.cluster(1).Atr, kAtrArea);  // 1200 pixels exceed the size limit
}

TEST(Analysis, ClassBoundaries) {
    struct Case {
        float numPixel, numPixel2, sinendo, sinendoMax;
        int hyotan;
        int16_t atr;
    };
    // The 3 x 3 square: 9 pixels, ratio sqrt(2).
    const Case cases[] = {
        {9, 9, 2, 30, 0, kAtrCircular},           // exactly NumPixel is not noise
        {10, 9, 2, 30, 0, kAtrNoise},             // fewer than NumPixel
        {5, 10, 2, 30, 0, kAtrArea},              // fewer than NumPixel2
        {5, 9, 1.4142135f, 30, 0, kAtrCircular},  // ratio equal to Sinendo
        {5, 9, 1, 1.4142135f, 0, kAtrElongated},  // ratio equal to SinendoMax
        {5, 9, 1, 30, 0, kAtrElongated},          // in between, no gourd split
        {5, 9, 1, 30, 1, kAtrCircular},           // in between, nothing to split: circular
    };
    // Drawn as the window does, and without drawing, where the classes are found on the
    // picture's threads.
    for (const bool drawn : {true, false})
        for (const auto& c : cases) {
            Scene scene(40, 40, rect(10, 10, 3, 3));
            if (!drawn) scene.app.frm.disableDrawing();
            auto& s = scene.app.ws.settings;
            s.NumPixel = c.numPixel, s.NumPixel2 = c.numPixel2, s.Sinendo = c.sinendo;
            s.SinendoMax = c.sinendoMax;
            scene.app.frm.chkHyotan.Value = c.hyotan;
            scene.analyse();
            EXPECT_EQ(scene.cluster(1).Atr, c.atr)
                << c.numPixel << " " << c.numPixel2 << " " << c.sinendo << " drawn " << drawn;
            EXPECT_EQ(scene.app.ws.StarAtrNo[0][c.atr], 1);
        }
    // 1000 pixels get the outline test, 1001 do not.
    for (int pixels : {1000, 1001}) {
        auto blob = rect(5, 5, 40, 25);
        if (pixels == 1001) blob.insert({45, 5});
        Scene scene(60, 40, blob, 250);  // above SikiTop: every pixel counts
        scene.app.frm.disableDrawing();
        scene.app.ws.settings.Sinendo = 20;
        scene.analyse();
        EXPECT_EQ(scene.star(1).PixelCount, pixels);
        EXPECT_EQ(scene.cluster(1).Atr, pixels == 1000 ? kAtrCircular : kAtrArea);
    }
}

TEST(Analysis, SectorsFollowTheScreenAngle) {
    struct Case {
        double dx, dy;
        int sector;
    };
    const Case cases[] = {{1, 0, 0},   {1, -1, 5}, {0, -1, 9}, {-1, -1, 13},  {-1, 0, 18},
                          {-1, 1, 22}, {0, 1, 27}, {1, 1, 31}, {1, 1e-300, 0}};  // 36 is 0
    for (const auto& c : cases) EXPECT_EQ(sectorOf(c.dx, c.dy), c.sector) << c.dx << "," << c.dy;
}

// Random clusters (diagonal steps, spurs, holes) traced by the real run and by the literal
// description: the same chain code, sector radii and statistics to the last bit.
TEST(Analysis, TheTraceMatchesTheLiteralDescriptionOnRandomClusters) {
    int compared = 0;
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        std::set<std::pair<int, int>> bright;
        test::Draws draw{seed};
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 36; ++x)
                if (draw(100) < 52) bright.insert({x, y});
        Scene scene(36, 24, bright);
        auto& set = scene.app.ws.settings;
        set.NumPixel = 1, set.NumPixel2 = 1, set.HeikinWidth = 0;
        set.Siki = 50;  // Level 100 over a background of itself: only SikiTop decides
        set.SikiTop = 99;
        scene.analyse();
        for (int32_t n = 1; n <= scene.app.ws.MaxStarNo; ++n, ++compared) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << " cluster " << n);
            const auto ref = test::referenceProfile(scene.app.ws, n, 0);
            const StarRec& s = scene.star(n);
            ASSERT_EQ(s.Outline, ref.outline);
            for (int k = 0; k < 36; ++k) ASSERT_EQ(s.Hankei[k], ref.hankei[k]) << k;
            ASSERT_EQ(s.HankeiAve, ref.ave);
            ASSERT_EQ(s.HankeiMax, ref.max);
            ASSERT_EQ(s.HankeiMin, ref.min);
            ASSERT_EQ(s.HankeiSD, ref.sd);
            ASSERT_EQ(s.SinendoRatio, ref.ratio);
        }
    }
    EXPECT_GT(compared, 500);
}

// A star in the first row, saved and read back: its 3 x 3 block around the centroid covers
// the map's border row, and the trace of a second analysis walks along it without reading
// outside the map.
TEST(Analysis, AStarInTheFirstRowIsTracedAgainAfterReadingItBack) {
    Scene scene(20, 10, rect(4, 0, 3, 1));
    scene.app.ws.settings.NumPixel = 1;
    scene.app.ws.settings.NumPixel2 = 1;
    scene.analyse();
    ASSERT_TRUE(results::OV_SaveData(scene.app.ctx));
    scene.app.host.fileAnswers.push_back(scene.app.dir.file("test.bmp.dir/test.bmp.dat"));
    results::cmdReadData_Click(scene.app.ctx);
    ASSERT_EQ(scene.app.ws.ProcStage, core::kStageRead);
    EXPECT_EQ(scene.app.ws.ClusterMap(6, 0), 1);  // the block reaches the border row
    results::cmdSaveData_Click(scene.app.ctx);
    cmdCenterCal_Click(scene.app.ctx);
    const auto ref = test::referenceProfile(scene.app.ws, 1, 0);
    EXPECT_EQ(scene.star(1).Outline, ref.outline);
    EXPECT_EQ(scene.star(1).Outline, "35577113");
    EXPECT_EQ(scene.app.ws.ProcStage, core::kStageAnalysed);
}

// The centroid sums of every star, bit for bit.
std::vector<std::array<float, 5>> centroidSums(const core::Workspace& ws) {
    std::vector<std::array<float, 5>> sums;
    for (int32_t n = 1; n <= ws.MaxStarNo; ++n) {
        const StarRec& s = ws.Stars[n];
        sums.push_back({s.SumX, s.SumY, static_cast<float>(s.PixelCount), s.SumLevel, s.MaxLevel});
    }
    return sums;
}

// Single-precision sums far from the origin round at every step, so only the raster order
// gives these bits. Three bands of 12 rows: a large cluster crosses both band edges, small ones
// lie inside and across them. After reading back, the 3 x 3 block of a one-row cluster on the
// first row of a band reaches above its seed row into the band before, onto faint pixels
// whose sums round otherwise when added last: the bands leave that map to the row-by-row pass.
TEST(Analysis, CentroidsSummedInBandsAreTheRowByRowSums) {
    std::set<std::pair<int, int>> bright = rect(3000, 4, 70, 26);
    for (const auto& r :
         {rect(3090, 10, 4, 4), rect(3100, 22, 5, 5), rect(39990, 12, 3, 1), rect(10, 1, 2, 2)})
        bright.insert(r.begin(), r.end());
    const std::set<std::pair<int, int>> faint = rect(39985, 11, 12, 1);
    const form::Picture picture = test::greyPicture(40000, 36, [&](int x, int y) {
        return bright.count({x, y}) ? 60 + (x * 7 + y * 13) % 190 : faint.count({x, y}) ? 2 : 0;
    });
    for (const bool readBack : {false, true}) {
        SCOPED_TRACE(readBack ? "read back" : "detected");
        std::vector<std::vector<std::array<float, 5>>> sums;
        for (const int workers : {1, 3}) {
            TestApp app;
            control::Form_Load(app.ctx);
            test::typicalSettings(app.ws.settings);
            app.ws.settings.NumPixel = app.ws.settings.NumPixel2 = 1;
            ASSERT_TRUE(test::loadPicture(app, picture));
            app.frm.disableDrawing();
            app.ws.PictureWorkers = workers;
            input::cmdIdoHeikin_Click(app.ctx);
            input::cmdPickup_Click(app.ctx);
            cmdCenterCal_Click(app.ctx);
            if (readBack) {
                ASSERT_TRUE(results::OV_SaveData(app.ctx));
                app.host.fileAnswers.push_back(app.dir.file("test.bmp.dir/test.bmp.dat"));
                results::cmdReadData_Click(app.ctx);
                ASSERT_EQ(app.ws.ProcStage, core::kStageRead);
                cmdCenterCal_Click(app.ctx);
            }
            ASSERT_GE(app.ws.MaxStarNo, 6);
            sums.push_back(centroidSums(app.ws));
        }
        EXPECT_TRUE(sums[0] == sums[1]);
    }
}

}  // namespace
}  // namespace orv::extract
