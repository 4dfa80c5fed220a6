// A big picture for the division window: uncompressed 24- and 32-bit BMPs through the
// streaming reader, FITS and everything else through the decoders (with a small memory limit),
// deep samples stretched; then a tile cut across its edge and a scaled preview. Either a clear
// refusal or a whole picture.

#include <cstdint>
#include <string>

#include "formats/decoder/picture_decoder.h"
#include "fuzz_support.h"
#include "tiles/big_picture.h"

using namespace orv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::clearScratch();
    const std::string path =
        fuzz::writeScratch("big.bmp", std::string_view(reinterpret_cast<const char*>(data), size));
    auto picture = tiles::loadBigPicture(
        path, [](const std::string& p) { return formats::decodePictureFileWithLimit(p, 8); }, "");
    if (!picture) {
        if (picture.error().empty()) __builtin_trap();  // a refusal says why
        return 0;
    }
    const form::Picture& big = picture->picture;
    if (big.width <= 0 || big.height <= 0 || big.empty()) __builtin_trap();
    const form::Picture tile = tiles::cutTile(big, tiles::PixelSquare{big.width - 3, -2, 7});
    if (tile.width != 7 || tile.height != 7) __builtin_trap();
    const form::Picture preview = tiles::scaledPreview(big, 5, 4);
    if (preview.width != 5 || preview.height != 4) __builtin_trap();
    return 0;
}
