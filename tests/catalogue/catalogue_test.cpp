// The catalogue's table (one column set, CSV), its DS9 regions and metadata, and the catalogue
// of one picture's saved results.

#include <gtest/gtest.h>

#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/measure/sidecar.h"
#include "catalogue/picture_catalogue.h"
#include "catalogue/saved_results.h"
#include "core/numeric.h"
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

std::string joined(const std::vector<std::string>& fields) {
    std::string s;
    for (size_t k = 0; k < fields.size(); ++k) s += (k ? "," : "") + fields[k];
    return s;
}

TEST(CatalogueCsv, OneColumnSetInItsOrderWithTextQuoted) {
    results::ResultRecord r = exampleResult();
    r.cluster.Note = "said \"faint\", maybe";
    Catalogue c;
    c.records.push_back(fromResult(r, "m42.bmp.002.013.bmp"));
    c.records.push_back(fromResult(exampleResult(), "m42.bmp.002.013.bmp"));
    c.records[1].measure.flux = 1234.5;
    c.records[1].measure.flags = 4;
    std::vector<std::string> row = {"1", "34.5", "56.5"};
    for (int k = 0; k < 17; ++k) row.push_back("");  // FITS, sky, measurements, flags
    for (const char* v : {"2", "0", "9", "900", "100", "1.207107", "1", "1.414214", "0.2071068",
                          "1.414214", "4", "\"m42.bmp.002.013.bmp\"", "12"})
        row.push_back(v);
    row.push_back("\"said \"\"faint\"\", maybe\"");
    const auto lines = csvLines(c);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0],
              "id,x,y,x_fits,y_fits,ra,dec,flux,flux_err,flux_radius,flux_iso,background,peak,"
              "snr,fwhm,a,b,theta,ellipticity,flags,atr,edit_atr,pixels,sum_level,max_level,"
              "hankei_ave,hankei_min,hankei_max,hankei_sd,sinendo,siki,tile,star,note");
    EXPECT_EQ(lines[1], joined(row));
    EXPECT_EQ(test::cell(c, 2, "id"), "2");
    EXPECT_EQ(test::cell(c, 2, "flux"), "1234.5");
    EXPECT_EQ(test::cell(c, 2, "flags"), "4");
    EXPECT_EQ(test::cell(c, 2, "note"), "");
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
    using test::cell;
    EXPECT_EQ(cell(c, 1, "x") + " " + cell(c, 1, "y"), "1234.567 0.1234567");
    EXPECT_EQ(cell(c, 1, "x_fits") + " " + cell(c, 1, "y_fits"), "1235.067 4096.3765433");
    EXPECT_EQ(cell(c, 1, "ra") + " " + cell(c, 1, "dec"), "10.68470833 41.26875000");
    // No sky position where the projection has none: empty fields.
    EXPECT_EQ(cell(c, 2, "x_fits") + " " + cell(c, 2, "y_fits"), "35 4040");
    EXPECT_EQ(cell(c, 2, "ra") + cell(c, 2, "dec"), "");
}

TEST(CatalogueTable, UnitsFollowTheSamplesAndMetadataNameHowItWasMade) {
    Catalogue c;
    c.skyColumns = true;
    c.meta.picture = "m42.fits";
    c.meta.programVersion = "ver 2015/09/27";
    c.meta.settings = core::Settings{};
    c.meta.settings->Siki = 4;
    c.meta.stretch = "percentile:0.1,99.9";
    c.meta.stretchBlack = 480;
    c.meta.measures.unit = "ADU";
    c.meta.measures.noiseSigma = 3.5;
    c.meta.wcsFrame = "galactic";
    const Table t = catalogueTable(c);
    auto unitOf = [&](const std::string& name) {
        for (const TableColumn& col : t.columns)
            if (col.name == name) return col.unit;
        return std::string("?");
    };
    EXPECT_EQ(unitOf("flux"), "ADU");
    EXPECT_EQ(unitOf("background"), "ADU");
    EXPECT_EQ(unitOf("x"), "pix");
    EXPECT_EQ(unitOf("ra"), "deg");
    EXPECT_EQ(unitOf("theta"), "deg");
    EXPECT_EQ(unitOf("snr"), "");
    std::string keys;
    for (const MetaValue& m : t.meta) {
        keys += m.key + (m.number ? "=" + core::generalForm(*m.number, 7) : "=" + m.text) + " ";
        EXPECT_LE(m.fitsKey.size(), 8u) << m.key;
    }
    EXPECT_EQ(keys,
              "picture=m42.fits program_version=ver 2015/09/27 heikin_width=0 siki=4 siki_top=0 "
              "num_pixel=0 num_pixel2=0 sinendo=0 sinendo_max=0 margin=0 filter_sigma=0 "
              "stretch=percentile:0.1,99.9 stretch_black=480 flux_unit=ADU noise_sigma=3.5 "
              "wcs_frame=galactic radec_frame=ICRS ");
    // Without measurements the unit is the default one.
    EXPECT_EQ(catalogueTable(Catalogue{}).columns[7].unit, "adu");
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
    // Labelled with the id, the row number, which is unique where result numbers repeat.
    EXPECT_EQ(lines[3], "circle(35,44,3.25) # color=#ff0000 text={1}");
    EXPECT_EQ(lines[4], "circle(1,1,2) # color=#808080 text={2}");
    EXPECT_EQ(lines[5], "circle(1,1,2) # color=white text={3}");
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
    const Catalogue& c = read->catalogue;
    ASSERT_EQ(c.records.size(), 2u);
    using test::cell;
    // The centroid (200, 150) is the reference pixel FITS (200.5, 150.5): the reference point.
    EXPECT_EQ(cell(c, 1, "x_fits") + " " + cell(c, 1, "y_fits") + " " + cell(c, 1, "ra") + " " +
                  cell(c, 1, "dec"),
              "200.5 150.5 150.00000000 30.00000000");
    EXPECT_EQ(cell(c, 2, "star") + " " + cell(c, 2, "atr") + " " + cell(c, 2, "edit_atr") + " " +
                  cell(c, 2, "note"),
              "2 1 1 gone");
    EXPECT_EQ(c.meta.wcsFrame, "ICRS");
    // Saved before measuring: empty measurement columns, said as a note.
    ASSERT_EQ(read->notes.size(), 1u);
    EXPECT_NE(read->notes[0].find("m31.fits.dat.meas"), std::string::npos) << read->notes[0];
    EXPECT_EQ(cell(c, 1, "flux") + cell(c, 1, "flags"), "");

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

TEST(PictureCatalogue, MeasurementsSavedBesideTheResultsFillTheirColumns) {
    test::TempDir dir;
    const std::string picture = dir.file("field.bmp");
    writeResults(picture, 160, {kAtFitsReference, kDeleted});
    const std::string meas = picture + ".dir/field.bmp.dat.meas";
    test::writeFile(meas, "# unit = adu\r\n# noise_sigma = 2.5\r\n" +
                              std::string(measure::kMeasureHeader) +
                              "\r\n2,10,20,30,3,8.5,40,10,2.5,1.1,1,45,0.09,16\r\n");
    auto read = readPictureCatalogue(picture);
    ASSERT_TRUE(read) << read.error();
    EXPECT_TRUE(read->notes.empty());
    EXPECT_TRUE(read->incomplete.empty());
    const Catalogue& c = read->catalogue;
    using test::cell;
    EXPECT_EQ(cell(c, 1, "flux") + cell(c, 1, "flags"), "");  // result 1 has no line
    EXPECT_EQ(cell(c, 2, "background") + " " + cell(c, 2, "flux_iso") + " " + cell(c, 2, "flux") +
                  " " + cell(c, 2, "flux_err") + " " + cell(c, 2, "flux_radius") + " " +
                  cell(c, 2, "peak") + " " + cell(c, 2, "snr") + " " + cell(c, 2, "fwhm") + " " +
                  cell(c, 2, "a") + " " + cell(c, 2, "b") + " " + cell(c, 2, "theta") + " " +
                  cell(c, 2, "ellipticity") + " " + cell(c, 2, "flags"),
              "10 20 30 3 8.5 40 10 2.5 1.1 1 45 0.09 16");
    EXPECT_EQ(c.meta.measures.noiseSigma, 2.5);

    // A damaged file: the catalogue is incomplete, the columns empty.
    test::writeFile(meas, std::string(measure::kMeasureHeader) + "\r\n2,10\r\n");
    read = readPictureCatalogue(picture);
    ASSERT_TRUE(read) << read.error();
    ASSERT_EQ(read->incomplete.size(), 1u);
    EXPECT_NE(read->incomplete[0].find("2 行目"), std::string::npos) << read->incomplete[0];
    EXPECT_EQ(cell(read->catalogue, 2, "flux"), "");
}

}  // namespace
}  // namespace orv::catalogue
