#include "view/navigation.h"

#include <gtest/gtest.h>

#include <cmath>

#include "control/startup.h"
#include "input/background.h"
#include "support/pictures.h"
#include "view/bilinear.h"

namespace orv::view {
namespace {

using test::TestApp;

// A loaded picture of w x h in a viewport of 400 x 300 pixels; pixel (x, y) has level
// (x + 3 y) mod 256.
struct Viewed : TestApp {
    Viewed(int w, int h, float margin = 0) {
        control::Form_Load(ctx);
        ws.settings.Margin = margin;
        frm.fraPickUp.Width = 400;
        frm.fraPickUp.Height = 300;
        EXPECT_TRUE(test::loadPicture(
            *this, test::greyPicture(w, h, [](int x, int y) { return (x + 3 * y) % 256; })));
    }
    double left() const { return frm.picHSC[0].Left; }
    double top() const { return frm.picHSC[0].Top; }
    // The picture point under viewport pixel (px, py).
    double pictureX(double px) const {
        return (px * 15 - left()) / frm.picHSC[0].Width * ws.ImageWidthP;
    }
    double pictureY(double py) const {
        return (py * 15 - top()) / frm.picHSC[0].Height * ws.ImageHeightP;
    }
    void expectLayersAt(double l, double t) const {
        for (const auto& p : frm.picHSC) {
            EXPECT_EQ(p.Left, l);
            EXPECT_EQ(p.Top, t);
            EXPECT_EQ(p.Width, frm.picHSC[0].Width);
        }
    }
};

TEST(Zoom, LevelsClampAndTheHomeButtonResets) {
    Viewed v(100, 80);
    for (int i = 0; i < 5; ++i) cmdZoom_Click(v.ctx, 0);
    EXPECT_EQ(v.ws.ZoomLevel, 3);
    EXPECT_EQ(v.frm.picHSC[4].Width, 8 * 1500);
    EXPECT_EQ(v.frm.picHSC[4].Height, 8 * 1200);
    EXPECT_EQ(v.frm.picHSC[4].ScaleWidth, 100);
    cmdZoom_Click(v.ctx, 1);
    EXPECT_EQ(v.ws.ZoomLevel, 2);
    for (int i = 0; i < 4; ++i) cmdZoom_Click(v.ctx, 1);
    EXPECT_EQ(v.ws.ZoomLevel, 0);

    cmdZoom_Click(v.ctx, 0);
    placeLayers(v.ctx, -300, -450);
    cmdZoom_Click(v.ctx, 0);  // grows about the viewport's corner: the position stays
    v.expectLayersAt(-300, -450);
    cmdZoom_Click(v.ctx, 2);
    EXPECT_EQ(v.ws.ZoomLevel, 0);
    v.expectLayersAt(0, 0);
    EXPECT_EQ(v.frm.picHSC[2].Width, 1500);
}

TEST(Zoom, TheHandButtonTogglesTheToolAndItsPicture) {
    Viewed v(100, 80);
    test::writeFile(v.programFolder() + "/hand-on.bmp", "");
    cmdZoom_Click(v.ctx, 3);
    EXPECT_EQ(v.ws.HandMode, -1);
    EXPECT_EQ(v.frm.cmdZoom[3].PictureFile, v.programFolder() + "/hand-on.bmp");
    EXPECT_EQ(v.frm.cmdZoom[3].Value, 1);
    EXPECT_EQ(v.frm.MousePointer, form::FrmOrvandel::Pointer::SizeAll);
    cmdZoom_Click(v.ctx, 3);
    EXPECT_EQ(v.ws.HandMode, 0);
    EXPECT_EQ(v.frm.cmdZoom[3].PictureFile, "");  // hand-off.bmp is missing: the caption shows
    EXPECT_EQ(v.frm.MousePointer, form::FrmOrvandel::Pointer::Arrow);
}

TEST(Zoom, WithoutAPictureOnlyTheRectanglesChange) {
    TestApp app;
    control::Form_Load(app.ctx);
    app.frm.shpArea[1].Visible = app.frm.shpZoomArea.Visible = true;
    for (int i : {0, 3}) cmdZoom_Click(app.ctx, i);
    EXPECT_EQ(app.ws.ZoomLevel, 0);
    EXPECT_EQ(app.ws.HandMode, 0);
    EXPECT_FALSE(app.frm.shpArea[1].Visible);
    EXPECT_FALSE(app.frm.shpZoomArea.Visible);
}

TEST(Zoom, TheViewStaysThroughAStep) {
    Viewed v(100, 80);
    cmdZoom_Click(v.ctx, 0);
    v.frm.chkMag.Value = 1;
    chkMag_Click(v.ctx);
    input::cmdIdoHeikin_Click(v.ctx);
    EXPECT_EQ(v.ws.ZoomLevel, 1);
    EXPECT_TRUE(v.frm.shpZoomArea.Visible);
    EXPECT_TRUE(v.frm.picMag.Visible);
}

TEST(Zoom, MarginRectanglesNeedAnInnerArea) {
    Viewed hidden(100, 100, 50);
    for (const auto& s : hidden.frm.shpArea) EXPECT_FALSE(s.Visible);
    Viewed shown(100, 100, 49);
    cmdZoom_Click(shown.ctx, 0);
    for (const auto& s : shown.frm.shpArea) {
        EXPECT_TRUE(s.Visible);
        EXPECT_EQ(s.Left, 49);
        EXPECT_EQ(s.Top, 49);
        EXPECT_EQ(s.Width, 2);
        EXPECT_EQ(s.Height, 2);
    }
}

TEST(Pan, MovesByHalfTheViewportWhileTheEdgeAllows) {
    // Viewport 400 x 300 pixels = 6000 x 4500 layout units; half: 3000 x 2250.
    struct Case {
        int w, h, button;
        double fromLeft, fromTop, toLeft, toTop;
    };
    const Case cases[] = {
        {100, 80, 0, 0, 0, 3000, 0},           // "←" once from 0
        {100, 80, 0, 3000, 0, 3000, 0},        // and no further: 3000 + 3000 < 6000 fails
        {100, 80, 1, 0, 0, 0, 0},              // a narrow picture cannot go left
        {1000, 800, 1, 0, 0, -3000, 0},        // a wide one can
        {1000, 800, 1, -12000, 0, -12000, 0},  // until its right edge would leave: 15000-15000
        {100, 80, 2, 0, 0, 0, 2250},           // "↑"
        {100, 80, 2, 0, 2250, 0, 2250},        // 2250 + 2250 < 4500 fails
        {1000, 800, 3, 0, -9000, 0, -11250},   // "↓": -9000 - 2250 + 12000 > 0
        {1000, 800, 3, 0, -9750, 0, -9750},    // -9750 - 2250 + 12000 = 0 is not > 0
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << " " << c.button << " " << c.fromLeft);
        Viewed v(c.w, c.h);
        placeLayers(v.ctx, c.fromLeft, c.fromTop);
        cmdPicMove_Click(v.ctx, c.button);
        v.expectLayersAt(c.toLeft, c.toTop);
        EXPECT_TRUE(v.frm.shpZoomArea.Visible);
    }
}

TEST(Navigator, RectangleFollowsPositionSizeAndViewport) {
    Viewed v(200, 100);  // thumbnail 4500 x 2250
    v.frm.imgHSC.Left = 30;
    v.frm.imgHSC.Top = 60;
    cmdZoom_Click(v.ctx, 0);  // W = 6000, H = 3000
    placeLayers(v.ctx, -1500, -750);
    cmdPicMove_Click(v.ctx, 0);  // Left -1500 + 3000 = 1500
    const auto& r = v.frm.shpZoomArea;
    EXPECT_TRUE(r.Visible);
    EXPECT_DOUBLE_EQ(r.Left, 30 - 1500.0 / 6000 * 4500);
    EXPECT_DOUBLE_EQ(r.Top, 60 + 750.0 / 3000 * 2250);
    EXPECT_DOUBLE_EQ(r.Width, 400.0 * 4500 * 15 / 6000);
    EXPECT_DOUBLE_EQ(r.Height, 300.0 * 15 * 2250 / 3000);

    // A click on the thumbnail centres the point shown there; beside it, the nearest edge.
    navigateTo(v.ctx, 30 + 4500 * 0.75, 60 + 2250 * 0.5);
    EXPECT_DOUBLE_EQ(v.pictureX(200), 150);
    EXPECT_DOUBLE_EQ(v.pictureY(150), 50);
    navigateTo(v.ctx, -500, 99999);
    EXPECT_DOUBLE_EQ(v.pictureX(200), 0);
    EXPECT_DOUBLE_EQ(v.pictureY(150), 100);
}

TEST(Navigation, WheelZoomKeepsThePointUnderThePointer) {
    // Scales 1 .. 8 and down to 1/8 about (123, 77): the point stays while the picture can
    // keep it there in view; the ladder ends at 8 and at 1/8.
    Viewed v(300, 200);
    const double x = v.pictureX(123), y = v.pictureY(77);
    const struct {
        int direction;
        double scale;
        int level;
    } steps[] = {{1, 2, 1},     {1, 4, 2},      {1, 8, 3},      {1, 8, 3},
                 {-1, 4, 2},    {-1, 2, 1},     {-1, 1, 0},     {-1, 0.5, 0},
                 {-1, 0.25, 0}, {-1, 0.125, 0}, {-1, 0.125, 0}, {1, 0.25, 0}};
    for (const auto& s : steps) {
        zoomAt(v.ctx, s.direction, 123, 77);
        SCOPED_TRACE(s.scale);
        EXPECT_EQ(v.ws.ZoomLevel, s.level);
        EXPECT_EQ(v.frm.picHSC[3].Width, s.scale * 300 * 15);
        EXPECT_NEAR(v.pictureX(123), x, 1e-9);
        EXPECT_NEAR(v.pictureY(77), y, 1e-9);
    }
}

TEST(Navigation, ZoomingOutAndFittingKeepThePictureInView) {
    // 1200 x 900 pixels in the 400 x 300 viewport. The wheel out from the bottom-right corner
    // would leave the picture's top-left part outside: the position is clamped so that a
    // picture as large as the viewport covers it, and a smaller one lies wholly inside.
    Viewed v(1200, 900);
    placeLayers(v.ctx, -800 * 15, -600 * 15);
    zoomAt(v.ctx, -1, 0, 0);  // 600 x 450 at (-400, -300) before the clamp
    EXPECT_EQ(v.left(), -200 * 15);
    EXPECT_EQ(v.top(), -150 * 15);
    zoomAt(v.ctx, -1, 390, 290);  // 300 x 225 fits: wholly inside
    EXPECT_GE(v.left(), 0);
    EXPECT_LE(v.left() + v.frm.picHSC[0].Width, 400 * 15);
    EXPECT_LE(v.top() + v.frm.picHSC[0].Height, 300 * 15);

    // Fit: the whole picture at the viewport's corner, the scale the viewport allows (1/3).
    cmdZoom_Click(v.ctx, 0);
    zoomToFit(v.ctx);
    EXPECT_EQ(v.ws.ZoomLevel, 0);
    EXPECT_DOUBLE_EQ(v.frm.picHSC[4].Width, 400 * 15);
    EXPECT_DOUBLE_EQ(v.frm.picHSC[4].Height, 300 * 15);
    EXPECT_EQ(v.frm.picHSC[4].ScaleWidth, 1200);
    v.expectLayersAt(0, 0);
    EXPECT_TRUE(v.frm.shpZoomArea.Visible);
    EXPECT_DOUBLE_EQ(v.frm.shpZoomArea.Width, v.frm.imgHSC.Width);
    // From a fitted scale the wheel goes on to the next step of the ladder: in 1/2, out 1/4.
    zoomAt(v.ctx, 1, 0, 0);
    EXPECT_DOUBLE_EQ(v.frm.picHSC[0].Width, 600 * 15);
    zoomToFit(v.ctx);
    zoomAt(v.ctx, -1, 0, 0);
    EXPECT_DOUBLE_EQ(v.frm.picHSC[0].Width, 300 * 15);

    // The buttons keep their levels: "－" at level 0 leaves the scale below 1 as it is, "＋"
    // goes to level 1 (scale 2), "◎" to scale 1 at (0, 0).
    cmdZoom_Click(v.ctx, 1);
    EXPECT_DOUBLE_EQ(v.frm.picHSC[0].Width, 300 * 15);
    cmdZoom_Click(v.ctx, 3);
    cmdZoom_Click(v.ctx, 3);
    EXPECT_DOUBLE_EQ(v.frm.picHSC[0].Width, 300 * 15);
    cmdZoom_Click(v.ctx, 0);
    EXPECT_EQ(v.ws.ZoomLevel, 1);
    EXPECT_DOUBLE_EQ(v.frm.picHSC[0].Width, 2 * 1200 * 15);
    zoomToFit(v.ctx);
    cmdZoom_Click(v.ctx, 2);
    EXPECT_DOUBLE_EQ(v.frm.picHSC[0].Width, 1200 * 15);
    v.expectLayersAt(0, 0);

    // A picture loaded into a fitted view is fitted; one that fits already stays at scale 1.
    zoomToFit(v.ctx);
    EXPECT_TRUE(test::loadPicture(v, test::greyPicture(800, 200, [](int, int) { return 9; })));
    EXPECT_DOUBLE_EQ(v.frm.picHSC[2].Width, 400 * 15);
    EXPECT_DOUBLE_EQ(v.frm.picHSC[2].Height, 100 * 15);
    EXPECT_TRUE(test::loadPicture(v, test::greyPicture(80, 60, [](int, int) { return 9; })));
    EXPECT_DOUBLE_EQ(v.frm.picHSC[2].Width, 80 * 15);
}

TEST(Navigation, WheelPanStopsWhereAnEdgePassesTheMiddle) {
    Viewed v(1000, 800);   // 15000 x 12000 units in a 6000 x 4500 viewport
    panBy(v.ctx, 150, 0);  // the left edge may come to the middle (3000), not further
    EXPECT_EQ(v.left(), 2250);
    panBy(v.ctx, 150, 0);
    EXPECT_EQ(v.left(), 3000);
    panBy(v.ctx, -5000, -5000);  // the right edge stops at the middle: 3000 - 15000
    EXPECT_EQ(v.left(), -12000);
    EXPECT_EQ(v.top(), 2250 - 12000);
    centreOn(v.ctx, 500, 400);
    EXPECT_DOUBLE_EQ(v.pictureX(200), 500);
    EXPECT_DOUBLE_EQ(v.pictureY(150), 400);
}

// The magnifier literally: the layer's drawing as a bitmap of its displayed size (each
// picture pixel a zoom x zoom block), the square at ((x - 15) zoom, (y - 15) zoom) of side
// 30 zoom stretched to 300 x 300 by nearest neighbour.
form::Rgb literalMagnifier(const form::Canvas& c, int zoom, float x, float y, int u, int v) {
    const double x0 = std::floor((x - 15) * zoom), y0 = std::floor((y - 15) * zoom);
    const double bx = x0 + std::floor((u + 0.5) * 30 * zoom / 300);
    const double by = y0 + std::floor((v + 0.5) * 30 * zoom / 300);
    const int px = static_cast<int>(std::floor(bx / zoom)),
              py = static_cast<int>(std::floor(by / zoom));
    if (px < 0 || py < 0 || px >= c.widthPx() || py >= c.heightPx()) return 0;
    return c.pixel(px, py);
}

TEST(Magnifier, ShowsThirtyPicturePixelsAroundThePointerWithTheMarks) {
    Viewed v(64, 48);
    form::Canvas& layer = v.frm.picHSC[4].canvas;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) layer.setPixel(x, y, form::RGB(x * 4, y * 5, 7));
    layer.circle(20.5, 10.5, 0.5, form::RGB(255, 0, 0), true);  // a result's dot
    v.frm.chkMag.Value = 1;
    chkMag_Click(v.ctx);
    EXPECT_TRUE(v.frm.picMag.Visible);
    const form::Rgb outside = v.frm.picMag.canvas.background();
    for (int level : {0, 1, 2, 3}) {
        v.ws.ZoomLevel = static_cast<int16_t>(level);
        // (14, 14): the magnifier's top rows lie in row -1, above the picture.
        for (auto [x, y] : {std::pair{20.0f, 10.0f},
                            {20.5f, 10.5f},
                            {3.125f, 40.0f},
                            {60.875f, 1.25f},
                            {14.0f, 14.0f},
                            {14.5f, 14.5f}}) {
            SCOPED_TRACE(testing::Message() << level << " " << x << " " << y);
            if (level == 0 && x != std::floor(x)) continue;  // positions come in whole pixels
            OV_DrawMagnifier(v.ctx, 4, x, y);
            const form::Canvas& mag = v.frm.picMag.canvas;
            ASSERT_EQ(mag.widthPx(), 300);
            int wrong = 0;
            for (int q = 0; q < 300; q += 3)
                for (int p = 0; p < 300; p += 3) {
                    form::Rgb want = literalMagnifier(layer, 1 << level, x, y, p, q);
                    if (want == 0) want = outside;
                    wrong += mag.pixel(p, q) != want;
                }
            EXPECT_EQ(wrong, 0);
        }
    }
    // The dot under the pointer fills the 10 x 10 block in the middle.
    v.ws.ZoomLevel = 0;
    OV_DrawMagnifier(v.ctx, 4, 20, 10);
    EXPECT_EQ(v.frm.picMag.canvas.pixel(150, 150), form::RGB(255, 0, 0));
    EXPECT_EQ(v.frm.picMag.canvas.pixel(159, 159), form::RGB(255, 0, 0));
    EXPECT_EQ(v.frm.picMag.canvas.pixel(160, 150), form::RGB(21 * 4, 50, 7));
    EXPECT_TRUE(v.frm.shpMagPixel.Visible);
    EXPECT_EQ(v.frm.shpMagPixel.Left, 150);
    EXPECT_EQ(v.frm.shpMagPixel.Width, 10);
}

TEST(Magnifier, ARowAboveThePictureShowsTheBackground) {
    Viewed v(64, 48);
    form::Canvas& layer = v.frm.picHSC[4].canvas;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) layer.setPixel(x, y, form::RGB(x * 4, y * 5, 7));
    v.frm.chkMag.Value = 1;
    chkMag_Click(v.ctx);
    const form::Rgb outside = v.frm.picMag.canvas.background();
    // At each zoom the pointer row whose square's top edge, (y - 15) zoom, is bitmap row -1.
    for (int level : {0, 1, 2, 3}) {
        const int zoom = 1 << level;
        const float y = 15 - 1.0f / zoom;
        SCOPED_TRACE(testing::Message() << level << " " << y);
        v.ws.ZoomLevel = static_cast<int16_t>(level);
        OV_DrawMagnifier(v.ctx, 4, 20, y);
        int wrong = 0;
        for (int q = 0; q < 300; ++q)
            for (int p = 0; p < 300; p += 5) {
                form::Rgb want = literalMagnifier(layer, zoom, 20, y, p, q);
                if (want == 0) want = outside;
                wrong += v.frm.picMag.canvas.pixel(p, q) != want;
            }
        EXPECT_EQ(wrong, 0);
    }
}

TEST(BiLinear, IntegerPointsHalfPointsAndTheBorder) {
    Viewed v(5, 4);  // pixel (x, y) = x + 3 y
    auto at = [&](float x, float y) {
        float level = -1;
        OV_GetBiLinear(v.ws, x, y, level);
        return level;
    };
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(at(x, y), x + 3 * y);
    EXPECT_EQ(at(0.5f, 0.5f), (0 + 1 + 3 + 4) / 4.0f);
    EXPECT_EQ(at(2.25f, 1.0f), 0.75f * 5 + 0.25f * 6);
    // Within one pixel outside, towards the zero border; beyond it, 0.
    EXPECT_EQ(at(-0.5f, 0.0f), 0.0f);
    EXPECT_EQ(at(-0.5f, 2.0f), 3.0f);
    EXPECT_EQ(at(4.5f, 3.0f), 13 / 2.0f);
    EXPECT_EQ(at(-1.0f, 1.0f), 0.0f);
    for (auto [x, y] : {std::pair{-1.01f, 0.0f},
                        {5.0f, 1.0f},
                        {0.0f, 4.0f},
                        {-5e9f, 1.0f},
                        {2.0f, std::nanf("")}})
        EXPECT_EQ(at(x, y), 0.0f);
}

TEST(BiLinear, WeightsAndSumInDoublePrecision) {
    TestApp app;
    control::Form_Load(app.ctx);
    const int values[2][2] = {{254, 146}, {101, 212}};  // [row][column] at x 0..1, y 1..2
    ASSERT_TRUE(test::loadPicture(app, test::greyPicture(3, 3, [&](int x, int y) {
                                      return x < 2 && y >= 1 ? values[y - 1][x] : 0;
                                  })));
    float level = 0;
    OV_GetBiLinear(app.ws, 0.726f, 1.43630898f, level);
    // Computed in single precision throughout, the sum would round to 178.207245.
    EXPECT_EQ(level, 178.20723f);
}

}  // namespace
}  // namespace orv::view
