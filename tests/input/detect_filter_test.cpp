#include "input/detect_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "bench/starfield.h"
#include "control/startup.h"
#include "core/numeric.h"
#include "extract/reference_fill.h"
#include "input/background.h"
#include "input/clusters.h"
#include "input/noise.h"
#include "support/pictures.h"

namespace orv::input {
namespace {

using test::TestApp;

// The rule read literally: each pixel's value is the sum over the (2R+1)^2 square of
// g(dx) g(dy) (Level - BackLevel), g(k) = exp(-k^2 / 2 sigma^2), R = ceil(3 sigma), over the
// square's pixels inside the picture, divided by the sum of g(dx) g(dy) over those pixels.
double literalSmoothed(const TestApp& app, float sigma, int x0, int y0) {
    const int r = static_cast<int>(std::ceil(3.0 * sigma));
    const int w = app.ws.ImageWidthP, h = app.ws.ImageHeightP;
    double sum = 0.0, weights = 0.0;
    for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
            const int x = x0 + dx, y = y0 + dy;
            if (x < 0 || y < 0 || x >= w || y >= h) continue;
            const double g = std::exp(-(dx * dx + dy * dy) / (2.0 * sigma * sigma));
            sum += g * (app.ws.PixelLevel.Level(x + 1, y + 1) - double{app.ws.BackLevel(x, y)});
            weights += g;
        }
    return sum / weights;
}

TEST(DetectFilter, TapsAreTheGaussianOutToThreeSigmaSummingToOne) {
    const struct {
        float sigma;
        int radius;
    } cases[] = {{0.5f, 2}, {0.8f, 3}, {1.0f, 3}, {1.5f, 5}, {2.0f, 6}, {3.4f, 11}, {5.0f, 15}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sigma);
        EXPECT_EQ(filterRadius(c.sigma), c.radius);
        const auto taps = filterTaps(c.sigma);
        ASSERT_EQ(taps.size(), static_cast<size_t>(2 * c.radius + 1));
        double sum = 0.0;
        for (float t : taps) sum += t;
        EXPECT_NEAR(sum, 1.0, 1e-6);
        for (int k = 1; k <= c.radius; ++k) {
            EXPECT_EQ(taps[c.radius - k], taps[c.radius + k]);
            EXPECT_NEAR(taps[c.radius + k] / taps[c.radius],
                        std::exp(-k * k / (2.0 * c.sigma * c.sigma)), 1e-5);
        }
    }
}

// The separable passes with their edge handling against the literal rule on random pictures
// and backgrounds, from pictures narrower and lower than the kernel to wider ones.
TEST(DetectFilter, TheFastFilterMatchesTheLiteralRule) {
    const float sigmas[] = {0.5f, 0.8f, 1.0f, 1.5f, 2.3f, 5.0f};
    test::Draws rnd{5};
    for (float sigma : sigmas)
        for (int round = 0; round < 4; ++round) {
            const int w = 1 + static_cast<int>(rnd(45));
            const int h = 1 + static_cast<int>(rnd(45));
            SCOPED_TRACE(testing::Message() << "sigma " << sigma << ", " << w << " x " << h);
            TestApp app;
            ASSERT_TRUE(test::loadPicture(app, test::greyPicture(w, h, [&](int, int) {
                                              return static_cast<int>(rnd(256));
                                          })));
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    app.ws.BackLevel(x, y) = static_cast<float>(rnd(25600)) / 100.0f;
            core::Array2D<float> fast;
            smoothResidual(app.ws.PixelLevel, app.ws.BackLevel, w, h, sigma, fast);
            ASSERT_EQ(fast.width(), w);
            ASSERT_EQ(fast.height(), h);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    ASSERT_NEAR(fast(x, y), literalSmoothed(app, sigma, x, y), 2e-4)
                        << x << "," << y;
        }
}

// A grey generated field of pure noise (or with stars).
form::Picture noiseField(double sigma, int stars, int side = 300) {
    bench::FieldSpec s;
    s.width = s.height = side;
    s.seed = 9;
    s.sky = 60;
    s.noiseSigma = sigma;
    s.starCount = stars;
    s.colour = false;
    auto f = bench::generateStarField(s);
    return form::Picture::fromRgb(f.width, f.height,
                                  std::make_shared<std::vector<uint8_t>>(std::move(f.rgb)));
}

double sortedSigma(std::vector<double> v) {
    auto median = [](std::vector<double>& a) {
        std::nth_element(a.begin(), a.begin() + a.size() / 2, a.end());
        return a[a.size() / 2];
    };
    const double m = median(v);
    for (double& x : v) x = std::abs(x - m);
    return 1.4826 * median(v);
}

// The background step with the filter on: the residual smoothed as the rows come is what the
// whole-picture smoothing gives, the noise is that of the smoothed residual, and the suggestion
// keeps two decimals; all of it is shown and logged.
TEST(DetectFilter, TheBackgroundStepSmoothsAndMeasuresTheSmoothedNoise) {
    TestApp app;
    control::Form_Load(app.ctx);
    ASSERT_TRUE(test::loadPicture(app, noiseField(2.0, 40)));
    test::typicalSettings(app.ws.settings);
    app.ws.settings.FilterSigma = 1.0f;
    cmdIdoHeikin_Click(app.ctx);
    const int w = app.ws.ImageWidthP, h = app.ws.ImageHeightP;
    ASSERT_EQ(app.ws.SmoothedSigma, 1.0f);
    core::Array2D<float> whole;
    smoothResidual(app.ws.PixelLevel, app.ws.BackLevel, w, h, 1.0f, whole);
    std::vector<double> values;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            ASSERT_EQ(app.ws.SmoothedResidual(x, y), whole(x, y)) << x << "," << y;
            values.push_back(whole(x, y));
        }
    const double sigma = app.ws.NoiseSigma;
    EXPECT_NEAR(sigma, sortedSigma(values), 0.01);
    EXPECT_LT(sigma, 0.4 * 2.0);  // the smoothing takes most of the pixel noise away
    const float siki = suggestedFilterSiki(sigma, kSuggestedFilterSigmaFactor);
    EXPECT_EQ(app.ws.SuggestedSiki, siki);
    EXPECT_NE(siki, std::round(siki));
    const std::string sigmaText = core::Format(sigma, "0.00");
    EXPECT_EQ(app.frm.lblSikiSuggest.Caption,
              "σ " + sigmaText + " → 推奨 " + core::generalForm(siki));
    const std::string log = test::readFile(app.dir.file("test.bmp.dir/test.bmp.log"));
    const std::string k = core::generalForm(static_cast<float>(kSuggestedFilterSigmaFactor));
    EXPECT_NE(log.find("＞検出フィルタ σ = 1 ピクセル（背景との差を平滑化）\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("＞ノイズ σ = " + sigmaText +
                       "（検出フィルタ σ 1 で平滑化）、推奨クラ"
                       "スタ閾値 " +
                       core::generalForm(siki) + "（" + k + "σ）\r\n"),
              std::string::npos)
        << log;

    // Without the filter the next background step forgets the smoothed residual.
    app.ws.settings.FilterSigma = 0;
    cmdIdoHeikin_Click(app.ctx);
    EXPECT_EQ(app.ws.SmoothedSigma, 0.0f);
    EXPECT_TRUE(app.ws.SmoothedResidual.empty());
}

TEST(DetectFilter, SuggestsKSigmaWithTwoDecimals) {
    const struct {
        double sigma, k;
        float siki;
    } cases[] = {{0.367, 3.25, 1.19f}, {0.5, 3.25, 1.62f},   {0.0, 3.0, 0.01f},
                 {0.001, 3.0, 0.01f},  {100.0, 3.0, 255.0f}, {NAN, 3.0, 255.0f}};
    for (const auto& c : cases)
        EXPECT_EQ(suggestedFilterSiki(c.sigma, c.k), c.siki) << c.sigma << " x " << c.k;
}

// The cluster step on the smoothed residual against the literal scan and fill with the rule
// "smoothed residual > Siki (strictly) or Level > SikiTop", with thresholds taken from the
// smoothed values themselves so that pixels exactly at the threshold occur.
TEST(DetectFilter, ClustersAreTheConnectedPixelsAboveTheThresholdOfTheSmoothedResidual) {
    test::Draws rnd{21};
    int bright = 0, ties = 0;
    for (int round = 0; round < 12; ++round) {
        const int w = 10 + static_cast<int>(rnd(30)), h = 6 + static_cast<int>(rnd(20));
        TestApp app;
        control::Form_Load(app.ctx);
        ASSERT_TRUE(test::loadPicture(app, test::greyPicture(w, h, [&](int, int) {
                                          return static_cast<int>(rnd(8) == 0 ? 200 + rnd(56)
                                                                              : 40 + rnd(20));
                                      })));
        test::typicalSettings(app.ws.settings);
        app.ws.settings.FilterSigma = round % 2 ? 0.5f : 1.3f;
        app.ws.settings.SikiTop = 230;
        cmdIdoHeikin_Click(app.ctx);
        const auto& s = app.ws.SmoothedResidual;
        app.ws.settings.Siki =
            s(static_cast<int>(rnd.next() % w), static_cast<int>(rnd.next() % h));
        cmdPickup_Click(app.ctx);
        EXPECT_EQ(app.ws.ClusterFilterSigma, app.ws.settings.FilterSigma);
        const auto map = app.ws.ClusterMap;
        const int32_t count = app.ws.MaxStarNo;

        const float siki = app.ws.settings.Siki, top = app.ws.settings.SikiTop;
        auto isBright = [&](int x, int y) {  // 1-based
            return s(x - 1, y - 1) > siki || app.ws.PixelLevel.Level(x, y) > top;
        };
        std::vector<int16_t> refOK =
            test::scanClusters(app.ws, isBright, [&](int x, int y, int32_t n) {
                test::ReferenceFill f{app.ws, n, siki, top, 0};
                f.bright = isBright;
                f.fill(x, y);
                return f.fillOK;
            });
        ASSERT_EQ(count, static_cast<int32_t>(refOK.size()) - 1);
        for (int y = 0; y <= h + 1; ++y)
            for (int x = 0; x <= w + 1; ++x) {
                ASSERT_EQ(map(x, y), app.ws.ClusterMap(x, y)) << x << "," << y;
                bright += map(x, y) != 0;
                ties += x >= 1 && y >= 1 && x <= w && y <= h && s(x - 1, y - 1) == siki;
            }
        for (int32_t n = 1; n <= count; ++n) EXPECT_EQ(app.ws.Clusters[n].Siki, siki);
    }
    EXPECT_GT(bright, 100);
    EXPECT_GE(ties, 12);
}

}  // namespace
}  // namespace orv::input
