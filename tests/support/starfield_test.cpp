#include "bench/starfield.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

namespace orv::bench {
namespace {

int level(const StarField& f, int x, int y, int c) {
    return f.rgb[(static_cast<size_t>(y) * f.width + x) * 3 + c];
}

// A sparse field without noise, so every pixel is known up to rounding.
FieldSpec quietParams() {
    FieldSpec s;
    s.width = 160;
    s.height = 120;
    s.seed = 11;
    s.sky = 30.0;
    s.skyGradientX = 0.03;  // non-integer sky, so rounding does not always cut the same way
    s.skyGradientY = -0.02;
    s.noiseSigma = 0.0;
    s.starCount = 12;
    s.margin = 20.0;
    return s;
}

// A sky whose fractional part changes quickly from pixel to pixel, so that rounding errors
// cancel over a star's box instead of adding up.
void scrambleSkyFractions(FieldSpec& s) {
    s.skyGradientX = 0.137;
    s.skyGradientY = 0.091;
}

// True when no other star comes within `reach` sigma of this one.
bool isolated(const std::vector<TrueStar>& stars, size_t k, double reach) {
    for (size_t j = 0; j < stars.size(); ++j) {
        if (j == k) continue;
        const double d = std::hypot(stars[j].x - stars[k].x, stars[j].y - stars[k].y);
        if (d < reach * (stars[j].sigma + stars[k].sigma)) return false;
    }
    return true;
}

TEST(StarFieldRng, NormalDeviatesFollowTheStandardNormal) {
    Rng rng(2024);
    constexpr int kCount = 1'000'000;
    // Two-sided tail probabilities P(|z| > t); 3.5 lies beyond the ziggurat's base strip.
    struct Tail {
        double t, p;
    };
    const Tail tails[] = {
        {0.5, 0.617075}, {1.0, 0.317311}, {2.0, 0.0455003}, {3.0, 0.0026998}, {3.5, 0.000465}};
    std::vector<int> beyond(std::size(tails), 0);
    double sum = 0.0, sumSq = 0.0;
    int negative = 0;
    for (int k = 0; k < kCount; ++k) {
        const double z = rng.normal();
        sum += z;
        sumSq += z * z;
        negative += z < 0.0;
        for (size_t t = 0; t < std::size(tails); ++t) beyond[t] += std::abs(z) > tails[t].t;
    }
    EXPECT_NEAR(sum / kCount, 0.0, 0.005);
    EXPECT_NEAR(sumSq / kCount, 1.0, 0.01);
    EXPECT_NEAR(static_cast<double>(negative) / kCount, 0.5, 0.003);
    for (size_t t = 0; t < std::size(tails); ++t) {
        const double expected = tails[t].p * kCount;
        // Five standard deviations of the count.
        EXPECT_NEAR(beyond[t], expected, 5.0 * std::sqrt(expected) + 1.0) << "t = " << tails[t].t;
    }
}

TEST(StarFieldRng, UniformAndLogUniformStayInRange) {
    Rng rng(7);
    int belowGeometricMean = 0;
    for (int k = 0; k < 100'000; ++k) {
        const double u = rng.uniform(-2.0, 3.0);
        ASSERT_GE(u, -2.0);
        ASSERT_LT(u, 3.0);
        const double g = rng.logUniform(4.0, 400.0);
        ASSERT_GE(g, 4.0);
        ASSERT_LT(g, 400.0);
        belowGeometricMean += g < 40.0;
    }
    // Log-uniform: half the values lie below the geometric mean of the range.
    EXPECT_NEAR(belowGeometricMean / 100'000.0, 0.5, 0.01);
}

TEST(StarField, SameSeedGivesSameBytesOtherSeedDiffers) {
    const FieldSpec params = denseField(200, 150, 120, 5);
    const StarField a = generateStarField(params);
    const StarField b = generateStarField(params);
    EXPECT_EQ(a.rgb, b.rgb);
    ASSERT_EQ(a.stars.size(), 120u);
    FieldSpec other = params;
    other.seed = 6;
    const StarField c = generateStarField(other);
    EXPECT_NE(a.rgb, c.rgb);
    EXPECT_NE(a.stars.front().x, c.stars.front().x);
}

TEST(StarField, CatalogueDoesNotDependOnNoiseOrColour) {
    FieldSpec params = denseField(200, 150, 60, 9);
    const StarField base = generateStarField(params);
    params.noiseSigma = 0.0;
    params.colour = false;
    const StarField plain = generateStarField(params);
    ASSERT_EQ(base.stars.size(), plain.stars.size());
    for (size_t k = 0; k < base.stars.size(); ++k) {
        EXPECT_EQ(base.stars[k].x, plain.stars[k].x);
        EXPECT_EQ(base.stars[k].flux, plain.stars[k].flux);
    }
}

// The rendered pixels agree with a slow reference that integrates each star over each pixel
// by 16 x 16 sub-samples. This pins the pixel convention (pixel (0, 0) covers 0..1) and the
// integration for sigma well below a pixel.
TEST(StarField, PixelsMatchASubsampledReference) {
    for (const auto& [sigmaMin, sigmaMax] : {std::pair{0.5, 0.9}, std::pair{1.5, 3.0}}) {
        SCOPED_TRACE("sigma " + std::to_string(sigmaMin));
        FieldSpec params = quietParams();
        params.sigmaMin = sigmaMin;
        params.sigmaMax = sigmaMax;
        params.peakMin = 20.0;
        params.peakMax = 200.0;
        const StarField f = generateStarField(params);

        constexpr int kSub = 16;
        int worst = 0;
        for (int y = 0; y < f.height; ++y) {
            for (int x = 0; x < f.width; ++x) {
                double v = skyAt(params, x, y);
                for (const TrueStar& s : f.stars) {
                    if (std::abs(x + 0.5 - s.x) > 6 * s.sigma + 1) continue;
                    if (std::abs(y + 0.5 - s.y) > 6 * s.sigma + 1) continue;
                    double sum = 0.0;
                    for (int j = 0; j < kSub; ++j) {
                        for (int i = 0; i < kSub; ++i) {
                            const double dx = x + (i + 0.5) / kSub - s.x;
                            const double dy = y + (j + 0.5) / kSub - s.y;
                            sum += std::exp(-(dx * dx + dy * dy) / (2 * s.sigma * s.sigma));
                        }
                    }
                    v += s.peak * sum / (kSub * kSub);
                }
                const int expected = static_cast<int>(std::clamp(std::floor(v + 0.5), 0.0, 255.0));
                worst = std::max(worst, std::abs(level(f, x, y, 1) - expected));
            }
        }
        EXPECT_LE(worst, 1);
    }
}

TEST(StarField, IsolatedStarHoldsItsFluxInEveryChannel) {
    for (const bool colour : {false, true}) {
        for (const auto& [sigmaMin, sigmaMax] : {std::pair{0.6, 1.0}, std::pair{2.0, 3.0}}) {
            SCOPED_TRACE(std::string(colour ? "colour" : "grey") + ", sigma " +
                         std::to_string(sigmaMin));
            FieldSpec params = quietParams();
            params.width = 400;
            params.height = 300;
            params.sky = 50.0;
            scrambleSkyFractions(params);
            params.colour = colour;
            params.sigmaMin = sigmaMin;
            params.sigmaMax = sigmaMax;
            // Bright enough that rounding each pixel costs well under 3 % of the flux.
            params.peakMin = 100.0;
            params.peakMax = 130.0;
            const StarField f = generateStarField(params);
            int checked = 0;
            for (size_t k = 0; k < f.stars.size(); ++k) {
                const TrueStar& s = f.stars[k];
                if (!isolated(f.stars, k, 5.0) || s.saturated) continue;
                const int r = static_cast<int>(std::ceil(5 * s.sigma));
                const int cx = static_cast<int>(s.x), cy = static_cast<int>(s.y);
                for (int c = 0; c < 3; ++c) {
                    double sum = 0.0;
                    for (int y = cy - r; y <= cy + r; ++y)
                        for (int x = cx - r; x <= cx + r; ++x)
                            sum += level(f, x, y, c) - skyAt(params, x, y);
                    EXPECT_NEAR(sum, s.flux * s.tint[c], 0.03 * s.flux * s.tint[c])
                        << "star " << k << " channel " << c;
                }
                if (colour) {
                    EXPECT_NE(s.tint[0], s.tint[2]);
                }
                ++checked;
            }
            EXPECT_GE(checked, 3);
        }
    }
}

TEST(StarField, SkyFollowsGradientAndNoiseHasRequestedSigma) {
    for (const bool colour : {false, true}) {
        SCOPED_TRACE(colour ? "colour" : "grey");
        FieldSpec params = quietParams();
        params.width = params.height = 300;
        params.starCount = 0;
        params.noiseSigma = 3.0;
        params.colour = colour;
        const StarField f = generateStarField(params);
        double sum = 0.0, sumSq = 0.0;
        bool channelsDiffer = false;
        for (int y = 0; y < f.height; ++y) {
            for (int x = 0; x < f.width; ++x) {
                const double d = level(f, x, y, 1) - skyAt(params, x, y);
                sum += d;
                sumSq += d * d;
                channelsDiffer |= level(f, x, y, 0) != level(f, x, y, 1) ||
                                  level(f, x, y, 2) != level(f, x, y, 1);
            }
        }
        const double n = static_cast<double>(f.width) * f.height;
        EXPECT_NEAR(sum / n, 0.0, 0.05);
        // Rounding adds a variance of 1/12.
        EXPECT_NEAR(std::sqrt(sumSq / n), std::sqrt(9.0 + 1.0 / 12.0), 0.05);
        EXPECT_EQ(channelsDiffer, colour);
    }
}

TEST(StarField, SaturatedStarsReach255AndOthersDoNot) {
    FieldSpec params = quietParams();
    params.width = params.height = 400;
    params.starCount = 40;
    params.saturatedCount = 8;
    params.noiseSigma = 2.0;
    params.colour = true;
    const StarField f = generateStarField(params);
    for (size_t k = 0; k < f.stars.size(); ++k) {
        const TrueStar& s = f.stars[k];
        const bool drawnSaturated = k < static_cast<size_t>(params.saturatedCount);
        if (drawnSaturated) {
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(level(f, static_cast<int>(s.x), static_cast<int>(s.y), c), 255)
                    << "star " << k;
            EXPECT_TRUE(s.saturated) << "star " << k;
        } else if (isolated(f.stars, k, 4.0)) {
            EXPECT_FALSE(s.saturated) << "star " << k;
        }
    }
}

TEST(StarField, PairMembersLieAtTheRequestedSeparation) {
    for (const auto& [lo, hi] : {std::pair{2.5, 4.0}, std::pair{3.0, 3.0}, std::pair{6.0, 8.0}}) {
        SCOPED_TRACE("separation " + std::to_string(lo) + ".." + std::to_string(hi));
        FieldSpec params = quietParams();
        params.width = params.height = 400;
        params.starCount = 50;
        params.pairCount = 20;
        params.pairSeparationMin = lo;
        params.pairSeparationMax = hi;
        const StarField f = generateStarField(params);
        for (int id = 0; id < params.pairCount; ++id) {
            const TrueStar& a = f.stars[2 * id];
            const TrueStar& b = f.stars[2 * id + 1];
            ASSERT_EQ(a.pairId, id);
            ASSERT_EQ(b.pairId, id);
            EXPECT_EQ(a.sigma, b.sigma);
            EXPECT_LE(b.peak, a.peak);
            const double sep = std::hypot(a.x - b.x, a.y - b.y) / a.sigma;
            EXPECT_GE(sep, lo - 1e-9);
            EXPECT_LE(sep, hi + 1e-9);
        }
        for (size_t k = 2 * params.pairCount; k < f.stars.size(); ++k)
            EXPECT_EQ(f.stars[k].pairId, -1);
    }
}

// A pair is a gourd: the pixel at the middle of the pair is fainter than the brightest pixel
// of each member.
TEST(StarField, PairsShowAWaistBetweenTheirPeaks) {
    FieldSpec params = quietParams();
    params.width = params.height = 400;
    params.starCount = 40;
    params.pairCount = 20;
    params.sigmaMin = 1.5;
    params.sigmaMax = 2.5;
    const StarField f = generateStarField(params);
    auto brightestNear = [&](double x, double y) {
        int best = 0;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                best =
                    std::max(best, level(f, static_cast<int>(x) + dx, static_cast<int>(y) + dy, 1));
        return best;
    };
    int checked = 0;
    for (int id = 0; id < params.pairCount; ++id) {
        const TrueStar& a = f.stars[2 * id];
        const TrueStar& b = f.stars[2 * id + 1];
        const bool crowded = std::any_of(f.stars.begin(), f.stars.end(), [&](const TrueStar& s) {
            return s.pairId != id && std::hypot(s.x - a.x, s.y - a.y) < 25.0;
        });
        if (crowded) continue;
        const int waist =
            level(f, static_cast<int>((a.x + b.x) / 2), static_cast<int>((a.y + b.y) / 2), 1);
        EXPECT_LT(waist, brightestNear(a.x, a.y)) << "pair " << id;
        EXPECT_LT(waist, brightestNear(b.x, b.y)) << "pair " << id;
        ++checked;
    }
    EXPECT_GE(checked, 10);
}

TEST(StarField, CentresStayInsideTheMargin) {
    struct Case {
        int width, height;
        double margin;
    };
    for (const Case& c :
         {Case{300, 200, 0.0}, Case{300, 200, 8.0}, Case{300, 200, 60.0}, Case{48, 300, 15.0}}) {
        SCOPED_TRACE("margin " + std::to_string(c.margin));
        FieldSpec params = denseField(c.width, c.height, 400, 3);
        params.margin = c.margin;
        params.pairCount = 30;
        const StarField f = generateStarField(params);
        for (const TrueStar& s : f.stars) {
            EXPECT_GE(s.x, c.margin);
            EXPECT_LE(s.x, c.width - c.margin);
            EXPECT_GE(s.y, c.margin);
            EXPECT_LE(s.y, c.height - c.margin);
        }
    }
}

TEST(StarField, InconsistentParametersAreRejected) {
    const std::vector<std::pair<const char*, std::function<void(FieldSpec&)>>> cases = {
        {"zero width", [](FieldSpec& s) { s.width = 0; }},
        {"negative height", [](FieldSpec& s) { s.height = -5; }},
        {"more pair members than stars", [](FieldSpec& s) { s.pairCount = s.starCount; }},
        {"pairs and saturated exceed stars",
         [](FieldSpec& s) { s.pairCount = 40, s.saturatedCount = s.starCount - 79; }},
        {"margin leaves no room", [](FieldSpec& s) { s.margin = s.width / 2.0; }},
        {"pair wider than the room",
         [](FieldSpec& s) { s.pairCount = 1, s.pairSeparationMax = 200.0; }},
        {"sigma range reversed", [](FieldSpec& s) { s.sigmaMin = 3.0, s.sigmaMax = 1.0; }},
        {"zero peak", [](FieldSpec& s) { s.peakMin = 0.0; }},
        {"negative noise", [](FieldSpec& s) { s.noiseSigma = -1.0; }},
        {"sky not a number", [](FieldSpec& s) { s.skyGradientX = std::nan(""); }},
    };
    for (const auto& [name, change] : cases) {
        FieldSpec params = quietParams();
        params.starCount = 100;
        change(params);
        EXPECT_THROW(generateStarField(params), std::invalid_argument) << name;
    }
}

}  // namespace
}  // namespace orv::bench
