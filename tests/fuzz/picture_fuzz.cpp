// A picture file (BMP of any variant, JPEG, FITS, tile-compressed FITS, PNG, TIFF, or anything
// else), decoded as the window and the command line decode it (with a small memory limit, the
// toolkit's readers and CFITSIO's decompression in the helper program), stretched when deep,
// and split into R, G, B, Y and the chosen channel: either a clear refusal or a whole picture.

#include <cstdint>
#include <string>

#include "formats/decoder/picture_decoder.h"
#include "fuzz_support.h"
#include "input/image_load.h"

using namespace orv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::clearScratch();
    fuzz::writeScratch("p", std::string_view(reinterpret_cast<const char*>(data), size));
    fuzz::Window w;
    w.frm.disableDrawing();
    // As the window reads a file: what is not the program's own reader runs in the helper
    // (so a library's crash on an input is a refusal, not the end of the run).
    w.host.decoder = [](const std::string& path) {
        return formats::decodePictureFileGuarded(path, 8);
    };
    const int channel = size == 0 ? 0 : data[size - 1] % 4;
    for (int i = 0; i < 4; ++i) w.frm.optChannel[i].Value = i == channel;
    w.ws.DoFilePath = fuzz::scratch();
    w.ws.DoFileName = "p";
    const bool loaded = input::cmdDataIn_Click(w.ctx, input::kSourceNamed);
    if (loaded && (w.ws.ImageWidthP <= 0 || w.ws.PixelLevel.empty())) __builtin_trap();
    if (!loaded && w.ws.lastLoadError.empty()) __builtin_trap();  // a refusal says why
    return 0;
}
