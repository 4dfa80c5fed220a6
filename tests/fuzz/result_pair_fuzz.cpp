// The result pair (".dat.ini", "====", ".dat"), read back as the window reads it, then the
// picture reloaded, the map around the centroids rebuilt and the results redrawn, saved again
// and analysed again: nothing reads outside an array or overflows, and a pair that was taken
// saves without error.
//
// The [FILE] keys always name the scratch folder's picture: a fuzzed path must not make the
// program write logs and results elsewhere on this machine.

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <string>

#include "core/numeric.h"
#include "extract/analysis.h"
#include "extract/numbering.h"
#include "fuzz_support.h"
#include "input/image_load.h"
#include "results/data_files.h"
#include "view/overlay.h"

using namespace orv;

namespace {

// The settings part without any line that names a file, and with the scratch picture's.
std::string pinnedIni(const std::string& ini) {
    std::string out;
    size_t start = 0;
    while (start < ini.size()) {
        size_t end = ini.find_first_of("\r\n", start);
        if (end == std::string::npos) end = ini.size();
        std::string line = ini.substr(start, end - start), lower;
        for (char c : line) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower.find("dofile") == std::string::npos) out += line + "\r\n";
        start = end + 1;
    }
    return out + "[FILE]\r\nDoFilePath = " + fuzz::scratch() + "\r\nDoFileName = x.bmp\r\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto parts = fuzz::splitInput(data, size, 2);
    fuzz::clearScratch();
    fuzz::Window w;
    w.host.decoder = [](const std::string&) -> core::Result<form::Picture> {
        return fuzz::smallField();
    };
    fuzz::writeScratch("x.bmp", "");
    std::filesystem::create_directory(fuzz::scratch() + "/x.bmp.dir");
    fuzz::writeScratch("x.bmp.dir/x.bmp.dat.ini", pinnedIni(parts[0]));
    fuzz::writeScratch("x.bmp.dir/x.bmp.dat", parts[1]);

    if (!results::OV_ReadData(w.ctx, fuzz::scratch() + "/x.bmp.dir", "x.bmp.dat")) return 0;
    w.ws.DoFilePath = fuzz::scratch();
    w.ws.DoFileName = "x.bmp";
    try {
        if (!input::cmdDataIn_Click(w.ctx, input::kSourceNamed)) __builtin_trap();
        extract::OV_SetStarNo(w.ws);
        view::cmdReDisp_Click(w.ctx);
        if (!results::OV_SaveData(w.ctx)) __builtin_trap();
        w.frm.chkHyotan.Value = size % 2;
        extract::cmdCenterCal_Click(w.ctx);
    } catch (const core::ArithmeticFault&) {
        // A run-time error the window shows (a centroid of a cluster with no light, ...).
    }
    return 0;
}
