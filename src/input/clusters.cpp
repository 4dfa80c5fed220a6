#include "input/clusters.h"

#include "core/message_log.h"
#include "core/startup.h"
#include "extract/numbering.h"
#include "view/view_switch.h"

// Cluster extraction: a raster scan (top row first, left to right) seeds a new cluster at
// every bright pixel that no earlier cluster has taken, and the flood fill grows it. So the
// seed of a cluster is its topmost, then leftmost pixel, and numbers rise in seed order.
//
// A pixel is bright when Level > Siki + BackLevel (the sum in double precision) or
// Level > SikiTop; both comparisons are strict.

namespace orv::input {

using core::Ctx;

void cmdPickup_Click(Ctx& ctx) {
    auto& ws = ctx.ws;
    auto& f = ctx.frm;
    const bool batch = ws.ProcStage == core::kStageBatch;
    if (!batch) core::setStage(ctx, core::kStageClustering);
    core::OV_DispMsg(ctx, "クラスタ抽出処理を実施しています。");
    ctx.host.setBusy(true);
    f.picHSC[2].canvas.clear();
    f.barHSC.Visible = f.lblBar.Visible = f.cmdCancel.Visible = true;
    f.lblStop.Visible = false;
    ctx.host.pump();

    ws.FillDepthMax = 0;
    ws.FillDepthLimit = 3500;
    const int w = ws.ImageWidthP, h = ws.ImageHeightP;
    ws.ClusterMap.create(0, w + 1, 0, h + 1);
    extract::resetTables(ws);
    for (auto& l : f.lblStarAtr) l.Caption = "-";
    for (auto& l : f.lblStarAtr1) l.Caption = "-";

    const float siki = ws.settings.Siki;
    const float sikiTop = ws.settings.SikiTop;
    const bool ready = w > 0 && h > 0 && !ws.PixelLevel.empty() && ws.BackLevel.width() == w &&
                       ws.BackLevel.height() == h;
    for (int y = 1; ready && y <= h; ++y) {
        const uint8_t* level = ws.PixelLevel.levelPlane().at(1, y);
        const float* back = ws.BackLevel.at(0, y - 1);
        const uint16_t* map = ws.ClusterMap.at(1, y);
        for (int x = 1; x <= w; ++x) {
            const int l = level[x - 1];
            if (!(l > static_cast<double>(siki) + back[x - 1] || l > sikiTop)) continue;
            if (map[x - 1] != 0) continue;
            const int32_t n = extract::OV_GetNewStarNo(ws);
            if (n < 1) continue;
            ws.ClusterMap(x, y) = static_cast<uint16_t>(n);
            auto& c = ws.Clusters[n];
            c.StartX = static_cast<float>(x);
            c.StartY = static_cast<float>(y);
            c.Siki = siki;
            int16_t fillOK = -1;
            extract::OV_FindStar(ctx, x, y, {n, siki, sikiTop, 0, &f.picHSC[2].canvas}, fillOK);
            c.FillOK = fillOK;
        }
        f.lblBar.Caption = std::to_string(y);
        f.barHSC.Value = h > 1 ? (y - 1) * 100 / (h - 1) : 100;
        ctx.host.pump();
        f.lblStarNo.Caption = std::to_string(ws.MaxStarNo);
    }

    f.barHSC.Visible = f.lblBar.Visible = f.cmdCancel.Visible = f.lblStop.Visible = false;
    f.picHSC[2].Visible = true;
    view::showViewOption(ctx, 1);
    ctx.host.setBusy(false);
    core::OV_DispMsg(ctx, "");
    core::OV_Logout(ctx, "＞クラスタ処理完了");
    if (!batch) {
        core::setStage(ctx, core::kStageClustersReady);
        view::showViewOption(ctx, 1);
    }
}

}  // namespace orv::input
