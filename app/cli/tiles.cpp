// `tiles`: the division window's "全分割画像出力" without a window: every whole tile of a
// picture as a BMP file, the batch list and the layout file, the same names and the same
// bytes as the window writes.

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli.h"
#include "core/paths.h"
#include "formats/stretch.h"
#include "tiles/big_picture.h"
#include "tiles/export.h"
#include "tiles/geometry.h"

namespace orv::cli {
namespace {

const char* const kTilesUsage =
    "usage: orvandel-cli tiles [--size S] [--margin M] [--cover] [--out FOLDER]\n"
    "                          [--settings FILE] [--stretch S] IMAGE\n"
    "\n"
    "Cuts the picture into overlapping square tiles, as the division window's\n"
    "\"全分割画像出力\" does: tile (i, j) covers x from i*S to i*S + S + 2M and y from j*S to\n"
    "j*S + S + 2M, and every tile that lies wholly inside the picture is written as\n"
    "FOLDER/IMAGE.dir/IMAGE.iii.jjj.bmp (24-bit BMP). The batch list FOLDER/IMAGE.dir/IMAGE.txt\n"
    "names every tile for `orvandel-cli batch` or the window's batch run, and\n"
    "FOLDER/IMAGE.dir/IMAGE.tiles.ini records S, M, the picture's size and each tile's checksum\n"
    "(which `merge` compares with the one its results record). Prints the number of tiles\n"
    "written. The tiles, list and layout are written as one generation: all files first, the\n"
    "list and layout last, so a failed or killed run leaves the earlier ones usable.\n"
    "\n"
    "  --size S        tile step in pixels (default 500)\n"
    "  --margin M      tile margin in pixels (default 50)\n"
    "  --cover         cover the whole picture: where the whole tiles leave a strip at the\n"
    "                  right or bottom edge, one more column or row of tiles ends at that\n"
    "                  edge (shifted inward, overlapping the one before it by more than 2M);\n"
    "                  a picture smaller than a tile is one tile. The layout file records it\n"
    "                  (Cover=1) and `merge` joins such tiles, each star once; `detect\n"
    "                  --tiles` gives the same catalogue in one pass\n"
    "  --out FOLDER    where the folder IMAGE.dir goes (default: the picture's folder)\n"
    "  --settings FILE the stretch setting from FILE instead of the program's Orvandel.ini\n"
    "  --stretch S     how a FITS or 16-bit picture becomes 8-bit levels, linearly between a\n"
    "                  black and a white point: minmax, percentile:LO,HI or range:A,B\n"
    "                  (default: the settings file's, else percentile:0.1,99.9)\n"
    "\n"
    "Pictures are BMP, JPEG, FITS (.fits, .fit, .fts) or 16-bit PNG or TIFF. Uncompressed\n"
    "24-bit and 32-bit BMPs of any size that fits memory are read directly; JPEGs and other\n"
    "BMPs as large as the desktop toolkit reads them. A FITS or 16-bit picture is stretched\n"
    "once as a whole, so that every tile has the same levels; the stretch and its black and\n"
    "white points are printed and recorded in IMAGE.tiles.ini. FITS row 1 is the bottom row,\n"
    "as the window shows it: pixel (u, v) of tile (i, j) (0-based, v down) is FITS pixel\n"
    "(i*S + u + 1, NAXIS2 - j*S - v) for whole-number S.\n"
    "\n"
    "Exit status: 0 done, 1 the picture could not be read or a file could not be written,\n"
    "2 usage error.\n";

const std::vector<OptionSpec> kTilesOptions = {{"--size", "", true},    {"--margin", "", true},
                                               {"--out", "", true},     {"--settings", "", true},
                                               {"--stretch", "", true}, {"--cover", "", false}};

}  // namespace

int runTiles(const std::vector<std::string>& args) {
    int exitCode = kDone;
    auto parsed = parseArgs(args, kTilesOptions, kTilesUsage, exitCode);
    if (!parsed) return exitCode;
    if (parsed->operands.size() != 1)
        return usageError(parsed->operands.empty() ? "no picture given" : "tiles takes one picture",
                          kTilesUsage);
    const auto size = tileSettingOption(*parsed, "--size", 500);
    const auto margin = tileSettingOption(*parsed, "--margin", 50);
    if (!size) return usageError("--size takes a number", kTilesUsage);
    if (!margin) return usageError("--margin takes a number", kTilesUsage);
    if (auto ok = tiles::checkSettings(*size, *margin); !ok)
        return usageError(ok.error(), kTilesUsage);
    auto engine = engineOptions(*parsed, kTilesUsage, exitCode);
    if (!engine) return exitCode;

    const std::string image = absolutePath(parsed->operands[0]);
    if (const std::string why = notAFileMessage("picture", image); !why.empty()) {
        std::fprintf(stderr, "orvandel-cli: %s\n", why.c_str());
        return kFailed;
    }
    const std::string name = core::fileNameOf(image);
    const std::string out =
        absolutePath(parsed->last("--out").value_or(core::GetFolderName(image)));
    // The stretch of a deep picture: --stretch, else the settings file's.
    std::string stretch;
    if (engine->stretch) {
        stretch = *engine->stretch;
    } else {
        auto settings = loadSettings(engine->settingsFile, core::ProgramFolders::forExecutable());
        if (!settings) return kUsageError;
        stretch = settings->Stretch;
    }

    auto picture = loadBigPictureShowingRows(image, stretch);
    if (!picture) {
        std::fprintf(stderr, "orvandel-cli: %s\n", picture.error().c_str());
        return kFailed;
    }
    const form::Picture& big = picture->picture;
    const tiles::LayoutStretch stretched{picture->stretch, picture->points.black,
                                         picture->points.white};
    if (!stretched.text.empty())
        std::printf("%s: stretch %s, black %s, white %s\n", image.c_str(), stretched.text.c_str(),
                    formats::exactText(stretched.black).c_str(),
                    formats::exactText(stretched.white).c_str());
    const bool cover = parsed->has("--cover");
    if (auto ok = tiles::checkExport(*size, *margin, big.width, big.height, cover); !ok) {
        std::fprintf(stderr, "orvandel-cli: %s: %s\n", image.c_str(), ok.error().c_str());
        return kFailed;
    }

    const std::string folder = tiles::tileFolder(out, name);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!core::folderExists(folder)) {
        std::fprintf(stderr, "orvandel-cli: cannot create the folder %s\n", folder.c_str());
        return kFailed;
    }
    const tiles::TileGrid grid = tiles::tileGrid(*size, *margin, big.width, big.height, cover);
    Progress writing(static_cast<size_t>(grid.columns * grid.rows), "tiles");
    const auto o = tiles::exportAllTiles(
        folder, name, *size, *margin, big.width, big.height, stretched,
        [&](int i, int j) { return tiles::cutTile(big, tiles::tileRect(grid, i, j)); },
        [&](int64_t done, int64_t) { writing.draw(static_cast<size_t>(done)); }, cover);
    writing.clear();
    std::printf("%lld %s written to %s\n", static_cast<long long>(o.written),
                o.written == 1 ? "tile" : "tiles", folder.c_str());
    if (!o.error.empty()) {
        std::fprintf(stderr,
                     "orvandel-cli: %s\norvandel-cli: nothing replaced: the tiles, list and layout "
                     "written before stay as they were\n",
                     o.error.c_str());
        return kFailed;
    }
    return kDone;
}

}  // namespace orv::cli
