// The inputs of one catalogue of a tiled picture: the layout file beside the tile list and a
// tile's saved result pair, read and joined as `orvandel-cli merge` does, then written as CSV
// and DS9 regions. Whatever the files hold, the catalogue is built or its problems are named,
// and every kept result lies inside the picture the layout describes.
//
// Input parts (cut at "===="): layout text, the tile's .dat.ini, the tile's .dat, and the
// tile's file name (default "m.bmp.000.000.bmp").

#include <cmath>
#include <cstdint>
#include <string>

#include "catalogue/tiled_catalogue.h"
#include "core/paths.h"
#include "fuzz_support.h"

using namespace orv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto parts = fuzz::splitInput(data, size, 4);
    fuzz::clearScratch();
    std::string name = parts[3].empty() ? "m.bmp.000.000.bmp" : parts[3];
    // A name is one file in the scratch folder: no separators, no parent folder.
    if (name.find_first_of("/\\\r\n") != std::string::npos || name == "." || name == "..") return 0;
    const std::string folder = fuzz::scratch();
    fuzz::writeScratch("m.bmp.tiles.ini", parts[0]);
    core::createFolder(core::joinPath(folder, name + ".dir"));
    fuzz::writeScratch(name + ".dir/" + name + ".dat.ini", parts[1]);
    fuzz::writeScratch(name + ".dir/" + name + ".dat", parts[2]);

    catalogue::TiledSource source;
    source.listPath = core::joinPath(folder, "m.bmp.txt");
    source.tiles = {{folder, name}};
    auto layout = tiles::parseLayout(parts[0]);
    if (layout) {
        source.layout = layout.value();
    } else {
        if (layout.error().empty()) __builtin_trap();  // a refusal names the key
        source.size = 500;
        source.margin = 50;
    }
    const catalogue::TiledCatalogue merged = catalogue::readTiledCatalogue(source);
    if (merged.tilesRead == 0 && merged.problems.empty()) __builtin_trap();  // never silent
    for (const auto& r : merged.catalogue.records) {
        if (!std::isfinite(r.x) || !std::isfinite(r.y)) __builtin_trap();
        if (layout && (r.x < 0 || r.y < 0 || r.x > static_cast<double>(layout->width) ||
                       r.y > static_cast<double>(layout->height)))
            __builtin_trap();
    }
    (void)catalogue::csvLines(merged.catalogue);
    if (merged.catalogue.pictureHeight > 0) (void)catalogue::ds9Lines(merged.catalogue);
    return 0;
}
