#include "extract/numbering.h"

#include <gtest/gtest.h>

#include "control/startup.h"
#include "extract/records.h"
#include "extract/reference_fill.h"
#include "input/background.h"
#include "input/clusters.h"
#include "support/pictures.h"

namespace orv::extract {
namespace {

using test::TestApp;

// A random picture: each pixel bright (200) with the given chance, else dark (0).
form::Picture randomPicture(int w, int h, int percentBright, uint32_t seed) {
    test::Draws draw{seed};
    return test::greyPicture(
        w, h, [&](int, int) { return static_cast<int>(draw(100)) < percentBright ? 200 : 0; });
}

// The fast fill, scanning like cluster extraction but with a chosen depth limit.
std::vector<int16_t> fastClusters(TestApp& app) {
    return test::scanClusters(app.ws, [&](int x, int y, int32_t n) {
        int16_t ok = -1;
        OV_FindStar(app.ctx, x, y, {n, app.ws.settings.Siki, app.ws.settings.SikiTop, 0, nullptr},
                    ok);
        return ok;
    });
}

TEST(FloodFill, LabelsAndCountsDepthExactlyAsTheRecursiveFill) {
    TestApp app;
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        const int w = 3 + seed % 13, h = 2 + seed % 11;
        ASSERT_TRUE(test::loadPicture(app, randomPicture(w, h, 45 + seed % 30, seed)));
        app.ws.settings.Siki = 4;
        app.ws.settings.SikiTop = 240;
        for (int limit : {0, 1, 2, 3, 5, 9, 3500}) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << " limit " << limit);
            app.ws.FillDepthLimit = limit;
            app.ws.FillDepthMax = 0;
            std::vector<int16_t> refOK;
            test::referenceClusters(app.ws, refOK);
            const auto refMap = app.ws.ClusterMap;
            const int refDepth = app.ws.FillDepthMax;
            app.ws.FillDepthMax = 0;
            auto fastOK = fastClusters(app);
            ASSERT_EQ(fastOK, refOK);
            ASSERT_EQ(app.ws.FillDepthMax, refDepth);
            for (int y = 0; y <= h + 1; ++y)
                for (int x = 0; x <= w + 1; ++x) ASSERT_EQ(app.ws.ClusterMap(x, y), refMap(x, y));
        }
    }
}

TEST(FloodFill, ALongLineStopsAtTheDepthLimit) {
    TestApp app;
    control::Form_Load(app.ctx);
    test::typicalSettings(app.ws.settings);
    ASSERT_TRUE(test::loadPicture(app, test::greyPicture(4004, 3, [](int x, int y) {
                                      return y == 1 && x >= 2 && x < 4002 ? 250 : 0;
                                  })));
    input::cmdIdoHeikin_Click(app.ctx);
    input::cmdPickup_Click(app.ctx);
    auto& ws = app.ws;
    // The calls nest 3501 deep; the next one is abandoned after its pixel was labelled.
    EXPECT_EQ(ws.Clusters[1].FillOK, 0);
    EXPECT_EQ(ws.FillDepthMax, 3501);
    int first = 0;
    for (int x = 1; x <= 4004; ++x) first += ws.ClusterMap(x, 2) == 1;
    EXPECT_EQ(first, 3502);
    // The rest of the line becomes a second cluster, seeded where the first one ended.
    EXPECT_EQ(ws.MaxStarNo, 2);
    EXPECT_EQ(ws.Clusters[2].StartX, 3 + 3502);
    EXPECT_EQ(ws.Clusters[2].FillOK, -1);
    // The same with the literal recursion.
    std::vector<int16_t> refOK;
    ws.FillDepthMax = 0;
    const auto fastMap = ws.ClusterMap;
    test::referenceClusters(ws, refOK);
    EXPECT_EQ(refOK, (std::vector<int16_t>{0, 0, -1}));
    for (int x = 0; x <= 4005; ++x) ASSERT_EQ(ws.ClusterMap(x, 2), fastMap(x, 2));
}

TEST(FloodFill, BrightnessIsStrictAndDiagonalsStayApart) {
    TestApp app;
    control::Form_Load(app.ctx);
    // Background 10 everywhere but the tested pixels; Siki 4 and SikiTop 240.
    ASSERT_TRUE(test::loadPicture(
        app, test::textPicture({"#.....", ".#....", "......", "......"}, 15, 10)));
    auto& ws = app.ws;
    ws.settings.Siki = 4;
    ws.settings.SikiTop = 240;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) ws.BackLevel(x, y) = 10.0f;
    auto levels = [&](int a, int b) {
        ws.PixelLevel.plane(core::kChannelB)(4, 3) = static_cast<uint8_t>(a);
        ws.PixelLevel.plane(core::kChannelB)(5, 4) = static_cast<uint8_t>(b);
    };
    levels(14, 0);  // exactly at Siki + background: not bright
    input::cmdPickup_Click(app.ctx);
    EXPECT_EQ(ws.MaxStarNo, 2);  // the two diagonal pixels are two clusters
    EXPECT_EQ(ws.ClusterMap(1, 1), 1);
    EXPECT_EQ(ws.ClusterMap(2, 2), 2);
    // SikiTop decides even over a background higher than the pixel, strictly.
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) ws.BackLevel(x, y) = 250.0f;
    levels(15, 240);
    input::cmdPickup_Click(app.ctx);
    EXPECT_EQ(ws.MaxStarNo, 0);
    levels(15, 241);
    input::cmdPickup_Click(app.ctx);
    EXPECT_EQ(ws.MaxStarNo, 1);
    EXPECT_EQ(ws.ClusterMap(5, 4), 1);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) ws.BackLevel(x, y) = 10.0f;
    input::cmdPickup_Click(app.ctx);
    EXPECT_EQ(ws.MaxStarNo, 4);  // 15 > 10 + 4 now counts
}

TEST(Numbering, ReusesTheLowestFreeNumberAndKeepsItsNote) {
    TestApp app;
    auto& ws = app.ws;
    for (int i = 1; i <= 120; ++i) ASSERT_EQ(OV_GetNewStarNo(ws), i);
    ws.Clusters[7].Note = "二重星";
    ws.Clusters[7].Atr = 3;
    ws.Stars[7].Spare2 = 1.5f;
    ws.Stars[7].PixelCount = 40;
    freeStarNo(ws, 7);
    freeStarNo(ws, 30);
    EXPECT_EQ(OV_GetNewStarNo(ws), 7);
    EXPECT_EQ(ws.Clusters[7].Note, "二重星");
    EXPECT_EQ(ws.Clusters[7].Atr, 0);
    EXPECT_EQ(ws.Clusters[7].Used, -1);
    EXPECT_EQ(ws.Stars[7].PixelCount, 0);
    EXPECT_EQ(ws.Stars[7].Spare2, 1.5f);
    EXPECT_EQ(OV_GetNewStarNo(ws), 30);
    EXPECT_EQ(OV_GetNewStarNo(ws), 121);
    EXPECT_EQ(ws.MaxStarNo, 121);
}

TEST(Numbering, AFullTableGivesMinusOne) {
    TestApp app;
    auto& ws = app.ws;
    for (int i = 1; i <= kMaxStarNo; ++i) ASSERT_EQ(OV_GetNewStarNo(ws), i);
    EXPECT_EQ(OV_GetNewStarNo(ws), -1);
    freeStarNo(ws, 49999);
    EXPECT_EQ(OV_GetNewStarNo(ws), 49999);
    EXPECT_EQ(OV_GetNewStarNo(ws), -1);
}

TEST(Numbering, ColoursAndTheMapAroundCentroids) {
    EXPECT_EQ(OV_GetClasterColor(4), form::RGB(255, 0, 0));
    EXPECT_EQ(OV_GetClasterColor(5), form::RGB(0, 255, 0));
    EXPECT_EQ(OV_GetClasterColor(6), form::RGB(0, 0, 255));
    EXPECT_EQ(OV_GetClasterColor(7), form::RGB(255, 255, 255));

    TestApp app;
    auto& ws = app.ws;
    ws.ImageWidthP = 10;
    ws.ImageHeightP = 8;
    for (int i = 1; i <= 4; ++i) OV_GetNewStarNo(ws);
    ws.Stars[1].CenterX = 4.5f, ws.Stars[1].CenterY = 3.2f;     // pixel (5, 4)
    ws.Stars[2].CenterX = 0.1f, ws.Stars[2].CenterY = 7.9f;     // at the corner
    ws.Stars[3].CenterX = 500.0f, ws.Stars[3].CenterY = -9.0f;  // off the picture
    ws.Clusters[4].Divided = -1;
    ws.Stars[4].CenterX = 5.5f, ws.Stars[4].CenterY = 3.5f;
    OV_SetStarNo(ws);
    int labelled = 0;
    for (int y = 0; y <= 9; ++y)
        for (int x = 0; x <= 11; ++x) labelled += ws.ClusterMap(x, y) != 0;
    EXPECT_EQ(labelled, 9 + 9);
    for (int y = 3; y <= 5; ++y)
        for (int x = 4; x <= 6; ++x) EXPECT_EQ(ws.ClusterMap(x, y), 1);
    EXPECT_EQ(ws.ClusterMap(0, 9), 2);
    EXPECT_EQ(ws.ClusterMap(7, 4), 0);
}

}  // namespace
}  // namespace orv::extract
