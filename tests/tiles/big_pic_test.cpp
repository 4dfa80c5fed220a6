// The division window's procedures on the model, with a scripted host: what a user sees and
// which files land on disk.

#include "tiles/big_pic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "bench/bmp_writer.h"
#include "control/pipeline.h"
#include "core/paths.h"
#include "core/sum_file.h"
#include "core/text_file.h"
#include "input/image_load.h"
#include "results/data_files.h"
#include "support/test_app.h"
#include "tiles/export.h"
#include "tiles/tile_pictures.h"

namespace orv::tiles {
namespace {

namespace fs = std::filesystem;

// A main window with its division window, WorkPath at the test folder.
struct Division {
    orv::test::TestApp app;
    form::FrmBigPic big;
    BigPicCtx c{app.ws, big, app.host};

    Division() {
        app.ctx.bigPic = &big;
        app.ws.settings.WorkPath = app.dir.path();
        cmdShowBigPic_Click(app.ctx);
    }
    // Writes the pattern as a 24-bit BMP and loads it with "元画像読込".
    std::string load(int w, int h, const std::string& name = "m42.bmp") {
        const std::string path = app.dir.file(name);
        EXPECT_TRUE(bench::writeBmp(path, w, h, test::patternBytes(w, h)).ok());
        app.host.fileAnswers.push_back(path);
        cmdBigPic_Click(c, 0);
        return path;
    }
    std::vector<std::string> messages() const {
        std::vector<std::string> texts;
        for (const auto& m : app.host.messages) texts.push_back(m.text);
        return texts;
    }
    std::string tileFolder() const { return app.dir.file("m42.bmp.dir"); }
    // The BMP file the tile of the pattern at (x0, y0) must be.
    std::string tileBytes(int w, int h, int64_t x0, int64_t y0, int side) const {
        const auto bytes = bench::encodeBmp(side, side, test::patternCrop(w, h, x0, y0, side),
                                            bench::BmpVariant::Rgb24);
        return std::string(bytes.value().begin(), bytes.value().end());
    }
};

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(DivisionWindow, StepsThroughTheTilesOfTheWorkedExample) {
    Division d;
    d.load(1200, 1000);
    const auto& t = d.app.ws.tile;
    EXPECT_EQ(d.big.Caption, "BigPic m42.bmp");
    EXPECT_EQ(d.big.lblBigPicName.Caption, "m42.bmp");
    EXPECT_EQ(d.big.lblImageSize2.Caption, "1200 x 1000");
    EXPECT_EQ(d.big.lblDivNo.Caption, "2 x 1");
    EXPECT_EQ(d.big.lblDivArea.Caption, "(0050,0050)-(0600,0600)");
    EXPECT_EQ(t.DivPicReady, -1);
    EXPECT_TRUE(d.big.cmdSaveAllFile.Enabled);
    EXPECT_EQ(d.big.imgBigPic.Width, 420);
    EXPECT_EQ(d.big.imgBigPic.Height, 350);

    BigPic_KeyDown(d.c, 39);  // Right arrow: "→"
    EXPECT_EQ(t.DivX, 1);
    EXPECT_EQ(d.big.lblDivX.Caption, "1");
    EXPECT_EQ(d.big.lblDivArea.Caption, "(0550,0050)-(1100,0600)");
    EXPECT_EQ(d.big.lblDivId.Caption, "m42.bmp.001.000");
    EXPECT_EQ(test::pixelsOf(d.big.picDivPic.picture), test::patternCrop(1200, 1000, 500, 0, 600));
    EXPECT_DOUBLE_EQ(d.big.shpArea2.Left, 550 * 0.35);
    EXPECT_DOUBLE_EQ(d.big.shpArea2.Width, 500 * 0.35);
    EXPECT_DOUBLE_EQ(d.big.shpArea.Left, 500 * 0.35);
    EXPECT_DOUBLE_EQ(d.big.shpArea.Height, 600 * 0.35);
    EXPECT_EQ(d.big.shpArea3.Left, 50);
    EXPECT_EQ(d.big.shpArea3.Width, 500);

    const auto pumps = d.app.host.pumps;
    cmdDiv_Click(d.c, 1);  // (1 + 2) * 500 + 100 > 1200
    cmdDiv_Click(d.c, 3);  // (0 + 2) * 500 + 100 > 1000
    cmdDiv_Click(d.c, 2);  // row 0 is the first
    EXPECT_EQ(t.DivX, 1);
    EXPECT_EQ(t.DivY, 0);
    EXPECT_EQ(d.app.host.pumps, pumps);  // nothing was cut again
    BigPic_KeyDown(d.c, 37);
    EXPECT_EQ(t.DivX, 0);
    cmdDiv_Click(d.c, 1);
    cmdDiv_Click(d.c, 4);  // "◎"
    EXPECT_EQ(t.DivX, 0);
    EXPECT_EQ(d.big.lblDivId.Caption, "m42.bmp.000.000");
    EXPECT_TRUE(d.messages().empty());
}

// A click on the preview picks the tile whose inner square holds the point; the strips outside
// every inner square belong to the nearest whole tile. 1200 x 1000 at 0.35 preview pixels per
// pixel; S 500, M 50: inner squares from 50 and 550 across, from 50 down.
TEST(DivisionWindow, AClickOnThePreviewPicksTheTileThere) {
    Division d;
    const auto& t = d.app.ws.tile;
    imgBigPic_Click(d.c, 300, 100);  // no picture yet: nothing
    EXPECT_EQ(t.DivPicReady, 0);
    d.load(1200, 1000);
    const struct {
        double x, y;  // big-picture pixels
        int column, row;
    } clicks[] = {{600, 300, 1, 0}, {548, 300, 0, 0},  {551, 300, 1, 0},
                  {10, 10, 0, 0},   {1190, 990, 1, 0}, {300, 700, 0, 0}};
    for (const auto& k : clicks) {
        imgBigPic_Click(d.c, k.x * 0.35, k.y * 0.35);
        EXPECT_EQ(t.DivX, k.column) << k.x;
        EXPECT_EQ(t.DivY, k.row) << k.y;
        EXPECT_EQ(d.big.lblDivId.Caption,
                  "m42.bmp.00" + std::to_string(k.column) + ".00" + std::to_string(k.row));
    }
}

// Without a working folder the tiles go beside the picture (not into the current folder),
// until the user chooses a folder.
TEST(DivisionWindow, TheOutputFolderFollowsThePictureUntilOneIsChosen) {
    orv::test::TestApp app;
    form::FrmBigPic big;
    BigPicCtx c{app.ws, big, app.host};
    app.ctx.bigPic = &big;
    cmdShowBigPic_Click(app.ctx);
    EXPECT_EQ(big.dirBach.Path, fs::current_path().string());
    for (const char* folder : {"one", "two"}) {
        const std::string path = app.dir.file(std::string(folder) + "/m42.bmp");
        fs::create_directories(app.dir.file(folder));
        ASSERT_TRUE(bench::writeBmp(path, 600, 600, test::patternBytes(600, 600)).ok());
        app.host.fileAnswers.push_back(path);
        cmdBigPic_Click(c, 0);
        EXPECT_EQ(big.dirBach.Path, app.dir.file(folder));
    }
    app.host.folderAnswers.push_back(app.dir.path());
    cmdDirBrowse_Click(c);
    app.host.fileAnswers.push_back(app.dir.file("one/m42.bmp"));
    cmdBigPic_Click(c, 0);
    EXPECT_EQ(big.dirBach.Path, app.dir.path());
}

TEST(DivisionWindow, SizeAndMarginTakeOnlyNumbers) {
    Division d;
    d.load(1200, 1000);
    auto type = [&](form::TextBox& box, const char* text) {
        box.Text = text;
        if (&box == &d.big.txtDivSize)
            txtDivSize_Change(d.c);
        else
            txtDivMargin_Change(d.c);
    };
    type(d.big.txtDivSize, "abc");
    EXPECT_EQ(d.app.ws.tile.DivSize, 500);
    EXPECT_EQ(d.big.lblDivNo.Caption, "2 x 1");
    type(d.big.txtDivSize, "0");
    EXPECT_EQ(d.app.ws.tile.DivSize, 0);
    EXPECT_EQ(d.big.lblDivNo.Caption, "2 x 1");  // left as it was
    type(d.big.txtDivSize, "400");
    type(d.big.txtDivMargin, "10");
    EXPECT_EQ(d.big.lblDivNo.Caption, "2 x 2");
    EXPECT_EQ(d.big.lblDivArea.Caption, "(0050,0050)-(0600,0600)");  // not cut again yet
    type(d.big.txtDivMargin, "700");
    EXPECT_EQ(d.big.lblDivNo.Caption, "0 x 0");
}

TEST(DivisionWindow, SettingsThatCannotCutTilesAreRefusedWithAMessage) {
    for (const char* size : {"0", "-3", "1e60", "20000", "0.01"}) {
        SCOPED_TRACE(size);
        Division d;
        d.load(1200, 1000);
        d.big.txtDivSize.Text = size;
        txtDivSize_Change(d.c);
        const auto ready = d.big.picDivPic.picture.bits;
        cmdDiv_Click(d.c, 1);
        cmdSaveFile_Click(d.c);
        cmdSaveAllFile_Click(d.c);
        ASSERT_EQ(d.messages().size(), 3u);
        for (const auto& m : d.messages()) EXPECT_EQ(m, d.messages()[0]);
        EXPECT_EQ(d.app.ws.tile.DivX, 0);
        EXPECT_EQ(d.big.picDivPic.picture.bits, ready);
        EXPECT_FALSE(fs::exists(d.tileFolder()));
    }
}

TEST(DivisionWindow, ThePreviewKeepsThePicturesShape) {
    Division d;
    d.load(300, 600, "tall.bmp");
    EXPECT_EQ(d.big.imgBigPic.Height, 420);
    EXPECT_EQ(d.big.imgBigPic.Width, 210);
    EXPECT_EQ(d.big.previewPicture.width, 210);
    d.load(600, 300, "wide.bmp");
    EXPECT_EQ(d.big.imgBigPic.Width, 420);
    EXPECT_EQ(d.big.imgBigPic.Height, 210);
    d.load(300, 600, "tall.bmp");  // the preview does not shrink from one shape to the other
    EXPECT_EQ(d.big.imgBigPic.Height, 420);
    EXPECT_EQ(d.big.imgBigPic.Width, 210);
}

TEST(DivisionWindow, ACancelledDialogKeepsThePictureAndABadFileSaysWhy) {
    Division d;
    d.load(1200, 1000);
    cmdBigPic_Click(d.c, 0);  // cancelled
    EXPECT_TRUE(d.big.pictureLoaded());
    EXPECT_TRUE(d.big.imgBigPic.Visible);
    EXPECT_TRUE(d.messages().empty());

    orv::test::writeFile(d.app.dir.file("bad.bmp"), "BM broken");
    d.app.host.fileAnswers.push_back(d.app.dir.file("bad.bmp"));
    cmdBigPic_Click(d.c, 0);
    ASSERT_EQ(d.messages().size(), 1u);
    EXPECT_EQ(d.messages()[0].rfind("Error!\n", 0), 0u);
    EXPECT_NE(d.messages()[0].find("bad.bmp"), std::string::npos);
    EXPECT_FALSE(d.big.pictureLoaded());
    EXPECT_FALSE(d.big.cmdSaveAllFile.Enabled);
}

TEST(DivisionWindow, SavesEveryTileWithTheBatchList) {
    Division d;
    d.load(1200, 1000);
    cmdSaveAllFile_Click(d.c);
    const std::string dir = d.tileFolder();
    ASSERT_EQ(d.messages(),
              (std::vector<std::string>{
                  dir + " というディレクトリを生成します。",
                  dir + " に、2 個の分割ファイルとバッチ処理用ファイルを保存しました。"}));
    EXPECT_EQ(orv::test::readFile(dir + "/m42.bmp.000.000.bmp"),
              d.tileBytes(1200, 1000, 0, 0, 600));
    EXPECT_EQ(orv::test::readFile(dir + "/m42.bmp.001.000.bmp"),
              d.tileBytes(1200, 1000, 500, 0, 600));
    EXPECT_EQ(
        orv::test::readFile(dir + "/m42.bmp.txt"),
        "\"" + dir + "\",\"m42.bmp.000.000.bmp\"\r\n\"" + dir + "\",\"m42.bmp.001.000.bmp\"\r\n");
    auto layout = readLayoutFile(dir + "/m42.bmp.tiles.ini");
    ASSERT_TRUE(layout.ok()) << layout.error();
    EXPECT_EQ(layout->tiles, 2);
    EXPECT_EQ(d.app.ws.tile.DivX, 2);  // one past the grid
    EXPECT_EQ(d.app.ws.tile.DivY, 1);
    EXPECT_EQ(d.big.lblDivId.Caption, "m42.bmp.001.000");

    // Saving the tile shown now names it after the tile it is, and the folder exists.
    // A key pressed while the tiles are saved does not move the tile being saved.
    d.app.host.onPump = [&] {
        if (d.big.barBigPic.Visible) BigPic_KeyDown(d.c, 37);
    };
    d.app.host.messages.clear();
    cmdSaveAllFile_Click(d.c);
    d.app.host.onPump = nullptr;
    EXPECT_EQ(orv::test::readFile(dir + "/m42.bmp.001.000.bmp"),
              d.tileBytes(1200, 1000, 500, 0, 600));

    d.app.host.messages.clear();
    fs::remove(dir + "/m42.bmp.001.000.bmp");
    cmdSaveFile_Click(d.c);
    EXPECT_EQ(d.messages(), (std::vector<std::string>{dir + "/m42.bmp.001.000.bmp" +
                                                      " に分割ファイルを保存しました。"}));
    EXPECT_EQ(orv::test::readFile(dir + "/m42.bmp.001.000.bmp"),
              d.tileBytes(1200, 1000, 500, 0, 600));

    // A second save overwrites without the folder message.
    d.app.host.messages.clear();
    orv::test::writeFile(dir + "/m42.bmp.000.000.bmp", "old");
    cmdSaveAllFile_Click(d.c);
    EXPECT_EQ(d.messages(),
              (std::vector<std::string>{
                  dir + " に、2 個の分割ファイルとバッチ処理用ファイルを保存しました。"}));
    EXPECT_EQ(orv::test::readFile(dir + "/m42.bmp.000.000.bmp"),
              d.tileBytes(1200, 1000, 0, 0, 600));
}

TEST(DivisionWindow, TheBatchListRunsRowByRow) {
    Division d;
    d.load(30, 25);
    d.big.txtDivSize.Text = "10";
    txtDivSize_Change(d.c);
    d.big.txtDivMargin.Text = "2";
    txtDivMargin_Change(d.c);
    cmdSaveAllFile_Click(d.c);  // 2 x 2 tiles: Int((30 - 4) / 10) by Int((25 - 4) / 10)
    const std::string dir = d.tileFolder();
    std::string list;
    for (const char* name : {"m42.bmp.000.000.bmp", "m42.bmp.001.000.bmp", "m42.bmp.000.001.bmp",
                             "m42.bmp.001.001.bmp"})
        list += "\"" + dir + "\",\"" + name + "\"\r\n";
    EXPECT_EQ(orv::test::readFile(dir + "/m42.bmp.txt"), list);
}

TEST(DivisionWindow, APictureWithoutWholeTilesWritesNothing) {
    Division d;
    d.load(1000, 599);
    cmdSaveAllFile_Click(d.c);
    ASSERT_EQ(d.messages().size(), 2u);
    EXPECT_EQ(d.messages()[1],
              d.tileFolder() + " に、0 個の分割ファイルとバッチ処理用ファイルを保存しました。");
    EXPECT_FALSE(fs::exists(d.tileFolder() + "/m42.bmp.txt"));
    EXPECT_FALSE(fs::exists(d.tileFolder() + "/m42.bmp.000.000.bmp"));
}

TEST(DivisionWindow, SavingBeforeAnyPictureOnlySaysSo) {
    Division d;
    cmdSaveAllFile_Click(d.c);
    cmdSaveFile_Click(d.c);
    EXPECT_EQ(d.messages(), (std::vector<std::string>{"ファイルが読み込まれていません。",
                                                      "ファイルが読み込まれていません。"}));
    cmdDiv_Click(d.c, 4);
    EXPECT_EQ(d.app.ws.tile.DivPicReady, 0);
}

TEST(DivisionWindow, AFileThatCannotBeWrittenStopsTheSaveAndReplacesNothing) {
    Division d;
    d.load(1200, 1000);
    const std::string dir = d.tileFolder();
    fs::create_directories(dir + "/m42.bmp.001.000.bmp");  // a folder where the tile would go
    cmdSaveAllFile_Click(d.c);
    const auto messages = d.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(dir + "/m42.bmp.001.000.bmp"), std::string::npos);
    EXPECT_NE(messages[0].find("置き換えていません"), std::string::npos);
    EXPECT_EQ(messages[0].find("を保存しました"), std::string::npos);
    EXPECT_EQ(filesIn(dir), std::vector<std::string>{"m42.bmp.001.000.bmp"});

    d.app.host.messages.clear();
    fs::remove_all(dir);
    orv::test::writeFile(dir, "a file, not a folder");
    cmdSaveFile_Click(d.c);
    EXPECT_EQ(d.messages(),
              (std::vector<std::string>{dir + " というディレクトリを生成できません。"}));
}

TEST(TileSource, LoadsTheTileShownAsThePictureToProcess) {
    Division d;
    d.load(1200, 1000);
    cmdDiv_Click(d.c, 1);
    ASSERT_TRUE(input::cmdDataIn_Click(d.app.ctx, input::kSourceTile));
    const auto& ws = d.app.ws;
    EXPECT_EQ(ws.DoFileName, "m42.bmp.001.000");
    EXPECT_EQ(d.app.frm.lblDivId.Caption, "m42.bmp.001.000");
    // No tile saved yet: the results go where "全分割画像出力" puts the tiles.
    EXPECT_EQ(ws.DoFilePath, d.tileFolder());
    EXPECT_TRUE(core::folderExists(d.tileFolder()));
    EXPECT_EQ(ws.ImageWidthP, 600);
    uint8_t rgb[3];
    test::patternPixel(500 + 17, 23, rgb);
    EXPECT_EQ(ws.PixelLevel.R(18, 24), rgb[0]);
    EXPECT_EQ(ws.PixelLevel.B(18, 24), rgb[2]);

    // After a save the tile's folder is DivDir; after saving every tile, the tile shown is
    // the last one, whatever DivX and DivY say.
    d.big.dirBach.Path = d.app.dir.file("sub");
    fs::create_directories(d.big.dirBach.Path);
    cmdSaveAllFile_Click(d.c);
    ASSERT_TRUE(input::cmdDataIn_Click(d.app.ctx, input::kSourceTile));
    EXPECT_EQ(ws.DoFilePath, d.app.dir.file("sub/m42.bmp.dir"));
    EXPECT_EQ(ws.DoFileName, "m42.bmp.001.000");
}

// A tile processed alone is named without ".bmp" (its results in m42.bmp.000.000.dir); reading
// them back loads the tile's file, and says plainly when the tile was cut but never saved.
TEST(TileSource, ATileProcessedAloneReadsBackFromItsTileFile) {
    Division d;
    d.load(1200, 1000);
    ASSERT_TRUE(input::cmdDataIn_Click(d.app.ctx, input::kSourceTile));
    control::cmdDoAll_Click(d.app.ctx);
    ASSERT_TRUE(results::OV_SaveData(d.app.ctx));
    const std::string tile = d.tileFolder() + "/m42.bmp.000.000.bmp";
    const std::string dat = d.tileFolder() + "/m42.bmp.000.000.dir/m42.bmp.000.000.dat";
    ASSERT_TRUE(fs::exists(dat));
    // Its sum file records the tile's checksum, which merge compares with the layout's.
    auto sum = core::parseSumFile(orv::test::readFile(dat + ".sum"));
    ASSERT_TRUE(sum);
    EXPECT_EQ(sum->picture, tileChecksum(d.big.picDivPic.picture));
    std::vector<std::string> decoded;
    const form::Picture cut = d.big.picDivPic.picture;
    d.app.host.decoder = [&](const std::string& path) -> core::Result<form::Picture> {
        decoded.push_back(path);
        return cut;
    };

    d.app.host.messages.clear();
    d.app.host.fileAnswers.push_back(dat);
    results::cmdReadData_Click(d.app.ctx);
    ASSERT_EQ(d.messages().size(), 1u);
    EXPECT_NE(d.messages()[0].find("分割画像のファイルが見つかりません: " + tile),
              std::string::npos)
        << d.messages()[0];
    EXPECT_NE(d.messages()[0].find("「分割画像出力」"), std::string::npos);
    EXPECT_TRUE(decoded.empty());

    cmdSaveFile_Click(d.c);
    d.app.host.messages.clear();
    d.app.host.fileAnswers.push_back(dat);
    results::cmdReadData_Click(d.app.ctx);
    ASSERT_EQ(d.app.ws.ProcStage, core::kStageRead) << d.messages()[0];
    EXPECT_EQ(decoded, std::vector<std::string>{tile});
    EXPECT_EQ(d.app.ws.DoFileName, "m42.bmp.000.000");  // the name stays; saving goes back there
}

}  // namespace
}  // namespace orv::tiles
