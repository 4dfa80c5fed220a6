// The PSF profile: ring sampling and clipping, the sky band, the Gaussian fit and its refusals,
// and what the window shows and keeps for each star.

#include <cmath>
#include <cstring>
#include <vector>

#include "core/numeric.h"
#include "psf/entries.h"
#include "psf/psf_profile.h"
#include "psf_scene.h"

namespace orv::test {
namespace {

using psf::FitRefusal;
using psf::Profile;

// The nearest whole number, a tie going to the even one.
int nearestTiesToEven(double v) {
    const double below = std::floor(v);
    const double rest = v - below;
    const auto n = static_cast<int>(below);
    if (rest < 0.5) return n;
    if (rest > 0.5) return n + 1;
    return n % 2 == 0 ? n : n + 1;
}

// A slow, literal reading of the fit: every model value computed where it is used.
psf::ProfileFit referenceFit(const Profile& P, float A, float D) {
    psf::ProfileFit f;
    // The sky: P at radius r (index 2r rounded to the nearest, ties to even) for r from A to
    // A + D in Single steps of 0.5, over 2D + 1.
    float sum = 0;
    for (float r = A; r <= A + D; r += 0.5f) sum += P[nearestTiesToEven(2.0 * r)];
    f.sky = sum / (2 * D + 1);
    Profile L{};
    for (int i = 0; i <= 30; ++i) f.S[i] = P[i] - f.sky;
    for (int i = 0; i <= 30; ++i) {
        f.B[i] = f.S[i] / f.S[0];
        L[i] =
            static_cast<float>(f.B[i] > 0 ? std::log(static_cast<double>(f.B[i])) : std::log(0.01));
    }
    float n = 0, sx = 0, sxx = 0, sy = 0, sxy = 0;
    for (int i = 0; i <= static_cast<int>(std::floor(A / 0.5)); ++i) {
        const double x = i / 2.0;
        n += 1;
        sx = static_cast<float>(sx + x * x);
        sxx = static_cast<float>(sxx + x * x * x * x);
        sy = sy + L[i];
        sxy = static_cast<float>(sxy + x * x * L[i]);
    }
    const float a = (sx * sy - sxy * n) / (sx * sx - n * sxx);
    const float b = (sxy * sx - sxx * sy) / (sx * sx - sxx * n);
    const float s0 = std::sqrt(std::fabs(1 / (2 * a)));
    const auto a0 = static_cast<float>(std::exp(static_cast<double>(b)));
    float best = 10000;
    const float sEnd = s0 + 1, aEnd = a0 + 0.6f;
    for (float sc = s0 - 1; sc <= sEnd; sc += 0.02f) {
        if (sc <= 0) continue;
        for (float ac = a0 - 0.3f; ac <= aEnd; ac += 0.02f) {
            if (ac <= 0) continue;
            float error = 0;
            for (int i = 0; i <= 30; ++i) {
                const double x = i / 2.0;
                const auto m = static_cast<float>(ac * std::exp(-x * x / (2.0 * sc * sc)));
                error += (m - f.B[i]) * (m - f.B[i]);
            }
            if (error < best) best = error, f.sigma = sc, f.height = ac;
        }
    }
    f.peak = f.S[0] * f.height;
    return f;
}

// The sigma the ring profile implies: that of the Gaussian A exp(-x^2 / (2 sigma^2)) closest
// to the ring profile normalised with the true sky, over all 31 radii (for each sigma in fine
// steps the best A has a closed form).
double impliedSigma(const Profile& P, double sky) {
    double best = 1e300, sigma = 0;
    for (double s = 0.5; s < 6; s += 0.001) {
        double gb = 0, gg = 0, bb = 0;
        for (int i = 0; i <= 30; ++i) {
            const double g = std::exp(-(i / 2.0) * (i / 2.0) / (2 * s * s));
            const double b = (P[i] - sky) / (P[0] - sky);
            gb += g * b, gg += g * g, bb += b * b;
        }
        const double error = bb - gb * gb / gg;
        if (error < best) best = error, sigma = s;
    }
    return sigma;
}

bool sameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(PsfProfile, FitsGaussianStarsAsTheirRingProfilesImplyAndAsWritten) {
    PsfScene t({{24.3f, 31.7f, 1.2}, {64.6f, 32.2f, 1.8}, {104.1f, 31.4f, 2.5}}, 128, 64);
    // Each star with a sky band beyond its light.
    const float annulus[3] = {4, 6, 8}, band[3] = {2, 2, 4};
    double previous = 0;
    for (int n = 1; n <= 3; ++n) {
        auto& settings = t.ws.settings;
        settings.PSFAnnulus = annulus[n - 1];
        settings.PSFDAnnulus = band[n - 1];
        const auto& s = t.ws.Stars[n];
        const auto m = psf::measureProfile(t.ws, settings, s.CenterX, s.CenterY);
        ASSERT_EQ(m.outcome, psf::Measurement::Outcome::Fitted) << n;
        const double implied = impliedSigma(m.rings.P, 20);
        EXPECT_NEAR(m.fit.sigma, implied, 0.1) << "star " << n;
        EXPECT_NEAR(m.fit.sky, 20, 1) << "star " << n;
        EXPECT_GT(m.fit.sigma, previous);
        previous = m.fit.sigma;
        // The fast fit gives what the literal one gives, to the last bit, for several bands.
        for (auto [a, d] :
             {std::pair{8.0f, 4.0f}, {4.0f, 2.0f}, {4.0f, 2.2f}, {4.25f, 2.0f}, {2.5f, 0.0f}}) {
            const auto fast = psf::fitProfile(m.rings.P, a, d);
            const auto slow = referenceFit(m.rings.P, a, d);
            ASSERT_TRUE(fast.ok());
            EXPECT_TRUE(sameBits(fast.sky, slow.sky) && sameBits(fast.sigma, slow.sigma) &&
                        sameBits(fast.peak, slow.peak))
                << n << " " << a << "/" << d << ": " << fast.sigma << " " << slow.sigma;
        }
    }
}

// Noise-free Gaussian stars at 16 positions within a pixel (x and y in quarter steps), their
// rings sampled about the centroid, and about the point half a pixel right of and below it
// (the centroid read as a sampling coordinate, which puts pixel k at k instead of k + 0.5).
// Each pixel holds the star's light integrated over its square, which widens the Gaussian by
// the square's variance of 1/12 px^2 in each axis: the picture's own sigma is
// sqrt(sigma^2 + 1/12), which is what the fit should find.
TEST(PsfProfile, RingsAreCentredOnTheStar) {
    const struct {
        double sigma;
        float annulus, band;
        double meanError, worstError;  // of the picture's own sigma, about the star
        bool better;                   // about the star better than half a pixel off, always
    } cases[] = {
        {1.0, 4, 2, 0.1, 0.15, true},
        {1.5, 4, 2, 0.1, 0.15, true},
        {2.5, 6, 3, 0.06, 0.1, false},  // a sky band clear of the wings
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sigma);
        std::vector<GaussStar> stars;
        for (int j = 0; j < 4; ++j)
            for (int i = 0; i < 4; ++i)
                stars.push_back({30 + 40.25f * i, 30.125f + 40.25f * j, c.sigma});
        PsfScene t(stars, 180, 180);
        const double own = std::sqrt(c.sigma * c.sigma + 1.0 / 12);
        auto error = [&](float x, float y) {
            const auto fit = psf::fitProfile(psf::sampleRings(t.ws, x, y, 2).P, c.annulus, c.band);
            EXPECT_TRUE(fit.ok());
            return std::fabs(fit.sigma - own);
        };
        double sum = 0, sumOff = 0;
        for (const GaussStar& s : stars) {
            const double about = error(s.x, s.y), off = error(s.x + 0.5f, s.y + 0.5f);
            EXPECT_LT(about, c.worstError) << s.x << " " << s.y;
            if (c.better) {
                EXPECT_LT(about, off) << s.x << " " << s.y;
            }
            sum += about;
            sumOff += off;
        }
        EXPECT_LT(sum / 16, c.meanError);
        if (c.better) {
            EXPECT_LT(sum, sumOff / 2);
        }
    }
}

TEST(PsfProfile, SkyBandAndFitPointsFollowTheSettings) {
    Profile P{};
    for (int i = 0; i <= 30; ++i) P[i] = 20 + 150 * std::exp(-(i / 2.0) * (i / 2.0) / 4.5) + i;
    // PSFAnnulus 4, PSFDAnnulus 2: the sky is the mean of radii 4 .. 6 (five points).
    auto fit = psf::fitProfile(P, 4, 2);
    ASSERT_TRUE(fit.ok());
    EXPECT_EQ(fit.sky, (((P[8] + P[9]) + P[10]) + P[11] + P[12]) / 5);
    // A band of 2.2 sums the same five points but divides by 5.4.
    EXPECT_EQ(psf::fitProfile(P, 4, 2.2f).sky, (((P[8] + P[9]) + P[10]) + P[11] + P[12]) / 5.4f);
    // PSFAnnulus 4.25: radii 4.25, 4.75 ... 6.25, whose indices 8.5, 9.5 ... 12.5 round to the
    // even neighbour: 8, 10, 10, 12, 12.
    EXPECT_EQ(psf::fitProfile(P, 4.25f, 2).sky, (((P[8] + P[10]) + P[10]) + P[12] + P[12]) / 5);
    // Radii beyond 6 take no part in the sky or the line fit (nine points, 0 .. 4), but every
    // grid candidate is judged over all 31 radii: a broad star's outer rings count.
    Profile broad{};
    for (int i = 0; i <= 30; ++i) broad[i] = 20 + 150 * std::exp(-(i / 2.0) * (i / 2.0) / 18);
    Profile tail = broad;
    for (int i = 13; i <= 30; ++i) tail[i] += 30;
    const auto plain = psf::fitProfile(broad, 4, 2), bumped = psf::fitProfile(tail, 4, 2);
    EXPECT_EQ(bumped.sky, plain.sky);
    EXPECT_EQ(bumped.sigma0, plain.sigma0);
    EXPECT_EQ(bumped.height0, plain.height0);
    EXPECT_GT(bumped.sigma, plain.sigma);
}

TEST(PsfProfile, RefusesWhatWouldReadPastTheProfileOrDivideByZero) {
    Profile star{};
    for (int i = 0; i <= 30; ++i) star[i] = 20 + 150 * std::exp(-(i / 2.0) * (i / 2.0) / 4.5);
    Profile flat{};
    flat.fill(30);
    Profile plateau{};  // ln B is 0 at every fit point: a level line
    for (int i = 0; i <= 8; ++i) plateau[i] = 100;
    Profile needle{};  // a centre just above the sky: no grid candidate comes near
    needle.fill(100);
    for (int i = 8; i <= 12; ++i) needle[i] = 10;
    needle[0] = 10.001f;
    const struct {
        const Profile& P;
        float annulus, band;
        FitRefusal expected;
    } cases[] = {
        {star, 4, 2, FitRefusal::None},
        {star, 0.4f, 2, FitRefusal::AnnulusBelowHalf},
        {star, 0.5f, 2, FitRefusal::None},
        {star, 4, -0.5f, FitRefusal::NegativeBand},
        {star, 10, 5, FitRefusal::None},
        {star, 10, 5.5f, FitRefusal::BandBeyondProfile},
        {star, std::nanf(""), 2, FitRefusal::AnnulusBelowHalf},
        {flat, 4, 2, FitRefusal::CentreNotAboveSky},
        {plateau, 4, 2, FitRefusal::NoGaussian},
        {needle, 4, 2, FitRefusal::NoGaussian},
    };
    for (const auto& c : cases)
        EXPECT_EQ(psf::fitProfile(c.P, c.annulus, c.band).refusal, c.expected)
            << c.annulus << "/" << c.band;
}

TEST(PsfProfile, RingSamplesOutsideTheSpreadAreRejected) {
    PsfScene t({{32.3f, 31.6f, 1.5}});
    const auto& s = t.ws.Stars[1];
    // Factor 0: only a sample equal to the ring's mean counts. The samples of the ring at 0.5
    // differ, so none is accepted there.
    // (Even the centre may fail: 36 Single additions of one value need not give 36 times it.)
    auto none = psf::sampleRings(t.ws, s.CenterX, s.CenterY, 0);
    ASSERT_GE(none.emptyRing, 0);
    EXPECT_LE(none.emptyRing, 1);
    EXPECT_EQ(none.reject[none.emptyRing], 36);
    EXPECT_EQ(none.rejected(), 36);
    // The spread is the root of the summed squares (six times the standard deviation for 36
    // samples): a factor of 1/6 accepts what lies within one standard deviation.
    auto some = psf::sampleRings(t.ws, s.CenterX, s.CenterY, 1.0f / 6);
    ASSERT_TRUE(some.complete());
    EXPECT_GT(some.rejected(), 0);
    for (int k = 0; k <= 30; ++k) EXPECT_EQ(some.count[k] + some.reject[k], 36);
    EXPECT_EQ(psf::sampleRings(t.ws, s.CenterX, s.CenterY, 2).rejected(), 0);
}

// The window: the star shown first, then the one under test.
struct Shown {
    float sigma;
    std::string labels[3];
};
Shown shown(const PsfScene& t) {
    return {t.ws.psf.PSFSigma, {t.label(0), t.label(1), t.label(5)}};
}

TEST(PsfWindow, ShowsTheFitAndKeepsItForAdoption) {
    PsfScene t({{32.3f, 31.6f, 1.5}});
    t.ws.SelStarNo = 1;
    psf::OV_CalPSFProfile(t.ctx);
    const auto m = psf::measureProfile(t.ws, t.ws.settings, 32.3f, 31.6f);
    const auto& p = t.ws.psf;
    EXPECT_TRUE(p.ProfileOwn);
    EXPECT_EQ(p.PSFStarNo, 1);
    EXPECT_EQ(p.PSFSigma, m.fit.sigma);
    EXPECT_EQ(p.PSFPeak, m.fit.peak);
    EXPECT_EQ(p.PSFSky, m.fit.sky);
    EXPECT_EQ(t.label(0), core::Format(m.fit.sigma, "0.00", 7));
    EXPECT_EQ(t.label(1), core::Format(m.fit.peak, "###.0", 7));
    EXPECT_EQ(t.label(5), core::Format(m.fit.sky, "###.0", 7));
    EXPECT_EQ(t.frm.lblPSFStarNo.Caption, "1");
    EXPECT_TRUE(t.messages().empty());
    // Each picture shows its part: the rings, the ring means, the fitted curve.
    auto holds = [](const form::Canvas& c, form::Rgb colour) {
        for (int y = 0; y < c.heightPx(); ++y)
            for (int x = 0; x < c.widthPx(); ++x)
                if (c.pixel(x, y) == colour) return true;
        return false;
    };
    EXPECT_TRUE(holds(t.frm.picPSFsrc.canvas, form::RGB(0, 0, 255)));
    EXPECT_TRUE(holds(t.frm.picPSFProfile.canvas, form::RGB(0, 255, 0)));
    EXPECT_TRUE(holds(t.frm.picPSFProfile.canvas, form::RGB(200, 0, 200)));
    EXPECT_TRUE(holds(t.frm.picPSFProfile2.canvas, form::RGB(0, 255, 255)));
}

TEST(PsfWindow, AStarWithoutAFitKeepsThePreviousValuesAndCannotBeAdopted) {
    // A 64 x 128 picture: star 1 low down, star 2 (the case) in the upper half.
    const struct {
        GaussStar star;
        bool fitted;
        void (*setting)(core::Settings&);
        const char* message;  // part of the box or message line shown
    } cases[] = {
        {{15.0f, 32.0f, 1.5}, false, nullptr, "端に近すぎます"},
        {{15.01f, 32.0f, 1.5}, true, nullptr, ""},
        {{50.0f, 32.0f, 1.5}, false, nullptr, "端に近すぎます"},  // width - 14
        {{49.99f, 32.0f, 1.5}, true, nullptr, ""},
        {{32.0f, 15.0f, 1.5}, false, nullptr, "端に近すぎます"},
        {{32.0f, 114.0f, 1.5, 0}, false, nullptr, "端に近すぎます"},  // height - 14
        {{32.0f, 40.0f, 1.5, 0}, false, nullptr, "StarNo 2 は中心の輝度が背景"},
        {{32.0f, 40.0f, 1.5},
         false,
         [](core::Settings& s) { s.PSFFactorRSD = 0; },
         "PSFFactorRSD の値が狭すぎて"},
        {{32.0f, 40.0f, 1.5},
         false,
         [](core::Settings& s) { s.PSFAnnulus = 0.4f; },
         "裾野半径（0.4）が 0.5 より小さい"},
        {{32.0f, 40.0f, 1.5},
         false,
         [](core::Settings& s) { s.PSFDAnnulus = 12; },
         "和（16）が 15 を超えている"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        PsfScene t({{32.3f, 95.6f, 2.0}, c.star}, 64, 128);
        t.ws.SelStarNo = 1;
        psf::OV_CalPSFProfile(t.ctx);
        ASSERT_TRUE(t.ws.psf.ProfileOwn);
        const Shown before = shown(t);
        if (c.setting) c.setting(t.ws.settings);
        t.ws.SelStarNo = 2;
        psf::OV_CalPSFProfile(t.ctx);
        EXPECT_EQ(t.ws.psf.PSFStarNo, 2);
        EXPECT_EQ(t.ws.psf.ProfileOwn, c.fitted);
        if (c.fitted) continue;
        const Shown after = shown(t);
        EXPECT_EQ(after.sigma, before.sigma);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(after.labels[k], before.labels[k]);
        std::string said = t.frm.lblMsg.Caption;
        for (const auto& m : t.messages()) said += m;
        EXPECT_NE(said.find(c.message), std::string::npos) << said;
        // 採用 then adds nothing and says why.
        t.host.messages.clear();
        psf::cmdPSFEntry_Click(t.ctx);
        EXPECT_EQ(t.ws.psf.PSFDataNo, 0);
        ASSERT_EQ(t.messages().size(), 1u);
        EXPECT_NE(t.messages()[0].find("StarNo 2"), std::string::npos);
    }
}

TEST(PsfWindow, RingsTheBellOncePerRejectedSample) {
    PsfScene t({{32.3f, 31.6f, 1.5}});
    t.ws.SelStarNo = 1;
    for (float factor : {2.0f, 1.0f / 6, 0.0f}) {
        t.ws.settings.PSFFactorRSD = factor;
        t.host.beeps = 0;
        psf::OV_CalPSFProfile(t.ctx);
        EXPECT_EQ(t.host.beeps, psf::sampleRings(t.ws, 32.3f, 31.6f, factor).rejected()) << factor;
    }
    EXPECT_GT(t.host.beeps, 0);
}

TEST(PsfWindow, AClickDuringTheDrawingTakesOver) {
    PsfScene t({{32.3f, 31.6f, 1.5}, {96.2f, 32.4f, 2.2}}, 128, 64);
    bool clicked = false;
    t.host.onPump = [&] {
        if (clicked) return;
        clicked = true;
        t.ws.SelStarNo = 2;
        psf::OV_CalPSFProfile(t.ctx);
    };
    t.ws.SelStarNo = 1;
    psf::OV_CalPSFProfile(t.ctx);
    const auto second = psf::measureProfile(t.ws, t.ws.settings, 96.2f, 32.4f);
    EXPECT_EQ(t.ws.psf.PSFStarNo, 2);
    EXPECT_TRUE(t.ws.psf.ProfileOwn);
    EXPECT_EQ(t.ws.psf.PSFSigma, second.fit.sigma);
    EXPECT_EQ(t.label(0), core::Format(second.fit.sigma, "0.00", 7));
}

TEST(PsfWindow, NewTablesTakeTheProfileAway) {
    PsfScene t({{32.3f, 31.6f, 1.5}});
    t.ws.SelStarNo = 1;
    psf::OV_CalPSFProfile(t.ctx);
    ASSERT_TRUE(t.ws.psf.ProfileOwn);
    form::setStage(t.ctx, core::kStageClustering);
    EXPECT_FALSE(t.ws.psf.ProfileOwn);
    EXPECT_EQ(psf::adoptProfile(t.ws), psf::Adoption::NoProfile);
}

}  // namespace
}  // namespace orv::test
