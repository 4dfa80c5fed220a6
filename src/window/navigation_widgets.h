#pragma once
// Widgets of the navigation and inspection controls: the magnifier picMag floating over the
// viewport, the navigator rectangle shpZoomArea over the thumbnail (a click or drag there
// moves the view), the small marker shapes of the edit frame, and a button that shows a
// picture file (the hand tool) with its caption standing in for a missing file.

#include <QPushButton>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "form/controls.h"
#include "view/display_stretch.h"
#include "window/widgets.h"

class QPainter;

namespace orv::window {

// Paints a canvas 1:1 into `area` (from its top-left corner), through `stretch` when one is
// given; a canvas without a raster paints the area in its background colour. False in that
// case.
bool paintCanvas(QPainter& p, const form::Canvas& canvas, const QRect& area,
                 const view::StretchTable* stretch = nullptr);

// picMag (300 x 300) shown 1:1 with the pixel under the pointer outlined. It lies in a top
// corner of the viewport away from the pointer and lets the pointer's events through to the
// picture under it.
class Magnifier : public QWidget {
    Q_OBJECT
public:
    Magnifier(const form::PictureBox& box, const form::Shape& pixel, QWidget* viewport);

    void sync();
    // Moves to the top corner of the viewport on the other side from the pointer (x in the
    // viewport's pixels).
    void keepAwayFrom(int pointerX);
    int paints() const { return paints_; }
    // The display stretch the magnified square is shown through (nullptr: as copied), asked at
    // every paint: that of the layer it was copied from.
    void setStretch(std::function<const view::StretchTable*()> stretch) {
        stretch_ = std::move(stretch);
    }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const form::PictureBox& box_;
    const form::Shape& pixel_;
    std::function<const view::StretchTable*()> stretch_;
    uint64_t revision_ = ~uint64_t{0};
    bool left_ = false;
    int paints_ = 0;
};

// The navigator: shpZoomArea over the thumbnail, in the thumbnail area's layout units. A press
// or drag calls `moveTo` with the point in layout units of the same frame.
class Navigator : public QWidget {
    Q_OBJECT
public:
    Navigator(const form::Shape& area, const form::ImageBox& thumbnail,
              std::function<void(double, double)> moveTo, QWidget* parent);

    void sync();
    // Shown at `scale` times the model's size, as the thumbnail under it.
    void setScale(double scale);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    struct State {
        bool visible = false;
        double left = 0, top = 0, width = 0, height = 0;
        bool operator==(const State&) const = default;
    };
    State state() const;

    const form::Shape& area_;
    const form::ImageBox& thumbnail_;
    std::function<void(double, double)> moveTo_;
    State shown_;
    double scale_ = 1;
};

// A small shape beside a button: filled in its colour, outlined.
class ShapeMarker : public QWidget {
    Q_OBJECT
public:
    ShapeMarker(const form::Shape& shape, QWidget* parent);
    void sync();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const form::Shape& shape_;
};

// A push button showing the picture file of its model (magenta pixels are transparent), or
// its caption when the file is missing or unreadable; pressed in while Value is 1.
class PictureButtonWidget : public PushButton {
    Q_OBJECT
public:
    explicit PictureButtonWidget(QWidget* parent);
    void sync(const form::PictureButton& model);
    bool showsPicture() const { return !icon().isNull(); }

private:
    std::string shownFile_ = "\\n";  // nothing shown yet
};

}  // namespace orv::window
