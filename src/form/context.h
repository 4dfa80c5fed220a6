#pragma once
// What every procedure works on: the working state, the main window's model and the host.

#include <cstdint>

#include "core/workspace.h"
#include "form/frm_orvandel.h"
#include "form/host.h"

namespace orv::form {

struct FrmBigPic;
struct Ctx;

// What a change of the stage code brings about beyond the code itself: the panels shown for
// the new stage and the selection that no longer exists. The pipeline's floor provides it
// (control/stage_refresh.h), so that the steps below it set the stage without reaching up.
struct StageListener {
    virtual ~StageListener() = default;
    // Called before the stage code changes.
    virtual void stageChanging(Ctx& ctx, int16_t from, int16_t to) = 0;
    // Called after it changed.
    virtual void stageChanged(Ctx& ctx) = 0;
};

struct Ctx {
    core::Workspace& ws;
    FrmOrvandel& frm;
    Host& host;
    // The division window, where one exists (its tile is a picture source).
    FrmBigPic* bigPic = nullptr;
    // Refreshes the window after each change of the stage code; every Ctx that runs steps
    // has one.
    StageListener* stage = nullptr;
};

}  // namespace orv::form
