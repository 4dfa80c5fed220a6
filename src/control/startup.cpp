#include "control/startup.h"

#include "extract/numbering.h"
#include "form/message_log.h"
#include "form/settings_boxes.h"
#include "form/stage.h"
#include "psf/mode_switch.h"
#include "view/navigation.h"
#include "view/view_switch.h"

namespace orv::control {

void Form_Load(form::Ctx& ctx) {
    auto& f = ctx.frm;
    ctx.ws.ProgramVersion = core::kProgramVersion;
    f.lblVersion.Caption = "ver " + ctx.ws.ProgramVersion;
    form::OV_GetIniData(ctx);
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
    form::setStage(ctx, core::kStageIdle);

    if (ctx.ws.folders.usesFallback() && !ctx.ws.fallbackAnnounced) {
        ctx.ws.fallbackAnnounced = true;
        form::OV_DispMsg(ctx, "プログラムのフォルダーに書き込めないため、設定ファイルは " +
                                  ctx.ws.folders.userFolder + " に保存します。");
    }
}

void Form_Unload(form::Ctx& ctx) {
    form::OV_SaveIniData(ctx);
}

}  // namespace orv::control
