// Photometry and shape of single results on pictures with known stars: Gaussian stars
// integrated over each pixel, with their own cluster numbers in a map.

#include "catalogue/measure/measure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>

namespace orv::catalogue::measure {
namespace {

constexpr double kFwhmPerSigma = 2.3548200450309493;

// Samples held in a vector, counting the rows read.
class VectorRows : public SampleRows {
public:
    VectorRows(int w, int h, float value) : w_(w), h_(h), v_(static_cast<size_t>(w) * h, value) {}
    int width() const override { return w_; }
    int height() const override { return h_; }
    core::Result<void> read(int y, float* out) override {
        ++reads;
        for (int x = 0; x < w_; ++x) out[x] = at(x, y);
        return {};
    }
    float& at(int x, int y) { return v_[static_cast<size_t>(y) * w_ + x]; }
    int reads = 0;

private:
    int w_, h_;
    std::vector<float> v_;
};

struct Star {
    double x, y;  // picture coordinates (a pixel's centre at index + 0.5)
    double flux;
    double sa, sb, thetaDeg;  // sigma along the major and minor axes; major axis CCW, y up
};

// Adds the star, each pixel the mean of 8 x 8 samples of the elliptical Gaussian.
void addStar(VectorRows& rows, const Star& s) {
    const double t = s.thetaDeg * M_PI / 180.0;
    const int reach = static_cast<int>(8 * s.sa) + 2;
    for (int y = std::max(0, int(s.y) - reach); y < std::min(rows.height(), int(s.y) + reach); ++y)
        for (int x = std::max(0, int(s.x) - reach); x < std::min(rows.width(), int(s.x) + reach);
             ++x) {
            double sum = 0;
            for (int j = 0; j < 8; ++j)
                for (int i = 0; i < 8; ++i) {
                    const double dx = x + (i + 0.5) / 8 - s.x;
                    const double up = -(y + (j + 0.5) / 8 - s.y);
                    const double u = dx * std::cos(t) + up * std::sin(t);
                    const double v = -dx * std::sin(t) + up * std::cos(t);
                    sum += std::exp(-0.5 * (u * u / (s.sa * s.sa) + v * v / (s.sb * s.sb)));
                }
            rows.at(x, y) += static_cast<float>(s.flux * sum / 64 / (2 * M_PI * s.sa * s.sb));
        }
}

// Cluster `n` on the pixels within `radius` of the star's centre that hold no cluster yet.
void markCluster(core::Array2D<uint16_t>& map, const Star& s, uint16_t n, double radius) {
    for (int y = 1; y < map.yHi(); ++y)
        for (int x = 1; x < map.xHi(); ++x)
            if (map(x, y) == 0 && std::hypot(x - 0.5 - s.x, y - 0.5 - s.y) <= radius) map(x, y) = n;
}

ClusterInput inputFor(const core::Array2D<uint16_t>& map, const Star& s, uint16_t n) {
    ClusterInput in;
    in.number = n;
    for (int y = 1; y < map.yHi(); ++y)
        for (int x = 1; x < map.xHi(); ++x)
            if (map(x, y) == n) in.box.add(x - 1, y - 1);
    in.cx = s.x;
    in.cy = s.y;
    return in;
}

struct Field {
    VectorRows rows;
    core::Array2D<uint16_t> map;
    Field(int w, int h, float sky) : rows(w, h, sky) { map.create(0, w + 1, 0, h + 1); }
    ClusterMeasure measure(const Star& s, uint16_t n = 1, double clusterRadius = 4) {
        markCluster(map, s, n, clusterRadius);
        RowCache cache(rows);
        return measureCluster(cache, map, inputFor(map, s, n));
    }
};

TEST(MeasureCluster, GaussianStarsGiveTheirFluxShapeAndAngle) {
    const Star cases[] = {
        {60.3, 58.7, 20000, 1.2, 1.2, 0},   // sharp and round
        {61.5, 60.5, 5e5, 2.4, 2.4, 0},     // wide and bright
        {59.8, 61.2, 30000, 2.5, 1.5, 30},  // elongated, major axis 30 degrees up from +x
        {60.1, 60.4, 30000, 2.2, 1.4, -60}, {60.6, 59.6, 30000, 2.0, 1.0, 90},
    };
    for (const Star& s : cases) {
        Field f(120, 120, 100);
        addStar(f.rows, s);
        const ClusterMeasure m = f.measure(s);
        const core::MeasureRec& r = m.rec;
        SCOPED_TRACE(testing::Message()
                     << "sigma " << s.sa << " x " << s.sb << " at " << s.thetaDeg);
        ASSERT_TRUE(m.found);
        EXPECT_NEAR(r.background, 100, 1e-3);
        EXPECT_NEAR(r.flux / s.flux, 1, 0.005);
        // Integrating over the pixel widens the star by 1/12 pixel^2.
        EXPECT_NEAR(r.a, std::sqrt(s.sa * s.sa + 1.0 / 12), 0.03 * s.sa);
        EXPECT_NEAR(r.b, std::sqrt(s.sb * s.sb + 1.0 / 12), 0.03 * s.sb);
        EXPECT_NEAR(r.fwhm / (kFwhmPerSigma * std::sqrt(0.5 * (s.sa * s.sa + s.sb * s.sb))), 1,
                    0.04);
        EXPECT_NEAR(r.ellipticity, 1 - r.b / r.a, 1e-12);
        if (s.sa != s.sb) {
            EXPECT_NEAR(r.theta, s.thetaDeg == -90 ? 90 : s.thetaDeg, 1.0);
            EXPECT_GT(r.theta, -90);
            EXPECT_LE(r.theta, 90);
        }
        EXPECT_NEAR(r.fluxRadius, 3 * r.fwhm, 1e-9);
        EXPECT_EQ(r.flags, 0);
        // The peak is the brightest pixel above the sky, the isophotal flux that of the
        // cluster's pixels only.
        EXPECT_GT(r.peak, 0);
        EXPECT_LT(r.fluxIso, r.flux);
    }
}

TEST(MeasureCluster, NoiseGivesAnErrorFromTheSkyAndThePixelCount) {
    Field f(160, 160, 1000);
    std::mt19937 rng(5);
    std::normal_distribution<double> noise(0, 4);
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 160; ++x) f.rows.at(x, y) += static_cast<float>(noise(rng));
    const Star s{80.2, 79.6, 40000, 1.8, 1.8, 0};
    addStar(f.rows, s);
    const ClusterMeasure m = f.measure(s);
    const core::MeasureRec& r = m.rec;
    EXPECT_NEAR(r.background, 1000, 0.3);
    EXPECT_NEAR(m.skySigma, 4, 0.3);
    EXPECT_NEAR(r.flux / s.flux, 1, 0.02);
    EXPECT_NEAR(r.fwhm / (kFwhmPerSigma * 1.8), 1, 0.05);
    // N sigma^2 (1 + N / N_sky) with N the pixels of the aperture (about pi R^2) and an
    // annulus of at least as many sky pixels.
    const double n = M_PI * r.fluxRadius * r.fluxRadius;
    EXPECT_GT(r.fluxErr, std::sqrt(n) * 4 * 0.9);
    EXPECT_LT(r.fluxErr, std::sqrt(n) * 4 * std::sqrt(2.0) * 1.1);
    EXPECT_DOUBLE_EQ(r.snr, r.flux / r.fluxErr);
}

TEST(MeasureCluster, GainAddsThePhotonNoise) {
    Field f(120, 120, 100);
    const Star s{60.5, 60.5, 1e5, 1.5, 1.5, 0};
    addStar(f.rows, s);
    std::mt19937 rng(1);
    std::normal_distribution<double> noise(0, 2);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 120; ++x) f.rows.at(x, y) += static_cast<float>(noise(rng));
    markCluster(f.map, s, 1, 4);
    RowCache cache(f.rows);
    ClusterInput in = inputFor(f.map, s, 1);
    const double without = measureCluster(cache, f.map, in).rec.fluxErr;
    in.gain = 2;
    const core::MeasureRec with = measureCluster(cache, f.map, in).rec;
    EXPECT_NEAR(with.fluxErr * with.fluxErr, without * without + with.flux / 2, 1e-6 * with.flux);
}

TEST(MeasureCluster, OtherClustersAreSkyInTheApertureAndLeftOutOfTheAnnulus) {
    const Star star{60.5, 60.5, 20000, 1.5, 1.5, 0};
    Field alone(120, 120, 100);
    addStar(alone.rows, star);
    const core::MeasureRec reference = alone.measure(star).rec;

    // Compact neighbours five times as bright, one inside the aperture, one in the sky annulus;
    // their clusters reach where they fall below 2 above the sky, as a threshold cuts them.
    const Star inside{69, 60.5, 1e5, 0.8, 0.8, 0}, inAnnulus{60.5, 75.5, 1e5, 0.8, 0.8, 0};
    auto crowdedField = [&](bool neighboursMarked) {
        auto f = std::make_unique<Field>(120, 120, 100);
        for (const Star& s : {star, inside, inAnnulus}) addStar(f->rows, s);
        if (neighboursMarked) {
            markCluster(f->map, inside, 2, 3.6);
            markCluster(f->map, inAnnulus, 3, 3.6);
        }
        return f;
    };
    const core::MeasureRec r = crowdedField(true)->measure(star).rec;
    EXPECT_NEAR(r.background, 100, 0.02);
    EXPECT_NEAR(r.flux / reference.flux, 1, 0.01);
    EXPECT_NEAR(r.fwhm / reference.fwhm, 1, 0.02);
    // Unmarked, the neighbour's light would count.
    const core::MeasureRec blind = crowdedField(false)->measure(star).rec;
    EXPECT_GT(blind.flux, 2 * reference.flux);
}

TEST(MeasureCluster, FlagsSaturationEdgesAndUnprocessedRows) {
    struct Case {
        const char* what;
        Star star;
        double saturation;    // relative to the brightest sample (1: that sample)
        int unprocessedFrom;  // 0-based row, -1 none
        int32_t flags;
    };
    const Case cases[] = {
        {"plain", {60.5, 60.5, 20000, 1.5, 1.5, 0}, 2.0, -1, 0},
        {"at saturation", {60.5, 60.5, 20000, 1.5, 1.5, 0}, 1.0, -1, core::kFlagSaturated},
        {"aperture beyond the left edge",
         {4.5, 60.5, 20000, 1.5, 1.5, 0},
         2.0,
         -1,
         core::kFlagEdge},
        {"pixels on the bottom row", {60.5, 119.5, 20000, 1.5, 1.5, 0}, 2.0, -1, core::kFlagEdge},
        {"aperture reaches the unprocessed rows",
         {60.5, 60.5, 20000, 1.5, 1.5, 0},
         2.0,
         64,
         core::kFlagUnprocessed},
        {"unprocessed rows below the aperture", {60.5, 60.5, 20000, 1.5, 1.5, 0}, 2.0, 100, 0},
    };
    for (const Case& c : cases) {
        Field f(120, 120, 100);
        addStar(f.rows, c.star);
        markCluster(f.map, c.star, 1, 4);
        float brightest = 0;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 120; ++x) brightest = std::max(brightest, f.rows.at(x, y));
        RowCache cache(f.rows);
        ClusterInput in = inputFor(f.map, c.star, 1);
        in.saturation = c.saturation * brightest;
        in.unprocessedFromRow = c.unprocessedFrom;
        EXPECT_EQ(measureCluster(cache, f.map, in).rec.flags, c.flags) << c.what;
    }
}

TEST(MeasureCluster, AClusterWithoutPixelsIsNotMeasured) {
    Field f(40, 40, 10);
    RowCache cache(f.rows);
    ClusterInput in;
    in.number = 7;
    in.box.add(3, 3);
    in.cx = in.cy = 3.5;
    const ClusterMeasure m = measureCluster(cache, f.map, in);
    EXPECT_FALSE(m.found);
    EXPECT_EQ(m.rec.flags, -1);
    EXPECT_TRUE(std::isnan(m.rec.flux));
}

TEST(ClippedMean, DropsOutliersAndFollowsValuesBetweenWholeNumbers) {
    std::vector<float> values;
    for (int i = 0; i < 200; ++i) values.push_back(i % 2 ? 9.0f : 11.0f);
    for (int i = 0; i < 6; ++i) values.push_back(1000.0f);
    SkyEstimate e = clippedMean(values);
    EXPECT_EQ(e.count, 200);
    EXPECT_DOUBLE_EQ(e.level, 10);
    EXPECT_NEAR(e.sigma, 1, 0.01);

    // Whole-number samples of a sky at 20.3: the median would say 20.
    std::mt19937 rng(3);
    std::normal_distribution<double> sky(20.3, 1.2);
    values.clear();
    for (int i = 0; i < 20000; ++i) values.push_back(static_cast<float>(std::round(sky(rng))));
    e = clippedMean(values);
    EXPECT_NEAR(e.level, 20.3, 0.03);

    values.clear();
    e = clippedMean(values);
    EXPECT_EQ(e.count, 0);
    EXPECT_TRUE(std::isnan(e.level));
}

// The same samples, said to be whole levels 0..255: their medians are then counted.
class WholeRows : public VectorRows {
public:
    using VectorRows::VectorRows;
    bool wholeLevels() const override { return true; }
};

// Two numbers that are the same, NaN included; within `relative` of each other when given.
bool same(double a, double b, double relative = 0) {
    return (std::isnan(a) && std::isnan(b)) || a == b || std::abs(a - b) <= relative * std::abs(a);
}

// Counted whole levels sum their squared deviations exactly; the sorted samples one by one.
constexpr double kSummedApart = 1e-14;

TEST(AnnulusSky, CountedSkiesOfWholeLevelsAreTheSortedOnes) {
    // Skies whose deviations from the median are mostly 0 (the spread then stands in for the
    // median absolute deviation), and wider ones, with other clusters' pixels left out.
    // The sorted samples are the reference: median, deviation, cut and sums as the rule says.
    for (const double noise : {0.3, 1.2, 6.0}) {
        SCOPED_TRACE(noise);
        std::mt19937 rng(11);
        std::normal_distribution<double> sky(40.0, noise);
        VectorRows plain(60, 50, 0);
        WholeRows whole(60, 50, 0);
        core::Array2D<uint16_t> map;
        map.create(0, 61, 0, 51);
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 60; ++x) {
                const float v = static_cast<float>(std::clamp(std::round(sky(rng)), 0.0, 255.0));
                // Outliers at 250, and a tenth of the pixels spread over every level, so that
                // levels lie just inside and just outside any cut.
                const float spread = static_cast<float>((x * 13 + y * 7) % 256);
                plain.at(x, y) = whole.at(x, y) = (x + y) % 13 == 0             ? 250.0f
                                                  : (x * 31 + y * 17) % 10 == 0 ? spread
                                                                                : v;
                if ((x * 7 + y * 3) % 17 == 0) map(x + 1, y + 1) = 5;
            }
        RowCache plainCache(plain), wholeCache(whole);
        for (const double r : {0.0, 3.0, 7.5, 12.0})
            for (const bool roughly : {true, false}) {
                const SkyEstimate a = annulusSky(plainCache, map, 29.3, 24.6, r, r + 6, roughly);
                const SkyEstimate b = annulusSky(wholeCache, map, 29.3, 24.6, r, r + 6, roughly);
                EXPECT_GT(a.count, 0);
                EXPECT_EQ(a.count, b.count);
                EXPECT_TRUE(same(a.level, b.level)) << a.level << " " << b.level;
                EXPECT_TRUE(same(a.sigma, b.sigma, kSummedApart)) << a.sigma << " " << b.sigma;
            }
    }
}

TEST(AnnulusSky, ACountedMedianTakesTheMiddleElementWhereHalfTheCountEndsAValue) {
    // Nine pixels about (10.5, 10.5) and about (30.5, 10.5). The first: four of 10 and five of
    // 20, so the middle element (the fifth) is 20. The second: 15, four of 20 and four of 25,
    // whose median 20 leaves deviations 5, four of 0 and four of 5, with 5 in the middle.
    for (const bool roughly : {true, false}) {
        VectorRows plain(41, 21, 0);
        WholeRows whole(41, 21, 0);
        const float first[9] = {10, 20, 10, 20, 10, 20, 10, 20, 20};
        const float second[9] = {15, 20, 25, 20, 25, 20, 25, 20, 25};
        for (int k = 0; k < 9; ++k) {
            plain.at(9 + k % 3, 9 + k / 3) = whole.at(9 + k % 3, 9 + k / 3) = first[k];
            plain.at(29 + k % 3, 9 + k / 3) = whole.at(29 + k % 3, 9 + k / 3) = second[k];
        }
        core::Array2D<uint16_t> map;
        map.create(0, 42, 0, 22);
        RowCache plainCache(plain), wholeCache(whole);
        for (const double cx : {10.5, 30.5}) {
            const SkyEstimate a = annulusSky(plainCache, map, cx, 10.5, 0, 1.5, roughly);
            const SkyEstimate b = annulusSky(wholeCache, map, cx, 10.5, 0, 1.5, roughly);
            EXPECT_EQ(a.count, 9);
            EXPECT_TRUE(same(a.level, b.level)) << cx << ": " << a.level << " " << b.level;
            EXPECT_TRUE(same(a.sigma, b.sigma, kSummedApart))
                << cx << ": " << a.sigma << " " << b.sigma;
        }
    }
}

TEST(RowCache, GivesBackTheRowsAboveAndReadsAgainWhenAsked) {
    VectorRows rows(50, 400, 1);
    RowCache cache(rows);
    for (int y = 0; y < 400; ++y) {
        ASSERT_NE(cache.row(y), nullptr);
        if (y >= 20) cache.forgetAbove(y - 20);
    }
    EXPECT_EQ(rows.reads, 400);
    EXPECT_LE(cache.peakBytes(), 22u * 50 * sizeof(float));
    cache.row(399);
    EXPECT_EQ(rows.reads, 400);  // still held
    cache.row(0);
    EXPECT_EQ(rows.reads, 401);  // given back, read again
}

}  // namespace
}  // namespace orv::catalogue::measure
