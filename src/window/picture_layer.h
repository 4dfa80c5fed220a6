#pragma once
// The picture widgets of the main window: one widget per picture layer picHSC(i) inside the
// viewport, and the thumbnail imgHSC of the navigation panel. Both show a canvas held by the
// window model; the canvas memory is wrapped, never copied.

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "form/controls.h"
#include "form/edit_marks.h"
#include "view/display_stretch.h"

class QTimer;

namespace orv::window {

// Layout units (twips) of the model to pixels.
int twipsToPx(double twips);

// Picture layer i: its canvas (picture resolution) shown at the layer's displayed size with
// nearest-neighbour sampling, at the layer's position in the viewport, with the margin
// rectangle shpArea(i) and the star cursor (layers 2 and 4) drawn over it in the same scale,
// and on layer 4 the screen marks of the hand edits (form/edit_marks.h) under them.
// Only the exposed part is painted: at zoom 8 a paint of the viewport touches the few canvas
// pixels in view, not the whole canvas. Below scale 1 the picture is shown smoothly scaled (an
// average of the pixels each screen pixel covers, so that small stars stay visible): first
// sampled quickly, smoothly once the view has been still for a moment and `quick()` does not
// hold (a step is drawing the layer row by row).
class PictureLayer : public QWidget {
    Q_OBJECT
public:
    PictureLayer(const form::PictureBox& box, const form::Shape& area, const form::Shape* cursor,
                 const form::EditMarks* marks, std::function<bool()> quick, QWidget* viewport);

    // A widget position in the layer's logical units (picture coordinates).
    QPointF toPicture(QPointF position) const;

    // Brings position, size, visibility, drawing and margin rectangle up to the model. Asks
    // for a repaint only when the canvas or the rectangle changed (moving or resizing the
    // widget repaints what it exposes by itself).
    void sync();

    // Shows the canvas through a display stretch (nullptr: as drawn). The table must outlive its
    // use; a new one is set again after every change. While a step draws the layer (`quick()`),
    // it is shown as drawn.
    void setStretch(const view::StretchTable* table);
    // The stretch the picture is shown through now (none while a step draws the layer).
    const view::StretchTable* shownStretch() const;

    // Paint events so far, and the canvas rectangle the last one sampled (for tests).
    int paints() const { return paints_; }
    QRect lastSourceRect() const { return lastSource_; }
    // Whether the picture below scale 1 is shown smoothly reduced (not yet: sampled quickly).
    bool smoothlyReduced() const { return !reduced_.isNull() && !reducedQuick_; }

    // How long the view is to be still before the smooth reduction is made.
    static constexpr int kSmoothDelayMs = 120;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct ShapeState {
        bool visible = false;
        double left = 0, top = 0, width = 0, height = 0;
        bool operator==(const ShapeState&) const = default;
    };
    static ShapeState stateOf(const form::Shape* shape);
    void paintShape(QPainter& p, const form::Shape& shape) const;
    void paintMarks(QPainter& p, const QRect& exposed) const;
    // Below scale 1: the smoothly scaled picture, rebuilt when the canvas or the size changed.
    bool paintReduced(QPainter& p, const QRect& exposed);

    const form::PictureBox& box_;
    const form::Shape& area_;
    const form::Shape* cursor_;
    const form::EditMarks* marks_;
    std::function<bool()> quick_;
    uint64_t revision_ = ~uint64_t{0};
    uint64_t marksRevision_ = ~uint64_t{0};
    ShapeState shownArea_, shownCursor_;
    int paints_ = 0;
    QRect lastSource_;
    QImage reduced_;
    uint64_t reducedRevision_ = ~uint64_t{0};
    bool reducedQuick_ = false;  // sampled quickly, the smooth one still to come
    bool smoothDue_ = false;     // the view has been still long enough for the smooth one
    QTimer* smoothTimer_ = nullptr;
    const view::StretchTable* stretch_ = nullptr;
    uint64_t stretchRevision_ = 0;  // grows with every setStretch
    QImage reducedStretched_;       // reduced_ through the stretch
    uint64_t reducedStretch_ = 0;   // the stretch it was made with
    bool rawShown_ = false;         // the last paint left the stretch out (a step was drawing)
};

// The thumbnail: the canvas of layer 0 scaled into the image box's size (layout units). The
// scaled picture is cached; while `quick()` holds (a step is running and redrawing the
// layer row by row) it is rebuilt with fast sampling, and smoothly once the step is over.
class Thumbnail : public QWidget {
    Q_OBJECT
public:
    Thumbnail(const form::ImageBox& box, const form::PictureBox& source,
              std::function<bool()> quick, QWidget* parent);

    void sync();
    // Shown at `scale` times the model's size and place (a low window gets a smaller one).
    void setScale(double scale);
    // As PictureLayer::setStretch.
    void setStretch(const view::StretchTable* table);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool cacheStale() const;

    const form::ImageBox& box_;
    const form::PictureBox& source_;
    std::function<bool()> quick_;
    QImage scaled_;  // the layer at the thumbnail's size
    QImage cache_;   // scaled_ through the display stretch
    uint64_t cacheRevision_ = ~uint64_t{0};
    bool cacheQuick_ = false;
    uint64_t seenRevision_ = ~uint64_t{0};
    double scale_ = 1;
    const view::StretchTable* stretch_ = nullptr;
    bool stretchStale_ = true;  // cache_ is to be made again from scaled_
};

}  // namespace orv::window
