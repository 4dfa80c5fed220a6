#include "formats/fits_sky.h"

#include <gtest/gtest.h>

#include <cmath>

#include "formats/fits_files.h"
#include "support/test_app.h"

namespace orv::formats {
namespace {

using test::FitsSpec;

TEST(FitsPixel, ResultCoordinatesBecomeOneBasedAndYUp) {
    struct Case {
        double x, y;
        long long naxis2;
        double fx, fy;
    };
    const Case cases[] = {
        {0.5, 0.5, 100, 1, 100},  // centre of the top-left pixel
        {9.5, 95.5, 100, 10, 5},  // centre of picture pixel (9, 95)
        {0.5, 99.5, 100, 1, 1},   // the bottom-left pixel is FITS (1, 1)
        {0, 100, 100, 0.5, 0.5},  // the outer corner
        {-2.25, -1, 10, -1.75, 11.5},
    };
    for (const Case& c : cases) {
        const FitsPixel p = toFitsPixel(c.x, c.y, c.naxis2);
        EXPECT_EQ(p.x, c.fx);
        EXPECT_EQ(p.y, c.fy);
    }
}

// The gnomonic (TAN) projection worked out by hand: standard coordinates (xi, eta) in radians
// from the tangent point (ra0, dec0) to RA and Dec in degrees.
std::pair<double, double> gnomonic(double xi, double eta, double ra0, double dec0) {
    const double d2r = M_PI / 180.0;
    const double c = std::cos(dec0 * d2r), s = std::sin(dec0 * d2r);
    const double ra = ra0 + std::atan2(xi, c - eta * s) / d2r;
    const double dec = std::atan2(eta * c + s, std::hypot(xi, c - eta * s)) / d2r;
    return {std::fmod(ra + 360.0, 360.0), dec};
}

TEST(FitsSky, TangentProjectionGivesTheSkyPositionOfEveryPixel) {
    test::TempDir dir;
    FitsSpec spec;
    spec.naxes = {400, 300};
    spec.textKeys = {{"CTYPE1", "RA---TAN"}, {"CTYPE2", "DEC--TAN"}, {"RADESYS", "ICRS"}};
    spec.numberKeys = {{"CRPIX1", 200.5}, {"CRPIX2", 150.5},  {"CRVAL1", 150.0},
                       {"CRVAL2", 30.0},  {"CDELT1", -0.001}, {"CDELT2", 0.0015}};
    const std::string path = dir.file("m31.fits");
    test::writeFits(path, spec, std::vector<double>(400 * 300, 1.0));
    auto sky = FitsSky::read(path);
    ASSERT_TRUE(sky) << sky.error();
    EXPECT_EQ(sky->naxis1(), 400);
    EXPECT_EQ(sky->naxis2(), 300);
    ASSERT_TRUE(sky->hasCelestialWcs()) << sky->wcsProblem();
    const double d2r = M_PI / 180.0;
    for (auto [px, py] : {std::pair{200.5, 150.5}, {1.0, 1.0}, {400.0, 300.0}, {120.25, 290.0}}) {
        const auto radec = sky->toSky({px, py});
        ASSERT_TRUE(radec);
        const auto [ra, dec] =
            gnomonic(-0.001 * (px - 200.5) * d2r, 0.0015 * (py - 150.5) * d2r, 150.0, 30.0);
        EXPECT_NEAR(radec->ra, ra, 1e-9) << px << "," << py;
        EXPECT_NEAR(radec->dec, dec, 1e-9) << px << "," << py;
    }
    // The reference point FITS (200.5, 150.5) is the corner of picture pixels (199, 149) and
    // (200, 150): result coordinates (200, 150).
    const auto centre = sky->toSky(toFitsPixel(200, 150, sky->naxis2()));
    EXPECT_NEAR(centre->ra, 150.0, 1e-12);
    EXPECT_NEAR(centre->dec, 30.0, 1e-12);

    // The same picture tile-compressed, whose header the helper program reads: the same sky.
    spec.compression = RICE_1;
    test::writeFits(dir.file("rice.fits"), spec, std::vector<double>(400 * 300, 1.0));
    auto compressed = FitsSky::read(dir.file("rice.fits"));
    ASSERT_TRUE(compressed) << compressed.error();
    EXPECT_EQ(compressed->naxis1(), 400);
    EXPECT_EQ(compressed->naxis2(), 300);
    ASSERT_TRUE(compressed->hasCelestialWcs()) << compressed->wcsProblem();
    const auto corner = compressed->toSky({1.0, 1.0});
    ASSERT_TRUE(corner);
    EXPECT_EQ(corner->ra, sky->toSky({1.0, 1.0})->ra);
    EXPECT_EQ(corner->dec, sky->toSky({1.0, 1.0})->dec);
}

TEST(FitsSky, HeadersWithoutACelestialWcsGiveNoSkyPosition) {
    test::TempDir dir;
    const std::vector<std::vector<std::pair<std::string, std::string>>> headers = {
        {},                                            // no WCS at all
        {{"CTYPE1", "LINEAR"}, {"CTYPE2", "LINEAR"}},  // not celestial
        {{"CTYPE1", "RA---TAN"}, {"CTYPE2", "FREQ"}},  // a longitude without latitude
    };
    for (const auto& keys : headers) {
        FitsSpec spec;
        spec.textKeys = keys;
        test::writeFits(dir.file("a.fits"), spec, std::vector<double>(12, 1.0));
        auto sky = FitsSky::read(dir.file("a.fits"));
        ASSERT_TRUE(sky);
        EXPECT_FALSE(sky->hasCelestialWcs());
        EXPECT_FALSE(sky->toSky({1, 1}));
        EXPECT_EQ(sky->naxis2(), 3);
    }
    EXPECT_FALSE(FitsSky::read(dir.file("missing.fits")));
}

}  // namespace
}  // namespace orv::formats
