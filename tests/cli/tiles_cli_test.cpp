// orvandel-cli tiles: the same files as the division window, the count, bad input.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "cli/cli_run.h"
#include "tiles/big_pic.h"

namespace orv::test {
namespace {

// The files of `tiles` are the division window's: the same folder, names and bytes.
TEST(Cli, TilesWritesWhatTheDivisionWindowWrites) {
    TempDir dir;
    auto field = bench::generateStarField(bench::denseField(1234, 1010, 300, 9));
    ASSERT_TRUE(bench::writeBmp(dir.file("sky.bmp"), field.width, field.height, field.rgb));
    std::filesystem::create_directories(dir.file("win"));
    CliRun r = cli(
        "tiles --size 300 --margin 20 --out " + dir.file("cli") + " " + dir.file("sky.bmp"), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "9 tiles written to " + dir.file("cli/sky.bmp.dir") + "\n");

    TestApp app;
    ui::FrmBigPic big;
    app.ctx.bigPic = &big;
    tiles::BigPicCtx c{app.ws, big, app.host};
    tiles::cmdShowBigPic_Click(app.ctx);
    big.dirBach.Path = dir.file("win");
    big.txtDivSize.Text = "300";
    tiles::txtDivSize_Change(c);
    big.txtDivMargin.Text = "20";
    tiles::txtDivMargin_Change(c);
    app.host.fileAnswers.push_back(dir.file("sky.bmp"));
    tiles::cmdBigPic_Click(c, 0);
    tiles::cmdSaveAllFile_Click(c);

    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.file("win/sky.bmp.dir")))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 11u);  // 9 tiles, the list and the layout
    EXPECT_EQ(names[0], "sky.bmp.000.000.bmp");
    EXPECT_EQ(names[8], "sky.bmp.002.002.bmp");
    for (const auto& name : names) {
        std::string fromCli = readFile(dir.file("cli/sky.bmp.dir/" + name));
        const std::string fromWindow = readFile(dir.file("win/sky.bmp.dir/" + name));
        // The list names each tile's folder, which differs.
        fromCli = std::regex_replace(fromCli, std::regex(dir.file("cli")), dir.file("win"));
        EXPECT_FALSE(fromWindow.empty()) << name;
        EXPECT_TRUE(fromCli == fromWindow) << name;
    }

    // The batch processes every tile of the list.
    CliRun batch = cli("batch --jobs 2 --settings " + standardSettings(dir) + " " +
                           dir.file("cli/sky.bmp.dir/sky.bmp.txt"),
                       dir);
    EXPECT_EQ(batch.status, 0) << batch.err;
    EXPECT_TRUE(std::filesystem::exists(
        dir.file("cli/sky.bmp.dir/sky.bmp.002.002.bmp.dir/sky.bmp.002.002.bmp.dat")));
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
