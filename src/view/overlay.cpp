#include "view/overlay.h"

#include "core/message_log.h"
#include "core/numeric.h"
#include "extract/analysis.h"
#include "ui/class_colours.h"
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

using core::Ctx;

namespace {

bool outsideMargin(const core::Workspace& ws, const extract::StarRec& s) {
    const float m = ws.settings.Margin;
    const float right = static_cast<float>(ws.ImageWidthP - static_cast<double>(m));
    const float bottom = static_cast<float>(ws.ImageHeightP - static_cast<double>(m));
    return s.CenterX > right || s.CenterX < m || s.CenterY > bottom || s.CenterY < m;
}

}  // namespace

void cmdReDisp_Click(Ctx& ctx) {
    auto& ws = ctx.ws;
    auto& f = ctx.frm;
    ctx.host.setBusy(true);
    core::OV_DispMsg(ctx, "恒星抽出結果を再表示しています。");
    for (int j = 0; j <= 10; ++j) ws.StarAtrNo[0][j] = ws.StarAtrNo[1][j] = 0;
    f.dashCounts(true);
    // Layer 3 that still holds exactly the grey picture keeps it: clearing and drawing it
    // again would give the same pixels.
    ui::Canvas& plain = f.picHSC[3].canvas;
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

    auto on = [&](int i) { return f.chkDisp[i].Value == 1; };
    for (int32_t n = 1; n <= ws.MaxStarNo; ++n) {
        const auto& c = ws.Clusters[n];
        if (c.Divided == -1) continue;
        if (outsideMargin(ws, ws.Stars[n]) && !on(4)) continue;
        switch (c.EditAtr) {
            case 0:
                break;
            case extract::kEditAdded:
                if (on(3)) {
                    extract::drawResult(ctx, n, ui::kColourAdded, true);
                    ws.StarAtrNo[1][2] += 1;
                }
                continue;
            case extract::kEditDeleted:
            case extract::kEditDeleted | extract::kEditAdded:
                if (on(2)) {
                    extract::drawResult(ctx, n, ui::kColourDeleted, true);
                    ws.StarAtrNo[1][1] += 1;
                }
                continue;
            default:
                continue;
        }
        switch (c.Atr) {
            case extract::kAtrNoise:
                if (!on(0)) break;
                extract::drawResult(ctx, n, ui::kColourNoise, true);
                ws.StarAtrNo[0][1] += 1;
                break;
            case extract::kAtrArea:
            case extract::kAtrCircular:
            case extract::kAtrElongated: {
                static constexpr ui::Rgb kColour[5] = {0, 0, ui::kColourArea, ui::kColourCircular,
                                                       ui::kColourElongated};
                extract::drawResult(ctx, n, kColour[c.Atr], !on(1));
                ws.StarAtrNo[0][c.Atr] += 1;
                break;
            }
            case extract::kAtrNoiseReleased:
                extract::drawResult(ctx, n, ui::kColourNoiseReleased, true);
                ws.StarAtrNo[0][5] += 1;
                break;
            default:
                break;
        }
    }

    f.picHSC[4].Visible = true;
    OV_DispResultNo(ctx);
    ctx.host.setBusy(false);
    core::OV_DispMsg(ctx, "");
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
