// The PSF file pair ("PSFData.ini", "====", "PSFData.txt"), read as 読込 reads it: nothing reads
// outside the entry table or overflows, the count always matches the table, and a pair that was
// taken saves and reads back to the same entries.

#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "psf/entries.h"
#include "psf/psf_files.h"

using namespace orv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto parts = fuzz::splitInput(data, size, 2);
    fuzz::clearScratch();
    fuzz::Window w;
    w.ws.settings.WorkPath = fuzz::scratch();
    fuzz::writeScratch("PSFData.ini", parts[0]);
    fuzz::writeScratch("PSFData.txt", parts[1]);

    auto& p = w.ws.psf;
    psf::OV_ReadPSFData(w.ctx, fuzz::scratch(), "PSFData.ini");
    if (p.PSFDataNo < 0 || p.PSFDataNo > static_cast<int>(p.PSFEntries.size()) - 1)
        __builtin_trap();
    if (w.host.messages.empty() || w.host.messages.back().text != "PSFプロファイルを読込ました。")
        return 0;
    const auto taken = psf::psfDataLines(p);
    if (!psf::OV_SavePSFData(w.ctx)) __builtin_trap();
    psf::cmdPSFEntryClear_Click(w.ctx);
    psf::OV_ReadPSFData(w.ctx, fuzz::scratch(), "PSFData.ini");
    if (psf::psfDataLines(p) != taken) __builtin_trap();
    return 0;
}
