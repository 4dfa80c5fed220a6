#include "input/image_load.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "control/startup.h"
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
    control::Form_Load(app.ctx);
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
    for (int i : {0, 3, 4}) EXPECT_EQ(app.frm.picHSC[i].canvas.pixel(2, 1), form::greyRgb(21));
    EXPECT_EQ(app.frm.imgHSC.Width, 4500);
    EXPECT_EQ(app.frm.imgHSC.Height, 3000);
    EXPECT_EQ(app.frm.lblMsg.Caption, "");
}

// Both memory layouts a decoder gives (R, G, B bytes; and B, G, R, X words with padded rows, as
// files and the clipboard give them) split into the planes the description gives, for every
// channel, across the 1024-pixel blocks of the luminance loop and its ties (100 Y ending in 50).
TEST(ImageLoading, TheChannelSplitOfBothLayoutsFollowsTheDescription) {
    const int w = 1500, h = 3;
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    uint32_t seed = 5;
    for (auto& v : rgb) v = static_cast<uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
    rgb[0] = 5, rgb[1] = 0, rgb[2] = 0;  // Y = 1.5: a tie, to even
    // The same pixels as 32-bit words, rows padded by 16 bytes.
    const size_t stride = static_cast<size_t>(w) * 4 + 16;
    auto words = std::make_shared<std::vector<uint8_t>>(stride * h, 0xEE);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            uint8_t* q = words->data() + y * stride + 4 * x;
            q[0] = p[2], q[1] = p[1], q[2] = p[0], q[3] = 0xEE;
        }
    form::Picture bgrx;
    bgrx.width = w, bgrx.height = h, bgrx.bits = words->data(), bgrx.stride = stride;
    bgrx.layout = form::PixelLayout::Bgrx8888, bgrx.owner = words;
    const form::Picture packed =
        form::Picture::fromRgb(w, h, std::make_shared<const std::vector<uint8_t>>(rgb));

    int ties = 0;
    for (int channel = 0; channel < 4; ++channel)
        for (bool clipboard : {false, true}) {
            SCOPED_TRACE(testing::Message() << "channel " << channel << " clipboard " << clipboard);
            TestApp app;
            control::Form_Load(app.ctx);
            for (int i = 0; i < 4; ++i) app.frm.optChannel[i].Value = i == channel;
            if (clipboard) {
                app.host.clipboard = [&] { return core::Result<form::Picture>(bgrx); };
                ASSERT_TRUE(cmdDataIn_Click(app.ctx, kSourceClipboard));
            } else {
                ASSERT_TRUE(test::loadPicture(app, packed));
            }
            const auto& planes = app.ws.PixelLevel;
            for (int y = 1; y <= h; ++y)
                for (int x = 1; x <= w; ++x) {
                    const uint8_t* p = &rgb[(static_cast<size_t>(y - 1) * w + x - 1) * 3];
                    // c = 0x00BBGGRR; B = c \ 65536, G = (c - 65536 B) \ 256, R = the rest.
                    const int c = p[0] + 256 * p[1] + 65536 * p[2];
                    const int b = c / 65536, g = (c - b * 65536) / 256, r = c - b * 65536 - g * 256;
                    const double exact = 0.59 * g + 0.30 * r + 0.11 * b;
                    const int lum = static_cast<int>(std::nearbyint(exact));
                    ties += (59 * g + 30 * r + 11 * b) % 100 == 50;
                    ASSERT_EQ(planes.R(x, y), r) << x << "," << y;
                    ASSERT_EQ(planes.G(x, y), g) << x << "," << y;
                    ASSERT_EQ(planes.B(x, y), b) << x << "," << y;
                    ASSERT_EQ(planes.Y(x, y), lum) << x << "," << y;
                    const int levels[4] = {r, g, b, lum};
                    ASSERT_EQ(planes.Level(x, y), levels[channel]) << x << "," << y;
                }
        }
    EXPECT_GT(ties, 8 * 20);  // the ties were exercised in every run
}

TEST(ImageLoading, MarginFrameIsHiddenFromHalfThePictureSize) {
    TestApp app;
    control::Form_Load(app.ctx);
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
    control::Form_Load(app.ctx);
    ASSERT_TRUE(test::loadPicture(app, test::greyPicture(4, 4, [](int, int) { return 7; })));
    // The dialog is cancelled: the loaded picture stays (see load_nothing_test.cpp).
    EXPECT_FALSE(cmdDataIn_Click(app.ctx, kSourceFile));
    EXPECT_EQ(app.ws.ProcStage, core::kStageLoaded);
    EXPECT_EQ(app.ws.PixelLevel.Level(2, 2), 7);
    EXPECT_TRUE(app.host.messages.empty());
    // A file that does not decode.
    app.host.decoder = [](const std::string&) -> core::Result<form::Picture> {
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
    control::Form_Load(app.ctx);
    app.ws.settings.WorkPath = app.dir.path();
    std::string path = app.dir.file("sky.bmp");
    test::writeFile(path, "x");
    app.host.fileAnswers.push_back(path);
    app.host.decoder = [](const std::string&) -> core::Result<form::Picture> {
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
    control::Form_Load(app.ctx);
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
    control::Form_Load(app.ctx);
    ASSERT_TRUE(test::loadPicture(app, test::greyPicture(4, 4, [](int, int) { return 7; })));
    // A decoded picture claiming 10^10 pixels: refused before any array is touched.
    static const uint8_t pixel[4] = {};
    form::Picture huge;
    huge.width = huge.height = 100000;
    huge.bits = pixel;
    huge.layout = form::PixelLayout::Bgrx8888;
    app.host.decoder = [&](const std::string&) -> core::Result<form::Picture> { return huge; };
    EXPECT_FALSE(cmdDataIn_Click(app.ctx, kSourceNamed));
    EXPECT_EQ(app.host.messages.back().text, "Error!");
    EXPECT_NE(app.frm.lblMsg.Caption.find("100000 x 100000"), std::string::npos);
    EXPECT_EQ(app.ws.ImageWidthP, 4);
    EXPECT_EQ(app.ws.PixelLevel.Level(2, 2), 7);
}

}  // namespace
}  // namespace orv::input
