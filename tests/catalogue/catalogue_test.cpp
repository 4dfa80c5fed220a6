// The catalogue writers (CSV, DS9 regions) and the catalogue of one picture's saved results.

#include <gtest/gtest.h>

#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/picture_catalogue.h"
#include "catalogue/saved_results.h"
#include "core/paths.h"
#include "form/class_colours.h"
#include "formats/fits_files.h"
#include "support/test_app.h"

namespace orv::catalogue {
namespace {

// The record of cluster 12 of the result files' example: a 3 x 3 area object at (34.5, 56.5).
results::ResultRecord exampleResult() {
    results::ResultRecord r;
    r.number = 12;
    r.cluster.StartX = 34;
    r.cluster.StartY = 56;
    r.cluster.Siki = 4;
    r.cluster.Atr = 2;
    r.star.CenterX = 34.5f;
    r.star.CenterY = 56.5f;
    r.star.PixelCount = 9;
    r.star.SumLevel = 900;
    r.star.MaxLevel = 100;
    r.star.HankeiAve = 1.207107f;
    r.star.HankeiMax = 1.414214f;
    r.star.HankeiMin = 1;
    r.star.HankeiSD = 0.2071068f;
    r.star.SinendoRatio = 1.414214f;
    return r;
}

TEST(CatalogueCsv, ColumnsInTheirOrderWithTextQuoted) {
    results::ResultRecord r = exampleResult();
    r.cluster.Note = "said \"faint\", maybe";
    Catalogue c;
    c.records.push_back(fromResult(r, "m42.bmp.002.013.bmp"));
    EXPECT_EQ(csvLines(c),
              (std::vector<std::string>{
                  "x,y,tile,star,atr,edit_atr,pixels,sum_level,max_level,hankei_ave,hankei_min,"
                  "hankei_max,hankei_sd,sinendo,siki,note",
                  "34.5,56.5,\"m42.bmp.002.013.bmp\",12,2,0,9,900,100,1.207107,1,1.414214,"
                  "0.2071068,1.414214,4,\"said \"\"faint\"\", maybe\""}));
}

TEST(CatalogueCsv, FitsColumnsAreExactToTheDigitsShown) {
    results::ResultRecord r = exampleResult();
    r.star.CenterX = 1234.567f;   // a Single: 1234.5670166015625
    r.star.CenterY = 0.1234567f;  // 0.12345670163631439
    Catalogue c;
    c.pictureHeight = 4096;
    c.fitsColumns = true;
    c.skyColumns = true;
    c.records.push_back(fromResult(r, "m31.fits"));
    c.records.push_back(fromResult(exampleResult(), "m31.fits"));
    c.records[0].sky = formats::SkyPosition{10.68470833, 41.26875};
    const auto lines = csvLines(c);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[0].ends_with(",siki,note,x_fits,y_fits,ra,dec")) << lines[0];
    EXPECT_TRUE(lines[1].starts_with("1234.567,0.1234567,")) << lines[1];
    EXPECT_TRUE(lines[1].ends_with(",\"\",1235.067,4096.3765433,10.68470833,41.26875000"))
        << lines[1];
    // No sky position where the projection has none: empty fields.
    EXPECT_TRUE(lines[2].ends_with(",\"\",35,4040,,")) << lines[2];
}

TEST(CatalogueDs9, CirclesInImageCoordinatesInTheWindowsColours) {
    Catalogue c;
    c.pictureHeight = 100;
    results::ResultRecord r = exampleResult();
    r.cluster.Atr = 3;
    r.star.HankeiAve = 3.25f;
    c.records.push_back(fromResult(r, "a.bmp"));
    r.number = 7;
    r.cluster.Atr = 1;
    r.cluster.EditAtr = 1;  // deleted by hand
    r.star.CenterX = 0.5f;
    r.star.CenterY = 99.5f;
    r.star.HankeiAve = 0;  // noise has no outline: the smallest circle
    c.records.push_back(fromResult(r, "a.bmp"));
    r.number = 8;
    r.cluster.Atr = 0;  // not classified: the window draws nothing
    r.cluster.EditAtr = 0;
    c.records.push_back(fromResult(r, "a.bmp"));
    const auto lines = ds9Lines(c);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "# Region file format: DS9 version 4.1");
    EXPECT_TRUE(lines[1].starts_with("global ")) << lines[1];
    EXPECT_EQ(lines[2], "image");
    EXPECT_EQ(lines[3], "circle(35,44,3.25) # color=#ff0000 text={12}");
    EXPECT_EQ(lines[4], "circle(1,1,2) # color=#808080 text={7}");
    EXPECT_EQ(lines[5], "circle(1,1,2) # color=white text={8}");
}

TEST(CatalogueDs9, ColoursFollowTheEditStateThenTheClass) {
    struct Case {
        int16_t atr, editAtr;
        std::optional<form::Rgb> colour;
    };
    const std::vector<Case> cases = {
        {1, 0, form::kColourNoise},
        {2, 0, form::kColourArea},
        {3, 0, form::kColourCircular},
        {4, 0, form::kColourElongated},
        {5, 0, form::kColourNoiseReleased},
        {3, 2, form::kColourAdded},
        {3, 1, form::kColourDeleted},
        {1, 3, form::kColourDeleted},
        {0, 0, std::nullopt},
        {6, 0, std::nullopt},
        {3, 4, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(resultColour(c.atr, c.editAtr), c.colour) << c.atr << " " << c.editAtr;
}

void writeResults(const std::string& picture, int height, const std::vector<std::string>& dat) {
    test::writeResults(picture, 400, height, dat);
}

const char* const kAtFitsReference =
    "1,200,150,4,3,0,0,0,0,\"\",200,150,9,900,100,\"\",1.5,2,1,0.2,2,0,0,0,0";
const char* const kDeleted =
    "2,10,20,4,1,1,0,0,0,\"gone\",10.5,20.5,1,34,34,\"\",0,0,0,0,0,0,0,0,0";

TEST(PictureCatalogue, FitsPicturesGetFitsPixelAndSkyColumns) {
    test::TempDir dir;
    test::FitsSpec spec;
    spec.naxes = {400, 300};
    spec.textKeys = {{"CTYPE1", "RA---TAN"}, {"CTYPE2", "DEC--TAN"}};
    spec.numberKeys = {{"CRPIX1", 200.5}, {"CRPIX2", 150.5},  {"CRVAL1", 150.0},
                       {"CRVAL2", 30.0},  {"CDELT1", -0.001}, {"CDELT2", 0.0015}};
    const std::string picture = dir.file("m31.fits");
    test::writeFits(picture, spec, std::vector<double>(400 * 300, 1.0));
    writeResults(picture, 300, {kAtFitsReference, kDeleted});
    auto read = readPictureCatalogue(picture);
    ASSERT_TRUE(read) << read.error();
    EXPECT_TRUE(read->incomplete.empty());
    const auto lines = csvLines(read->catalogue);
    ASSERT_EQ(lines.size(), 3u);
    // The centroid (200, 150) is the reference pixel FITS (200.5, 150.5): the reference point.
    EXPECT_EQ(lines[1],
              "200,150,\"m31.fits\",1,3,0,9,900,100,1.5,1,2,0.2,2,4,\"\",200.5,150.5,"
              "150.00000000,30.00000000");
    EXPECT_TRUE(lines[2].starts_with("10.5,20.5,\"m31.fits\",2,1,1,")) << lines[2];

    // Results of a picture of another height do not belong to this one.
    test::TempDir other;
    const std::string moved = other.file("m31.fits");
    test::writeFits(moved, spec, std::vector<double>(400 * 300, 1.0));
    writeResults(moved, 299, {kAtFitsReference});
    auto refused = readPictureCatalogue(moved);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().find("NAXIS2"), std::string::npos) << refused.error();
}

TEST(PictureCatalogue, OtherPicturesAndFitsFilesThatAreGone) {
    test::TempDir dir;
    const std::string picture = dir.file("field.bmp");  // only its results are read
    writeResults(picture, 160, {kAtFitsReference, kDeleted});
    auto read = readPictureCatalogue(picture);
    ASSERT_TRUE(read) << read.error();
    EXPECT_FALSE(read->catalogue.fitsColumns);
    EXPECT_EQ(read->catalogue.pictureHeight, 160);
    EXPECT_EQ(read->catalogue.records.size(), 2u);

    // A FITS picture that is gone: its pixel columns from the recorded height, no sky columns,
    // and the catalogue says it is incomplete.
    const std::string gone = dir.file("gone.fits");
    writeResults(gone, 300, {kAtFitsReference});
    auto partial = readPictureCatalogue(gone);
    ASSERT_TRUE(partial) << partial.error();
    EXPECT_TRUE(partial->catalogue.fitsColumns);
    EXPECT_FALSE(partial->catalogue.skyColumns);
    EXPECT_EQ(partial->incomplete.size(), 1u);
}

}  // namespace
}  // namespace orv::catalogue
