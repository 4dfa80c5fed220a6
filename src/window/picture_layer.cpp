#include "window/picture_layer.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "core/workspace.h"

namespace orv::window {

namespace {

// The canvas raster as a QImage over the same memory (valid until the canvas changes size).
QImage wrap(const form::Canvas& c) {
    return QImage(reinterpret_cast<const uchar*>(c.data()), c.widthPx(), c.heightPx(),
                  static_cast<qsizetype>(c.widthPx()) * 4, QImage::Format_RGB32);
}

}  // namespace

int twipsToPx(double twips) {
    return static_cast<int>(std::lround(twips / core::kTwipsPerPixel));
}

PictureLayer::PictureLayer(const form::PictureBox& box, const form::Shape& area,
                           const form::Shape* cursor, QWidget* viewport)
    : QWidget(viewport), box_(box), area_(area), cursor_(cursor) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

PictureLayer::ShapeState PictureLayer::stateOf(const form::Shape* shape) {
    if (!shape) return {};
    return {shape->Visible, shape->Left, shape->Top, shape->Width, shape->Height};
}

QPointF PictureLayer::toPicture(QPointF position) const {
    const double logicalW = box_.ScaleWidth > 0 ? box_.ScaleWidth : box_.canvas.widthPx();
    const double logicalH = box_.ScaleHeight > 0 ? box_.ScaleHeight : box_.canvas.heightPx();
    const double w = std::max(1, width()), h = std::max(1, height());
    return {position.x() * logicalW / w, position.y() * logicalH / h};
}

void PictureLayer::sync() {
    const QRect g(twipsToPx(box_.Left), twipsToPx(box_.Top), twipsToPx(box_.Width),
                  twipsToPx(box_.Height));
    if (g != geometry()) setGeometry(g);
    if (isHidden() == box_.Visible) setVisible(box_.Visible);
    const ShapeState a = stateOf(&area_), c = stateOf(cursor_);
    if (box_.canvas.revision() != revision_ || a != shownArea_ || c != shownCursor_) {
        revision_ = box_.canvas.revision();
        shownArea_ = a;
        shownCursor_ = c;
        update();
    }
}

void PictureLayer::paintEvent(QPaintEvent* event) {
    ++paints_;
    QPainter p(this);
    const QRect r = event->rect();
    const form::Canvas& c = box_.canvas;
    const int cw = c.widthPx(), ch = c.heightPx();
    if (cw <= 0 || ch <= 0 || width() <= 0 || height() <= 0) {
        p.fillRect(r, QColor::fromRgb(c.background()));
        lastSource_ = QRect();
    } else {
        // The canvas pixels under the exposed rectangle, drawn onto exactly their place.
        const double sx = static_cast<double>(width()) / cw;
        const double sy = static_cast<double>(height()) / ch;
        const int x0 = std::clamp(static_cast<int>(std::floor(r.left() / sx)), 0, cw);
        const int x1 = std::clamp(static_cast<int>(std::ceil((r.right() + 1) / sx)), 0, cw);
        const int y0 = std::clamp(static_cast<int>(std::floor(r.top() / sy)), 0, ch);
        const int y1 = std::clamp(static_cast<int>(std::ceil((r.bottom() + 1) / sy)), 0, ch);
        lastSource_ = QRect(x0, y0, x1 - x0, y1 - y0);
        if (!lastSource_.isEmpty()) {
            p.setRenderHint(QPainter::SmoothPixmapTransform, false);
            p.drawImage(QRectF(x0 * sx, y0 * sy, (x1 - x0) * sx, (y1 - y0) * sy), wrap(c),
                        QRectF(lastSource_));
        }
    }
    paintShape(p, area_);
    if (cursor_) paintShape(p, *cursor_);
}

void PictureLayer::paintShape(QPainter& p, const form::Shape& shape) const {
    if (!shape.Visible || shape.Width <= 0 || shape.Height <= 0) return;
    // Logical units of the layer (one per picture pixel) to widget pixels.
    const double logicalW = box_.ScaleWidth > 0 ? box_.ScaleWidth : box_.canvas.widthPx();
    const double logicalH = box_.ScaleHeight > 0 ? box_.ScaleHeight : box_.canvas.heightPx();
    if (logicalW <= 0 || logicalH <= 0) return;
    const double kx = width() / logicalW, ky = height() / logicalH;
    const int left = static_cast<int>(std::lround(shape.Left * kx));
    const int top = static_cast<int>(std::lround(shape.Top * ky));
    const int right = static_cast<int>(std::lround((shape.Left + shape.Width) * kx)) - 1;
    const int bottom = static_cast<int>(std::lround((shape.Top + shape.Height) * ky)) - 1;
    p.setPen(QPen(QColor::fromRgb(shape.BorderColor), 0));
    p.setBrush(Qt::NoBrush);
    // An outlined QRect covers width + 1 pixels: this one covers left..right exactly.
    const QRect r(left, top, std::max(0, right - left), std::max(0, bottom - top));
    if (shape.Kind == form::ShapeKind::Circle) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.drawEllipse(r);
        p.setRenderHint(QPainter::Antialiasing, false);
    } else {
        p.drawRect(r);
    }
}

Thumbnail::Thumbnail(const form::ImageBox& box, const form::PictureBox& source,
                     std::function<bool()> quick, QWidget* parent)
    : QWidget(parent), box_(box), source_(source), quick_(std::move(quick)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool Thumbnail::cacheStale() const {
    return source_.canvas.revision() != cacheRevision_ || cache_.size() != size() ||
           (cacheQuick_ && !quick_());
}

void Thumbnail::sync() {
    const QRect g(twipsToPx(box_.Left), twipsToPx(box_.Top), twipsToPx(box_.Width),
                  twipsToPx(box_.Height));
    if (g != geometry()) setGeometry(g);
    if (isHidden() == box_.Visible) setVisible(box_.Visible);
    if (source_.canvas.revision() != seenRevision_ || (cacheQuick_ && !quick_())) {
        seenRevision_ = source_.canvas.revision();
        update();
    }
}

void Thumbnail::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const form::Canvas& c = source_.canvas;
    if (c.widthPx() <= 0 || c.heightPx() <= 0 || width() <= 0 || height() <= 0) {
        p.fillRect(event->rect(), Qt::black);
        return;
    }
    if (cacheStale()) {
        cacheQuick_ = quick_();
        const QImage whole = wrap(c);
        // scaled() to the same size would share the canvas memory: copy it instead.
        cache_ = whole.size() == size() ? whole.copy()
                                        : whole.scaled(size(), Qt::IgnoreAspectRatio,
                                                       cacheQuick_ ? Qt::FastTransformation
                                                                   : Qt::SmoothTransformation);
        cacheRevision_ = c.revision();
    }
    p.drawImage(event->rect(), cache_, event->rect());
}

}  // namespace orv::window
