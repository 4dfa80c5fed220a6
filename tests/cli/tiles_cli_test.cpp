// orvandel-cli tiles: the same files as the division window, deep pictures, the count, bad
// input.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <regex>

#include "cli/cli_run.h"
#include "formats/bmp_stream.h"
#include "formats/stretch.h"
#include "input/image_load.h"
#include "tiles/big_pic.h"
#include "tiles/export.h"

namespace orv::test {
namespace {

namespace fs = std::filesystem;

// The division window after "全分割画像出力" of a picture into `folder` with S and M.
struct WindowSave {
    TestApp app;
    form::FrmBigPic big;
    tiles::BigPicCtx c{app.ws, big, app.host};

    WindowSave(const std::string& picture, const std::string& folder, const char* size,
               const char* margin) {
        app.ctx.bigPic = &big;
        tiles::cmdShowBigPic_Click(app.ctx);
        fs::create_directories(folder);
        big.dirBach.Path = folder;
        big.txtDivSize.Text = size;
        tiles::txtDivSize_Change(c);
        big.txtDivMargin.Text = margin;
        tiles::txtDivMargin_Change(c);
        app.host.fileAnswers.push_back(picture);
        tiles::cmdBigPic_Click(c, 0);
        tiles::cmdSaveAllFile_Click(c);
    }
};

// The files of a tile folder by name, the batch list's `from` written as `to` (the list names
// the folder).
std::map<std::string, std::string> filesOf(const std::string& folder, const std::string& from = "",
                                           const std::string& to = "") {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(folder)) {
        std::string bytes = readFile(e.path().string());
        if (e.path().extension() == ".txt")
            for (size_t at = 0; !from.empty() && (at = bytes.find(from, at)) != bytes.npos;
                 at += to.size())
                bytes.replace(at, from.size(), to);
        files[e.path().filename().string()] = bytes;
    }
    return files;
}

// The files of `tiles` are the division window's: the same folder, names and bytes.
TEST(Cli, TilesWritesWhatTheDivisionWindowWrites) {
    TempDir dir;
    auto field = bench::generateStarField(bench::denseField(1234, 1010, 300, 9));
    ASSERT_TRUE(bench::writeBmp(dir.file("sky.bmp"), field.width, field.height, field.rgb));
    CliRun r = cli(
        "tiles --size 300 --margin 20 --out " + dir.file("cli") + " " + dir.file("sky.bmp"), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "9 tiles written to " + dir.file("cli/sky.bmp.dir") + "\n");

    WindowSave window(dir.file("sky.bmp"), dir.file("win"), "300", "20");
    const auto fromWindow = filesOf(dir.file("win/sky.bmp.dir"));
    ASSERT_EQ(fromWindow.size(), 11u);  // 9 tiles, the list and the layout
    EXPECT_EQ(fromWindow.begin()->first, "sky.bmp.000.000.bmp");
    EXPECT_TRUE(fromWindow.count("sky.bmp.002.002.bmp"));
    EXPECT_TRUE(filesOf(dir.file("cli/sky.bmp.dir"), dir.file("cli"), dir.file("win")) ==
                fromWindow);

    // --cover adds a column and a row ending at the right and bottom edges (the whole tiles
    // end at 940 of 1234 and 1010); the whole tiles stay the same files.
    r = cli("tiles --cover --size 300 --margin 20 --out " + dir.file("cover") + " " +
                dir.file("sky.bmp"),
            dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "16 tiles written to " + dir.file("cover/sky.bmp.dir") + "\n");
    const auto covered = filesOf(dir.file("cover/sky.bmp.dir"));
    for (const char* name : {"sky.bmp.000.000.bmp", "sky.bmp.002.001.bmp"})
        EXPECT_TRUE(covered.at(name) == fromWindow.at(name)) << name;
    // The corner tile's last row is the end of the picture's last row.
    const auto corner = formats::readBmpFile(dir.file("cover/sky.bmp.dir/sky.bmp.003.003.bmp"));
    ASSERT_EQ(corner.picture.width, 340);
    ASSERT_EQ(corner.picture.height, 340);
    EXPECT_EQ(
        std::memcmp(corner.picture.row(339), field.rgb.data() + 3 * (1009 * 1234 + 894), 3 * 340),
        0);
    EXPECT_NE(covered.at("sky.bmp.tiles.ini").find("Cover=1"), std::string::npos);

    // The batch processes every tile of the list.
    CliRun batch = cli("batch --jobs 2 --settings " + standardSettings(dir) + " " +
                           dir.file("cli/sky.bmp.dir/sky.bmp.txt"),
                       dir);
    EXPECT_EQ(batch.status, 0) << batch.err;
    EXPECT_TRUE(
        fs::exists(dir.file("cli/sky.bmp.dir/sky.bmp.002.002.bmp.dir/sky.bmp.002.002.bmp.dat")));
}

// A deep picture is stretched once as a whole: a FITS file and the same field as a 16-bit PNG
// give the same tiles, the window the same files as `tiles`, and the layout file the stretch,
// whose points cut the same tiles again.
TEST(Cli, TilesOfAFitsFileAreThoseOfTheSameSixteenBitPngAndTheWindows) {
    TempDir dir;
    writeDeepField(dir.file("field.fits"));
    writeDeepField(dir.file("field.png"));
    const std::string options = "tiles --size 60 --margin 10 --settings " + standardSettings(dir) +
                                " --out " + dir.file("cli") + " ";
    CliRun r = cli(options + dir.file("field.fits"), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    std::smatch said;
    ASSERT_TRUE(std::regex_match(
        r.out, said,
        std::regex(".*/field\\.fits: stretch percentile:0\\.1,99\\.9, black ([-0-9.e]+), "
                   "white ([-0-9.e]+)\n6 tiles written to .*\n")))
        << r.out;
    const std::string black = said[1], white = said[2];
    auto layout = tiles::readLayoutFile(dir.file("cli/field.fits.dir/field.fits.tiles.ini"));
    ASSERT_TRUE(layout.ok()) << layout.error();
    EXPECT_EQ(layout->stretch.text, "percentile:0.1,99.9");
    EXPECT_EQ(formats::exactText(layout->stretch.black), black);
    EXPECT_EQ(formats::exactText(layout->stretch.white), white);
    EXPECT_NE(readFile(dir.file("cli/field.fits.dir/field.fits.tiles.ini"))
                  .find("Tiles=6\r\nStretch=percentile:0.1,99.9\r\nStretchBlack=" + black +
                        "\r\nStretchWhite=" + white + "\r\n"),
              std::string::npos);

    ASSERT_EQ(cli(options + dir.file("field.png"), dir).status, 0);
    const auto fits = filesOf(dir.file("cli/field.fits.dir"));
    const auto png = filesOf(dir.file("cli/field.png.dir"));
    for (const char* tile : {"000.000.bmp", "002.001.bmp"}) {
        EXPECT_FALSE(fits.at(std::string("field.fits.") + tile).empty());
        EXPECT_TRUE(fits.at(std::string("field.fits.") + tile) ==
                    png.at(std::string("field.png.") + tile))
            << tile;
    }

    WindowSave window(dir.file("field.fits"), dir.file("win"), "60", "10");
    EXPECT_EQ(window.big.lblMsg.Caption,
              "ストレッチ percentile:0.1,99.9 黒 " + black + " 白 " + white);
    EXPECT_TRUE(filesOf(dir.file("win/field.fits.dir")) ==
                filesOf(dir.file("cli/field.fits.dir"), dir.file("cli"), dir.file("win")));
    // The tile shown, loaded as the picture to process, keeps the stretch for its results.
    ASSERT_TRUE(input::cmdDataIn_Click(window.app.ctx, input::kSourceTile));
    EXPECT_EQ(input::stretchLogText(window.app.ws),
              "＞ストレッチ percentile:0.1,99.9 黒 " + black + " 白 " + white);

    ASSERT_EQ(cli("tiles --size 60 --margin 10 --out " + dir.file("again") +
                      " --stretch range:" + black + "," + white + " " + dir.file("field.fits"),
                  dir)
                  .status,
              0);
    EXPECT_TRUE(readFile(dir.file("again/field.fits.dir/field.fits.002.001.bmp")) ==
                fits.at("field.fits.002.001.bmp"));
}

TEST(Cli, TilesOfASmallPictureAndBadInput) {
    TempDir dir;
    writeField(dir.file("small.bmp"), 3, 160);
    writeFile(dir.file("broken.bmp"), "BM not really");
    CliRun r = cli("tiles " + dir.file("small.bmp"), dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "0 tiles written to " + dir.file("small.bmp.dir") + "\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("small.bmp.dir/small.bmp.txt")));
    r = cli("tiles --size 100 --margin 10 " + dir.file("small.bmp"), dir);
    EXPECT_EQ(r.out, "1 tile written to " + dir.file("small.bmp.dir") + "\n");

    EXPECT_EQ(cli("tiles " + dir.file("broken.bmp"), dir).status, 1);
    EXPECT_EQ(cli("tiles " + dir.file("none.bmp"), dir).status, 1);
    for (const char* bad : {"tiles", "tiles --size 0 x.bmp", "tiles --size abc x.bmp",
                            "tiles --margin -1 x.bmp", "tiles a.bmp b.bmp"})
        EXPECT_EQ(cli(bad, dir).status, 2) << bad;
}

}  // namespace
}  // namespace orv::test
