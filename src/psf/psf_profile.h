#pragma once
// The PSF profile of the selected result, computed whenever the information panel shows a
// result while the PSF page fraMain(1) is open (edit::OV_DispStarInfo calls it then), and drawn
// on the page's three pictures:
//
//   picPSFsrc       the 21 x 21 pixels about the centroid (at 0, 0), the ring of PSFAnnulus
//                   (blue) and of PSFAnnulus + PSFDAnnulus (dark red)
//   picPSFProfile   x radius, y brightness: the ring means (green), the share of accepted
//                   samples in % (magenta), the sky (cyan) and sigma (pale yellow) lines
//   picPSFProfile2  x radius, y normalised brightness: the measured profile (green) and the
//                   fitted Gaussian (cyan), sigma (yellow)
//
// The computation itself is in psf/profile.h; this draws it, rings the bell once per rejected
// ring sample, and keeps the results (PSFStarNo, PSFSigma, PSFPeak, PSFSky) with their labels.

#include <string>

#include "form/context.h"
#include "psf/profile.h"

namespace orv::psf {

// The logical windows of the three pictures (left, top, width, height; y upwards where the
// height is negative).
struct PictureWindow {
    double left, top, width, height;
};
inline constexpr PictureWindow kSourceWindow{-11, -11, 22, 22};
inline constexpr PictureWindow kProfileWindow{-2, 255, 21, -280};
inline constexpr PictureWindow kNormalisedWindow{-2, 1.1, 21, -1.35};

// Works on SelStarNo (nothing when it is below 1). Sets PSFStarNo; then:
// - a centroid 15 pixels or less from an edge: clears picPSFsrc, says so on the message line;
// - a ring without an accepted sample: the message box of a too narrow PSFFactorRSD;
// - settings or a profile that cannot be fitted: a message box naming the setting or the star.
// In these cases the results and their labels keep the previous star's values, which no
// longer count as this star's own (ProfileOwn is off, so they cannot be adopted). Otherwise the
// results, lblPSFInfo(0) σ, (1) N, (5) sky and lblPSFStarNo are set. Selection and tables are
// left alone.
void OV_CalPSFProfile(form::Ctx& ctx);

// Fits a complete profile (psf::fitProfile) and draws the fit on the pictures. Gives the fit;
// Sigma, Peak and Sky are set only when it succeeded (nothing is drawn otherwise).
ProfileFit OV_CalDispPSFProfile(form::Ctx& ctx, const Profile& P, float& Sigma, float& Peak,
                                float& Sky);

// What keeps the fit of star n from being made, in the user's words ("" for None).
std::string refusalMessage(FitRefusal why, const core::Settings& s, int32_t starNo);

}  // namespace orv::psf
