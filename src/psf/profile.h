#pragma once
// The PSF profile of one star, computed without drawing (psf_profile.h draws it):
//
// 1. Rings: for r = 0, 0.5, ... 15 pixels, 36 bilinear samples of the picture on the circle of
//    radius r about the centroid (every 10 degrees). A sample further from the ring's mean than
//    PSFFactorRSD times the ring's spread is rejected; the rest are averaged into P(2r). The
//    centroid puts a pixel's centre at k + 0.5, the bilinear sampling at k: the rings are
//    centred on (CenterX - 0.5, CenterY - 0.5) in the sampling's coordinates.
// 2. Sky: the mean of P over the band PSFAnnulus ... PSFAnnulus + PSFDAnnulus (the sum is
//    divided by 2 PSFDAnnulus + 1, whatever the number of points summed).
// 3. Normalised profile B = (P - sky) / (P(0) - sky), and a least-squares line through
//    (x^2, ln B) over the radii 0 ... PSFAnnulus gives a first sigma and height.
// 4. A grid search about them (sigma +-1, height -0.3 ... +0.6, steps of 0.02) for the Gaussian
//    A exp(-x^2 / (2 sigma^2)) closest to B over all 31 radii.
//
// The arithmetic is single precision except where a comment says otherwise: the profile's
// figures, PSFsd and the PSF files are defined at that precision, so the same star gives the
// same digits on every run and in every file.

#include <array>
#include <cstdint>
#include <string>

#include "core/workspace.h"

namespace orv::psf {

inline constexpr int kProfilePoints = 31;  // radii 0, 0.5, ... 15
inline constexpr int kRingSamples = 36;    // one every 10 degrees
inline constexpr double kPi = 3.1415926573;
using Profile = std::array<float, kProfilePoints>;

// Whether a centroid lies far enough inside the picture for the profile: 15 < cx < width - 14
// and 15 < cy < height - 14 (picture coordinates).
bool awayFromEdge(const core::Workspace& ws, float cx, float cy);

struct RingProfile {
    Profile P{};                                   // mean of the accepted samples, by 2r
    std::array<int16_t, kProfilePoints> count{};   // accepted samples, by 2r
    std::array<int16_t, kProfilePoints> reject{};  // rejected samples, by 2r
    // The first ring without an accepted sample (index 2r), -1 when every ring has some; the
    // rings after it are not sampled.
    int emptyRing = -1;
    bool complete() const { return emptyRing < 0; }
    int rings() const { return complete() ? kProfilePoints : emptyRing; }  // rings with a P
    int rejected() const;                                                  // over all rings
};

// Samples the 31 rings about the centroid (cx, cy) (picture coordinates, pixel k spanning
// k ... k + 1) with view::OV_GetBiLinear, that is about (cx - 0.5, cy - 0.5) in the sampling's
// coordinates. The centroid must be away from the edge (else the outer rings read the zero
// border).
RingProfile sampleRings(const core::Workspace& ws, float cx, float cy, float factorRSD);

// Why a profile cannot be fitted. The settings checks keep every index inside the 31 profile
// points; the others keep the fit from dividing by zero or searching without end.
enum class FitRefusal {
    None,
    AnnulusBelowHalf,   // PSFAnnulus < 0.5: a single fit point
    NegativeBand,       // PSFDAnnulus < 0
    BandBeyondProfile,  // PSFAnnulus + PSFDAnnulus > 15
    CentreNotAboveSky,  // P(0) - sky <= 0: nothing to normalise by
    NoGaussian,         // the line fit or the grid search found no Gaussian
};

struct ProfileFit {
    FitRefusal refusal = FitRefusal::None;
    float sky = 0;     // sky level in brightness units
    float sigma = 0;   // fitted sigma in pixels
    float peak = 0;    // fitted peak above the sky, (P(0) - sky) times the fitted height
    float height = 0;  // fitted height of the normalised profile
    float sigma0 = 0, height0 = 0;  // the line fit's starting values
    Profile S{}, B{}, M{};          // P - sky, normalised profile, fitted model
    bool ok() const { return refusal == FitRefusal::None; }
};

// The settings' part of the checks: AnnulusBelowHalf, NegativeBand, BandBeyondProfile or None.
FitRefusal checkSettings(float annulus, float dAnnulus);

// Steps 2 to 4 on a complete profile. Checks the settings first (only then is the sky computed).
ProfileFit fitProfile(const Profile& P, float annulus, float dAnnulus);

// The whole computation for a centroid with the given settings, as the window does it.
struct Measurement {
    enum class Outcome { Fitted, NearEdge, EmptyRing, Refused };
    Outcome outcome = Outcome::NearEdge;
    RingProfile rings;
    ProfileFit fit;
};
Measurement measureProfile(const core::Workspace& ws, const core::Settings& settings, float cx,
                           float cy);

// Why a measurement gave no profile, in English for the command line and the Python module
// ("within 15 pixels of the picture's edge", ...); "" when it was fitted.
std::string skipReason(const Measurement& m, const core::Settings& s);
// What in the PSF settings keeps every profile from being fitted, in English ("PSFAnnulus 0.3
// is below 0.5 (a single fit point)", ...); "" when nothing does.
std::string settingsProblem(const core::Settings& s);

}  // namespace orv::psf
