// One picture's work shared by threads (Workspace::PictureWorkers), and BMP files whose rows go
// straight into the picture's planes, give the result files of one thread on the decoded
// picture, byte for byte.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/bmp_writer.h"
#include "bench/starfield.h"
#include "control/headless_run.h"
#include "core/settings.h"
#include "support/pictures.h"

namespace orv::control {
namespace {

using bench::BmpVariant;

// The files a save writes, as bytes: record file, settings file, measurements.
struct Saved {
    std::string dat, ini, meas;
};

// Detects `folder`/field.bmp with `jobs` jobs (one picture: every job works on it) and the
// given options; a file that is no BMP is decoded as `decoded`. The files it saved.
Saved detect(const std::string& folder, int jobs, bool hyotan, int channel,
             const form::Picture& decoded) {
    HeadlessOptions options;
    test::typicalSettings(options.settings);
    options.hyotan = hyotan;
    options.channel = channel;
    options.decoder = [&decoded](const std::string&) -> core::Result<form::Picture> {
        return decoded;
    };
    const auto outcomes = detectPictures(options, {{folder, "field.bmp"}}, jobs);
    EXPECT_TRUE(outcomes.at(0).ok) << outcomes.at(0).error;
    EXPECT_EQ(outcomes.at(0).measureProblem, "");
    const std::string base = folder + "/field.bmp.dir/field.bmp";
    return {test::readFile(base + ".dat"), test::readFile(base + ".dat.ini"),
            test::readFile(base + ".dat.meas")};
}

// A 32-bit BMP with bit fields R = byte 0, G = byte 1, B = byte 2 and a fourth byte of noise,
// rows top-down.
std::string rgbxFile(const bench::StarField& f) {
    std::string b;
    auto put = [&](uint32_t v, int bytes) {
        for (int k = 0; k < bytes; ++k) b += static_cast<char>(v >> (8 * k));
    };
    const uint32_t data = 4u * f.width * f.height;
    b += "BM";
    put(66 + data, 4), put(0, 4), put(66, 4);
    put(40, 4), put(static_cast<uint32_t>(f.width), 4), put(static_cast<uint32_t>(-f.height), 4);
    put(1, 2), put(32, 2), put(3, 4), put(data, 4), put(2835, 4), put(2835, 4), put(0, 4),
        put(0, 4);
    put(0xFF, 4), put(0xFF00, 4), put(0xFF0000, 4);
    for (size_t p = 0; p < static_cast<size_t>(f.width) * f.height; ++p)
        put(f.rgb[3 * p] | f.rgb[3 * p + 1] << 8 | f.rgb[3 * p + 2] << 16 | (p * 37 % 251) << 24,
            4);
    return b;
}

TEST(PictureWorkers, TwoWorkersAndEveryBmpVariantSaveTheBytesOfOne) {
    // Odd sizes, so that neither the rows nor the clusters split evenly, and more rows than the
    // cluster scan's blocks hold; a sky with specks, stars, close pairs and saturated ones, in
    // colour (the luminance has its ties).
    bench::FieldSpec spec = bench::denseField(131, 1100, 400, 7);
    spec.noiseSigma = 1.5;
    spec.pairCount = 8;
    spec.saturatedCount = 3;
    const bench::StarField field = bench::generateStarField(spec);
    const form::Picture decoded = form::Picture::fromRgb(
        field.width, field.height, std::make_shared<const std::vector<uint8_t>>(field.rgb));

    test::TempDir dir;
    // The files, each in a folder of its own: the usual BMPs, and one of bit fields.
    std::vector<std::string> folders;
    for (BmpVariant v : {BmpVariant::Rgb24, BmpVariant::Rgb24TopDown, BmpVariant::Rgb32}) {
        folders.push_back(dir.file(std::string(bench::bmpVariantName(v))));
        std::filesystem::create_directories(folders.back());
        ASSERT_TRUE(
            bench::writeBmp(folders.back() + "/field.bmp", field.width, field.height, field.rgb, v)
                .ok());
    }
    folders.push_back(dir.file("rgbx"));
    std::filesystem::create_directories(folders.back());
    test::writeFile(folders.back() + "/field.bmp", rgbxFile(field));
    // The reference: the decoded picture (its file is no BMP) on one thread.
    const std::string first = dir.file("decoded");
    std::filesystem::create_directories(first);
    test::writeFile(first + "/field.bmp", "");

    // Without the gourd split the classification is shared too; with it, it stays in order.
    for (const auto& [hyotan, channel] :
         {std::pair{false, core::kChannelB}, std::pair{true, core::kChannelY}}) {
        SCOPED_TRACE(std::string(hyotan ? "gourd split" : "no split") + ", channel " +
                     std::to_string(channel));
        const Saved reference = detect(first, 1, hyotan, channel, decoded);
        ASSERT_NE(reference.dat, "");
        ASSERT_NE(reference.meas, "");
        // The decoded picture on two threads, and each file on one and two.
        const Saved shared = detect(first, 2, hyotan, channel, decoded);
        EXPECT_TRUE(shared.dat == reference.dat);
        EXPECT_TRUE(shared.meas == reference.meas);
        for (const std::string& folder : folders) {
            for (const int jobs : {1, 2}) {
                SCOPED_TRACE(folder + ", " + std::to_string(jobs) + " workers");
                const Saved saved = detect(folder, jobs, hyotan, channel, form::Picture{});
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

}  // namespace
}  // namespace orv::control
