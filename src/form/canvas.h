#pragma once
// A picture box's drawing surface: an RGB raster that keeps what is drawn until it is cleared,
// with a logical coordinate window (left, top, width, height in logical units) mapped onto
// its pixels. The picture layers use one logical unit per picture pixel, so their raster has
// the picture's resolution and is shown scaled; zooming never redraws.
//
// A null canvas has no raster and ignores every drawing operation, so that a run without a
// window spends no memory or time on drawing.

#include <cstddef>
#include <cstdint>

#include "core/array2d.h"

namespace orv::form {

// 0xFFRRGGBB, the layout of a 32-bit RGB image in memory on little-endian machines.
using Rgb = uint32_t;
constexpr Rgb RGB(int r, int g, int b) {
    return 0xFF000000u | (static_cast<uint32_t>(r & 0xFF) << 16) |
           (static_cast<uint32_t>(g & 0xFF) << 8) | static_cast<uint32_t>(b & 0xFF);
}
constexpr Rgb greyRgb(int v) {
    return RGB(v, v, v);
}

class Canvas {
public:
    // A new canvas is null until resized (unless nulled for good with setNull(true)).
    Canvas() = default;

    // A canvas marked null stays null: resize and every drawing operation do nothing.
    void setNull(bool isNull);
    bool isNull() const { return pixels_.empty(); }

    // Gives the raster a size in pixels and clears it (or, when `cleared` is false, leaves its
    // content to the caller, who paints every pixel); the logical window becomes 0,0 to w,h.
    void resize(int widthPx, int heightPx, bool cleared = true);
    // Frees the raster.
    void release();
    int widthPx() const { return width_; }
    int heightPx() const { return height_; }

    // The logical coordinate window: the left and top edges and the width and height, in
    // logical units, that the raster spans.
    void setScale(double left, double top, double width, double height);

    // Clears to the background colour (nothing to do when nothing was drawn since).
    void clear();
    Rgb background() const { return background_; }
    void setBackground(Rgb c) { background_ = c; }

    // A filled box between two logical corners; covers at least one pixel.
    void fillBox(double x0, double y0, double x1, double y1, Rgb c);
    // One raster pixel; out-of-raster pixels are ignored.
    void setPixel(int ix, int iy, Rgb c) {
        if (ix >= 0 && iy >= 0 && ix < width_ && iy < height_) {
            pixels_(ix, iy) = c;
            ++revision_;
            clean_ = false;
        }
    }
    Rgb pixel(int ix, int iy) const;
    // A circle in logical units: pixels whose centres lie within the radius (filled) or
    // near the circumference (outline). A filled circle always paints the pixel that holds
    // its centre.
    void circle(double cx, double cy, double radius, Rgb c, bool filled);
    // A circle that stays round on the raster whatever the vertical scale, as a picture box
    // draws one: the radius is in horizontal logical units.
    void roundCircle(double cx, double cy, double radius, Rgb c, bool filled);
    // A straight line between logical points, one pixel wide.
    void line(double x0, double y0, double x1, double y1, Rgb c);

    // One raster row of a grey byte plane.
    void drawGreyRow(int iy, const uint8_t* values);
    // One raster row in grey from levels 0..255, each rounded to the nearest whole level
    // (ties to even).
    void drawGreyRow(int iy, const float* levels);
    // Raster row iy from `width` colours.
    void setRow(int iy, const Rgb* colours);
    // Copies the whole raster of a canvas of the same size.
    void copyFrom(const Canvas& other);

    const Rgb* data() const { return pixels_.empty() ? nullptr : pixels_.at(0, 0); }
    // Grows with every change; the window repaints a layer when it changed.
    uint64_t revision() const { return revision_; }

    // Marks what the canvas holds now (a tag of the caller's choosing), and asks whether it
    // still holds exactly that: nothing was drawn since it was marked.
    void markContent(uint64_t tag) {
        contentTag_ = tag;
        contentRevision_ = revision_;
    }
    bool holds(uint64_t tag) const {
        return !isNull() && tag != 0 && contentTag_ == tag && contentRevision_ == revision_;
    }

private:
    // Cuts a line in raster units to the raster and a pixel around it.
    void clipLine(double& px0, double& py0, double& px1, double& py1) const;
    int toPixelX(double x) const;
    int toPixelY(double y) const;
    // An ellipse about (cx, cy) with radii rx, ry, all in raster units.
    void ellipse(double pcx, double pcy, double rx, double ry, Rgb c, bool filled);

    bool forcedNull_ = false;
    int width_ = 0, height_ = 0;
    double left_ = 0, top_ = 0, scaleW_ = 1, scaleH_ = 1;
    Rgb background_ = RGB(0, 0, 0);
    core::Array2D<Rgb> pixels_;  // (0..w-1, 0..h-1), memory from the block cache
    uint64_t revision_ = 0;
    bool clean_ = false;  // all background since the last clear
    uint64_t contentTag_ = 0, contentRevision_ = 0;
};

}  // namespace orv::form
