// `merge`: one catalogue of a tiled picture from the saved results of its tiles, as CSV and/or
// DS9 regions.

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/tiled_catalogue.h"
#include "catalogue_output.h"
#include "cli.h"
#include "control/batch.h"
#include "tiles/export.h"

namespace orv::cli {
namespace {

const char* const kMergeUsage =
    "usage: orvandel-cli merge [--size S --margin M] [--picture FILE] [-o FILE]\n"
    "                          [--ds9 FILE.reg] [--out-dir DIR] LIST.txt\n"
    "\n"
    "Joins the saved results of every tile of a tile batch list (written by `tiles` or the\n"
    "division window's \"全分割画像出力\", processed by `batch`) into one catalogue of the big\n"
    "picture. A tile's indices come from its name (PICTURE.iii.jjj.bmp); S, M and the picture's\n"
    "size from the layout file PICTURE.tiles.ini beside LIST.txt (PICTURE.txt). Every result is\n"
    "moved to big-picture coordinates and kept once, by the tile whose inner square (S x S at\n"
    "i*S + M, j*S + M) holds its centroid; tiles of the first and last row and column also own\n"
    "the margin strip beside the picture's edge. The copies in the neighbours' margins are\n"
    "dropped. The columns are those of `export`: `id` numbers the kept results 1..N, `tile`\n"
    "names the tile, `star` the result's number there; the measurements are the tiles' (their\n"
    "8-bit levels). A FITS big picture fills x_fits, y_fits and, with a celestial WCS, ra and\n"
    "dec (ICRS).\n"
    "A tile's results must have been made from the tile the layout file names (the checksum\n"
    "of its pixels, recorded in both); results of another cut are left out. Results of a tile\n"
    "edited in the window (PICTURE.iii.jjj.dir beside the tile) are taken instead of the\n"
    "batch's when they hold hand work and are newer.\n"
    "\n"
    "  --size S, --margin M  tile step and margin in pixels, needed only without the layout file\n"
    "  --picture FILE        the big picture, read for its FITS header (default: PICTURE in the\n"
    "                        folder that holds the list's folder)\n"
    "  -o, --output FILE     write the catalogue to FILE: .csv, .ecsv (ECSV 1.0 with units\n"
    "                        and metadata), .fits (a FITS binary table) or .reg (DS9)\n"
    "  --ds9 FILE            write the DS9 regions to FILE (needs the picture's height: the\n"
    "                        layout file or a FITS header gives it)\n"
    "  --out-dir DIR         the tiles' results are in DIR/TILE.dir (as batch --out-dir DIR\n"
    "                        wrote them) instead of beside the tiles\n"
    "\n"
    "Without -o and --ds9 the CSV goes to standard output; with only --ds9 no CSV is written.\n"
    "FILE \"-\" is standard output; a symbolic link is written through to its target, a FIFO\n"
    "or character device directly; other special files are refused. A replaced file keeps its\n"
    "permissions.\n"
    "Exit status: 0 done; 1 a listed tile without results, tiles of the grid missing from the\n"
    "list, a file not written or columns missing (each said on standard error; the rest is\n"
    "still written); 2 usage error.\n";

const std::vector<OptionSpec> kMergeOptions = {{"--size", "", true},    {"--margin", "", true},
                                               {"--picture", "", true}, {"--output", "-o", true},
                                               {"--ds9", "", true},     {"--out-dir", "", true}};

void complain(const std::string& text) {
    std::fprintf(stderr, "orvandel-cli: %s\n", text.c_str());
}

// The source's grid: the layout file beside the list, or S and M of the command line (nothing
// for either when not given). Nothing, with the exit code in `exitCode`, when S and M are
// missing without a layout file or disagree with it, or the layout file cannot be read.
std::optional<catalogue::TiledSource> tileSource(const std::string& list, std::optional<float> size,
                                                 std::optional<float> margin, int& exitCode) {
    catalogue::TiledSource source;
    source.listPath = list;
    const std::string layoutFile = tiles::layoutFileOfList(list);
    if (layoutFile.empty() || !core::fileExists(layoutFile)) {
        if (!size) {
            exitCode = usageError("no layout file " +
                                      (layoutFile.empty() ? "beside the list" : layoutFile) +
                                      ": give the tiles' --size and --margin",
                                  kMergeUsage);
            return std::nullopt;
        }
        source.size = *size;
        source.margin = *margin;
        return source;
    }
    auto layout = tiles::readLayoutFile(layoutFile);
    if (!layout) {
        complain(layout.error());
        exitCode = kFailed;
        return std::nullopt;
    }
    if (size && (*size != layout->size || *margin != layout->margin)) {
        exitCode = usageError("--size and --margin differ from Size and Margin of " + layoutFile,
                              kMergeUsage);
        return std::nullopt;
    }
    source.layout = layout.value();
    return source;
}

}  // namespace

int runMerge(const std::vector<std::string>& args) {
    int exitCode = kDone;
    auto parsed = parseArgs(args, kMergeOptions, kMergeUsage, exitCode);
    if (!parsed) return exitCode;
    if (parsed->operands.empty()) return usageError("no batch list given", kMergeUsage);
    if (parsed->operands.size() != 1) return usageError("merge takes one list file", kMergeUsage);
    const auto size = tileSettingOption(*parsed, "--size", 0);
    const auto margin = tileSettingOption(*parsed, "--margin", 0);
    if (!size) return usageError("--size takes a number", kMergeUsage);
    if (!margin) return usageError("--margin takes a number", kMergeUsage);
    const bool given = parsed->has("--size") || parsed->has("--margin");
    if (given && !(parsed->has("--size") && parsed->has("--margin")))
        return usageError("--size and --margin go together", kMergeUsage);
    if (given)
        if (auto ok = tiles::checkSettings(*size, *margin); !ok)
            return usageError(ok.error(), kMergeUsage);

    const CatalogueOutput out{parsed->last("--output"), parsed->last("--ds9")};
    if (auto problem = outputFileProblem(out.file); !problem.empty())
        return usageError(problem, kMergeUsage);
    auto outDir = outDirOption(*parsed, kMergeUsage, exitCode);
    if (!outDir) return exitCode;

    const std::string& listArg = parsed->operands[0];
    if (const std::string why = notAFileMessage("batch list", listArg); !why.empty()) {
        complain(why);
        return kFailed;
    }
    const std::string list = absolutePath(listArg);
    auto source = given ? tileSource(list, size, margin, exitCode)
                        : tileSource(list, std::nullopt, std::nullopt, exitCode);
    if (!source) return exitCode;
    if (auto picture = parsed->last("--picture")) source->picturePath = absolutePath(*picture);
    source->jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    source->resultRoot = *outDir;
    auto records = control::readBatchList(list);
    if (!records) {
        complain(records.error());
        return kFailed;
    }
    for (const control::BatchRecord& r : records.value())
        source->tiles.emplace_back(r.folder, r.name);

    std::optional<Progress> reading;
    const catalogue::TiledCatalogue merged =
        catalogue::readTiledCatalogue(*source, [&](size_t done, size_t total) {
            if (!reading) reading.emplace(total, "tiles read");
            reading->draw(done);
        });
    if (reading) reading->clear();
    for (const std::string& note : merged.notes) complain(note);
    for (const std::string& problem : merged.problems) complain(problem);
    bool complete = merged.problems.empty();

    std::vector<std::string> written;
    if (!writeCatalogue(merged.catalogue, out,
                        "the big picture's height is unknown without the layout file", written))
        complete = false;
    if (!written.empty())
        std::printf("%s: %zu of %zu tiles, %zu results kept of %zu, written to %s\n",
                    listArg.c_str(), merged.tilesRead, records->size(), merged.counts.kept,
                    merged.counts.read, joinedNames(written).c_str());
    return complete ? kDone : kFailed;
}

}  // namespace orv::cli
