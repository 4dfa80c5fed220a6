#pragma once
// Zoom, pan and the magnifier of the picture layers, and the rectangles that follow them: the
// margin rectangle of every layer and the navigator rectangle over the thumbnail.
//
// Units: the layers' Left, Top, Width and Height and the thumbnail's are layout units
// (core::kTwipsPerPixel per screen pixel); the viewport fraPickUp is sized in screen pixels;
// a position on a layer is in picture coordinates (one unit per picture pixel, y down). The
// five layers always share position and size; layer 0 is the one read.
//
//   viewport (0, 0)
//      +--------------------+
//      |   layer at (Left, Top), 2^ZoomLevel x the picture's size
//      |    +---------------|---------+
//      |    |               |         |
//      +--------------------+         |
//           +-------------------------+

#include "form/context.h"

namespace orv::view {

// Buttons ＋ (0), － (1), ◎ (2: scale 1 at position 0, 0) and the hand tool (3). Zoom levels
// are 0..3 (scale 1, 2, 4, 8); the picture grows and shrinks about the viewport's top-left
// corner. Without a picture only the margin and navigator rectangles are refreshed.
void cmdZoom_Click(form::Ctx& ctx, int index);
// Arrows ← (0), → (1), ↑ (2), ↓ (3): show the part further left, right, up or down, by half
// the viewport, while the picture's edge allows it.
void cmdPicMove_Click(form::Ctx& ctx, int index);
// 虫めがね: shows or hides the magnifier picMag.
void chkMag_Click(form::Ctx& ctx);

// The margin rectangles shpArea(0..4) from Margin; hidden when the margin leaves no inner area.
void placeMarginRectangles(form::Ctx& ctx);
// The navigator rectangle shpZoomArea over imgHSC, from layer 0's position and size and the
// viewport's size (not clipped to the thumbnail); hidden while the layers have no size.
void placeZoomArea(form::Ctx& ctx);
// The hand button's picture, "hand-on.bmp" or "hand-off.bmp" in the program's folder by
// HandMode; none (the caption shows) when that file is missing.
void showHandPicture(form::Ctx& ctx);

// Puts all five layers at (left, top), layout units.
void placeLayers(form::Ctx& ctx, double left, double top);

// The scale the layers are shown at: 2^ZoomLevel, or below 1 the zoomed-out ZoomOut.
double displayScale(const form::Ctx& ctx);
// The scale that fits the whole picture into the viewport, at most 1.
double fitScale(const form::Ctx& ctx);
// Sizes the five layers at displayScale (logical size: the picture's pixels).
void sizeLayers(form::Ctx& ctx);
// A picture loaded while the view is fitted is fitted in its turn (the zoom level otherwise
// survives a load).
void refitForLoad(form::Ctx& ctx);

// The wheel: |direction| steps in (direction > 0) or out (direction < 0) on the scales 1/8,
// 1/4, 1/2, 1, 2, 4, 8 (from a fitted scale, to the next step beyond it), keeping the picture
// point under the viewport position (px, py) (screen pixels from the viewport's top-left
// corner) in place as far as the clamp allows.
void zoomAt(form::Ctx& ctx, int direction, double px, double py);
// 全体 and the key F: the whole picture fitted into the viewport (scale 1 for a picture that
// fits already) at the viewport's top-left corner.
void zoomToFit(form::Ctx& ctx);
// After a wheel or fit zoom: a picture that fits the viewport lies wholly inside it, a larger
// one covers it.
void clampPosition(form::Ctx& ctx);
// Moves the layers by (dx, dy) screen pixels (positive: the picture moves right / down), but
// stops where the picture's edge would pass the viewport's middle in that direction.
void panBy(form::Ctx& ctx, double dx, double dy);
// Moves the layers so that picture point (x, y) lies in the middle of the viewport.
void centreOn(form::Ctx& ctx, double x, double y);
// A click or drag on the thumbnail at (u, v), layout units in imgHSC's frame: centres the
// picture point shown there (a point beside the thumbnail counts as its nearest edge).
void navigateTo(form::Ctx& ctx, double u, double v);

// Redraws the magnifier for the pointer at picture position (x, y) over layer `index`: the
// square of 30 x 30 picture pixels centred there, stretched to 300 x 300 pixels, as the
// layer's drawing (marks included) shows it at the current zoom level. Parts of the square
// outside the picture show the magnifier's background. shpMagPixel marks the picture pixel
// under the pointer.
void OV_DrawMagnifier(form::Ctx& ctx, int index, float x, float y);

}  // namespace orv::view
