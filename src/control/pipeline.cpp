#include "control/pipeline.h"

#include "extract/analysis.h"
#include "form/message_log.h"
#include "form/stage.h"
#include "input/background.h"
#include "input/clusters.h"

// The one-click run: background, clusters, analysis, with 500 ms pauses between them. A stop
// requested with the Cancel button takes effect at the next boundary; the step in progress
// always completes, and the stage becomes the one before that step's result (3, 6 or 8).

namespace orv::control {

using form::Ctx;

namespace {

bool stopped(Ctx& ctx, int16_t stage) {
    if (!ctx.ws.CancelRequested) return false;
    form::OV_Logout(ctx, "＊中止しました。");
    form::setStage(ctx, stage);
    return true;
}

}  // namespace

void cmdDoAll_Click(Ctx& ctx) {
    if (ctx.ws.ProcStage != core::kStageBatch) {
        ctx.ws.CancelRequested = 0;
        form::setStage(ctx, core::kStagePipeline);
    }
    form::OV_Logout(ctx, "■恒星位置抽出");
    input::cmdIdoHeikin_Click(ctx);
    if (stopped(ctx, core::kStageLoaded)) return;
    ctx.host.sleepMs(500);
    input::cmdPickup_Click(ctx);
    if (stopped(ctx, core::kStageBackgroundReady)) return;
    ctx.host.sleepMs(500);
    extract::cmdCenterCal_Click(ctx);
    stopped(ctx, core::kStageClustersReady);
}

void cmdCancel_Click(Ctx& ctx) {
    if (ctx.host.msgBox("一連の処理を実施した後、処理を中止します。", form::MsgButtons::OkCancel) !=
        form::MsgAnswer::Ok)
        return;
    ctx.ws.CancelRequested = -1;
    ctx.frm.cmdCancel.Visible = false;
    ctx.frm.lblStop.Visible = true;
}

}  // namespace orv::control
