#include "window/navigation_widgets.h"

#include <QBitmap>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QSignalBlocker>
#include <algorithm>
#include <cmath>

#include "core/workspace.h"
#include "window/bindings.h"
#include "window/picture_layer.h"

namespace orv::window {

namespace {

// Distance of the magnifier from the viewport's edges.
constexpr int kMagInset = 8;

}  // namespace

bool paintCanvas(QPainter& p, const form::Canvas& c, const QRect& area,
                 const view::StretchTable* stretch) {
    if (c.widthPx() <= 0 || c.heightPx() <= 0) {
        p.fillRect(area, QColor::fromRgb(c.background()));
        return false;
    }
    const QImage image(reinterpret_cast<const uchar*>(c.data()), c.widthPx(), c.heightPx(),
                       static_cast<qsizetype>(c.widthPx()) * 4, QImage::Format_RGB32);
    if (!stretch) {
        p.drawImage(area.topLeft(), image);
        return true;
    }
    QImage shown(image.size(), QImage::Format_RGB32);
    view::applyStretch(*stretch, reinterpret_cast<const uint32_t*>(image.constBits()),
                       reinterpret_cast<uint32_t*>(shown.bits()),
                       static_cast<size_t>(image.width()) * static_cast<size_t>(image.height()));
    p.drawImage(area.topLeft(), shown);
    return true;
}

Magnifier::Magnifier(const form::PictureBox& box, const form::Shape& pixel, QWidget* viewport)
    : QWidget(viewport), box_(box), pixel_(pixel) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    const int side = static_cast<int>(box.Width) + 2;  // the picture and a one-pixel frame
    resize(side, side);
    hide();
}

void Magnifier::keepAwayFrom(int pointerX) {
    const QWidget* viewport = parentWidget();
    const bool left = pointerX > viewport->width() / 2;
    const int x = left ? kMagInset : viewport->width() - width() - kMagInset;
    if (left != left_ || pos() != QPoint(x, kMagInset)) {
        left_ = left;
        move(x, kMagInset);
    }
}

void Magnifier::sync() {
    if (isHidden() == box_.Visible) {
        setVisible(box_.Visible);
        if (box_.Visible) {
            raise();
            keepAwayFrom(0);
        }
    }
    if (box_.canvas.revision() != revision_) {
        revision_ = box_.canvas.revision();
        update();
    }
}

void Magnifier::paintEvent(QPaintEvent*) {
    ++paints_;
    QPainter p(this);
    p.fillRect(rect(), QColor(0xa0, 0xa0, 0xa0));
    if (!paintCanvas(p, box_.canvas, rect().adjusted(1, 1, -1, -1),
                     stretch_ ? stretch_() : nullptr))
        return;
    if (pixel_.Visible) {
        p.setPen(QPen(QColor::fromRgb(pixel_.BorderColor), 0));
        p.setBrush(Qt::NoBrush);
        const int l = static_cast<int>(std::lround(pixel_.Left)) + 1;
        const int t = static_cast<int>(std::lround(pixel_.Top)) + 1;
        const int s = std::max(1, static_cast<int>(std::lround(pixel_.Width)));
        p.drawRect(QRect(l - 1, t - 1, s + 1, s + 1));  // just outside the pixel
    }
}

Navigator::Navigator(const form::Shape& area, const form::ImageBox& thumbnail,
                     std::function<void(double, double)> moveTo, QWidget* parent)
    : QWidget(parent), area_(area), thumbnail_(thumbnail), moveTo_(std::move(moveTo)) {
    setCursor(Qt::PointingHandCursor);
}

Navigator::State Navigator::state() const {
    return {area_.Visible && thumbnail_.Visible, area_.Left, area_.Top, area_.Width, area_.Height};
}

void Navigator::sync() {
    if (parentWidget() && size() != parentWidget()->size()) setGeometry(parentWidget()->rect());
    const State s = state();
    if (s != shown_) {
        shown_ = s;
        update();
    }
}

void Navigator::setScale(double scale) {
    if (scale_ == scale) return;
    scale_ = scale;
    update();
}

void Navigator::paintEvent(QPaintEvent*) {
    if (!shown_.visible) return;
    QPainter p(this);
    const double k = scale_;
    const int left = twipsToPx(shown_.left * k), top = twipsToPx(shown_.top * k);
    const int right = twipsToPx((shown_.left + shown_.width) * k) - 1;
    const int bottom = twipsToPx((shown_.top + shown_.height) * k) - 1;
    p.setPen(QPen(QColor::fromRgb(area_.BorderColor), 0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(left, top, std::max(0, right - left), std::max(0, bottom - top)));
}

void Navigator::mousePressEvent(QMouseEvent* event) {
    if (!thumbnail_.Visible) return;
    moveTo_(event->position().x() / scale_ * core::kTwipsPerPixel,
            event->position().y() / scale_ * core::kTwipsPerPixel);
}

void Navigator::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() != Qt::NoButton) mousePressEvent(event);
}

ShapeMarker::ShapeMarker(const form::Shape& shape, QWidget* parent)
    : QWidget(parent), shape_(shape) {}

void ShapeMarker::sync() {
    if (isHidden() == shape_.Visible) setVisible(shape_.Visible);
}

void ShapeMarker::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(QPen(QColor::fromRgb(shape_.BorderColor), 0));
    p.setBrush(shape_.Filled ? QBrush(QColor::fromRgb(shape_.FillColor)) : QBrush());
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

PictureButtonWidget::PictureButtonWidget(QWidget* parent) : PushButton(parent) {
    setCheckable(true);
}

void PictureButtonWidget::sync(const form::PictureButton& model) {
    apply(this, static_cast<const form::CommandButton&>(model));
    if (model.PictureFile != shownFile_) {
        shownFile_ = model.PictureFile;
        QPixmap picture;
        if (!model.PictureFile.empty() && picture.load(qs(model.PictureFile))) {
            picture.setMask(picture.createMaskFromColor(QColor(255, 0, 255)));
            setIcon(QIcon(picture));
            setIconSize(picture.size());
        } else {
            setIcon(QIcon());
        }
    }
    // The caption only stands in for a missing picture.
    const QString text = icon().isNull() ? qs(model.Caption) : QString();
    if (this->text() != text) setText(text);
    const QSignalBlocker block(this);
    if (isChecked() != (model.Value == 1)) setChecked(model.Value == 1);
}

}  // namespace orv::window
