#pragma once
// What every procedure works on: the working state, the main window's model and the host.

#include "core/workspace.h"
#include "ui/frm_orvandel.h"
#include "ui/host.h"

namespace orv::ui {
struct FrmBigPic;
}

namespace orv::core {

struct Ctx {
    Workspace& ws;
    ui::FrmOrvandel& frm;
    ui::Host& host;
    // The division window, where one exists (its tile is a picture source).
    ui::FrmBigPic* bigPic = nullptr;
};

}  // namespace orv::core
