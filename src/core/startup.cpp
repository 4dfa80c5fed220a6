#include "core/startup.h"

#include "core/message_log.h"
#include "core/settings.h"
#include "edit/pointer.h"
#include "extract/numbering.h"
#include "psf/mode_switch.h"
#include "view/navigation.h"
#include "view/panel_state.h"
#include "view/view_switch.h"

namespace orv::core {

void setStage(Ctx& ctx, int16_t stage) {
    // No picture, a new picture or new tables: the selected result is gone.
    const bool loaded = stage == kStageLoaded && ctx.ws.ProcStage == kStageLoading;
    if (loaded || stage == kStageIdle || stage == kStageBatch || stage == kStageClustering ||
        stage == kStageAnalysing) {
        edit::clearSelection(ctx);
        psf::forgetProfile(ctx.ws.psf);
    }
    ctx.ws.ProcStage = stage;
    view::OV_DispUIF(ctx);
}

void Form_Load(Ctx& ctx) {
    auto& f = ctx.frm;
    ctx.ws.ProgramVersion = kProgramVersion;
    f.lblVersion.Caption = "ver " + ctx.ws.ProgramVersion;
    OV_GetIniData(ctx);
    extract::resetTables(ctx.ws);

    view::Form_Resize(ctx, f.Width, f.Width, f.Height);
    for (int i = 0; i < 3; ++i) {
        f.fraMain[i].Left = 10;
        f.fraMain[i].Top = 70;
        f.fraMain[i].Width = 300;
        // The detection page holds the information panel below its frames; the PSF pages cover
        // it whole.
        f.fraMain[i].Height = 556;
    }
    psf::cmdMain_Click(ctx, 0);
    for (auto& p : f.picHSC) p.Left = p.Top = 0;
    view::showHandPicture(ctx);
    setStage(ctx, kStageIdle);

    if (ctx.ws.folders.usesFallback() && !ctx.ws.fallbackAnnounced) {
        ctx.ws.fallbackAnnounced = true;
        OV_DispMsg(ctx, "プログラムのフォルダーに書き込めないため、設定ファイルは " +
                            ctx.ws.folders.userFolder + " に保存します。");
    }
}

void Form_Unload(Ctx& ctx) {
    OV_SaveIniData(ctx);
}

}  // namespace orv::core
