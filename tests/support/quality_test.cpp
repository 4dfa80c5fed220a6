#include "bench/quality.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "extract/numbering.h"
#include "extract/records.h"

namespace orv::bench {
namespace {

TEST(QualityMatch, NearestPairsFirstOneToOneWithinTheRadius) {
    const struct {
        const char* what;
        std::vector<Point> stars, results;
        std::vector<int> expected;
    } cases[] = {
        // Star 0 would take the result first in star order, but star 1 is nearer to it.
        {"nearest first", {{10, 10}, {11, 10}}, {{10.8, 10}}, {-1, 0}},
        {"each star its nearest", {{10, 10}, {11.2, 10}}, {{10.9, 10}, {10.2, 10}}, {1, 0}},
        {"one result per star", {{5, 5}}, {{5.5, 5}, {5.1, 5}}, {1}},
        {"the radius is inclusive", {{0, 0}, {20, 20}}, {{1.5, 0}, {21.07, 21.07}}, {0, -1}},
        {"far apart", {{3, 3}}, {{30, 3}}, {-1}},
        {"no results", {{3, 3}}, {}, {-1}},
    };
    for (const auto& c : cases) EXPECT_EQ(matchOneToOne(c.stars, c.results), c.expected) << c.what;
}

TrueStar star(double x, double y, double flux, int pairId = -1) {
    TrueStar s;
    s.x = x;
    s.y = y;
    s.flux = flux;
    s.pairId = pairId;
    return s;
}

TEST(QualityMatch, FiguresOfAHandMadeCatalogue) {
    // 0, 1 a close pair; 2 and 3 single but 6 px apart (not isolated); 4..7 isolated. The
    // faintest quartile is stars 5 and 3; the brightest isolated tenth is star 7 alone.
    const std::vector<TrueStar> truth = {
        star(100, 100, 500, 0), star(103, 100, 400, 0), star(200, 200, 300), star(206, 200, 50),
        star(300, 300, 600),    star(400, 400, 40),     star(500, 500, 700), star(600, 600, 900),
    };
    const std::vector<Point> results = {
        {103.4, 100.2},  // star 1
        {201, 200},      // star 2
        {300.2, 300.1},  // star 4
        {600.3, 599.6},  // star 7
        {700, 700},      // nothing
        {101.6, 100},    // between 0 and 1: too far from 0, and 1 took a nearer result
    };
    const QualityFigures q = assess(truth, results);
    EXPECT_EQ(q.stars, 8);
    EXPECT_EQ(q.found, 4);
    EXPECT_EQ(q.isolated, 4);
    EXPECT_EQ(q.foundIsolated, 2);
    EXPECT_EQ(q.pairMembers, 2);
    EXPECT_EQ(q.foundPairMembers, 1);
    EXPECT_EQ(q.faint, 2);
    EXPECT_EQ(q.foundFaint, 0);
    EXPECT_EQ(q.results, 6);
    EXPECT_EQ(q.falseResults, 2);
    EXPECT_DOUBLE_EQ(q.falseRate(), 2.0 / 6);
    EXPECT_EQ(q.brightFound, 1);
    EXPECT_NEAR(q.rms, 0.5, 1e-9);
    EXPECT_NEAR(q.biasX, 0.3, 1e-9);
    EXPECT_NEAR(q.biasY, -0.4, 1e-9);
}

TEST(QualityMatch, NoiseResultsCountAsNotDetected) {
    core::Workspace ws;
    extract::resetTables(ws);
    const struct {
        int16_t atr, divided, used;
    } clusters[] = {{extract::kAtrCircular, 0, -1},
                    {extract::kAtrNoise, 0, -1},
                    {extract::kAtrArea, -1, -1},
                    {extract::kAtrElongated, 0, 0},
                    {extract::kAtrArea, 0, -1}};
    for (const auto& c : clusters) {
        const int32_t n = extract::OV_GetNewStarNo(ws);
        ws.Clusters[n].Atr = c.atr;
        ws.Clusters[n].Divided = c.divided;
        ws.Clusters[n].Used = c.used;
        ws.Stars[n].CenterX = static_cast<float>(10 * n);
    }
    const auto points = resultsOf(ws);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0].x, 10.0);
    EXPECT_EQ(points[1].x, 50.0);
}

}  // namespace
}  // namespace orv::bench
