// A batch list, read as the window's batch run and the command line read it, and run in the
// window: every record is refused with a reason or names an absolute folder, and the run ends
// at stage 0 with a closing box.
//
// Pictures load only from the scratch folder (a small field); any other path fails to load, so
// a fuzzed folder never makes the run write elsewhere on this machine.

#include <cstdint>
#include <string>

#include "control/batch.h"
#include "fuzz_support.h"

using namespace orv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    fuzz::clearScratch();
    const std::string list = fuzz::writeScratch("list.txt", bytes);
    fuzz::writeScratch("a.bmp", "");

    auto records = control::readBatchList(list);
    if (!records) __builtin_trap();
    for (const auto& r : records.value()) {
        if (!r.refused.empty()) continue;
        if (r.folder.empty() || r.name.empty()) __builtin_trap();
        const bool absolute = r.folder[0] == '/' || r.folder[0] == '\\' ||
                              (r.folder.size() > 1 && r.folder[1] == ':');
        if (!absolute) __builtin_trap();
    }
    if (records->size() > 40) return 0;  // keeps each run short

    fuzz::Window w;
    const std::string inside = fuzz::scratch() + "/";
    w.host.decoder = [&](const std::string& path) -> core::Result<form::Picture> {
        if (path.compare(0, inside.size(), inside) != 0 || path.find("/../") != std::string::npos)
            return core::Error{"outside the scratch folder"};
        return fuzz::smallField();
    };
    w.frm.disableDrawing();
    w.host.fileAnswers.push_back(list);
    control::cmdBachDo_Click(w.ctx);
    if (w.ws.ProcStage != core::kStageIdle || w.host.messages.size() < 2) __builtin_trap();
    return 0;
}
