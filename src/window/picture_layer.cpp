#include "window/picture_layer.h"

#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "core/workspace.h"
#include "form/class_colours.h"

namespace orv::window {

namespace {

// The canvas raster as a QImage over the same memory (valid until the canvas changes size).
QImage wrap(const form::Canvas& c) {
    return QImage(reinterpret_cast<const uchar*>(c.data()), c.widthPx(), c.heightPx(),
                  static_cast<qsizetype>(c.widthPx()) * 4, QImage::Format_RGB32);
}

// A copy of an RGB32 image through a display stretch.
QImage stretchedCopy(const QImage& image, const view::StretchTable& table) {
    QImage out(image.size(), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        view::applyStretch(table, reinterpret_cast<const uint32_t*>(image.constScanLine(y)),
                           reinterpret_cast<uint32_t*>(out.scanLine(y)),
                           static_cast<size_t>(image.width()));
    return out;
}

}  // namespace

int twipsToPx(double twips) {
    return static_cast<int>(std::lround(twips / core::kTwipsPerPixel));
}

PictureLayer::PictureLayer(const form::PictureBox& box, const form::Shape& area,
                           const form::Shape* cursor, const form::EditMarks* marks,
                           std::function<bool()> quick, QWidget* viewport)
    : QWidget(viewport),
      box_(box),
      area_(area),
      cursor_(cursor),
      marks_(marks),
      quick_(std::move(quick)) {
    smoothTimer_ = new QTimer(this);
    smoothTimer_->setSingleShot(true);
    smoothTimer_->setInterval(kSmoothDelayMs);
    connect(smoothTimer_, &QTimer::timeout, this, [this] {
        smoothDue_ = true;
        if (reducedQuick_) update();
    });
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
    const uint64_t marks = marks_ ? marks_->revision : 0;
    // A reduced picture drawn quickly during a step is drawn smoothly once the step is over.
    const bool smoother =
        reducedQuick_ && smoothDue_ && !reduced_.isNull() && !(quick_ && quick_());
    if (box_.canvas.revision() != revision_ || a != shownArea_ || c != shownCursor_ ||
        marks != marksRevision_ || smoother || (rawShown_ && shownStretch())) {
        revision_ = box_.canvas.revision();
        shownArea_ = a;
        shownCursor_ = c;
        marksRevision_ = marks;
        update();
    }
}

void PictureLayer::setStretch(const view::StretchTable* table) {
    stretch_ = table;
    ++stretchRevision_;
    update();
}

const view::StretchTable* PictureLayer::shownStretch() const {
    return stretch_ && !(quick_ && quick_()) ? stretch_ : nullptr;
}

bool PictureLayer::paintReduced(QPainter& p, const QRect& r) {
    const form::Canvas& c = box_.canvas;
    const view::StretchTable* stretch = shownStretch();
    // A cache as large as the widget: only where that stays small (a huge picture at 1/2 is
    // sampled on the fly instead, the exposed part through the stretch).
    constexpr qint64 kMaxCachePixels = qint64{4} << 20;
    if (static_cast<qint64>(width()) * height() > kMaxCachePixels) {
        QImage part(r.size(), QImage::Format_RGB32);
        {
            QPainter q(&part);
            q.setRenderHint(QPainter::SmoothPixmapTransform, true);
            q.drawImage(QRectF(-r.x(), -r.y(), width(), height()), wrap(c));
        }
        p.drawImage(r.topLeft(), stretch ? stretchedCopy(part, *stretch) : part);
        return true;
    }
    // A new size or drawing is first sampled quickly (a few milliseconds, so that a zoom step
    // answers at once); the smooth reduction of the whole picture (tens of milliseconds for a
    // huge one) follows when the view has been still for a moment and no step is drawing.
    bool remade = false;
    if (reduced_.size() != size() || reducedRevision_ != c.revision()) {
        reduced_ = wrap(c).scaled(size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
        reducedRevision_ = c.revision();
        reducedQuick_ = true;
        smoothDue_ = false;
        smoothTimer_->start();
        remade = true;
    } else if (reducedQuick_ && smoothDue_ && !(quick_ && quick_())) {
        reduced_ = wrap(c).scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        reducedQuick_ = false;
        remade = true;
    }
    if (!stretch) {
        p.drawImage(r, reduced_, r);
        return true;
    }
    // The reduced picture through the stretch, made again when either changed.
    if (remade || reducedStretched_.size() != reduced_.size() ||
        reducedStretch_ != stretchRevision_) {
        reducedStretched_ = stretchedCopy(reduced_, *stretch);
        reducedStretch_ = stretchRevision_;
    }
    p.drawImage(r, reducedStretched_, r);
    return true;
}

void PictureLayer::paintMarks(QPainter& p, const QRect& exposed) const {
    if (!marks_ || marks_->byResult.empty()) return;
    const double logicalW = box_.ScaleWidth > 0 ? box_.ScaleWidth : box_.canvas.widthPx();
    const double logicalH = box_.ScaleHeight > 0 ? box_.ScaleHeight : box_.canvas.heightPx();
    if (logicalW <= 0 || logicalH <= 0) return;
    const double kx = width() / logicalW, ky = height() / logicalH;
    const QColor deleted = QColor::fromRgb(form::kColourDeleted);
    const QColor added = QColor::fromRgb(form::kColourAdded);
    const QColor rim = QColor::fromRgb(form::kColourDeletedRim);
    for (const auto& [n, m] : marks_->byResult) {
        const QPointF centre(m.x * kx, m.y * ky);
        // Far from the exposed part: nothing of this mark shows (outlines stay within a few
        // hundred picture pixels of their centroid).
        const double reach = 1000 * std::max(kx, ky) + 8;
        if (!QRectF(exposed).adjusted(-reach, -reach, reach, reach).contains(centre)) continue;
        if (m.deleted) {
            for (size_t i = 0; i + 1 < m.outline.size(); i += 2)
                p.fillRect(QRectF(m.outline[i] * kx, m.outline[i + 1] * ky, std::max(kx, 1.0),
                                  std::max(ky, 1.0)),
                           deleted);
            if (m.rim && kx >= 2) {
                // A one-pixel ring just outside the dot, in the rim's own colour.
                p.setPen(QPen(rim, 0));
                p.setBrush(Qt::NoBrush);
                p.drawEllipse(centre, 0.5 * kx + 1, 0.5 * ky + 1);
            }
        }
        if (m.added) {
            p.setRenderHint(QPainter::Antialiasing, true);
            p.setPen(Qt::NoPen);
            p.setBrush(added);
            p.drawEllipse(centre, std::max(0.5 * kx, 1.5), std::max(0.5 * ky, 1.5));
            p.setRenderHint(QPainter::Antialiasing, false);
        }
    }
}

void PictureLayer::paintEvent(QPaintEvent* event) {
    ++paints_;
    // Shown as drawn while a step draws: shown through the stretch once the step is over.
    rawShown_ = stretch_ && !shownStretch();
    QPainter p(this);
    const QRect r = event->rect();
    const form::Canvas& c = box_.canvas;
    const int cw = c.widthPx(), ch = c.heightPx();
    if (cw <= 0 || ch <= 0 || width() <= 0 || height() <= 0) {
        p.fillRect(r, QColor::fromRgb(c.background()));
        lastSource_ = QRect();
    } else if (width() < cw && height() < ch) {
        lastSource_ = QRect(0, 0, cw, ch);
        paintReduced(p, r);
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
            const QRectF target(x0 * sx, y0 * sy, (x1 - x0) * sx, (y1 - y0) * sy);
            if (const view::StretchTable* stretch = shownStretch())
                // Only the canvas pixels in view go through the stretch.
                p.drawImage(target, stretchedCopy(wrap(c).copy(lastSource_), *stretch));
            else
                p.drawImage(target, wrap(c), QRectF(lastSource_));
        }
    }
    paintMarks(p, r);
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
    return source_.canvas.revision() != cacheRevision_ || scaled_.size() != size() ||
           (cacheQuick_ && !quick_());
}

void Thumbnail::setStretch(const view::StretchTable* table) {
    // Only the levels change: the scaled layer stays.
    stretch_ = table;
    stretchStale_ = true;
    update();
}

void Thumbnail::setScale(double scale) {
    scale_ = scale;
    sync();
}

void Thumbnail::sync() {
    const QRect g(twipsToPx(box_.Left * scale_), twipsToPx(box_.Top * scale_),
                  twipsToPx(box_.Width * scale_), twipsToPx(box_.Height * scale_));
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
        scaled_ = whole.size() == size() ? whole.copy()
                                         : whole.scaled(size(), Qt::IgnoreAspectRatio,
                                                        cacheQuick_ ? Qt::FastTransformation
                                                                    : Qt::SmoothTransformation);
        cacheRevision_ = c.revision();
        stretchStale_ = true;
    }
    if (stretchStale_) {
        // The stretch of the reduced picture: the thumbnail is a guide, not a measurement.
        cache_ = stretch_ ? stretchedCopy(scaled_, *stretch_) : scaled_;
        stretchStale_ = false;
    }
    p.drawImage(event->rect(), cache_, event->rect());
}

}  // namespace orv::window
