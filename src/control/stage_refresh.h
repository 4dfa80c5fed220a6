#pragma once
// What a change of the stage code does to the window: the panels and layers of the new stage
// (view's OV_DispUIF), and the selected result and PSF profile forgotten when the picture or
// the tables they belong to are replaced.

#include "form/context.h"

namespace orv::control {

class StageRefresh final : public form::StageListener {
public:
    void stageChanging(form::Ctx& ctx, int16_t from, int16_t to) override;
    void stageChanged(form::Ctx& ctx) override;
};

// The one listener every Ctx uses (it holds no state).
form::StageListener* stageRefresh();

}  // namespace orv::control
