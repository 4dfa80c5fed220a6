#pragma once
// Where a result on a FITS picture lies in the FITS file's own terms: its FITS pixel
// coordinates and, when the header holds a celestial WCS, its right ascension and declination.
//
// For the exports of a picture's results (CSV, DS9 regions, merged catalogues):
//
//   auto sky = formats::FitsSky::read(picturePath);     // once per picture; fails for no FITS
//   for each result at (CenterX, CenterY):              // result-file coordinates
//       FitsPixel p = formats::toFitsPixel(CenterX, CenterY, sky->naxis2());
//       if (sky->hasCelestialWcs())
//           if (auto radec = sky->toSky(p)) ... radec->ra, radec->dec (degrees)
//
// naxis2() equals the picture's height (ImageHeightP in the ".dat.ini" file), so the FITS pixel
// coordinates need no FITS file; the sky coordinates do.

#include <memory>
#include <optional>
#include <string>

#include "core/result.h"

struct wcsprm;

namespace orv::formats {

// FITS pixel coordinates: 1-based, y up; the centre of the first pixel is (1, 1).
struct FitsPixel {
    double x = 0.0;
    double y = 0.0;
};

// The FITS pixel of a point given in the result files' picture coordinates (0-based, y down, a
// pixel's centre at x + 0.5) on a picture of `naxis2` rows: x + 0.5, naxis2 - y + 0.5.
FitsPixel toFitsPixel(double x, double y, long long naxis2);

// Right ascension and declination in ICRS degrees (formats/sky_frame.h brings the header's
// frame to ICRS).
struct SkyPosition {
    double ra = 0.0;
    double dec = 0.0;
};

class FitsSky {
public:
    // Reads the header of the HDU the picture reader uses (formats/fits.h). Fails with the
    // reader's message when that HDU cannot be found. A header without a usable celestial WCS
    // is no failure: hasCelestialWcs() is then false and wcsProblem() may say why.
    static core::Result<FitsSky> read(const std::string& path);

    long long naxis1() const { return naxis1_; }
    long long naxis2() const { return naxis2_; }
    bool hasCelestialWcs() const { return wcs_ != nullptr; }
    // Why a header that names celestial axes gives no WCS ("" otherwise).
    const std::string& wcsProblem() const { return wcsProblem_; }
    // The frame of the header's celestial WCS ("ICRS", "galactic", ...; "" without one).
    const std::string& frame() const { return frame_; }

    // RA and Dec of a FITS pixel (on the first plane of a cube); nothing without a celestial
    // WCS or where the projection has no solution.
    std::optional<SkyPosition> toSky(FitsPixel pixel) const;

private:
    struct WcsDeleter {
        void operator()(wcsprm* wcs) const;
    };
    long long naxis1_ = 0, naxis2_ = 0;
    std::unique_ptr<wcsprm, WcsDeleter> wcs_;
    std::string wcsProblem_;
    std::string frame_;
    bool frameBias_ = false;  // wcs_ gives FK5 J2000, turned to ICRS
};

}  // namespace orv::formats
