#include "view/display_stretch.h"

#include <gtest/gtest.h>

#include <cmath>

namespace orv::view {
namespace {

TEST(DisplayStretch, CurvesMapTheLevelsBetweenTheBlackAndWhitePoints) {
    // The standard stretch is the identity.
    const StretchTable identity = stretchTable({});
    for (int v = 0; v < 256; ++v) ASSERT_EQ(identity[v], v);
    // grey = round(255 curve(t)), t = (v - 20) / 80 clamped: references from the formulas.
    const struct {
        StretchCurve curve;
        int level;
        int grey;
    } cases[] = {
        {StretchCurve::Linear, 0, 0},     {StretchCurve::Linear, 20, 0},
        {StretchCurve::Linear, 60, 128},  {StretchCurve::Linear, 100, 255},
        {StretchCurve::Linear, 200, 255}, {StretchCurve::Sqrt, 40, 128},  // sqrt(.25) = .5
        {StretchCurve::Asinh, 28, 75},                                    // t = .1
        {StretchCurve::Log, 28, 170},  // log10(101) / log10(1001) = .66803
        {StretchCurve::Asinh, 100, 255},  {StretchCurve::Log, 19, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.curve) << " " << c.level);
        EXPECT_EQ(stretchTable({c.curve, 20, 100})[c.level], c.grey);
    }
    // Points out of order or range are brought into 0..255, black below white.
    EXPECT_EQ(stretchTable({StretchCurve::Linear, 300, 10})[255], 255);
    EXPECT_EQ(stretchTable({StretchCurve::Linear, 300, 10})[253], 0);
}

TEST(DisplayStretch, PercentilesOfTheLevels) {
    LevelHistogram h{};
    h[10] = 50;  // half the pixels at 10, then 40 at 100, 10 at 250
    h[100] = 40;
    h[250] = 10;
    const struct {
        double percent;
        int level;
    } cases[] = {{0, 10}, {50, 10}, {50.5, 100}, {90, 100}, {90.5, 250}, {100, 250}};
    for (const auto& c : cases) EXPECT_EQ(levelAtPercent(h, c.percent), c.level) << c.percent;
    EXPECT_DOUBLE_EQ(percentAtLevel(h, 99), 50);
    EXPECT_DOUBLE_EQ(percentAtLevel(h, 255), 100);
    EXPECT_EQ(levelAtPercent(LevelHistogram{}, 50), 0);
}

TEST(DisplayStretch, AppliedToEachChannel) {
    const StretchTable t = stretchTable({StretchCurve::Linear, 100, 200});
    const uint32_t from[2] = {0xff0a96c8u, 0xff64c8ffu};  // (10, 150, 200), (100, 200, 255)
    uint32_t to[2] = {};
    applyStretch(t, from, to, 2);
    EXPECT_EQ(to[0], 0xff0080ffu);  // 0, round(127.5) = 128, 255
    EXPECT_EQ(to[1], 0xff00ffffu);
}

}  // namespace
}  // namespace orv::view
