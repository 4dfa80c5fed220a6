#include "control/stage_refresh.h"

#include "core/workspace.h"
#include "edit/pointer.h"
#include "psf/mode_switch.h"
#include "psf/records.h"
#include "view/overlay.h"
#include "view/panel_state.h"

namespace orv::control {

void StageRefresh::stageChanging(form::Ctx& ctx, int16_t from, int16_t to) {
    // No picture, a new picture or new tables: the selected result, the screen marks of the
    // edits and their history are gone.
    const bool loaded = to == core::kStageLoaded && from == core::kStageLoading;
    if (loaded || to == core::kStageIdle || to == core::kStageBatch ||
        to == core::kStageClustering || to == core::kStageAnalysing) {
        edit::clearSelection(ctx);
        psf::forgetProfile(ctx.ws.psf);
        view::forgetEditMarks(ctx);
        ctx.ws.edits.clear();
        ctx.ws.ClusterMapFromRead = false;
    }
}

void StageRefresh::stageChanged(form::Ctx& ctx) {
    view::OV_DispUIF(ctx);
}

form::StageListener* stageRefresh() {
    static StageRefresh refresh;
    return &refresh;
}

}  // namespace orv::control
