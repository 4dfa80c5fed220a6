#include "psf/profile.h"

#include <cmath>

#include "core/numeric.h"
#include "view/bilinear.h"

namespace orv::psf {

namespace {

// The grid search steps its Single counters by 0.02: from 2^18 on a Single cannot hold such a
// step (and from 2^19 adding it changes nothing), so a start beyond this is refused.
constexpr float kGridLimit = 262144.0f;

ProfileFit refused(FitRefusal why) {
    ProfileFit f;
    f.refusal = why;
    return f;
}

}  // namespace

bool awayFromEdge(const core::Workspace& ws, float cx, float cy) {
    // The upper bounds of PixelLevel are width + 1 and height + 1.
    const double upperX = ws.ImageWidthP + 1.0, upperY = ws.ImageHeightP + 1.0;
    return cx > 15 && cy > 15 && cx < upperX - 15 && cy < upperY - 15;
}

int RingProfile::rejected() const {
    int n = 0;
    for (int16_t r : reject) n += r;
    return n;
}

RingProfile sampleRings(const core::Workspace& ws, float cx, float cy, float factorRSD) {
    RingProfile out;
    // The centroid counts pixel k (0-based) as the square k ... k + 1, the bilinear sampling
    // puts that pixel's value at coordinate k: the star's centre lies at (cx - 0.5, cy - 0.5)
    // there (exact in double precision).
    const double centreX = cx - 0.5, centreY = cy - 0.5;
    std::array<float, kRingSamples> ring{};
    // Whole and half radii are exact in single precision: k = 2r.
    for (int k = 0; k < kProfilePoints; ++k) {
        const float r = static_cast<float>(k) * 0.5f;
        float sum = 0;
        for (int t = 0; t < kRingSamples; ++t) {
            // The angle and the offsets in double precision, the position then in single.
            const double angle = 10.0 * t * kPi / 180.0;
            const auto x = static_cast<float>(r * std::cos(angle) + centreX);
            const auto y = static_cast<float>(r * std::sin(angle) + centreY);
            view::OV_GetBiLinear(ws, x, y, ring[t]);
            sum += ring[t];
        }
        const float mean = sum / kRingSamples;
        // The root of the summed squares, not divided by the number of samples.
        float squares = 0;
        for (float v : ring) squares += (v - mean) * (v - mean);
        const float spread = std::sqrt(squares);
        const auto lo = static_cast<float>(mean - static_cast<double>(factorRSD) * spread);
        const auto hi = static_cast<float>(mean + static_cast<double>(factorRSD) * spread);
        float accepted = 0;
        int16_t n = 0;
        for (float v : ring) {
            if (lo <= v && v <= hi) {
                accepted += v;
                ++n;
            } else {
                ++out.reject[k];
            }
        }
        if (n == 0) {
            out.emptyRing = k;
            return out;
        }
        out.P[k] = accepted / n;
        out.count[k] = n;
    }
    return out;
}

FitRefusal checkSettings(float annulus, float dAnnulus) {
    // Written so that a NaN setting is refused too.
    if (!(annulus >= 0.5f)) return FitRefusal::AnnulusBelowHalf;
    if (!(dAnnulus >= 0)) return FitRefusal::NegativeBand;
    if (!(annulus + dAnnulus <= 15)) return FitRefusal::BandBeyondProfile;
    return FitRefusal::None;
}

ProfileFit fitProfile(const Profile& P, float annulus, float dAnnulus) {
    if (FitRefusal why = checkSettings(annulus, dAnnulus); why != FitRefusal::None)
        return refused(why);
    const float bandEnd = annulus + dAnnulus;

    ProfileFit f;
    // Sky: P over the band in Single steps of 0.5, 2r <= 30 by the checks above.
    float skySum = 0;
    for (float r = annulus; r <= bandEnd; r += 0.5f) skySum += P[core::CLng(2.0f * r)];
    f.sky = skySum / (2 * dAnnulus + 1);

    for (int i = 0; i < kProfilePoints; ++i) f.S[i] = P[i] - f.sky;
    if (!(f.S[0] > 0)) return refused(FitRefusal::CentreNotAboveSky);
    Profile L{};
    const auto logFloor = static_cast<float>(std::log(0.01));
    for (int i = 0; i < kProfilePoints; ++i) {
        f.B[i] = f.S[i] / f.S[0];
        L[i] = f.B[i] > 0 ? static_cast<float>(std::log(static_cast<double>(f.B[i]))) : logFloor;
    }

    // Least-squares line L = a x^2 + b over the radii 0 ... annulus: x^2 and x^4 in double,
    // the sums in Single.
    const int last = static_cast<int>(std::floor(annulus / 0.5f));
    const auto n = static_cast<float>(last + 1);
    float sx = 0, sxx = 0, sy = 0, sxy = 0;
    for (int i = 0; i <= last; ++i) {
        const double x2 = (i / 2.0) * (i / 2.0);
        sx = static_cast<float>(sx + x2);
        sxx = static_cast<float>(sxx + x2 * x2);
        sy += L[i];
        sxy = static_cast<float>(sxy + x2 * L[i]);
    }
    const float denomA = sx * sx - n * sxx, denomB = sx * sx - sxx * n;
    if (denomA == 0 || denomB == 0) return refused(FitRefusal::NoGaussian);
    const float a = (sx * sy - sxy * n) / denomA;
    const float b = (sxy * sx - sxx * sy) / denomB;
    if (a == 0) return refused(FitRefusal::NoGaussian);
    f.sigma0 = std::sqrt(std::fabs(1 / (2 * a)));
    f.height0 = static_cast<float>(std::exp(static_cast<double>(b)));
    if (!(f.sigma0 + 1 < kGridLimit) || !(f.height0 + 0.6f < kGridLimit))
        return refused(FitRefusal::NoGaussian);

    // Grid search: Single counters with the end values fixed at the start; the exponential
    // depends on sigma and the radius only, so it is taken once per sigma.
    float bestError = 10000, bestSigma = 0, bestHeight = 0;
    std::array<double, kProfilePoints> gauss{};
    const float sigmaEnd = f.sigma0 + 1, heightEnd = f.height0 + 0.6f;
    for (float sc = f.sigma0 - 1; sc <= sigmaEnd; sc += 0.02f) {
        if (sc <= 0) continue;
        const double twoSigma2 = 2.0 * sc * sc;
        for (int i = 0; i < kProfilePoints; ++i)
            gauss[i] = std::exp(-(i / 2.0) * (i / 2.0) / twoSigma2);
        for (float ac = f.height0 - 0.3f; ac <= heightEnd; ac += 0.02f) {
            if (ac <= 0) continue;
            float error = 0;
            for (int i = 0; i < kProfilePoints; ++i) {
                const float d = static_cast<float>(ac * gauss[i]) - f.B[i];
                error += d * d;
            }
            if (error < bestError) {
                bestError = error;
                bestSigma = sc;
                bestHeight = ac;
            }
        }
    }
    // Nothing better than the starting error: no Gaussian (a sigma of 0 would divide by zero).
    if (bestSigma <= 0) return refused(FitRefusal::NoGaussian);

    f.sigma = bestSigma;
    f.height = bestHeight;
    const double twoSigma2 = 2.0 * f.sigma * f.sigma;
    for (int i = 0; i < kProfilePoints; ++i)
        f.M[i] = static_cast<float>(f.height * std::exp(-(i / 2.0) * (i / 2.0) / twoSigma2));
    f.peak = f.S[0] * f.height;
    return f;
}

Measurement measureProfile(const core::Workspace& ws, const core::Settings& settings, float cx,
                           float cy) {
    Measurement m;
    if (!awayFromEdge(ws, cx, cy)) return m;
    m.rings = sampleRings(ws, cx, cy, settings.PSFFactorRSD);
    if (!m.rings.complete()) {
        m.outcome = Measurement::Outcome::EmptyRing;
        return m;
    }
    m.fit = fitProfile(m.rings.P, settings.PSFAnnulus, settings.PSFDAnnulus);
    m.outcome = m.fit.ok() ? Measurement::Outcome::Fitted : Measurement::Outcome::Refused;
    return m;
}

std::string skipReason(const Measurement& m, const core::Settings& s) {
    using Outcome = Measurement::Outcome;
    switch (m.outcome) {
        case Outcome::NearEdge:
            return "within 15 pixels of the picture's edge";
        case Outcome::EmptyRing:
            return "no ring sample accepted at radius " +
                   core::generalForm(static_cast<float>(m.rings.emptyRing) / 2) +
                   " (PSFFactorRSD " + core::generalForm(s.PSFFactorRSD) + " is too narrow)";
        case Outcome::Refused:
            return m.fit.refusal == FitRefusal::CentreNotAboveSky
                       ? "the centre is not brighter than the sky"
                       : "no Gaussian fits the profile";
        case Outcome::Fitted:
            break;
    }
    return "";
}

std::string settingsProblem(const core::Settings& s) {
    switch (checkSettings(s.PSFAnnulus, s.PSFDAnnulus)) {
        case FitRefusal::AnnulusBelowHalf:
            return "PSFAnnulus " + core::generalForm(s.PSFAnnulus) +
                   " is below 0.5 (a single fit point)";
        case FitRefusal::NegativeBand:
            return "PSFDAnnulus " + core::generalForm(s.PSFDAnnulus) + " is negative";
        case FitRefusal::BandBeyondProfile:
            return "PSFAnnulus + PSFDAnnulus " + core::generalForm(s.PSFAnnulus + s.PSFDAnnulus) +
                   " is above 15 (the profile ends at radius 15)";
        default:
            return "";
    }
}

}  // namespace orv::psf
