#pragma once
// What the fuzz targets share: a scratch folder of their own, a window without a display, the
// input cut into the parts a target needs, and (LLVMFuzzerInitialize, defined here) the Qt
// application object that picture decoding needs.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "control/stage_refresh.h"
#include "form/context.h"
#include "form/headless_host.h"

namespace orv::fuzz {

// A folder for this process's files, created at the first call and removed at exit.
const std::string& scratch();
// scratch()/name, written anew with the bytes.
std::string writeScratch(const std::string& name, std::string_view bytes);
// Removes everything in the scratch folder.
void clearScratch();

// A main window without a display: the working state, the model and a scripted host whose
// program folder is scratch()/program. Dialog answers are cancelled and boxes answered OK.
struct Window {
    core::Workspace ws;
    form::FrmOrvandel frm;
    form::HeadlessHost host;
    form::Ctx ctx{ws, frm, host, nullptr, control::stageRefresh()};
    Window();
};

// The input cut at every line "====" (the seeds hold it; mutations may remove it): always
// `parts` pieces, the last ones empty when the input has fewer separators.
std::vector<std::string> splitInput(const uint8_t* data, size_t size, size_t parts);

// A small fixed picture with a few stars, the same on every call.
form::Picture smallField();

}  // namespace orv::fuzz
