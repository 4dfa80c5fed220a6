#include "formats/fits.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>

#include "bench/fits_writer.h"
#include "bench/starfield.h"
#include "control/pipeline.h"
#include "control/startup.h"
#include "extract/records.h"
#include "formats/fits_files.h"
#include "formats/picture_file.h"
#include "input/image_load.h"
#include "results/data_files.h"
#include "support/pictures.h"

namespace orv::formats {
namespace {

using test::FitsSpec;
using test::TempDir;

// Sample (x, y) of plane c, 0-based picture coordinates (y down), as a value.
double valueAt(const form::DeepSamples& d, int c, int x, int y) {
    const size_t i = (static_cast<size_t>(c) * d.height + y) * d.width + x;
    return std::visit([&](const auto& v) { return d.offset + d.scale * double(v[i]); }, d.samples);
}

TEST(FitsReader, EveryBitpixWithItsScalingAndFitsRowOneAtTheBottom) {
    struct Case {
        int bitpix;
        double bzero, bscale, base;  // base: the first stored sample
        size_t sampleType;           // index in DeepSamples::samples: 0 16-bit, 1 float, 2 double
    };
    const Case cases[] = {
        {8, 0, 1, 0, 0},      {8, 100, 2, 0, 0},    {16, 0, 1, -300, 0},  {16, 32768, 1, 27000, 0},
        {16, -5, -0.5, 0, 0}, {32, 1000, 3, -7, 1}, {32, 0, 1, 1e6, 1},   {64, -7, 2, 1e9, 2},
        {-32, 0, 1, -2.5, 1}, {-32, 1, 2, 0.25, 1}, {-64, 0, 1, 1e-3, 2},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE("BITPIX " + std::to_string(c.bitpix) + " BZERO " + std::to_string(c.bzero));
        FitsSpec spec;
        spec.bitpix = c.bitpix;
        spec.bzero = c.bzero;
        spec.bscale = c.bscale;
        // Stored samples 0..11 (x + 4 (y - 1)) around the base, scaled.
        auto value = [&](int x, int y) {
            return c.bzero + c.bscale * (std::round(c.base / c.bscale) + x + 4 * (y - 1));
        };
        test::writeFits(dir.file("a.fits"), spec,
                        test::fitsValues(spec, [&](int x, int y, int) { return value(x, y); }));
        auto d = readFits(dir.file("a.fits"));
        ASSERT_TRUE(d) << d.error();
        EXPECT_EQ(d->width, 4);
        EXPECT_EQ(d->height, 3);
        EXPECT_EQ(d->channels, 1);
        EXPECT_EQ(d->samples.index(), c.sampleType);
        for (int y = 1; y <= 3; ++y)
            for (int x = 1; x <= 4; ++x)
                EXPECT_DOUBLE_EQ(valueAt(d.value(), 0, x - 1, 3 - y), value(x, y)) << x << "," << y;
    }
}

TEST(FitsReader, CubesGiveTheirFirstPlaneOrThreePlanesAsColour) {
    TempDir dir;
    for (long planes : {3L, 5L, 2L}) {
        FitsSpec spec;
        spec.naxes = {4, 3, planes};
        test::writeFits(
            dir.file("cube.fits"), spec,
            test::fitsValues(spec, [](int x, int y, int p) { return 100 * p + 10 * y + x; }));
        auto d = readFits(dir.file("cube.fits"));
        ASSERT_TRUE(d) << d.error();
        EXPECT_EQ(d->channels, planes == 3 ? 3 : 1);
        for (int c = 0; c < d->channels; ++c)
            EXPECT_EQ(valueAt(d.value(), c, 1, 0), 100 * (c + 1) + 10 * 3 + 2);
    }
    FitsSpec four;  // a 4-D cube with one 3-plane block is colour too
    four.naxes = {4, 3, 3, 1};
    test::writeFits(dir.file("four.fits"), four, std::vector<double>(36, 1.0));
    EXPECT_EQ(readFits(dir.file("four.fits"))->channels, 3);
}

TEST(FitsReader, BlankAndNanPixelsAreMissingAndGetTheLowestLevel) {
    TempDir dir;
    const double m = test::kMissing;
    for (int bitpix : {16, 8, 32, -32, -64}) {
        SCOPED_TRACE(bitpix);
        FitsSpec spec;
        spec.bitpix = bitpix;
        spec.blank = bitpix > 0;
        spec.blankValue = bitpix == 8 ? 255 : -32768;
        spec.naxes = {3, 1};
        test::writeFits(dir.file("b.fits"), spec, {10, m, 20});
        test::TestApp app;
        control::Form_Load(app.ctx);
        auto loaded = readPictureFile(app.host, dir.file("b.fits"), "minmax");
        ASSERT_TRUE(loaded) << loaded.error();
        EXPECT_EQ(loaded->points.black, 10);
        EXPECT_EQ(loaded->points.white, 20);
        const uint8_t* row = loaded->picture.row(0);
        EXPECT_EQ(row[0], 0);
        EXPECT_EQ(row[1], 0);
        EXPECT_EQ(row[2], 255);
    }
}

TEST(FitsReader, APixelAtFitsTenFiveOfAHundredRowsLandsAtPictureNineNinetyFive) {
    test::TestApp app;
    control::Form_Load(app.ctx);
    app.ws.settings.Stretch = "minmax";
    FitsSpec spec;
    spec.naxes = {20, 100};
    test::writeFits(app.dir.file("m31.fits"), spec, test::fitsValues(spec, [](int x, int y, int) {
                        return x == 10 && y == 5 ? 5000 : 100;
                    }));
    app.ws.DoFilePath = app.dir.path();
    app.ws.DoFileName = "m31.fits";
    ASSERT_TRUE(input::cmdDataIn_Click(app.ctx, input::kSourceNamed)) << app.ws.lastLoadError;
    EXPECT_EQ(app.ws.ImageWidthP, 20);
    EXPECT_EQ(app.ws.ImageHeightP, 100);
    for (int y = 1; y <= 100; ++y)
        for (int x = 1; x <= 20; ++x)
            ASSERT_EQ(app.ws.PixelLevel.Level(x, y), x == 10 && y == 96 ? 255 : 0) << x << "," << y;
    EXPECT_EQ(app.ws.StretchUsed, "minmax");
    const std::string log = test::readFile(app.dir.file("m31.fits.dir/m31.fits.log"));
    EXPECT_NE(log.find("＞ストレッチ minmax 黒 100 白 5000\r\n"), std::string::npos) << log;
}

TEST(FitsReader, ThePictureMayStandInTheFirstImageExtensionAndBeCompressed) {
    TempDir dir;
    for (int compression : {0, RICE_1, GZIP_1}) {
        FitsSpec spec;
        spec.emptyPrimary = compression == 0;
        spec.compression = compression;
        spec.naxes = {30, 20};
        test::writeFits(dir.file("x.fits"), spec,
                        test::fitsValues(spec, [](int x, int y, int) { return 7 * x - y; }));
        auto d = readFits(dir.file("x.fits"));
        ASSERT_TRUE(d) << d.error();
        EXPECT_EQ(valueAt(d.value(), 0, 29, 0), 7 * 30 - 20);
        EXPECT_EQ(valueAt(d.value(), 0, 0, 19), 7 - 1);
    }
}

// A FITS header of the given cards, padded to whole blocks.
std::string header(const std::vector<std::string>& cards) {
    std::string h;
    for (std::string c : cards) {
        c.resize(80, ' ');
        h += c;
    }
    h += std::string("END").append(77, ' ');
    h.resize((h.size() + 2879) / 2880 * 2880, ' ');
    return h;
}

TEST(FitsReader, RefusesWhatItCannotReadWithTheReason) {
    TempDir dir;
    struct Case {
        const char* name;
        std::function<void(const std::string&)> make;
        const char* reason;
    };
    auto sixteenBit = [](const std::string& path) {
        FitsSpec spec;
        spec.naxes = {100, 50};
        test::writeFits(path, spec, std::vector<double>(5000, 3.0));
    };
    const Case cases[] = {
        {"bitpix.fits",
         [](const std::string& p) {
             test::writeFile(
                 p, header({"SIMPLE  =                    T", "BITPIX  =                   12",
                            "NAXIS   =                    2", "NAXIS1  =                    2",
                            "NAXIS2  =                    2"}) +
                        std::string(2880, '\0'));
         },
         "BITPIX = 12 には対応していません"},
        {"oneaxis.fits",
         [](const std::string& p) {
             FitsSpec spec;
             spec.naxes = {10};
             test::writeFits(p, spec, std::vector<double>(10, 1.0));
         },
         "画像の軸が 1 本しかありません"},
        {"header.fits",
         [](const std::string& p) {
             FitsSpec spec;
             spec.naxes = {};
             test::writeFits(p, spec, {});
         },
         "ヘッダーだけで、画像データがありません"},
        {"table.fits",
         [](const std::string& p) {
             test::writeFile(
                 p,
                 header({"SIMPLE  =                    T", "BITPIX  =                    8",
                         "NAXIS   =                    0", "EXTEND  =                    T"}) +
                     header({"XTENSION= 'BINTABLE'", "BITPIX  =                    8",
                             "NAXIS   =                    2", "NAXIS1  =                    0",
                             "NAXIS2  =                    0", "PCOUNT  =                    0",
                             "GCOUNT  =                    1", "TFIELDS =                    0"}));
         },
         "画像データのある HDU がありません"},
        {"truncated.fits",
         [&](const std::string& p) {
             sixteenBit(p);
             std::filesystem::resize_file(p, 2880 + 6000);
         },
         "データが途中で切れています"},
        {"codec.fits",
         [](const std::string& p) {
             FitsSpec spec;
             spec.compression = RICE_1;
             spec.naxes = {100, 50};
             test::writeFits(p, spec, std::vector<double>(5000, 3.0));
             std::string bytes = test::readFile(p);
             const size_t at = bytes.find("'RICE_1  '");
             ASSERT_NE(at, std::string::npos);
             bytes.replace(at, 10, "'NOPE_1  '");
             test::writeFile(p, bytes);
         },
         "圧縮された画像を展開できません"},
        {"garbage.fits", [](const std::string& p) { test::writeFile(p, "not a picture"); },
         "FITS の形式ではありません"},
        // 2e9 x 2e9 doubles: 3.2e19 bytes, beyond 64 bits
        {"huge.fits",
         [](const std::string& p) {
             test::writeFile(
                 p, header({"SIMPLE  =                    T", "BITPIX  =                  -64",
                            "NAXIS   =                    2", "NAXIS1  =           2000000000",
                            "NAXIS2  =           2000000000"}) +
                        std::string(2880, '\0'));
         },
         "画像が大きすぎます (2000000000 x 2000000000, BITPIX = -64)"},
        // a FIFO would wait for a writer, a folder was "empty"
        {"fifo.fits", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
         "通常のファイルではありません"},
        {"folder.fits", [](const std::string& p) { std::filesystem::create_directory(p); },
         "フォルダーです"},
        {"empty.fit", [](const std::string& p) { test::writeFile(p, ""); }, ""},
        {"missing.fts", [](const std::string&) {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(c.name);
        c.make(path);
        ASSERT_TRUE(isFitsFile(path) || !std::filesystem::exists(path));
        const auto d = readFits(path);
        ASSERT_FALSE(d);
        EXPECT_NE(d.error().find(path), std::string::npos) << d.error();
        EXPECT_NE(d.error().find(c.reason), std::string::npos) << d.error();
    }
    // The same file whole reads, and one of a single value has nothing to stretch.
    sixteenBit(dir.file("flat.fits"));
    ASSERT_TRUE(readFits(dir.file("flat.fits")));
    test::TestApp app;
    const auto flat = readPictureFile(app.host, dir.file("flat.fits"), "");
    ASSERT_FALSE(flat);
    EXPECT_NE(flat.error().find("すべての画素が同じ値 (3)"), std::string::npos) << flat.error();
}

TEST(FitsPictures, AGeneratedSixteenBitFieldIsFoundAtItsTruePositions) {
    auto spec = bench::denseField(256, 192, 40, 11);
    spec.colour = false;
    spec.noiseSigma = 1.0;
    spec.pairCount = 0;
    spec.peakMin = 40;
    spec.sigmaMin = 1.2;
    spec.deepScale = 150;
    spec.deepOffset = 2000;
    const auto field = bench::generateStarField(spec);

    test::TestApp app;
    control::Form_Load(app.ctx);
    test::typicalSettings(app.ws.settings);
    ASSERT_TRUE(
        bench::writeFits16(app.dir.file("field.fits"), field.width, field.height, field.deep));
    app.ws.DoFilePath = app.dir.path();
    app.ws.DoFileName = "field.fits";
    ASSERT_TRUE(input::cmdDataIn_Click(app.ctx, input::kSourceNamed)) << app.ws.lastLoadError;
    control::cmdDoAll_Click(app.ctx);
    ASSERT_EQ(app.ws.ProcStage, core::kStageAnalysed);
    // Every star that no other star touches is found where it was drawn.
    int found = 0, isolated = 0;
    for (const auto& star : field.stars) {
        bool alone = true;
        for (const auto& other : field.stars)
            alone &= &other == &star || std::hypot(other.x - star.x, other.y - star.y) > 10;
        if (!alone) continue;
        ++isolated;
        double best = 1e9;
        for (int32_t n = 1; n <= app.ws.MaxStarNo; ++n) {
            const auto& s = app.ws.Stars[n];
            if (app.ws.Clusters[n].Used == -1 && app.ws.Clusters[n].Atr == extract::kAtrCircular)
                best = std::min(best, std::hypot(s.CenterX - star.x, s.CenterY - star.y));
        }
        found += best < 0.25;
    }
    EXPECT_GE(found, isolated - 1) << found << " of " << isolated;

    // Saved, read back and reloaded like any picture's results (the stretch section is extra).
    ASSERT_TRUE(results::OV_SaveData(app.ctx));
    const int32_t saved = app.ws.MaxStarNo;
    app.ws.ProcStage = core::kStageIdle;
    ASSERT_TRUE(results::OV_ReadData(app.ctx, app.dir.file("field.fits.dir"), "field.fits.dat"));
    EXPECT_EQ(app.ws.MaxStarNo, saved);
    EXPECT_EQ(app.ws.DoFileName, "field.fits");
    ASSERT_TRUE(input::cmdDataIn_Click(app.ctx, input::kSourceNamed)) << app.ws.lastLoadError;
    EXPECT_EQ(app.ws.ImageHeightP, 192);
}

}  // namespace
}  // namespace orv::formats
