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

namespace orv::formats {
namespace {

// A 100 x 80 picture whose WCS is a TAN projection about (lon, lat) in the given axes.
FitsSky skyOf(const test::TempDir& dir, const char* lon, const char* lat, double lon0, double lat0,
              std::vector<std::pair<std::string, std::string>> more = {},
              std::vector<std::pair<std::string, double>> numbers = {}) {
    FitsSpec spec;
    spec.naxes = {100, 80};
    spec.textKeys = {{"CTYPE1", lon}, {"CTYPE2", lat}};
    spec.textKeys.insert(spec.textKeys.end(), more.begin(), more.end());
    spec.numberKeys = {{"CRPIX1", 50.5}, {"CRPIX2", 40.5},   {"CRVAL1", lon0},
                       {"CRVAL2", lat0}, {"CDELT1", -0.001}, {"CDELT2", 0.001}};
    spec.numberKeys.insert(spec.numberKeys.end(), numbers.begin(), numbers.end());
    const std::string path = dir.file("frame.fits");
    test::writeFits(path, spec, std::vector<double>(100 * 80, 1.0));
    auto sky = FitsSky::read(path);
    EXPECT_TRUE(sky) << sky.error();
    return std::move(sky.value());
}

TEST(FitsSky, GalacticEclipticAndFk5HeadersGiveIcrsPositions) {
    // The expected positions are astropy's (5.2): SkyCoord in the header's frame, .icrs; the
    // ecliptic one is its BarycentricMeanEcliptic of J2000.
    struct Point {
        double px, py, ra, dec;
    };
    struct Case {
        const char *lon, *lat;
        double lon0, lat0;
        std::vector<std::pair<std::string, std::string>> keys;
        std::vector<std::pair<std::string, double>> numbers;
        const char* frame;
        double tolerance;  // degrees
        std::vector<Point> points;
    };
    const std::vector<Case> cases = {
        {"GLON-TAN",
         "GLAT-TAN",
         120,
         30,
         {},
         {},
         "galactic",
         1e-8,
         {{50.5, 40.5, 234.0495636261, 86.1431998000},
          {1, 1, 233.9028545160, 86.2057673218},
          {100, 80, 234.1915947719, 86.0806078715}}},
        {"RA---TAN",
         "DEC--TAN",
         150,
         30,
         {{"RADESYS", "FK5"}},
         {{"EQUINOX", 2000}},
         "FK5 J2000",
         1e-9,
         {{50.5, 40.5, 149.9999956731, 30.0000049530},
          {1, 1, 150.0571305891, 29.9604926302},
          {100, 80, 149.9428152564, 30.0394925854}}},
        {"ELON-TAN",
         "ELAT-TAN",
         100,
         20,
         {},
         {},
         "ecliptic J2000",
         1e-5,
         {{50.5, 40.5, 102.8905219877, 42.9928263321},
          {1, 1, 102.9527500097, 42.9488114871},
          {100, 80, 102.8282048028, 43.0368074192}}},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        const FitsSky sky = skyOf(dir, c.lon, c.lat, c.lon0, c.lat0, c.keys, c.numbers);
        ASSERT_TRUE(sky.hasCelestialWcs()) << c.frame << ": " << sky.wcsProblem();
        EXPECT_EQ(sky.frame(), c.frame);
        for (const Point& p : c.points) {
            const auto radec = sky.toSky({p.px, p.py});
            ASSERT_TRUE(radec);
            EXPECT_NEAR(radec->ra, p.ra, c.tolerance / std::cos(p.dec * M_PI / 180))
                << c.frame << " " << p.px;
            EXPECT_NEAR(radec->dec, p.dec, c.tolerance) << c.frame << " " << p.px;
        }
    }
}

TEST(FitsSky, FramesThatCannotBeBroughtToIcrsAreNamedWithoutPositions) {
    test::TempDir dir;
    const FitsSky fk4 =
        skyOf(dir, "RA---TAN", "DEC--TAN", 150, 30, {{"RADESYS", "FK4"}}, {{"EQUINOX", 1950}});
    EXPECT_FALSE(fk4.hasCelestialWcs());
    EXPECT_EQ(fk4.frame(), "FK4 equinox 1950");
    EXPECT_NE(fk4.wcsProblem().find("not converted to ICRS"), std::string::npos);
    EXPECT_FALSE(fk4.toSky({1, 1}));
    const FitsSky icrs = skyOf(dir, "RA---TAN", "DEC--TAN", 150, 30);
    EXPECT_EQ(icrs.frame(), "ICRS");
    EXPECT_NEAR(icrs.toSky({50.5, 40.5})->ra, 150, 1e-12);
}

}  // namespace
}  // namespace orv::formats
