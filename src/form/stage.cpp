#include "form/stage.h"

#include <cassert>

namespace orv::form {

void setStage(Ctx& ctx, int16_t stage) {
    // A Ctx that runs steps without a listener would leave the window's panels behind the
    // stage; every place that builds one attaches control/stage_refresh's listener.
    assert(ctx.stage != nullptr);
    const int16_t before = ctx.ws.ProcStage;
    if (ctx.stage) ctx.stage->stageChanging(ctx, before, stage);
    ctx.ws.ProcStage = stage;
    if (ctx.stage) ctx.stage->stageChanged(ctx);
}

}  // namespace orv::form
