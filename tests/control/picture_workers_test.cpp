// One picture's work shared by threads (Workspace::PictureWorkers) and BMPs read by the streaming
// reader give the result files of one thread, byte for byte.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench/bmp_writer.h"
#include "bench/starfield.h"
#include "control/headless_run.h"
#include "core/settings.h"
#include "formats/bmp_stream.h"
#include "support/pictures.h"

namespace orv::control {
namespace {

using bench::BmpVariant;

// The files a save writes, as bytes: record file, settings file, measurements.
struct Saved {
    std::string dat, ini, meas;
};

// Detects `folder`/field.bmp with `jobs` jobs (one picture: every job works on it) and the
// given options; the files it saved.
Saved detect(const std::string& folder, int jobs, bool hyotan, int channel) {
    HeadlessOptions options;
    test::typicalSettings(options.settings);
    options.hyotan = hyotan;
    options.channel = channel;
    options.decoder = [](const std::string& path) -> core::Result<form::Picture> {
        formats::BmpRead read = formats::readBmpFile(path);
        if (read.status != formats::BmpRead::Status::Ok) return core::Error{read.error};
        return read.picture;
    };
    const auto outcomes = detectPictures(options, {{folder, "field.bmp"}}, jobs);
    EXPECT_TRUE(outcomes.at(0).ok) << outcomes.at(0).error;
    EXPECT_EQ(outcomes.at(0).measureProblem, "");
    const std::string base = folder + "/field.bmp.dir/field.bmp";
    return {test::readFile(base + ".dat"), test::readFile(base + ".dat.ini"),
            test::readFile(base + ".dat.meas")};
}

TEST(PictureWorkers, TwoWorkersAndEveryBmpVariantSaveTheBytesOfOne) {
    // Odd sizes, so that neither the rows nor the clusters split evenly; a sky with specks,
    // stars, close pairs and saturated ones, in colour (the luminance has its ties).
    bench::FieldSpec spec = bench::denseField(203, 157, 90, 7);
    spec.noiseSigma = 1.5;
    spec.pairCount = 8;
    spec.saturatedCount = 3;
    const bench::StarField field = bench::generateStarField(spec);

    test::TempDir dir;
    const BmpVariant variants[] = {BmpVariant::Rgb24, BmpVariant::Rgb24TopDown, BmpVariant::Rgb32};
    for (const bool hyotan : {false, true}) {
        for (const int channel : {core::kChannelB, core::kChannelY}) {
            SCOPED_TRACE(std::string(hyotan ? "gourd split" : "no split") + ", channel " +
                         std::to_string(channel));
            // The reference: one thread on the usual 24-bit file.
            const std::string first = dir.file("reference");
            std::filesystem::create_directories(first);
            ASSERT_TRUE(bench::writeBmp(first + "/field.bmp", field.width, field.height, field.rgb,
                                        BmpVariant::Rgb24)
                            .ok());
            const Saved reference = detect(first, 1, hyotan, channel);
            ASSERT_NE(reference.dat, "");
            ASSERT_NE(reference.meas, "");
            for (BmpVariant v : variants) {
                const std::string folder = dir.file(std::string(bench::bmpVariantName(v)));
                std::filesystem::create_directories(folder);
                ASSERT_TRUE(
                    bench::writeBmp(folder + "/field.bmp", field.width, field.height, field.rgb, v)
                        .ok());
                for (const int jobs : {1, 2, 3}) {
                    SCOPED_TRACE(std::string(bench::bmpVariantName(v)) + ", " +
                                 std::to_string(jobs) + " workers");
                    const Saved saved = detect(folder, jobs, hyotan, channel);
                    EXPECT_TRUE(saved.dat == reference.dat);
                    EXPECT_TRUE(saved.meas == reference.meas);
                    // The settings file names the picture's folder; the rest is the same.
                    EXPECT_EQ(saved.ini.substr(0, saved.ini.find("[FILE]")),
                              reference.ini.substr(0, reference.ini.find("[FILE]")));
                    EXPECT_EQ(saved.ini.substr(saved.ini.find("[RESULT]")),
                              reference.ini.substr(reference.ini.find("[RESULT]")));
                }
            }
        }
    }
}

}  // namespace
}  // namespace orv::control
