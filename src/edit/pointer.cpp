#include "edit/pointer.h"

#include <cmath>

#include "core/numeric.h"
#include "edit/star_info.h"
#include "edit/undo.h"
#include "extract/analysis.h"
#include "extract/numbering.h"
#include "extract/records.h"
#include "form/class_colours.h"
#include "view/navigation.h"
#include "view/overlay.h"

// Press, in this order:
//   1. hand tool on: start a drag (all layers);
//   2. a layer other than 4: hide the panel, forget the selection;
//   3. Shift: toggle the deletion of the result under the pointer (no log line, the class
//      counts stay; the dot turns grey or back to its class colour);
//   4. Ctrl: add a result at the exact pointer position (no dot until the next redisplay);
//   5. otherwise select the result under the pointer.
// Move: hand drag, else lblXY, the result under the pointer while Alt is held, the magnifier.
// Release: ends a hand drag.

namespace orv::edit {

using core::Workspace;
using form::Ctx;

namespace {

// The array element under picture position (x, y), when it lies within ClusterMap and
// PixelLevel (their zero border included).
bool elementUnder(const Workspace& ws, float x, float y, int& ix, int& iy) {
    if (!std::isfinite(x) || !std::isfinite(y)) return false;
    const double fx = std::floor(x) + 1, fy = std::floor(y) + 1;
    if (fx < -1 || fy < -1 || fx > ws.ImageWidthP + 1 || fy > ws.ImageHeightP + 1) return false;
    ix = static_cast<int>(fx);
    iy = static_cast<int>(fy);
    return ws.ClusterMap.contains(ix, iy) && ws.PixelLevel.levelPlane().contains(ix, iy);
}

// Layout units per picture unit of layer `index`.
double unitsPerUnitX(const form::PictureBox& p) {
    return p.ScaleWidth > 0 ? p.Width / p.ScaleWidth : 1;
}
double unitsPerUnitY(const form::PictureBox& p) {
    return p.ScaleHeight > 0 ? p.Height / p.ScaleHeight : 1;
}

// Hand drag, press and move: the layers follow the pointer. The pointer's place in the
// viewport is the layer's position plus (x, y) in layout units.
void dragTo(Ctx& ctx, int index, float x, float y) {
    auto& ws = ctx.ws;
    const auto& p = ctx.frm.picHSC[index];
    const double left = p.Left + x * unitsPerUnitX(p) - ws.HandStartX + ws.HandStartLeft;
    const double top = p.Top + y * unitsPerUnitY(p) - ws.HandStartY + ws.HandStartTop;
    view::placeLayers(ctx, left, top);
    view::placeZoomArea(ctx);
}

// lblXY for picture position (x, y); a position outside the arrays leaves it as it was.
void showPosition(Ctx& ctx, float x, float y) {
    const auto& ws = ctx.ws;
    int ix = 0, iy = 0;
    if (elementUnder(ws, x, y, ix, iy))
        ctx.frm.lblXY.Caption = "X : " + core::Format(std::floor(x), "###0") +
                                "  Y : " + core::Format(std::floor(y), "###0") +
                                "  a : " + core::Format(ws.PixelLevel.Level(ix, iy), "##0");
}

void nothingSelected(Ctx& ctx) {
    hideSelection(ctx);
    ctx.host.pump();
    ctx.ws.SelStarNo = 0;
}

// Shift-click: the value-1 bit of EditAtr and StarAtrNo(1, 1) only.
void toggleDeletion(Ctx& ctx, int32_t n) {
    auto& ws = ctx.ws;
    auto& c = ws.Clusters[n];
    const core::EditSnapshot before = snapshotOf(ctx, n);
    if (c.EditAtr & extract::kEditDeleted) {
        c.EditAtr = core::CInt(c.EditAtr - 1.0);
        ws.StarAtrNo[1][1] = core::CLng(ws.StarAtrNo[1][1] - 1.0);
        const form::Rgb colour =
            (c.EditAtr & extract::kEditAdded) ? form::kColourAdded : form::atrColour(c.Atr);
        if (colour != 0) extract::drawResult(ctx, n, colour, true);
    } else {
        c.EditAtr = core::CInt(c.EditAtr + 1.0);
        ws.StarAtrNo[1][1] = core::CLng(ws.StarAtrNo[1][1] + 1.0);
        // A circle of radius 0.5 filled grey with a light-blue rim: at one raster pixel per
        // picture pixel the rim has no room, and the dot shows its grey fill.
        extract::drawResult(ctx, n, form::kColourDeleted, true);
    }
    ws.Unsaved.handWork = true;
    view::markEdit(ctx, n, true);
    view::OV_DispResultNo(ctx);
    OV_DispStarInfo(ctx, n);
    placeCursors(ctx, n);
    recordEdit(ctx, core::EditKind::ShiftToggle, n, before);
}

// Ctrl-click: a new result at the pointer, its pixel in ClusterMap. Only a pixel of the
// picture takes one (the zero border stays zero).
void addResult(Ctx& ctx, float x, float y) {
    auto& ws = ctx.ws;
    int ix = 0, iy = 0;
    if (!elementUnder(ws, x, y, ix, iy) || ix < 1 || iy < 1 || ix > ws.ImageWidthP ||
        iy > ws.ImageHeightP)
        return;
    const int32_t next = extract::nextNewStarNo(ws);
    if (next < 1) return;
    const core::EditSnapshot before = snapshotOf(ctx, next, x, y, ix, iy);
    const int32_t n = extract::OV_GetNewStarNo(ws);
    if (n < 1) return;
    ws.Stars[n].CenterX = x;
    ws.Stars[n].CenterY = y;
    ws.Clusters[n].EditAtr = extract::kEditAdded;
    ws.ClusterMap(ix, iy) = static_cast<uint16_t>(n);
    ws.StarAtrNo[1][2] = core::CLng(ws.StarAtrNo[1][2] + 1.0);
    ws.Unsaved.handWork = true;
    view::markEdit(ctx, n, false);
    view::OV_DispResultNo(ctx);
    OV_DispStarInfo(ctx, n);
    placeCursors(ctx, n);
    // OV_GetNewStarNo hands out the number nextNewStarNo named: `before` holds its records as
    // they were before it cleared them.
    recordEdit(ctx, core::EditKind::Add, n, before, ix, iy);
    ctx.host.pump();
}

}  // namespace

bool isResultNo(const Workspace& ws, int32_t n) {
    return n >= 1 && n <= ws.MaxStarNo && n < static_cast<int32_t>(ws.Clusters.size()) &&
           n < static_cast<int32_t>(ws.Stars.size());
}

int32_t resultAt(const Workspace& ws, float x, float y) {
    int ix = 0, iy = 0;
    if (!elementUnder(ws, x, y, ix, iy)) return 0;
    const int32_t n = ws.ClusterMap(ix, iy);
    return isResultNo(ws, n) ? n : 0;
}

bool isFilteredOut(const Ctx& ctx, int32_t n) {
    const auto& c = ctx.ws.Clusters[n];
    auto off = [&](int i) { return ctx.frm.chkDisp[i].Value != 1; };
    return (c.Atr == extract::kAtrNoise && off(0)) ||
           ((c.EditAtr & extract::kEditDeleted) && off(2)) ||
           ((c.EditAtr & extract::kEditAdded) && off(3));
}

void placeCursors(Ctx& ctx, int32_t n) {
    const auto& s = ctx.ws.Stars[n];
    for (auto& cursor : ctx.frm.shpStarCursol) {
        cursor.Visible = true;
        cursor.Left = s.CenterX - cursor.Width / 2;
        cursor.Top = s.CenterY - cursor.Height / 2;
    }
}

void hideSelection(Ctx& ctx) {
    ctx.frm.fraStarInfo.Visible = false;
    for (auto& cursor : ctx.frm.shpStarCursol) cursor.Visible = false;
}

void clearSelection(Ctx& ctx) {
    hideSelection(ctx);
    ctx.ws.SelStarNo = 0;
}

void picHSC_MouseDown(Ctx& ctx, int index, int /*button*/, int shift, float x, float y) {
    auto& ws = ctx.ws;
    if (index < 0 || index > 4) return;
    if (ws.HandMode == -1) {
        if (ws.HandDragging) return;
        const auto& p = ctx.frm.picHSC[index];
        ctx.frm.MousePointer = form::FrmOrvandel::Pointer::SizeAll;
        ws.HandDragging = true;
        ws.HandStartX = static_cast<float>(p.Left + x * unitsPerUnitX(p));
        ws.HandStartY = static_cast<float>(p.Top + y * unitsPerUnitY(p));
        ws.HandStartLeft = static_cast<float>(p.Left);
        ws.HandStartTop = static_cast<float>(p.Top);
        return;
    }
    if (index != 4) return nothingSelected(ctx);

    if (shift & kShiftKey) {
        const int32_t n = resultAt(ws, x, y);
        if (n < 1) return nothingSelected(ctx);
        if (isFilteredOut(ctx, n)) return;
        return toggleDeletion(ctx, n);
    }
    if (shift & kCtrlKey) return addResult(ctx, x, y);

    const int32_t n = resultAt(ws, x, y);
    if (n < 1) return nothingSelected(ctx);
    if (isFilteredOut(ctx, n)) return;
    OV_DispStarInfo(ctx, n);
    placeCursors(ctx, n);
    ctx.host.pump();
}

void picHSC_MouseMove(Ctx& ctx, int index, int /*button*/, int shift, float x, float y) {
    auto& ws = ctx.ws;
    if (index < 0 || index > 4) return;
    if (ws.HandMode == -1) {
        if (ws.HandDragging) dragTo(ctx, index, x, y);
        return;
    }
    showPosition(ctx, x, y);
    if (shift & kAltKey) {
        const int32_t n = resultAt(ws, x, y);
        if (n < 1) {
            hideSelection(ctx);
        } else if (!isFilteredOut(ctx, n)) {
            OV_DispStarInfo(ctx, n);
            placeCursors(ctx, n);
        }
    }
    if (ctx.frm.chkMag.Value == 1) view::OV_DrawMagnifier(ctx, index, x, y);
    ctx.host.pump();
}

void followPointer(Ctx& ctx, int index, float x, float y) {
    if (index < 0 || index > 4 || ctx.ws.ImageWidthP <= 0) return;
    showPosition(ctx, x, y);
    if (ctx.frm.chkMag.Value == 1) view::OV_DrawMagnifier(ctx, index, x, y);
}

void picHSC_MouseUp(Ctx& ctx, int index, int /*button*/, int /*shift*/, float x, float y) {
    auto& ws = ctx.ws;
    if (index < 0 || index > 4) return;
    if (ws.HandMode != -1 || !ws.HandDragging) return;
    dragTo(ctx, index, x, y);
    ws.HandDragging = false;
}

}  // namespace orv::edit
