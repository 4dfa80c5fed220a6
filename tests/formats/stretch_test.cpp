#include "formats/stretch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <span>

namespace orv::formats {
namespace {

TEST(StretchText, ReadsTheThreeFormsAndWritesThemBack) {
    struct Case {
        const char* text;
        const char* canonical;  // "" when refused
    };
    const Case cases[] = {
        {"", "percentile:0.1,99.9"},
        {"minmax", "minmax"},
        {" percentile: 1 , 99 ", "percentile:1,99"},
        {"percentile:0,100", "percentile:0,100"},
        {"range:-5.5,1e4", "range:-5.5,10000"},
        {"range:+3,4", "range:3,4"},
        {"percentile:99,1", ""},   // low above high
        {"percentile:-1,50", ""},  // outside 0..100
        {"percentile:5,101", ""},
        {"range:4,4", ""},  // nothing between
        {"range:1", ""},    // one number
        {"range:a,b", ""},
        {"range:1,nan", ""},
        {"log:1,2", ""},
        {"minmax:1,2", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto s = parseStretch(c.text);
        if (*c.canonical == '\0') {
            ASSERT_FALSE(s);
            EXPECT_NE(s.error().find(c.text), std::string::npos);
            continue;
        }
        ASSERT_TRUE(s) << s.error();
        EXPECT_EQ(stretchText(s.value()), c.canonical);
        EXPECT_EQ(stretchText(parseStretch(stretchText(s.value())).value()), c.canonical);
    }
}

TEST(StretchLevels, LinearBetweenThePointsRoundedTiesToEvenAndClipped) {
    const StretchPoints p{100, 610};  // 2 units per level
    const std::pair<double, int> cases[] = {
        {100, 0},
        {610, 255},
        {99, 0},
        {1e300, 255},
        {-1e300, 0},
        {101, 0},    // 0.5 -> 0
        {103, 2},    // 1.5 -> 2
        {355, 128},  // 127.5 -> 128
        {353, 126},  // 126.5 -> 126
        {354, 127},
        {609, 254},  // 254.5 -> 254
        {std::numeric_limits<double>::quiet_NaN(), 0},
        {std::numeric_limits<double>::infinity(), 0},
    };
    for (auto [value, level] : cases) EXPECT_EQ(stretchLevel(value, p), level) << value;
}

// The percentile as the stretch defines it, from the sorted values.
double referencePercentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const double q = p / 100.0 * static_cast<double>(values.size() - 1);
    const size_t i = static_cast<size_t>(std::floor(q));
    const size_t j = std::min(i + 1, values.size() - 1);
    return values[i] + (q - static_cast<double>(i)) * (values[j] - values[i]);
}

template <typename T>
std::vector<double> presentValues(const form::DeepSamples& d) {
    std::vector<double> v;
    for (T s : std::get<std::vector<T>>(d.samples))
        if (std::isfinite(static_cast<double>(s)))
            v.push_back(d.offset + d.scale * static_cast<double>(s));
    return v;
}

TEST(StretchPoints, PercentilesMatchTheSortedValuesForEverySampleType) {
    std::mt19937_64 rng(5);
    const std::pair<double, double> percentiles[] = {
        {0.1, 99.9}, {0, 100}, {25, 75}, {50, 50.5}, {1, 2}};
    for (int round = 0; round < 12; ++round) {
        form::DeepSamples d;
        d.width = 37 + round * 11;
        d.height = 23;
        d.channels = round % 4 == 3 ? 3 : 1;
        const size_t n = d.count();
        std::vector<double> values;
        if (round % 3 == 0) {
            // 16-bit samples with many ties, the scale sometimes negative.
            std::vector<uint16_t> s(n);
            std::normal_distribution<double> sky(30000, round * 40.0 + 3);
            for (auto& x : s) x = static_cast<uint16_t>(std::clamp(sky(rng), 0.0, 65535.0));
            s[n / 2] = 65535;
            d.samples = s;
            d.offset = round % 2 ? -1000.5 : 32768;
            d.scale = round % 2 ? -0.25 : 1;
            values = presentValues<uint16_t>(d);
        } else if (round % 3 == 1) {
            // Floats of both signs, with missing pixels.
            std::vector<float> s(n);
            std::normal_distribution<float> sky(0, 50);
            for (auto& x : s) x = sky(rng);
            s[3] = std::numeric_limits<float>::quiet_NaN();
            s[7] = std::numeric_limits<float>::infinity();
            s[9] = -0.0f;
            d.samples = s;
            values = presentValues<float>(d);
        } else {
            std::vector<double> s(n);
            std::lognormal_distribution<double> flux(0, 3);
            for (auto& x : s) x = flux(rng) - 2;
            s[1] = std::numeric_limits<double>::quiet_NaN();
            d.samples = s;
            values = presentValues<double>(d);
        }
        for (auto [lo, hi] : percentiles) {
            SCOPED_TRACE(std::to_string(round) + " " + std::to_string(lo));
            const auto points = findStretchPoints(d, Stretch{Stretch::Mode::Percentile, lo, hi});
            ASSERT_TRUE(points) << points.error();
            EXPECT_EQ(points->black, referencePercentile(values, lo));
            EXPECT_EQ(points->white, referencePercentile(values, hi));
        }
        const auto minmax = findStretchPoints(d, Stretch{Stretch::Mode::MinMax});
        EXPECT_EQ(minmax->black, *std::min_element(values.begin(), values.end()));
        EXPECT_EQ(minmax->white, *std::max_element(values.begin(), values.end()));
    }
}

// The same samples held by the picture and shown where they lie.
template <typename T>
void expectViewStretchesLikeCopy(std::vector<T> held, int width, int channels) {
    form::DeepSamples copy, view;
    copy.width = view.width = width;
    copy.height = view.height = static_cast<int>(held.size()) / (width * channels);
    copy.channels = view.channels = channels;
    copy.offset = view.offset = 12.5;
    copy.scale = view.scale = -0.5;
    view.samples = std::span<const T>(held);
    copy.samples = held;
    for (const Stretch& s : {Stretch{}, Stretch{Stretch::Mode::MinMax}}) {
        const auto a = findStretchPoints(copy, s), b = findStretchPoints(view, s);
        ASSERT_TRUE(a && b);
        EXPECT_EQ(a->black, b->black);
        EXPECT_EQ(a->white, b->white);
        const form::Picture pa = applyStretch(copy, a.value()), pb = applyStretch(view, a.value());
        ASSERT_EQ(pa.stride, pb.stride);
        EXPECT_TRUE(std::equal(pa.bits, pa.bits + pa.stride * pa.height, pb.bits));
    }
}

TEST(StretchPoints, SamplesShownWhereTheyLieStretchLikeHeldOnes) {
    std::mt19937_64 rng(9);
    std::normal_distribution<double> sky(3000, 400);
    std::vector<uint16_t> u(31 * 17 * 3);
    std::vector<float> f(31 * 17);
    std::vector<double> d(31 * 17);
    for (auto& x : u) x = static_cast<uint16_t>(std::clamp(sky(rng), 0.0, 65535.0));
    for (auto& x : f) x = static_cast<float>(sky(rng));
    for (auto& x : d) x = sky(rng);
    f[4] = std::numeric_limits<float>::quiet_NaN();
    expectViewStretchesLikeCopy(u, 31, 3);
    expectViewStretchesLikeCopy(f, 31, 1);
    expectViewStretchesLikeCopy(d, 17, 1);
}

form::DeepSamples greySamples(std::vector<float> v) {
    form::DeepSamples d;
    d.width = static_cast<int>(v.size());
    d.height = 1;
    d.samples = std::move(v);
    return d;
}

TEST(StretchPoints, NearlyFlatPicturesFallBackToMinMaxAndFlatOnesAreRefused) {
    std::vector<float> mostlySky(2000, 7.0f);
    mostlySky[5] = 300.0f;
    const auto points = findStretchPoints(greySamples(mostlySky), Stretch{});
    ASSERT_TRUE(points);
    EXPECT_EQ(points->black, 7.0);
    EXPECT_EQ(points->white, 300.0);

    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const auto& v : {std::vector<float>(50, 3.0f), std::vector<float>{nan, nan},
                          std::vector<float>{4.0f, nan, 4.0f}}) {
        for (const char* mode : {"minmax", "percentile:0.1,99.9", "range:0,10"}) {
            const auto refused = findStretchPoints(greySamples(v), parseStretch(mode).value());
            ASSERT_FALSE(refused) << mode;
            EXPECT_FALSE(refused.error().empty());
        }
    }
    // A fixed range is taken as it is.
    const auto fixed =
        findStretchPoints(greySamples({1, 2, 3}), parseStretch("range:-4,9").value());
    EXPECT_EQ(fixed->black, -4);
    EXPECT_EQ(fixed->white, 9);
}

TEST(StretchPicture, EverySampleGetsTheLevelOfTheRuleInItsLayout) {
    std::mt19937 rng(3);
    for (int channels : {1, 3}) {
        form::DeepSamples d;
        d.width = 5;
        d.height = 4;
        d.channels = channels;
        d.offset = -100;
        d.scale = 3;
        std::vector<uint16_t> s(d.count());
        for (auto& x : s) x = static_cast<uint16_t>(rng() % 400);
        d.samples = s;
        const StretchPoints p{-50, 900};
        const form::Picture picture = applyStretch(d, p);
        ASSERT_EQ(picture.layout,
                  channels == 3 ? form::PixelLayout::Rgb888 : form::PixelLayout::Grey8);
        ASSERT_EQ(picture.stride, static_cast<size_t>(5 * channels));
        for (int c = 0; c < channels; ++c)
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 5; ++x) {
                    const uint16_t sample = s[static_cast<size_t>((c * 4 + y) * 5 + x)];
                    EXPECT_EQ(picture.row(y)[x * channels + c],
                              stretchLevel(-100 + 3.0 * sample, p));
                }
    }
}

}  // namespace
}  // namespace orv::formats
