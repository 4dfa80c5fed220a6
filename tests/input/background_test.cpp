#include "input/background.h"

#include <gtest/gtest.h>

#include "control/startup.h"
#include "support/pictures.h"

namespace orv::input {
namespace {

using test::TestApp;

// The window sums computed directly, as the definition reads.
float directBackground(const core::PixelPlanes& p, int w, int h, int n, int x0, int y0) {
    float sum = 0;
    int32_t count = 0;
    for (int r = y0 - n; r <= y0 + n; ++r)
        for (int c = x0 - n; c <= x0 + n; ++c)
            if (r >= 0 && r < h && c >= 0 && c < w) {
                ++count;
                sum += static_cast<float>(p.Level(c + 1, r + 1));
            }
    return static_cast<float>(static_cast<double>(sum) / count);
}

TEST(Background, EqualsTheDirectWindowMeansForEveryWidth) {
    uint32_t seed = 7;
    auto rnd = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int n : {0, 1, 2, 4, 7, 13, 30}) {
        for (auto [w, h] :
             {std::pair{17, 11}, std::pair{5, 40}, std::pair{1, 1}, std::pair{3, 2}}) {
            core::PixelPlanes p;
            p.create(w, h, core::kChannelB);
            for (int y = 1; y <= h; ++y)
                for (int x = 1; x <= w; ++x) p.plane(core::kChannelB)(x, y) = rnd() % 256;
            core::Array2D<float> out;
            computeBackground(p, w, h, n, out);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    ASSERT_EQ(out(x, y), directBackground(p, w, h, n, x, y))
                        << "n=" << n << " " << w << "x" << h << " at " << x << "," << y;
        }
    }
}

// Half-widths beyond 2047 (only an edited settings file gives one) are taken as they are, and
// window sums beyond 32 bits stay exact.
TEST(Background, WideWindowsAreNeitherCutNorOverflow) {
    auto plane = [](core::PixelPlanes& p, int w, int h, auto level) {
        p.create(w, h, core::kChannelB);
        for (int y = 1; y <= h; ++y)
            for (int x = 1; x <= w; ++x) p.plane(core::kChannelB)(x, y) = level(x);
    };
    core::PixelPlanes line;
    plane(line, 4300, 1, [](int x) { return x % 7 * 30; });
    core::Array2D<float> out;
    computeBackground(line, 4300, 1, 2100, out);
    for (int x : {0, 1000, 2200, 4299})
        ASSERT_EQ(out(x, 0), directBackground(line, 4300, 1, 2100, x, 0));
    // 4150 x 4150 pixels of 255 in one window: a sum of 4.39e9, beyond 32 bits.
    core::PixelPlanes full;
    plane(full, 4150, 4150, [](int) { return 255; });
    computeBackground(full, 4150, 4150, 2100, out);
    for (int y = 0; y < 4150; y += 83)
        for (int x = 0; x < 4150; ++x) ASSERT_EQ(out(x, y), 255.0f) << x << "," << y;
}

TEST(Background, ClipsTheWindowAtTheEdges) {
    TestApp app;
    control::Form_Load(app.ctx);
    // One bright pixel at the corner: a corner window (n = 4) holds 25 pixels, an edge one 45.
    ASSERT_TRUE(test::loadPicture(
        app, test::greyPicture(20, 20, [](int x, int y) { return x == 0 && y == 0 ? 225 : 0; })));
    app.ws.settings.HeikinWidth = 4;
    cmdIdoHeikin_Click(app.ctx);
    EXPECT_FLOAT_EQ(app.ws.BackLevel(0, 0), 225.0f / 25);
    EXPECT_FLOAT_EQ(app.ws.BackLevel(4, 0), 225.0f / 45);
    EXPECT_EQ(app.ws.BackLevel(5, 0), 0.0f);
    EXPECT_EQ(app.ws.ProcStage, core::kStageBackgroundReady);
    EXPECT_TRUE(app.frm.optFrame[2].Value);
    EXPECT_TRUE(app.frm.picHSC[1].Visible);
    EXPECT_EQ(app.frm.picHSC[1].canvas.pixel(0, 0), form::greyRgb(9));
    EXPECT_EQ(app.frm.lblStarNo.Caption, "-");
    EXPECT_FALSE(app.frm.cmdCancel.Visible);
    EXPECT_EQ(app.frm.lblMsg.Caption, "");
}

TEST(Background, ZeroWidthAndUniformPictures) {
    TestApp app;
    control::Form_Load(app.ctx);
    ASSERT_TRUE(
        test::loadPicture(app, test::greyPicture(6, 3, [](int x, int y) { return x * 7 + y; })));
    app.ws.settings.HeikinWidth = 0;
    cmdIdoHeikin_Click(app.ctx);
    for (int y = 1; y <= 3; ++y)
        for (int x = 1; x <= 6; ++x)
            EXPECT_EQ(app.ws.BackLevel(x - 1, y - 1), app.ws.PixelLevel.Level(x, y));

    ASSERT_TRUE(test::loadPicture(app, test::greyPicture(9, 9, [](int, int) { return 37; })));
    app.ws.settings.HeikinWidth = 30;  // wider than the picture
    cmdIdoHeikin_Click(app.ctx);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) EXPECT_EQ(app.ws.BackLevel(x, y), 37.0f);
}

TEST(Background, WritesTheMessageAndTheLog) {
    TestApp app;
    control::Form_Load(app.ctx);
    ASSERT_TRUE(test::loadPicture(app, test::greyPicture(4, 4, [](int, int) { return 1; })));
    std::vector<std::string> messages;
    app.host.onPump = [&] {
        if (messages.empty() || messages.back() != app.frm.lblMsg.Caption)
            messages.push_back(app.frm.lblMsg.Caption);
    };
    app.ws.settings.HeikinWidth = 4;
    cmdIdoHeikin_Click(app.ctx);
    EXPECT_EQ(messages[0], "9 ピクセル四方の輝度の移動平均を計算しています。");
    EXPECT_EQ(test::readFile(app.dir.file("test.bmp.dir/test.bmp.log")),
              "2015/09/27 21:03:05 ＞背景処理完了\r\n"
              "2015/09/27 21:03:05 ＞ノイズ σ = 0.01、推奨クラスタ閾値 1（2.75σ）\r\n");
}

}  // namespace
}  // namespace orv::input
