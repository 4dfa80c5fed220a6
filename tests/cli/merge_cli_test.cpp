// orvandel-cli merge: the catalogue of a tiled field against the field processed whole.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>

#include "cli/cli_run.h"
#include "core/text_file.h"
#include "formats/fits_files.h"

namespace orv::test {
namespace {

// A result of a CSV catalogue, with its coordinates as printed.
struct Row {
    std::string xText, yText, tile, star, atr, pixels, sumLevel, maxLevel;
    double x = 0, y = 0, hankeiMax = 0;
    std::string xFits, yFits, ra, dec;  // "" when the catalogue has no such columns
    bool samePixels(const Row& o) const {
        return pixels == o.pixels && sumLevel == o.sumLevel && maxLevel == o.maxLevel;
    }
    bool near(const Row& o) const { return std::abs(x - o.x) < 0.5 && std::abs(y - o.y) < 0.5; }
};

std::vector<Row> readCsv(const std::string& text) {
    const auto lines = core::splitLines(text);
    std::vector<Row> rows;
    if (lines.empty()) return rows;
    std::map<std::string, size_t> column;
    const auto header = core::splitCommaFields(lines[0]);
    for (size_t c = 0; c < header.size(); ++c) column[header[c]] = c;
    for (size_t k = 1; k < lines.size(); ++k) {
        const auto f = core::splitCommaFields(lines[k]);
        auto at = [&](const char* name) { return f.at(column.at(name)); };
        auto maybe = [&](const char* name) { return column.count(name) ? at(name) : ""; };
        rows.push_back({at("x"), at("y"), at("tile"), at("star"), at("atr"), at("pixels"),
                        at("sum_level"), at("max_level"), std::stod(at("x")), std::stod(at("y")),
                        std::stod(at("hankei_max")), maybe("x_fits"), maybe("y_fits"), maybe("ra"),
                        maybe("dec")});
    }
    return rows;
}

// Half a unit in the last digit of a number as printed ("1402.833": 0.0005).
double halfLastDigit(const std::string& text) {
    const size_t dot = text.find('.');
    return 0.5 * std::pow(10.0, dot == std::string::npos ? 0.0 : -double(text.size() - dot - 1));
}

// A 1700 x 1200 field cut into tiles (S 500, M 50: 3 x 2 tiles over 1600 x 1100, the rest
// never cut), processed and merged, against the same field processed whole. Every whole-picture
// result whose cluster lies inside the tiled area (its reach, the largest outline radius plus
// the background's half-width and a pixel, clear of the tiled area's edge) appears exactly once
// with the same pixels, and every merged result is one of the whole picture's or lies at that
// edge. The centroids agree to within the rounding of the whole picture's single-precision sums
// (x times its pixel count times 2^-24 per coordinate, both sides) and the digits printed: the
// whole picture sums x·level over pixels up to 1600 px from the origin, a tile over at most 600.
TEST(CliMerge, TheTiledCatalogueHoldsEveryStarOfTheWholePictureOnce) {
    TempDir dir;
    auto spec = bench::denseField(1700, 1200, 3000, 12);
    spec.noiseSigma = 1.2;
    const auto field = bench::generateStarField(spec);
    ASSERT_TRUE(bench::writeBmp(dir.file("field.bmp"), field.width, field.height, field.rgb));
    const std::string settings = " --settings " + standardSettings(dir) + " ";
    const std::string list = dir.file("field.bmp.dir/field.bmp.txt");
    ASSERT_EQ(cli("tiles " + dir.file("field.bmp"), dir).status, 0);
    CliRun r = cli("batch --jobs 2" + settings + list, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    r = cli("detect --jobs 1" + settings + dir.file("field.bmp"), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    r = cli("export " + dir.file("field.bmp"), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto whole = readCsv(r.out);
    r = cli("merge " + list + " -o " + dir.file("merged.csv") + " --ds9 " + dir.file("m.reg"), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string mergedText = readFile(dir.file("merged.csv"));
    const auto merged = readCsv(mergedText);
    EXPECT_EQ(core::splitLines(readFile(dir.file("m.reg"))).size(), merged.size() + 3);

    const double tiledW = 1600, tiledH = 1100;
    auto atEdge = [&](const Row& row) {
        const double reach = row.hankeiMax + 4 + 2;
        return row.x + reach >= tiledW || row.y + reach >= tiledH;
    };
    std::vector<int> matched(merged.size(), 0);
    size_t compared = 0;
    for (const Row& w : whole) {
        if (w.x >= tiledW || w.y >= tiledH || atEdge(w)) continue;
        ++compared;
        std::vector<size_t> found;
        for (size_t k = 0; k < merged.size(); ++k)
            if (merged[k].near(w)) found.push_back(k);
        ASSERT_EQ(found.size(), 1u) << "whole-picture result " << w.star;
        const Row& m = merged[found[0]];
        ++matched[found[0]];
        EXPECT_TRUE(m.samePixels(w)) << w.star;
        EXPECT_EQ(m.atr, w.atr) << w.star;
        const double bound = 2 * (std::stod(w.pixels) + 1) * std::ldexp(1.0, -24);
        EXPECT_NEAR(m.x, w.x, bound * w.x + halfLastDigit(w.xText) + halfLastDigit(m.xText))
            << w.star;
        EXPECT_NEAR(m.y, w.y, bound * w.y + halfLastDigit(w.yText) + halfLastDigit(m.yText))
            << w.star;
    }
    EXPECT_GT(compared, 3000u);
    for (size_t k = 0; k < merged.size(); ++k) {
        if (matched[k] == 1) continue;
        EXPECT_TRUE(atEdge(merged[k]))
            << "merged result " << merged[k].tile << " " << merged[k].star << " is not whole's";
        for (size_t other = 0; other < merged.size(); ++other)
            EXPECT_FALSE(other != k && merged[k].samePixels(merged[other]) &&
                         merged[k].near(merged[other]))
                << "kept twice: " << merged[k].tile << " " << merged[k].star;
    }

    // Without -o and --ds9 the same CSV goes to standard output.
    r = cli("merge " + list, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out == mergedText);

    // Without the layout file S and M must be given; they give the same catalogue, but the
    // picture's height is unknown, so no DS9 file.
    const std::string layout = dir.file("field.bmp.dir/field.bmp.tiles.ini");
    std::filesystem::rename(layout, layout + ".away");
    r = cli("merge " + list, dir);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--size and --margin"), std::string::npos) << r.err;
    r = cli("merge --size 500 --margin 50 " + list, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out == mergedText);
    r = cli("merge --size 500 --margin 50 --ds9 " + dir.file("none.reg") + " " + list, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.reg")));
    std::filesystem::rename(layout + ".away", layout);
    EXPECT_EQ(cli("merge --size 400 --margin 50 " + list, dir).status, 2);

    // A tile without results: named, the rest still written, exit status 1.
    std::filesystem::remove_all(dir.file("field.bmp.dir/field.bmp.001.001.bmp.dir"));
    r = cli("merge -o " + dir.file("part.csv") + " " + list, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("field.bmp.001.001.bmp: no saved results"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("5 of 6 tiles"), std::string::npos) << r.out;
    EXPECT_LT(readCsv(readFile(dir.file("part.csv"))).size(), merged.size());
    for (const char* bad : {"merge", "merge a.txt b.txt", "merge --size x a.txt"})
        EXPECT_EQ(cli(bad, dir).status, 2) << bad;
    EXPECT_EQ(cli("merge " + dir.file("none.txt"), dir).status, 1);
}

// A FITS field with a celestial WCS, cut into tiles (stretched once as a whole, FITS row 1 at
// the bottom of every tile), processed and merged: its results carry the same FITS pixel and
// sky columns as the picture processed whole.
TEST(CliMerge, TilesOfAFitsPictureKeepItsPixelAndSkyCoordinates) {
    TempDir dir;
    auto spec = bench::denseField(1100, 600, 300, 5);
    spec.colour = false;
    spec.noiseSigma = 1.2;
    spec.deepScale = 200;
    spec.deepOffset = 1000;
    const auto field = bench::generateStarField(spec);
    FitsSpec fits;
    fits.naxes = {1100, 600};
    fits.bzero = 32768;
    fits.textKeys = {{"CTYPE1", "RA---TAN"}, {"CTYPE2", "DEC--TAN"}};
    fits.numberKeys = {{"CRPIX1", 550.5}, {"CRPIX2", 300.5},    {"CRVAL1", 83.8},
                       {"CRVAL2", -5.4},  {"CDELT1", -0.00028}, {"CDELT2", 0.00028}};
    writeFits(dir.file("m42.fits"), fits, fitsValues(fits, [&](int x, int y, int) {
                  return field.deep[static_cast<size_t>(600 - y) * 1100 + (x - 1)];
              }));
    // Levels as the 8-bit field has them.
    const std::string settings =
        " --stretch range:1000,52000 --settings " + standardSettings(dir) + " ";
    const std::string list = dir.file("m42.fits.dir/m42.fits.txt");
    CliRun r = cli("tiles" + settings + dir.file("m42.fits"), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(cli("batch --jobs 2" + settings + list, dir).status, 0);
    ASSERT_EQ(cli("detect" + settings + dir.file("m42.fits"), dir).status, 0);
    r = cli("export " + dir.file("m42.fits"), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto whole = readCsv(r.out);
    r = cli("merge " + list, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto merged = readCsv(r.out);
    // One column set, LF lines.
    EXPECT_TRUE(r.out.starts_with("id,x,y,x_fits,y_fits,ra,dec,flux,")) << r.out.substr(0, 80);
    EXPECT_EQ(r.out.find('\r'), std::string::npos);

    size_t same = 0;
    for (const Row& m : merged) {
        if (m.x > 1000 || m.y > 500) continue;  // near the tiled area's edge
        for (const Row& w : whole) {
            if (!m.near(w) || !m.samePixels(w)) continue;
            ++same;
            EXPECT_NEAR(std::stod(m.xFits), std::stod(w.xFits), 0.002) << m.tile << " " << m.star;
            EXPECT_NEAR(std::stod(m.yFits), std::stod(w.yFits), 0.002) << m.tile << " " << m.star;
            EXPECT_NEAR(std::stod(m.ra), std::stod(w.ra), 1e-6) << m.tile << " " << m.star;
            EXPECT_NEAR(std::stod(m.dec), std::stod(w.dec), 1e-6) << m.tile << " " << m.star;
        }
    }
    EXPECT_GT(same, 200u);
}

// Tiles cut again (another picture under the same name) after the batch: the results were made
// from other tiles than the layout names now, and merge refuses them; run again after the batch
// it merges. An emptied tile record file is refused, not taken as a tile without stars.
TEST(CliMerge, ResultsOfAnotherCutAndEmptiedTilesAreRefused) {
    TempDir dir;
    auto write = [&](uint32_t seed) {
        auto spec = bench::denseField(1100, 600, 200, seed);
        spec.noiseSigma = 1.2;
        const auto field = bench::generateStarField(spec);
        ASSERT_TRUE(bench::writeBmp(dir.file("f.bmp"), field.width, field.height, field.rgb));
    };
    const std::string settings = " --settings " + standardSettings(dir) + " ";
    const std::string list = dir.file("f.bmp.dir/f.bmp.txt");
    write(1);
    ASSERT_EQ(cli("tiles " + dir.file("f.bmp"), dir).status, 0);
    ASSERT_EQ(cli("batch --jobs 2" + settings + list, dir).status, 0);
    CliRun r = cli("merge " + list, dir);
    ASSERT_EQ(r.status, 0) << r.err;

    const std::string dat = dir.file("f.bmp.dir/f.bmp.001.000.bmp.dir/f.bmp.001.000.bmp.dat");
    const std::string kept = readFile(dat);
    writeFile(dat, "");
    r = cli("merge " + list, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("f.bmp.001.000.bmp: f.bmp.001.000.bmp.dat が"), std::string::npos)
        << r.err;
    writeFile(dat, kept);

    write(2);
    ASSERT_EQ(cli("tiles " + dir.file("f.bmp"), dir).status, 0);
    r = cli("merge " + list, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("f.bmp.000.000.bmp: the results were made from another cut"),
              std::string::npos)
        << r.err;
    ASSERT_EQ(cli("batch --jobs 2" + settings + list, dir).status, 0);
    EXPECT_EQ(cli("merge " + list, dir).status, 0);
}

}  // namespace
}  // namespace orv::test
