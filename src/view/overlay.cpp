#include "view/overlay.h"

#include "core/numeric.h"
#include "extract/analysis.h"
#include "extract/records.h"
#include "form/class_colours.h"
#include "form/message_log.h"
#include "view/view_switch.h"

// The redisplay: both star layers get the grey picture, then every shown result its mark in
// layer 4, and the counts describe exactly what is marked:
//
//   EditAtr 2 (added)           green dot when chkDisp(3) is on   -> StarAtrNo(1, 2)
//   EditAtr 1 or 3 (deleted)    grey dot when chkDisp(2) is on    -> StarAtrNo(1, 1)
//   EditAtr 0, Atr 1 (noise)    blue dot when chkDisp(0) is on    -> StarAtrNo(0, 1)
//              Atr 2, 3, 4      magenta / red / yellow dot, outline when chkDisp(1) is on
//              Atr 5            cyan dot                          -> StarAtrNo(0, 5)
//
// Results whose centroid lies outside the margin are skipped unless chkDisp(4) is on.

namespace orv::view {

using form::Ctx;

namespace {

bool outsideMargin(const core::Workspace& ws, const extract::StarRec& s) {
    const float m = ws.settings.Margin;
    const float right = static_cast<float>(ws.ImageWidthP - static_cast<double>(m));
    const float bottom = static_cast<float>(ws.ImageHeightP - static_cast<double>(m));
    return s.CenterX > right || s.CenterX < m || s.CenterY > bottom || s.CenterY < m;
}

}  // namespace

Mark markOf(const Ctx& ctx, int32_t n) {
    const auto& ws = ctx.ws;
    const auto& c = ws.Clusters[n];
    auto on = [&](int i) { return ctx.frm.chkDisp[i].Value == 1; };
    if (c.Divided == -1) return Mark::None;
    if (outsideMargin(ws, ws.Stars[n]) && !on(4)) return Mark::None;
    switch (c.EditAtr) {
        case 0:
            break;
        case extract::kEditAdded:
            return on(3) ? Mark::Added : Mark::None;
        case extract::kEditDeleted:
        case extract::kEditDeleted | extract::kEditAdded:
            return on(2) ? Mark::Deleted : Mark::None;
        default:
            return Mark::None;
    }
    switch (c.Atr) {
        case extract::kAtrNoise:
            return on(0) ? Mark::Noise : Mark::None;
        case extract::kAtrArea:
            return Mark::Area;
        case extract::kAtrCircular:
            return Mark::Circular;
        case extract::kAtrElongated:
            return Mark::Elongated;
        case extract::kAtrNoiseReleased:
            return Mark::Released;
        default:
            return Mark::None;
    }
}

void markEdit(Ctx& ctx, int32_t n, bool byShiftClick) {
    const auto& ws = ctx.ws;
    if (n < 1 || n > ws.MaxStarNo) return;
    const auto& c = ws.Clusters[n];
    const auto& s = ws.Stars[n];
    form::EditMark mark;
    mark.x = s.CenterX;
    mark.y = s.CenterY;
    if (c.EditAtr & extract::kEditDeleted) {
        mark.deleted = true;
        mark.rim = byShiftClick;
        const bool outlined = c.Atr == extract::kAtrArea || c.Atr == extract::kAtrCircular ||
                              c.Atr == extract::kAtrElongated;
        if (outlined && !s.Outline.empty()) mark.outline = extract::outlinePixels(ws, n);
    } else if (c.EditAtr & extract::kEditAdded) {
        mark.added = true;
    } else {
        return ctx.frm.editMarks.erase(n);
    }
    ctx.frm.editMarks.set(n, std::move(mark));
}

void forgetEditMarks(Ctx& ctx) {
    ctx.frm.editMarks.clear();
}

void cmdReDisp_Click(Ctx& ctx) {
    auto& ws = ctx.ws;
    auto& f = ctx.frm;
    forgetEditMarks(ctx);
    ctx.host.setBusy(true);
    form::OV_DispMsg(ctx, "恒星抽出結果を再表示しています。");
    for (int j = 0; j <= 10; ++j) ws.StarAtrNo[0][j] = ws.StarAtrNo[1][j] = 0;
    f.dashCounts(true);
    // Layer 3 that still holds exactly the grey picture keeps it: clearing and drawing it
    // again would give the same pixels.
    form::Canvas& plain = f.picHSC[3].canvas;
    const bool plainReady = plain.holds(ws.PictureGeneration) && !ws.PixelLevel.empty();
    f.picHSC[4].canvas.clear();
    if (!plainReady) plain.clear();
    ctx.host.pump();

    if (!ws.PixelLevel.empty()) {
        const auto& level = ws.PixelLevel.levelPlane();
        if (!plainReady)
            for (int y = 1; y <= ws.ImageHeightP; ++y) plain.drawGreyRow(y - 1, level.at(1, y));
        plain.markContent(ws.PictureGeneration);
        f.picHSC[4].canvas.copyFrom(plain);
    }
    ctx.host.pump();
    showViewOption(ctx, 0);
    ctx.host.pump();

    const bool outlines = f.chkDisp[1].Value == 1;
    for (int32_t n = 1; n <= ws.MaxStarNo; ++n) {
        const Mark mark = markOf(ctx, n);
        const int atr = ws.Clusters[n].Atr;
        switch (mark) {
            case Mark::None:
                break;
            case Mark::Added:
                extract::drawResult(ctx, n, form::kColourAdded, true);
                ws.StarAtrNo[1][2] += 1;
                break;
            case Mark::Deleted:
                extract::drawResult(ctx, n, form::kColourDeleted, true);
                ws.StarAtrNo[1][1] += 1;
                break;
            case Mark::Noise:
            case Mark::Released:
                extract::drawResult(ctx, n, form::atrColour(atr), true);
                ws.StarAtrNo[0][atr] += 1;
                break;
            case Mark::Area:
            case Mark::Circular:
            case Mark::Elongated:
                extract::drawResult(ctx, n, form::atrColour(atr), !outlines);
                ws.StarAtrNo[0][atr] += 1;
                break;
        }
    }

    f.picHSC[4].Visible = true;
    OV_DispResultNo(ctx);
    ctx.host.setBusy(false);
    form::OV_DispMsg(ctx, "");
}

void OV_DispResultNo(Ctx& ctx) {
    const auto& a = ctx.ws.StarAtrNo;
    auto& f = ctx.frm;
    for (int i = 0; i < 5; ++i) f.lblStarAtr[i].Caption = std::to_string(a[0][i + 1]);
    f.lblStarAtr1[0].Caption = std::to_string(a[1][1]);
    f.lblStarAtr1[1].Caption = std::to_string(a[1][2]);
    // A 32-bit sum: counts read from an altered file could overflow it (an arithmetic fault).
    int64_t sum = 0;
    for (int32_t v : {a[0][2], a[0][1], a[0][3], a[0][4], a[0][5], a[1][1], a[1][2]}) sum += v;
    f.lblStarNo.Caption = std::to_string(core::CLng(static_cast<double>(sum)));
}

}  // namespace orv::view
