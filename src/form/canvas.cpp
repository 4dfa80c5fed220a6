#include "form/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/vector_loops.h"

namespace orv::form {

namespace {

// Raster coordinates beyond this are taken as far away: lines are clipped first.
constexpr double kFarAway = 1e6;

// A raster coordinate as a whole number, held within a pixel or two of the raster so that a
// point far outside (coordinates from a damaged file) cannot overflow the conversion.
int clampedPixel(double v, int size) {
    if (!(v > -2.0)) return -2;  // NaN too
    if (v > size + 1.0) return size + 1;
    return static_cast<int>(v);
}

}  // namespace

void Canvas::setNull(bool isNull) {
    forcedNull_ = isNull;
    if (isNull) release();
}

void Canvas::resize(int widthPx, int heightPx, bool cleared) {
    if (forcedNull_ || widthPx <= 0 || heightPx <= 0) {
        release();
        return;
    }
    pixels_.create(0, widthPx - 1, 0, heightPx - 1, false);
    width_ = widthPx;
    height_ = heightPx;
    setScale(0, 0, width_, height_);
    clean_ = false;
    if (cleared) clear();
    ++revision_;
}

void Canvas::release() {
    pixels_.release();
    width_ = height_ = 0;
    ++revision_;
}

void Canvas::setScale(double left, double top, double width, double height) {
    left_ = left;
    top_ = top;
    scaleW_ = width == 0 ? 1 : width;
    scaleH_ = height == 0 ? 1 : height;
}

void Canvas::clear() {
    if (isNull() || clean_) return;
    std::fill_n(pixels_.at(0, 0), pixels_.size(), background_);
    clean_ = true;
    ++revision_;
}

void Canvas::clipLine(double& px0, double& py0, double& px1, double& py1) const {
    // Cohen-Sutherland against the raster and a pixel around it: each end outside is moved
    // onto the edge it lies beyond, the other coordinate following the line's slope. A segment
    // that misses (or is not finite) becomes a point outside, which paints nothing.
    const double xlo = -1, ylo = -1, xhi = width_ + 1.0, yhi = height_ + 1.0;
    auto code = [&](double x, double y) {
        return (x < xlo) | (x > xhi) << 1 | (y < ylo) << 2 | (y > yhi) << 3;
    };
    if (!std::isfinite(px0) || !std::isfinite(py0) || !std::isfinite(px1) || !std::isfinite(py1)) {
        px0 = px1 = py0 = py1 = -2;
        return;
    }
    int c0 = code(px0, py0), c1 = code(px1, py1);
    while (c0 | c1) {
        if (c0 & c1) {
            px0 = px1 = py0 = py1 = -2;
            return;
        }
        const bool first = c0 != 0;
        const int c = first ? c0 : c1;
        double x, y;
        if (c & 1) {
            x = xlo, y = py0 + (py1 - py0) * ((xlo - px0) / (px1 - px0));
        } else if (c & 2) {
            x = xhi, y = py0 + (py1 - py0) * ((xhi - px0) / (px1 - px0));
        } else if (c & 4) {
            y = ylo, x = px0 + (px1 - px0) * ((ylo - py0) / (py1 - py0));
        } else {
            y = yhi, x = px0 + (px1 - px0) * ((yhi - py0) / (py1 - py0));
        }
        if (first)
            px0 = x, py0 = y, c0 = code(x, y);
        else
            px1 = x, py1 = y, c1 = code(x, y);
    }
}

int Canvas::toPixelX(double x) const {
    return clampedPixel(std::floor((x - left_) * width_ / scaleW_ + 1e-9), width_);
}

int Canvas::toPixelY(double y) const {
    return clampedPixel(std::floor((y - top_) * height_ / scaleH_ + 1e-9), height_);
}

void Canvas::fillBox(double x0, double y0, double x1, double y1, Rgb c) {
    if (isNull()) return;
    if (x1 < x0) std::swap(x0, x1);
    if (y1 < y0) std::swap(y0, y1);
    int ix0 = toPixelX(x0), iy0 = toPixelY(y0);
    int ix1 =
        std::max(ix0, clampedPixel(std::ceil((x1 - left_) * width_ / scaleW_ - 1e-9), width_) - 1);
    int iy1 =
        std::max(iy0, clampedPixel(std::ceil((y1 - top_) * height_ / scaleH_ - 1e-9), height_) - 1);
    ix0 = std::max(ix0, 0);
    iy0 = std::max(iy0, 0);
    ix1 = std::min(ix1, width_ - 1);
    iy1 = std::min(iy1, height_ - 1);
    for (int iy = iy0; iy <= iy1; ++iy)
        std::fill_n(pixels_.at(ix0, iy), std::max(0, ix1 - ix0 + 1), c);
    ++revision_;
    clean_ = false;
}

Rgb Canvas::pixel(int ix, int iy) const {
    if (ix < 0 || iy < 0 || ix >= width_ || iy >= height_) return background_;
    return pixels_(ix, iy);
}

void Canvas::circle(double cx, double cy, double radius, Rgb c, bool filled) {
    if (isNull()) return;
    const double sx = width_ / scaleW_, sy = height_ / scaleH_;
    ellipse((cx - left_) * sx, (cy - top_) * sy, std::abs(radius * sx), std::abs(radius * sy), c,
            filled);
}

void Canvas::roundCircle(double cx, double cy, double radius, Rgb c, bool filled) {
    if (isNull()) return;
    const double sx = width_ / scaleW_, sy = height_ / scaleH_;
    const double r = std::abs(radius * sx);
    ellipse((cx - left_) * sx, (cy - top_) * sy, r, r, c, filled);
}

void Canvas::ellipse(double pcx, double pcy, double rx, double ry, Rgb c, bool filled) {
    const int x0 = clampedPixel(std::floor(pcx - rx), width_) - 1,
              x1 = clampedPixel(std::ceil(pcx + rx), width_) + 1;
    const int y0 = clampedPixel(std::floor(pcy - ry), height_) - 1,
              y1 = clampedPixel(std::ceil(pcy + ry), height_) + 1;
    for (int iy = y0; iy <= y1; ++iy) {
        for (int ix = x0; ix <= x1; ++ix) {
            double dx = (ix + 0.5 - pcx) / (rx > 0 ? rx : 1),
                   dy = (iy + 0.5 - pcy) / (ry > 0 ? ry : 1);
            double d = std::sqrt(dx * dx + dy * dy);
            bool in = filled ? d <= 1.0 : std::abs(d - 1.0) * std::min(rx, ry) <= 0.5;
            if (in) setPixel(ix, iy, c);
        }
    }
    if (filled)
        setPixel(clampedPixel(std::floor(pcx), width_), clampedPixel(std::floor(pcy), height_), c);
    ++revision_;
}

void Canvas::line(double x0, double y0, double x1, double y1, Rgb c) {
    if (isNull()) return;
    const double sx = width_ / scaleW_, sy = height_ / scaleH_;
    double px0 = (x0 - left_) * sx, py0 = (y0 - top_) * sy;
    double px1 = (x1 - left_) * sx, py1 = (y1 - top_) * sy;
    if (!(std::max({std::abs(px0), std::abs(py0), std::abs(px1), std::abs(py1)}) <= kFarAway))
        clipLine(px0, py0, px1, py1);
    int steps = static_cast<int>(std::ceil(std::max(std::abs(px1 - px0), std::abs(py1 - py0))));
    for (int i = 0; i <= steps; ++i) {
        // Multiplied before dividing, so that whole-number steps land on whole numbers.
        const double ix = steps == 0 ? px0 : px0 + (px1 - px0) * i / steps;
        const double iy = steps == 0 ? py0 : py0 + (py1 - py0) * i / steps;
        setPixel(static_cast<int>(std::floor(ix)), static_cast<int>(std::floor(iy)), c);
    }
    ++revision_;
}

namespace {

ORV_PIXEL_LOOP void greyRow(Rgb* __restrict out, const uint8_t* __restrict values, int w) {
    for (int ix = 0; ix < w; ++ix) out[ix] = 0xFF000000u | (values[ix] * 0x010101u);
}

// Rounds 0 <= v < 2^22 to the nearest whole number, ties to even, as the processor's default
// rounding does when the fraction bits are pushed out of a Single.
ORV_PIXEL_LOOP void roundedGreyRow(Rgb* __restrict out, const float* __restrict levels, int w) {
    constexpr float kShift = 8388608.0f;  // 2^23
    for (int ix = 0; ix < w; ++ix) {
        const float rounded = (levels[ix] + kShift) - kShift;
        out[ix] = 0xFF000000u | (static_cast<uint32_t>(rounded) * 0x010101u);
    }
}

}  // namespace

void Canvas::drawGreyRow(int iy, const float* levels) {
    if (isNull() || iy < 0 || iy >= height_) return;
    roundedGreyRow(pixels_.at(0, iy), levels, width_);
    ++revision_;
    clean_ = false;
}

void Canvas::drawGreyRow(int iy, const uint8_t* values) {
    if (isNull() || iy < 0 || iy >= height_) return;
    greyRow(pixels_.at(0, iy), values, width_);
    ++revision_;
    clean_ = false;
}

void Canvas::setRow(int iy, const Rgb* colours) {
    if (isNull() || iy < 0 || iy >= height_) return;
    std::copy_n(colours, width_, pixels_.at(0, iy));
    ++revision_;
    clean_ = false;
}

void Canvas::copyFrom(const Canvas& other) {
    if (isNull() || other.width_ != width_ || other.height_ != height_) return;
    std::copy_n(other.pixels_.at(0, 0), pixels_.size(), pixels_.at(0, 0));
    clean_ = other.clean_;
    ++revision_;
}

}  // namespace orv::form
