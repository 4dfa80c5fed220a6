#include "input/noise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "bench/starfield.h"
#include "control/startup.h"
#include "core/numeric.h"
#include "input/background.h"
#include "support/pictures.h"

namespace orv::input {
namespace {

using test::TestApp;

// A grey generated field: pure noise of the given sigma around `sky`, or stars as well.
form::Picture field(double sigma, int stars, double sky = 100.0, int side = 400) {
    bench::FieldSpec s;
    s.width = s.height = side;
    s.seed = 3;
    s.sky = sky;
    s.skyGradientX = 0.01;
    s.noiseSigma = sigma;
    s.starCount = stars;
    s.colour = false;
    auto f = bench::generateStarField(s);
    return form::Picture::fromRgb(f.width, f.height,
                                  std::make_shared<std::vector<uint8_t>>(std::move(f.rgb)));
}

double median(std::vector<double> v) {
    const size_t n = v.size();
    std::nth_element(v.begin(), v.begin() + n / 2, v.end());
    const double upper = v[n / 2];
    if (n % 2) return upper;
    return 0.5 * (upper + *std::max_element(v.begin(), v.begin() + n / 2));
}

// 1.4826 x MAD of Level - BackLevel, by sorting every residual.
double sortedSigma(const core::PixelPlanes& p, const core::Array2D<float>& back, int w, int h) {
    std::vector<double> r;
    for (int y = 1; y <= h; ++y)
        for (int x = 1; x <= w; ++x) r.push_back(p.Level(x, y) - double{back(x - 1, y - 1)});
    const double m = median(r);
    for (double& v : r) v = std::abs(v - m);
    return 1.4826 * median(r);
}

TEST(Noise, MeasuresTheSigmaOfGeneratedNoiseWithinFivePercent) {
    const struct {
        double sigma;
        int stars;
        int halfWidth;
    } cases[] = {{1.5, 0, 4}, {3.0, 0, 4}, {6.0, 0, 2}, {12.0, 0, 15}, {2.0, 100, 4}};
    for (const auto& c : cases) {
        TestApp app;
        ASSERT_TRUE(test::loadPicture(app, field(c.sigma, c.stars)));
        const int w = app.ws.ImageWidthP, h = app.ws.ImageHeightP;
        core::Array2D<float> back;
        computeBackground(app.ws.PixelLevel, w, h, c.halfWidth, back);
        const double sigma = measureNoise(app.ws.PixelLevel, back, w, h);
        // Stars widen the spread a little (a crowded field: about 7 % here).
        if (c.stars == 0) {
            EXPECT_NEAR(sigma, c.sigma, 0.05 * c.sigma) << c.sigma;
        }
        // The histogram gives what sorting every residual gives, up to the spacing of the
        // residuals (1/25 level for a 5 x 5 window).
        EXPECT_NEAR(sigma, sortedSigma(app.ws.PixelLevel, back, w, h), 0.05)
            << c.sigma << " with " << c.stars << " stars";
    }
}

TEST(Noise, AnEmptyHistogramOrAFlatPictureHasNoNoise) {
    EXPECT_EQ(ResidualHistogram().robustSigma(), 0.0);
    ResidualHistogram flat;
    const uint8_t level[4] = {7, 7, 7, 7};
    const float back[4] = {7, 7, 7, 7};
    flat.addRow(level, back, 4);
    EXPECT_LT(flat.robustSigma(), 0.02);
}

TEST(Noise, SuggestsKSigmaRoundedWithinOneTo255) {
    const struct {
        double sigma, k;
        int32_t siki;
    } cases[] = {{2.0, 2.5, 5}, {1.0, 2.5, 2},   {1.4, 2.5, 4},  {0.0, 2.5, 1},
                 {0.1, 3.0, 1}, {150, 2.5, 255}, {2.02, 4.0, 8}, {NAN, 2.5, 255}};
    for (const auto& c : cases)
        EXPECT_EQ(suggestedSiki(c.sigma, c.k), c.siki) << c.sigma << " x " << c.k;
}

TEST(Noise, TheBackgroundStepShowsAndLogsTheSuggestion) {
    TestApp app;
    control::Form_Load(app.ctx);
    ASSERT_TRUE(test::loadPicture(app, field(2.0, 50)));
    EXPECT_EQ(app.frm.lblSikiSuggest.Caption, "");
    app.ws.settings.HeikinWidth = 4;
    app.ws.settings.Siki = 4;
    cmdIdoHeikin_Click(app.ctx);

    const double sigma = app.ws.NoiseSigma;
    EXPECT_NEAR(sigma, 2.0, 0.1);
    const std::string siki = std::to_string(suggestedSiki(sigma, kSuggestedSigmaFactor));
    const std::string sigmaText = core::Format(sigma, "0.00");
    EXPECT_EQ(app.frm.lblSikiSuggest.Caption, "σ " + sigmaText + " → 推奨 " + siki);
    EXPECT_NE(app.frm.lblSikiSuggest.ToolTipText.find("2.75σを丸めた値"), std::string::npos);
    // The threshold box and the threshold are not changed.
    EXPECT_EQ(app.ws.settings.Siki, 4.0f);
    const std::string log = test::readFile(app.dir.file("test.bmp.dir/test.bmp.log"));
    EXPECT_NE(log.find("＞背景処理完了\r\n"), std::string::npos) << log;
    EXPECT_NE(
        log.find("＞ノイズ σ = " + sigmaText + "、推奨クラスタ閾値 " + siki + "（2.75σ）\r\n"),
        std::string::npos)
        << log;

    // A new picture has no estimate until its background is computed.
    ASSERT_TRUE(test::loadPicture(app, field(4.0, 0)));
    EXPECT_EQ(app.frm.lblSikiSuggest.Caption, "");
    EXPECT_LT(app.ws.NoiseSigma, 0.0);
}

TEST(Noise, AFactorSetsSikiAfterTheBackgroundAndLogsIt) {
    TestApp app;
    ASSERT_TRUE(test::loadPicture(app, field(2.0, 0)));
    app.ws.settings.HeikinWidth = 4;
    app.ws.settings.Siki = 4;
    app.ws.SikiSigmaFactor = 4.0;
    cmdIdoHeikin_Click(app.ctx);
    const int32_t expected = suggestedSiki(app.ws.NoiseSigma, 4.0);
    EXPECT_EQ(expected, 8);
    EXPECT_EQ(app.ws.settings.Siki, 8.0f);
    const std::string log = test::readFile(app.dir.file("test.bmp.dir/test.bmp.log"));
    EXPECT_NE(log.find("＞クラスタ閾値 8 を使用（4σ）\r\n"), std::string::npos) << log;
}

}  // namespace
}  // namespace orv::input
