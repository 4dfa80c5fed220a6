// Measuring the results of a run as the pair is saved, and keeping the measurements read back.

#include "catalogue/measure/measure_results.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "catalogue/measure/sidecar.h"
#include "control/pipeline.h"
#include "control/startup.h"
#include "core/text_file.h"
#include "formats/fits_files.h"
#include "input/image_load.h"
#include "results/data_files.h"
#include "support/pictures.h"

namespace orv::catalogue::measure {
namespace {

using test::readFile;
using test::TestApp;

// Round stars on a sky of 20: a saturated one, one on the left edge, a faint one and another.
int blobs(int x, int y) {
    auto g = [&](double cx, double cy, double peak, double s) {
        return peak *
               std::exp(-((x + 0.5 - cx) * (x + 0.5 - cx) + (y + 0.5 - cy) * (y + 0.5 - cy)) /
                        (2 * s * s));
    };
    const double v =
        20 + g(30, 60, 600, 2) + g(1.5, 60, 150, 1.6) + g(100, 60, 60, 1.6) + g(60, 30, 150, 1.5);
    return static_cast<int>(std::min(255.0, std::round(v)));
}

struct DetectedField {
    TestApp app;
    DetectedField() {
        control::Form_Load(app.ctx);
        test::typicalSettings(app.ws.settings);
        EXPECT_TRUE(test::loadPicture(app, test::greyPicture(130, 90, blobs), "m42.bmp"));
        control::cmdDoAll_Click(app.ctx);
    }
    // The result whose centroid lies nearest (x, y).
    int32_t near(double x, double y) const {
        int32_t best = 0;
        double d = 1e9;
        for (int32_t i = 1; i <= app.ws.MaxStarNo; ++i) {
            const auto& s = app.ws.Stars[i];
            if (app.ws.Clusters[i].Used != -1) continue;
            const double e = std::hypot(s.CenterX - x, s.CenterY - y);
            if (e < d) d = e, best = i;
        }
        return best;
    }
    std::string dataFile() const { return app.dir.path() + "/m42.bmp.dir/m42.bmp.dat"; }
};

TEST(MeasureResults, SavedBesideThePairWithFlagsFromThePixelsAndTheEdits) {
    DetectedField run;
    auto& ws = run.app.ws;
    const int32_t saturated = run.near(30, 60), edge = run.near(1.5, 60), faint = run.near(100, 60);
    ASSERT_GT(faint, 0);
    ws.Clusters[faint].EditAtr = core::kEditDeleted;
    const int32_t part = run.near(60, 30);
    ASSERT_GT(part, 0);
    ws.Clusters[part].Siki = ws.settings.Siki + 1;
    // One added by hand: no pixels.
    const int32_t added = ws.MaxStarNo + 1;
    ws.MaxStarNo = added;
    ws.Clusters.resize(std::max<size_t>(ws.Clusters.size(), added + 1));
    ws.Stars.resize(std::max<size_t>(ws.Stars.size(), added + 1));
    ws.Clusters[added].Used = -1;
    ws.Clusters[added].EditAtr = core::kEditAdded;
    ws.Stars[added].CenterX = 50;
    ws.Stars[added].CenterY = 50;
    ASSERT_TRUE(results::OV_SaveData(run.app.ctx));

    auto read = readMeasureFile(measureFilePath(run.dataFile()));
    ASSERT_TRUE(read) << read.error();
    EXPECT_EQ(read->picture.samples, "levels");
    EXPECT_EQ(read->picture.unit, "adu");
    EXPECT_EQ(read->picture.saturation, 255);
    EXPECT_NEAR(read->find(saturated)->background, 20, 0.5);
    EXPECT_EQ(read->find(saturated)->flags & core::kFlagSaturated, core::kFlagSaturated);
    EXPECT_EQ(read->find(edge)->flags & core::kFlagEdge, core::kFlagEdge);
    EXPECT_EQ(read->find(faint)->flags, core::kFlagEdited);
    EXPECT_GT(read->find(faint)->flux, 0);
    EXPECT_EQ(read->find(added)->flags, core::kFlagHandAdded);
    EXPECT_TRUE(std::isnan(read->find(added)->flux));
    // A part made by the gourd split (filled with a raised threshold) carries flag 4.
    EXPECT_EQ(read->find(part)->flags & core::kFlagGourd, core::kFlagGourd);
    EXPECT_EQ(read->find(saturated)->flags & core::kFlagGourd, 0);
    // A line per record line, in its order.
    const auto dat = core::splitLines(readFile(run.dataFile()));
    const auto meas = core::splitLines(readFile(measureFilePath(run.dataFile())));
    ASSERT_EQ(meas.size(), dat.size() + 5);
    for (size_t k = 0; k < dat.size(); ++k)
        EXPECT_EQ(core::splitCommaFields(meas[k + 5])[0], core::splitCommaFields(dat[k])[0]);
    EXPECT_EQ(ws.measures.problem, "");
}

TEST(MeasureResults, ReadBackTheyAreKeptNotMeasuredAgain) {
    DetectedField run;
    ASSERT_TRUE(results::OV_SaveData(run.app.ctx));
    const int32_t star = run.near(30, 60);
    const core::MeasureRec measured = *run.app.ws.measures.find(star);
    const std::string saved = readFile(measureFilePath(run.dataFile()));

    TestApp b;
    control::Form_Load(b.ctx);
    ASSERT_TRUE(results::OV_ReadData(b.ctx, run.app.dir.path() + "/m42.bmp.dir", "m42.bmp.dat"));
    EXPECT_TRUE(b.ws.measures.fromFile);
    // The map holds only blocks about the centroids: the values are those read.
    const core::MeasureRec r = measureResult(b.ctx, star);
    EXPECT_EQ(measureText(r.flux), measureText(measured.flux));
    EXPECT_EQ(measureText(r.fwhm), measureText(measured.fwhm));
    b.ws.DoFilePath = run.app.dir.path();
    ASSERT_TRUE(results::OV_SaveData(b.ctx));
    EXPECT_EQ(readFile(measureFilePath(run.dataFile())), saved);

    // A pair saved before measuring reads with none, and saves with empty columns.
    std::filesystem::remove(measureFilePath(run.dataFile()));
    ASSERT_TRUE(results::OV_ReadData(b.ctx, run.app.dir.path() + "/m42.bmp.dir", "m42.bmp.dat"));
    EXPECT_NE(b.ws.measures.problem.find("m42.bmp.dat.meas"), std::string::npos);
    EXPECT_TRUE(std::isnan(measureResult(b.ctx, star).flux));
}

TEST(MeasureResults, MeasuredAgainOnlyWhenThePixelsOfTheResultsChange) {
    DetectedField run;
    auto& ws = run.app.ws;
    auto measuring = [&] {  // the measuring yields once per result
        const long long before = run.app.host.pumps;
        refreshMeasures(run.app.ctx);
        return run.app.host.pumps > before;
    };
    EXPECT_TRUE(measuring());
    EXPECT_FALSE(measuring());
    const int32_t star = run.near(30, 60);
    ws.Clusters[star].EditAtr = core::kEditDeleted;  // an edit keeps the pixels
    ws.Clusters[star].Note = "checked";
    EXPECT_FALSE(measuring());
    EXPECT_EQ(measureResult(run.app.ctx, star).flux, ws.measures.find(star)->flux);
    ws.Stars[star].CenterX += 0.25f;  // analysed again, differently
    EXPECT_TRUE(measuring());
}

TEST(MeasureResults, AResultMeasuredAloneIsShownAgainOnlyForTheSameResultsAndThreshold) {
    DetectedField run;
    auto& ws = run.app.ws;
    const int32_t star = run.near(30, 60);
    ws.measures = {};  // out of date: the result is measured alone
    const core::MeasureRec first = measureResult(run.app.ctx, star);
    EXPECT_EQ(measureText(measureResult(run.app.ctx, star).flux), measureText(first.flux));
    // The gourd flag follows the threshold of now.
    const float siki = ws.settings.Siki;
    ws.settings.Siki = ws.Clusters[star].Siki - 1;
    EXPECT_NE(measureResult(run.app.ctx, star).flags & core::kFlagGourd, 0);
    ws.settings.Siki = siki;
    EXPECT_EQ(measureResult(run.app.ctx, star).flags & core::kFlagGourd, 0);
    // Results analysed again are measured again: as a fresh measuring gives them.
    ws.Stars[star].CenterX += 0.25f;
    const core::MeasureRec moved = measureResult(run.app.ctx, star);
    refreshMeasures(run.app.ctx);
    EXPECT_EQ(measureText(moved.flux), measureText(ws.measures.find(star)->flux));
    EXPECT_EQ(measureText(moved.a), measureText(ws.measures.find(star)->a));
}

TEST(MeasureResults, AFitsFileChangedBeforeTheSaveLeavesThemUnmeasuredAndSaysSo) {
    TestApp app;
    control::Form_Load(app.ctx);
    test::typicalSettings(app.ws.settings);
    test::FitsSpec spec;
    spec.naxes = {80, 60};
    spec.bzero = 32768;
    const std::string picture = app.dir.file("sky.fits");
    auto field = [](int x, int y, int) {
        return 1000 + 30000 * std::exp(-((x - 40.0) * (x - 40.0) + (y - 30.0) * (y - 30.0)) / 4.5);
    };
    test::writeFits(picture, spec, test::fitsValues(spec, field));
    app.ws.DoFilePath = app.dir.path();
    app.ws.DoFileName = "sky.fits";
    ASSERT_TRUE(input::cmdDataIn_Click(app.ctx, input::kSourceNamed));
    control::cmdDoAll_Click(app.ctx);
    ASSERT_GT(app.ws.MaxStarNo, 0);

    // Measured on the file's own values: the sky 1000, not a level.
    const core::MeasureTable measures = measureResults(app.ctx);
    EXPECT_EQ(measures.picture.samples, "samples");
    EXPECT_EQ(measures.picture.saturation, 65535);
    int32_t star = 0;
    for (int32_t i = 1; i <= app.ws.MaxStarNo; ++i)
        if (app.ws.Stars[i].PixelCount > 5) star = i;
    ASSERT_GT(star, 0);
    EXPECT_NEAR(measures.find(star)->background, 1000, 0.5);
    EXPECT_NEAR(measures.find(star)->flux, 30000 * 2 * M_PI * 1.5 * 1.5, 0.01 * 30000 * 14.1);

    spec.naxes = {81, 60};
    test::writeFits(picture, spec, test::fitsValues(spec, field));
    ASSERT_TRUE(results::OV_SaveData(app.ctx));
    EXPECT_NE(app.ws.measures.problem.find("81 x 60"), std::string::npos)
        << app.ws.measures.problem;
    EXPECT_TRUE(app.frm.lblMsg.Caption.starts_with("＊測光できなかった結果があります: "))
        << app.frm.lblMsg.Caption;
    const std::string log = readFile(app.dir.file("sky.fits.dir/sky.fits.log"));
    EXPECT_NE(log.find("＊測光できなかった結果があります: "), std::string::npos);
    auto read = readMeasureFile(app.dir.file("sky.fits.dir/sky.fits.dat.meas"));
    ASSERT_TRUE(read);
    EXPECT_TRUE(std::isnan(read->find(star)->flux));
}

}  // namespace
}  // namespace orv::catalogue::measure
