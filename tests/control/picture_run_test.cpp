#include "control/picture_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <span>

#include "bench/starfield.h"
#include "catalogue/picture_catalogue.h"
#include "core/settings.h"
#include "support/test_app.h"

namespace orv::control {
namespace {

using test::TempDir;

struct Field {
    TempDir dir;
    std::string path = dir.file("m42.bmp");
    form::Picture picture;
    HeadlessOptions options;

    Field() {
        const bench::StarField f = bench::generateStarField(bench::denseField(200, 150, 80, 3));
        picture = form::Picture::fromRgb(f.width, f.height,
                                         std::make_shared<std::vector<uint8_t>>(f.rgb));
        test::writeFile(path, "");  // the decoder below reads the picture for this name
        options.settings = core::defaultSettings();
        options.hyotan = true;
        options.decoder = [this](const std::string& p) -> core::Result<form::Picture> {
            if (p != path) return core::Error{"no such picture: " + p};
            return picture;
        };
    }
};

TEST(PictureRun, AFileGivesTheCatalogueOfItsSavedPairAndWritesNothing) {
    Field f;
    const DetectedPicture d = detectInMemory(f.options, {f.path, {}});
    ASSERT_TRUE(d.outcome.ok) << d.outcome.error;
    EXPECT_FALSE(std::filesystem::exists(f.path + ".dir"));  // no results, no log
    EXPECT_GT(d.catalogue.records.size(), 50u);
    EXPECT_EQ(d.width, 200);
    EXPECT_EQ(d.height, 150);

    // The same picture as `detect` runs it: saved, then read back.
    const auto saved = detectPictures(f.options, {{f.dir.path(), "m42.bmp"}}, 1);
    const auto read = catalogue::readPictureCatalogue(f.path);
    ASSERT_TRUE(read) << read.error();
    EXPECT_EQ(catalogue::csvLines(d.catalogue), catalogue::csvLines(read->catalogue));
    // Measured, with the metadata the saved catalogue has.
    EXPECT_EQ(d.catalogue.meta.measures.samples, "levels");
    EXPECT_EQ(catalogue::ecsvBytes(catalogue::catalogueTable(d.catalogue)),
              catalogue::ecsvBytes(catalogue::catalogueTable(read->catalogue)));
    EXPECT_EQ(d.outcome.counts, saved[0].counts);
    EXPECT_EQ(d.outcome.siki, saved[0].siki);
    EXPECT_EQ(d.outcome.noiseSigma, saved[0].noiseSigma);
    EXPECT_EQ(d.outcome.results, saved[0].results);
}

TEST(PictureRun, AHeldPictureGivesTheFilesResultsWithoutAName) {
    Field f;
    const DetectedPicture fromFile = detectInMemory(f.options, {f.path, {}});
    const DetectedPicture held = detectInMemory(f.options, {"", f.picture});
    ASSERT_TRUE(held.outcome.ok) << held.outcome.error;
    ASSERT_EQ(held.catalogue.records.size(), fromFile.catalogue.records.size());
    catalogue::Catalogue renamed = fromFile.catalogue;
    for (auto& r : renamed.records) r.tile = "";
    EXPECT_EQ(catalogue::csvLines(held.catalogue), catalogue::csvLines(renamed));
}

TEST(PictureRun, APictureThatCannotBeLoadedIsALoadFailure) {
    Field f;
    const DetectedPicture missing = detectInMemory(f.options, {f.dir.file("gone.bmp"), {}});
    EXPECT_EQ(missing.outcome.failure, PictureOutcome::Failure::Load);
    EXPECT_NE(missing.outcome.error.find("gone.bmp"), std::string::npos);

    // Deep samples all of one value: nothing to stretch.
    const std::vector<float> flat(12, 3.0f);
    auto deep = std::make_shared<form::DeepSamples>();
    deep->width = 4;
    deep->height = 3;
    deep->samples = std::span<const float>(flat);
    form::Picture held;
    held.width = 4;
    held.height = 3;
    held.deep = deep;
    const DetectedPicture refused = detectInMemory(f.options, {"", held});
    EXPECT_EQ(refused.outcome.failure, PictureOutcome::Failure::Load);
    EXPECT_NE(refused.outcome.error.find("3"), std::string::npos) << refused.outcome.error;
}

TEST(PictureRun, PsfWithoutStarsMeasuresTheCircularResults) {
    Field f;
    HeadlessOptions plain = f.options;
    plain.hyotan = false;
    const PsfRun run = psfInMemory(plain, {f.path, {}}, std::nullopt);
    ASSERT_TRUE(run.outcome.ok);
    EXPECT_EQ(static_cast<int32_t>(run.stars.size()),
              detectInMemory(plain, {f.path, {}}).outcome.counts[0][extract::kAtrCircular]);
    int fitted = 0;
    for (const auto& p : run.stars) fitted += p.skipped.empty();
    EXPECT_GT(fitted, 10);
    EXPECT_EQ(run.entries, std::min(fitted, 100));
    EXPECT_GT(run.sd, 0.5f);
    // One star given by its centroid: its profile again.
    const PsfStarProfile& first = run.stars.front();
    const PsfRun one = psfInMemory(plain, {f.path, {}}, std::vector<PsfStar>{first.star});
    ASSERT_EQ(one.stars.size(), 1u);
    EXPECT_EQ(one.stars[0].sigma, first.sigma);
}

}  // namespace
}  // namespace orv::control
