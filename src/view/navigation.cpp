#include "view/navigation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "core/paths.h"

namespace orv::view {

using core::kTwipsPerPixel;
using form::Ctx;

namespace {

constexpr int16_t kMaxZoomLevel = 3;

// The viewport's size in layout units.
double viewportWidth(const Ctx& ctx) {
    return ctx.frm.fraPickUp.Width * kTwipsPerPixel;
}
double viewportHeight(const Ctx& ctx) {
    return ctx.frm.fraPickUp.Height * kTwipsPerPixel;
}

// Layout units per picture pixel at the current zoom (0 without a picture).
double unitsPerPixelX(const Ctx& ctx) {
    return ctx.ws.ImageWidthP > 0 ? ctx.frm.picHSC[0].Width / ctx.ws.ImageWidthP : 0;
}
double unitsPerPixelY(const Ctx& ctx) {
    return ctx.ws.ImageHeightP > 0 ? ctx.frm.picHSC[0].Height / ctx.ws.ImageHeightP : 0;
}

double floorDiv(double a, double b) {
    return std::floor(a / b);
}

}  // namespace

void placeLayers(Ctx& ctx, double left, double top) {
    for (auto& p : ctx.frm.picHSC) {
        p.Left = left;
        p.Top = top;
    }
}

double displayScale(const Ctx& ctx) {
    const int16_t level = ctx.ws.ZoomLevel;
    if (level > 0 && level <= kMaxZoomLevel) return 1 << level;
    return ctx.ws.ZoomOut > 0 && ctx.ws.ZoomOut < 1 ? ctx.ws.ZoomOut : 1.0;
}

double fitScale(const Ctx& ctx) {
    const auto& ws = ctx.ws;
    if (ws.ImageWidthP <= 0 || ws.ImageHeightP <= 0) return 1;
    const double fit = std::min(ctx.frm.fraPickUp.Width / ws.ImageWidthP,
                                ctx.frm.fraPickUp.Height / ws.ImageHeightP);
    return fit > 0 && fit < 1 ? fit : 1.0;
}

void sizeLayers(Ctx& ctx) {
    const auto& ws = ctx.ws;
    const double scale = displayScale(ctx);
    for (auto& p : ctx.frm.picHSC) {
        p.Width = scale * ws.ImageWidthTw;
        p.Height = scale * ws.ImageHeightTw;
        p.ScaleWidth = ws.ImageWidthP;
        p.ScaleHeight = ws.ImageHeightP;
    }
}

void cmdZoom_Click(Ctx& ctx, int index) {
    auto& ws = ctx.ws;
    auto& f = ctx.frm;
    if (ws.ImageWidthP != 0) {
        const int16_t before = ws.ZoomLevel;
        switch (index) {
            case 0:
                ws.ZoomLevel += 1;
                break;
            case 1:
                ws.ZoomLevel -= 1;
                break;
            case 2:
                ws.ZoomLevel = 0;
                placeLayers(ctx, 0, 0);
                break;
            default:
                break;
        }
        ws.ZoomLevel = std::clamp<int16_t>(ws.ZoomLevel, 0, kMaxZoomLevel);
        // A scale below 1 ends where the buttons change the level or return to scale 1; "－"
        // at level 0 and the hand button leave it as it is.
        if (index == 2 || ws.ZoomLevel != before) {
            ws.ZoomOut = 1;
            ws.ZoomFit = false;
        }
        sizeLayers(ctx);
        if (index == 3) {
            ws.HandMode = ws.HandMode == -1 ? 0 : -1;
            showHandPicture(ctx);
            f.MousePointer = ws.HandMode == -1 ? form::FrmOrvandel::Pointer::SizeAll
                                               : form::FrmOrvandel::Pointer::Arrow;
        }
    }
    placeMarginRectangles(ctx);
    placeZoomArea(ctx);
}

void cmdPicMove_Click(Ctx& ctx, int index) {
    const auto& p = ctx.frm.picHSC[0];
    // Half the viewport, and the tests, in single precision.
    const float sx = static_cast<float>(ctx.frm.fraPickUp.Width / 2 * kTwipsPerPixel);
    const float sy = static_cast<float>(ctx.frm.fraPickUp.Height / 2 * kTwipsPerPixel);
    const float left = static_cast<float>(p.Left), top = static_cast<float>(p.Top);
    const float w = static_cast<float>(p.Width), h = static_cast<float>(p.Height);
    const float vw = static_cast<float>(viewportWidth(ctx));
    const float vh = static_cast<float>(viewportHeight(ctx));
    switch (index) {
        case 0:
            if (left + sx < vw) placeLayers(ctx, left + sx, top);
            break;
        case 1:
            if (left - sx + w > 0) placeLayers(ctx, left - sx, top);
            break;
        case 2:
            if (top + sy < vh) placeLayers(ctx, left, top + sy);
            break;
        case 3:
            if (top - sy + h > 0) placeLayers(ctx, left, top - sy);
            break;
        default:
            break;
    }
    placeZoomArea(ctx);
}

void chkMag_Click(Ctx& ctx) {
    ctx.frm.picMag.Visible = ctx.frm.chkMag.Value == 1;
    if (!ctx.frm.picMag.Visible) ctx.frm.shpMagPixel.Visible = false;
}

void placeMarginRectangles(Ctx& ctx) {
    const double margin = ctx.ws.settings.Margin;
    const double w = ctx.ws.ImageWidthP - 2 * margin, h = ctx.ws.ImageHeightP - 2 * margin;
    const bool framed = w > 0 && h > 0;
    for (auto& s : ctx.frm.shpArea) {
        s.Visible = framed;
        if (!framed) continue;
        s.Left = s.Top = margin;
        s.Width = w;
        s.Height = h;
    }
}

void placeZoomArea(Ctx& ctx) {
    auto& f = ctx.frm;
    const auto& p = f.picHSC[0];
    const auto& img = f.imgHSC;
    auto& r = f.shpZoomArea;
    if (p.Width <= 0 || p.Height <= 0) {
        r.Visible = false;
        return;
    }
    r.Visible = true;
    r.Left = img.Left - p.Left / p.Width * img.Width;
    r.Top = img.Top - p.Top / p.Height * img.Height;
    r.Width = f.fraPickUp.Width * img.Width * kTwipsPerPixel / p.Width;
    r.Height = f.fraPickUp.Height * kTwipsPerPixel * img.Height / p.Height;
}

void showHandPicture(Ctx& ctx) {
    auto& button = ctx.frm.cmdZoom[3];
    const bool on = ctx.ws.HandMode == -1;
    const std::string file =
        core::joinPath(ctx.ws.folders.programFolder, on ? "hand-on.bmp" : "hand-off.bmp");
    button.PictureFile = core::fileExists(file) ? file : "";
    button.Value = on ? 1 : 0;
}

namespace {

// The scales the wheel steps through.
constexpr double kWheelScales[] = {0.125, 0.25, 0.5, 1, 2, 4, 8};

// The next scale of the wheel's ladder above (direction > 0) or below the current one; the
// current one when there is none (a fitted scale lies between two steps).
double nextWheelScale(double scale, int direction) {
    double next = scale;
    for (double s : kWheelScales) {
        if (direction > 0 && s > scale * (1 + 1e-9)) return s;
        if (direction < 0 && s < scale * (1 - 1e-9)) next = s;
    }
    return next;
}

// Shows the layers at `scale`: a level of the zoom buttons from 1 on, a scale below 1 at level 0.
void setScale(Ctx& ctx, double scale, bool fitted) {
    auto& ws = ctx.ws;
    ws.ZoomLevel = scale > 1 ? static_cast<int16_t>(std::lround(std::log2(scale))) : 0;
    ws.ZoomOut = scale < 1 ? scale : 1;
    ws.ZoomFit = fitted;
    sizeLayers(ctx);
}

// One axis of the clamp: the picture wholly inside a viewport it fits, else covering it.
double clampedPosition(double position, double size, double view) {
    return size <= view ? std::clamp(position, 0.0, view - size)
                        : std::clamp(position, view - size, 0.0);
}

}  // namespace

void clampPosition(Ctx& ctx) {
    const auto& p = ctx.frm.picHSC[0];
    if (p.Width <= 0 || p.Height <= 0) return;
    placeLayers(ctx, clampedPosition(p.Left, p.Width, viewportWidth(ctx)),
                clampedPosition(p.Top, p.Height, viewportHeight(ctx)));
}

void zoomAt(Ctx& ctx, int direction, double px, double py) {
    if (ctx.ws.ImageWidthP == 0 || direction == 0) return;
    const double before = displayScale(ctx);
    double after = before;
    for (int step = 0; step < std::abs(direction); ++step) after = nextWheelScale(after, direction);
    if (after == before) return;
    const double left = ctx.frm.picHSC[0].Left, top = ctx.frm.picHSC[0].Top;
    setScale(ctx, after, false);
    // The picture point under the pointer stays (its distance from the layer's corner scales),
    // unless that would take the picture out of view.
    const double factor = after / before;
    const double x = px * kTwipsPerPixel, y = py * kTwipsPerPixel;
    placeLayers(ctx, x - (x - left) * factor, y - (y - top) * factor);
    clampPosition(ctx);
    placeMarginRectangles(ctx);
    placeZoomArea(ctx);
}

void zoomToFit(Ctx& ctx) {
    if (ctx.ws.ImageWidthP == 0) return;
    setScale(ctx, fitScale(ctx), true);
    placeLayers(ctx, 0, 0);
    clampPosition(ctx);
    placeMarginRectangles(ctx);
    placeZoomArea(ctx);
}

void refitForLoad(Ctx& ctx) {
    if (ctx.ws.ZoomFit) setScale(ctx, fitScale(ctx), true);
}

void panBy(Ctx& ctx, double dx, double dy) {
    const auto& p = ctx.frm.picHSC[0];
    auto limited = [](double position, double delta, double size, double view) {
        const double moved = position + delta * kTwipsPerPixel;
        if (delta > 0) return std::min(moved, std::max(position, view / 2));
        if (delta < 0) return std::max(moved, std::min(position, view / 2 - size));
        return position;
    };
    placeLayers(ctx, limited(p.Left, dx, p.Width, viewportWidth(ctx)),
                limited(p.Top, dy, p.Height, viewportHeight(ctx)));
    placeZoomArea(ctx);
}

void centreOn(Ctx& ctx, double x, double y) {
    if (ctx.ws.ImageWidthP <= 0 || ctx.ws.ImageHeightP <= 0) return;
    placeLayers(ctx, viewportWidth(ctx) / 2 - x * unitsPerPixelX(ctx),
                viewportHeight(ctx) / 2 - y * unitsPerPixelY(ctx));
    placeZoomArea(ctx);
}

void navigateTo(Ctx& ctx, double u, double v) {
    const auto& img = ctx.frm.imgHSC;
    if (img.Width <= 0 || img.Height <= 0) return;
    const double fx = std::clamp((u - img.Left) / img.Width, 0.0, 1.0);
    const double fy = std::clamp((v - img.Top) / img.Height, 0.0, 1.0);
    centreOn(ctx, fx * ctx.ws.ImageWidthP, fy * ctx.ws.ImageHeightP);
}

void OV_DrawMagnifier(Ctx& ctx, int index, float x, float y) {
    auto& f = ctx.frm;
    if (index < 0 || index > 4) return;
    form::Canvas& mag = f.picMag.canvas;
    constexpr int kSize = form::FrmOrvandel::kMagSize;
    if (mag.widthPx() != kSize || mag.heightPx() != kSize) mag.resize(kSize, kSize, false);
    if (mag.isNull()) return;
    const form::Canvas& src = f.picHSC[index].canvas;
    f.picMagSource = index;

    // The square in pixels of the layer's displayed bitmap (2^ZoomLevel per picture pixel):
    // top-left corner (x0, y0), side `span`; output pixel u samples bitmap pixel
    // x0 + floor((u + 0.5) * span / kSize), which lies in picture pixel floor(that / zoom).
    const int level = std::clamp<int>(ctx.ws.ZoomLevel, 0, kMaxZoomLevel);
    const double zoom = 1 << level;
    const double half = form::FrmOrvandel::kMagSpan / 2.0;
    const double x0 = std::floor((x - half) * zoom), y0 = std::floor((y - half) * zoom);
    const double span = form::FrmOrvandel::kMagSpan * zoom;
    std::array<int, kSize> column{};
    for (int u = 0; u < kSize; ++u)
        column[u] = static_cast<int>(floorDiv(x0 + std::floor((u + 0.5) * span / kSize), zoom));

    std::array<form::Rgb, kSize> row{};
    const form::Rgb outside = mag.background();
    // Consecutive output rows of one picture row share `row` (row -1, above the picture, is
    // a row like any other).
    bool rowMade = false;
    int shownRow = 0;
    for (int v = 0; v < kSize; ++v) {
        const int iy = static_cast<int>(floorDiv(y0 + std::floor((v + 0.5) * span / kSize), zoom));
        if (!rowMade || iy != shownRow) {
            rowMade = true;
            const bool inRows = iy >= 0 && iy < src.heightPx();
            const form::Rgb* line =
                inRows ? src.data() + static_cast<size_t>(iy) * src.widthPx() : nullptr;
            for (int u = 0; u < kSize; ++u) {
                const int ix = column[u];
                row[u] = line && ix >= 0 && ix < src.widthPx() ? line[ix] : outside;
            }
            shownRow = iy;
        }
        mag.setRow(v, row.data());
    }

    // The picture pixel under the pointer, in magnifier pixels.
    auto& mark = f.shpMagPixel;
    const double px = std::floor(x), py = std::floor(y);
    const double scale = kSize / span;
    mark.Left = (px * zoom - x0) * scale;
    mark.Top = (py * zoom - y0) * scale;
    mark.Width = mark.Height = zoom * scale;
    mark.Visible = f.picMag.Visible && px >= 0 && py >= 0 && px < ctx.ws.ImageWidthP &&
                   py < ctx.ws.ImageHeightP;
}

}  // namespace orv::view
