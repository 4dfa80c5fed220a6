#include "input/clusters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "control/startup.h"
#include "extract/reference_fill.h"
#include "input/background.h"
#include "support/pictures.h"

namespace orv::input {
namespace {

using test::TestApp;

using test::Draws;

// The form loaded, then a w x h grey picture whose levels `level()` gives in raster order.
bool loadGrey(TestApp& app, int w, int h, const std::function<uint32_t()>& level) {
    control::Form_Load(app.ctx);
    return test::loadPicture(
        app, test::greyPicture(w, h, [&](int, int) { return static_cast<int>(level()); }));
}

// The clusters the real scan left in `app` against the literal scan and recursive fill of the
// same picture and background: the same count, FillOK and map. Returns the pixels labelled.
int checkAgainstLiteralScan(TestApp& app) {
    const auto map = app.ws.ClusterMap;
    const int32_t count = app.ws.MaxStarNo;
    std::vector<int16_t> refOK;
    test::referenceClusters(app.ws, refOK);
    EXPECT_EQ(count, static_cast<int32_t>(refOK.size()) - 1);
    if (count != static_cast<int32_t>(refOK.size()) - 1) return 0;
    for (int32_t n = 1; n <= count; ++n) EXPECT_EQ(app.ws.Clusters[n].FillOK, refOK[n]) << n;
    int labelled = 0;
    for (int y = map.yLo(); y <= map.yHi(); ++y)
        for (int x = map.xLo(); x <= map.xHi(); ++x) {
            if (map(x, y) != app.ws.ClusterMap(x, y)) {
                ADD_FAILURE() << "first different pixel " << x << "," << y;
                return labelled;
            }
            labelled += map(x, y) != 0;
        }
    return labelled;
}

// The real cluster step against the literal scan and recursive fill, on random pictures whose
// backgrounds lie just below, exactly at (where a Single can hold it) and just above
// Level - Siki (never below 0, as no mean of levels is), for whole and fractional thresholds
// and upper thresholds on and between levels.
TEST(Clusters, TheRealScanMatchesTheLiteralOneAtEveryThresholdEdge) {
    const float sikis[] = {0.0f, 4.0f, 4.3f, 0.1f, 7.75f, 254.9f};
    const float tops[] = {240.0f, 100.5f, 255.0f};
    Draws rnd{11};
    int runs = 0, bright = 0;
    for (float siki : sikis)
        for (float top : tops)
            for (int round = 0; round < 4; ++round, ++runs) {
                SCOPED_TRACE(testing::Message()
                             << "Siki " << siki << " SikiTop " << top << " #" << round);
                const int w = 12 + static_cast<int>(rnd(20)), h = 6 + static_cast<int>(rnd(14));
                TestApp app;
                ASSERT_TRUE(
                    loadGrey(app, w, h, [&] { return rnd(4) == 0 ? 230 + rnd(26) : rnd(256); }));
                app.ws.settings.Siki = siki;
                app.ws.settings.SikiTop = top;
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        const double edge = app.ws.PixelLevel.Level(x + 1, y + 1) - double{siki};
                        const float near = static_cast<float>(edge);
                        float b = near;  // exactly at the edge when a Single holds it
                        switch (rnd(4)) {
                            case 0:
                                b = std::nextafter(near, -INFINITY);
                                break;
                            case 1:
                                b = std::nextafter(near, INFINITY);
                                break;
                            case 2:
                                b = static_cast<float>(rnd(256));
                                break;
                            default:
                                break;
                        }
                        // Backgrounds are means of levels: never below 0.
                        app.ws.BackLevel(x, y) = std::max(b, 0.0f);
                    }
                cmdPickup_Click(app.ctx);
                bright += checkAgainstLiteralScan(app);
            }
    EXPECT_GT(bright, runs * 20);
}

// A picture of more rows than the scan works out bright pixels for at a time, on one and on
// three threads, against the literal scan.
TEST(Clusters, AScanOfManyRowsMatchesTheLiteralOneOnAnyNumberOfThreads) {
    Draws rnd{5};
    const int w = 11, h = 2300;
    for (const int workers : {1, 3}) {
        SCOPED_TRACE(workers);
        TestApp app;
        ASSERT_TRUE(loadGrey(app, w, h, [&] { return rnd(3) == 0 ? 200 : rnd(40); }));
        app.ws.settings.Siki = 30;
        app.ws.settings.SikiTop = 240;
        app.ws.PictureWorkers = workers;
        cmdPickup_Click(app.ctx);
        EXPECT_GT(app.ws.MaxStarNo, 1000);
        checkAgainstLiteralScan(app);
    }
}

// Where nothing is drawn the background step finds the bright pixels as its rows come, and the
// scan and the fill take them: against the literal scan on that background, for whole and
// fractional thresholds; a threshold changed after the step leaves them unused.
TEST(Clusters, BrightPixelsFoundWithTheBackgroundGiveTheLiteralScan) {
    Draws rnd{29};
    for (const float siki : {0.0f, 4.0f, 4.3f, 0.1f, 7.75f})
        for (const float top : {240.0f, 100.5f})
            for (const bool changed : {false, true}) {
                SCOPED_TRACE(testing::Message() << "Siki " << siki << " SikiTop " << top
                                                << (changed ? ", changed" : ""));
                const int w = 40 + static_cast<int>(rnd(30)), h = 30 + static_cast<int>(rnd(20));
                TestApp app;
                ASSERT_TRUE(
                    loadGrey(app, w, h, [&] { return rnd(5) == 0 ? 150 + rnd(106) : rnd(30); }));
                app.frm.disableDrawing();
                app.ws.PictureWorkers = 2;
                app.ws.settings.HeikinWidth = 2;
                app.ws.settings.Siki = siki;
                app.ws.settings.SikiTop = top;
                cmdIdoHeikin_Click(app.ctx);
                EXPECT_TRUE(brightPixelsHold(app.ws, siki, top));
                if (changed) app.ws.settings.Siki = siki + 0.5f;
                cmdPickup_Click(app.ctx);
                EXPECT_TRUE(app.ws.BrightPixels.bits.empty());
                EXPECT_GT(app.ws.MaxStarNo, 10);
                checkAgainstLiteralScan(app);
            }
}

}  // namespace
}  // namespace orv::input
