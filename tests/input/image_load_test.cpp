#include "input/image_load.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/startup.h"
#include "support/pictures.h"

namespace orv::input {
namespace {

using test::TestApp;

TEST(Luminance, MatchesTheDoublePrecisionFormulaForEveryColour) {
    EXPECT_EQ(luminanceY(255, 255, 255), 255);
    EXPECT_EQ(luminanceY(0, 0, 255), 28);   // 28.05
    EXPECT_EQ(luminanceY(0, 255, 0), 150);  // 150.45
    EXPECT_EQ(luminanceY(5, 0, 0), 2);      // 1.5 -> 2 (tie to even)
    for (int r = 0; r < 256; ++r)
        for (int g = 0; g < 256; ++g)
            for (int b = 0; b < 256; ++b) {
                const int direct = static_cast<int>(std::nearbyint(0.59 * g + 0.30 * r + 0.11 * b));
                if (luminanceY(r, g, b) != direct) {
                    FAIL() << r << "," << g << "," << b;
                }
            }
}

TEST(ImageLoading, SplitsChannelsAndDrawsTheChosenOneInGrey) {
    TestApp app;
    core::Form_Load(app.ctx);
    auto picture = test::rgbPicture(3, 2, [](int x, int y, uint8_t* p) {
        p[0] = static_cast<uint8_t>(10 * x + y);  // R
        p[1] = 200;                               // G
        p[2] = static_cast<uint8_t>(50 + x);      // B
    });
    app.frm.optChannel[2].Value = false;
    app.frm.optChannel[0].Value = true;  // R
    ASSERT_TRUE(test::loadPicture(app, picture, "m42.bmp"));
    const auto& ws = app.ws;
    EXPECT_EQ(ws.ImageWidthP, 3);
    EXPECT_EQ(ws.ImageHeightP, 2);
    EXPECT_EQ(ws.ImageWidthTw, 45);
    EXPECT_EQ(ws.PixelLevel.R(3, 2), 21);
    EXPECT_EQ(ws.PixelLevel.G(3, 2), 200);
    EXPECT_EQ(ws.PixelLevel.B(3, 2), 52);
    EXPECT_EQ(ws.PixelLevel.Y(3, 2), luminanceY(21, 200, 52));
    EXPECT_EQ(ws.PixelLevel.Level(3, 2), 21);
    EXPECT_EQ(ws.PixelLevel.Level(0, 0), 0);  // the zero border
    EXPECT_EQ(ws.PixelLevel.Level(4, 3), 0);
    EXPECT_EQ(ws.BackLevel.width(), 3);
    EXPECT_EQ(ws.ClusterMap.xHi(), 4);
    EXPECT_EQ(ws.MaxLevelY, static_cast<float>(luminanceY(20, 200, 52)));
    EXPECT_EQ(app.frm.lblImageSize.Caption, "3 x 2");
    EXPECT_EQ(app.frm.lblDivId.Caption, "m42.bmp");
    EXPECT_EQ(ws.ProcStage, core::kStageLoaded);
    EXPECT_TRUE(app.frm.picHSC[0].Visible);
    EXPECT_TRUE(app.frm.optFrame[3].Value);
    for (int i : {0, 3, 4}) EXPECT_EQ(app.frm.picHSC[i].canvas.pixel(2, 1), ui::greyRgb(21));
    EXPECT_EQ(app.frm.imgHSC.Width, 4500);
    EXPECT_EQ(app.frm.imgHSC.Height, 3000);
    EXPECT_EQ(app.frm.lblMsg.Caption, "");
}

TEST(ImageLoading, MarginFrameIsHiddenFromHalfThePictureSize) {
    TestApp app;
    core::Form_Load(app.ctx);
    auto picture = test::greyPicture(100, 100, [](int, int) { return 0; });
    app.ws.settings.Margin = 49;
    ASSERT_TRUE(test::loadPicture(app, picture));
    EXPECT_TRUE(app.frm.shpArea[2].Visible);
    EXPECT_EQ(app.frm.shpArea[2].Left, 49);
    EXPECT_EQ(app.frm.shpArea[2].Width, 2);
    app.ws.settings.Margin = 50;
    ASSERT_TRUE(test::loadPicture(app, picture));
    EXPECT_FALSE(app.frm.shpArea[2].Visible);
}

TEST(ImageLoading, FailuresShowErrorAndCancellingKeepsTheArrays) {
    TestApp app;
    core::Form_Load(app.ctx);
    ASSERT_TRUE(test::loadPicture(app, test::greyPicture(4, 4, [](int, int) { return 7; })));
    // The dialog is cancelled: the loaded picture stays (see load_nothing_test.cpp).
    EXPECT_FALSE(cmdDataIn_Click(app.ctx, kSourceFile));
    EXPECT_EQ(app.ws.ProcStage, core::kStageLoaded);
    EXPECT_EQ(app.ws.PixelLevel.Level(2, 2), 7);
    EXPECT_TRUE(app.host.messages.empty());
    // A file that does not decode.
    app.host.decoder = [](const std::string&) -> core::Result<ui::Picture> {
        return core::Error{"壊れた画像"};
    };
    app.ws.DoFileName = "broken.bmp";
    EXPECT_FALSE(cmdDataIn_Click(app.ctx, kSourceNamed));
    ASSERT_EQ(app.host.messages.size(), 1u);
    EXPECT_EQ(app.host.messages[0].text, "Error!");
    EXPECT_EQ(app.ws.ProcStage, core::kStageIdle);
    EXPECT_EQ(app.frm.lblMsg.Caption, "壊れた画像");
    EXPECT_FALSE(app.host.busy);
    // No picture on the clipboard: nothing loaded, no error.
    EXPECT_FALSE(cmdDataIn_Click(app.ctx, kSourceClipboard));
    EXPECT_EQ(app.host.messages.size(), 1u);
    EXPECT_EQ(app.ws.ProcStage, core::kStageIdle);
}

TEST(ImageLoading, TheFileDialogSetsTheNamesFromThePath) {
    TestApp app;
    core::Form_Load(app.ctx);
    app.ws.settings.WorkPath = app.dir.path();
    std::string path = app.dir.file("sky.bmp");
    test::writeFile(path, "x");
    app.host.fileAnswers.push_back(path);
    app.host.decoder = [](const std::string&) -> core::Result<ui::Picture> {
        return test::greyPicture(2, 2, [](int, int) { return 1; });
    };
    ASSERT_TRUE(cmdDataIn_Click(app.ctx, kSourceFile));
    EXPECT_EQ(app.ws.DoFilePath, app.dir.path());
    EXPECT_EQ(app.ws.DoFileName, "sky.bmp");
    EXPECT_EQ(app.host.fileDialogs[0],
              app.dir.path() +
                  "|ピクチャ(*.bmp,*.jpg)|*.bmp;*.jpg|FITS(*.fits;*.fit;*.fts)|*.fits;*.fit;*.fts"
                  "|16ビット PNG・TIFF(*.png;*.tif;*.tiff)|*.png;*.tif;*.tiff");
}

TEST(ImageLoading, ABatchRunKeepsItsStageAndShowsNoBox) {
    TestApp app;
    core::Form_Load(app.ctx);
    app.ws.ProcStage = core::kStageBatch;
    EXPECT_FALSE(cmdDataIn_Click(app.ctx, kSourceNamed));
    EXPECT_TRUE(app.host.messages.empty());
    EXPECT_EQ(app.ws.ProcStage, core::kStageBatch);
    EXPECT_FALSE(app.ws.lastLoadError.empty());
    ASSERT_TRUE(test::loadPicture(app, test::greyPicture(2, 2, [](int, int) { return 1; })));
    EXPECT_EQ(app.ws.ProcStage, core::kStageBatch);
}

}  // namespace
}  // namespace orv::input

namespace orv::input {
namespace {

TEST(ImageLoading, APictureTooLargeForMemoryIsRefusedAndTheOldOneKept) {
    test::TestApp app;
    core::Form_Load(app.ctx);
    ASSERT_TRUE(test::loadPicture(app, test::greyPicture(4, 4, [](int, int) { return 7; })));
    // A decoded picture claiming 10^10 pixels: refused before any array is touched.
    static const uint8_t pixel[4] = {};
    ui::Picture huge;
    huge.width = huge.height = 100000;
    huge.bits = pixel;
    huge.layout = ui::PixelLayout::Bgrx8888;
    app.host.decoder = [&](const std::string&) -> core::Result<ui::Picture> { return huge; };
    EXPECT_FALSE(cmdDataIn_Click(app.ctx, kSourceNamed));
    EXPECT_EQ(app.host.messages.back().text, "Error!");
    EXPECT_NE(app.frm.lblMsg.Caption.find("100000 x 100000"), std::string::npos);
    EXPECT_EQ(app.ws.ImageWidthP, 4);
    EXPECT_EQ(app.ws.PixelLevel.Level(2, 2), 7);
}

}  // namespace
}  // namespace orv::input
