// orvandel-cli: the engine without a window, for scripts, servers and clusters. It writes the
// same result files, processing logs and batch logs as the window. Each subcommand lives in
// a file of its own; this file only dispatches.

#include <malloc.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli.h"
#include "core/workspace.h"

namespace {

using orv::cli::Command;

// The subcommands in the order the usage lists them.
const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"detect", "detect [OPTIONS] IMAGE...",
         "detect the stars of pictures (BMP, JPEG, FITS, 16-bit PNG/TIFF)", orv::cli::runDetect},
        {"batch", "batch [OPTIONS] LIST.txt", "process the pictures of a batch list",
         orv::cli::runBatch},
        {"tiles", "tiles [OPTIONS] IMAGE", "cut a huge picture into tiles and a batch list",
         orv::cli::runTiles},
        {"export", "export [OPTIONS] IMAGE", "a picture's saved results as CSV or DS9 regions",
         orv::cli::runExport},
        {"merge", "merge [OPTIONS] LIST.txt", "one catalogue of a tiled picture's results",
         orv::cli::runMerge},
        {"psf", "psf [OPTIONS] IMAGE", "the PSF of a picture from its saved results",
         orv::cli::runPsf},
    };
    return table;
}

std::string usage() {
    std::string text =
        "Orvandel ver 2015/09/27 - finds, measures and classifies the star images of pictures\n"
        "\n"
        "usage:\n";
    for (const Command& c : commands()) {
        std::string line = std::string("  orvandel-cli ") + c.synopsis;
        line.resize(std::max<size_t>(line.size() + 1, 43), ' ');
        text += line + c.summary + "\n";
    }
    text +=
        "  orvandel-cli --version | --help\n"
        "\n"
        "Each picture's results go to the folder IMAGE.dir beside it (IMAGE.dat.ini, IMAGE.dat "
        "and\n"
        "the processing log IMAGE.log), exactly as the window saves them. Run a subcommand with\n"
        "--help for its options.\n";
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    // Pictures come and go at the same sizes: keep freed memory for the next one instead of
    // handing it back to the system (fresh pages cost a fault each).
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(usage().c_str(), stderr);
        return orv::cli::kUsageError;
    }
    if (args[0] == "--version") {
        std::printf("orvandel-cli ver %s\n", orv::core::kProgramVersion);
        return orv::cli::kDone;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(usage().c_str(), stdout);
        return orv::cli::kDone;
    }
    for (const Command& c : commands())
        if (args[0] == c.name) return c.run(std::vector<std::string>(args.begin() + 1, args.end()));
    return orv::cli::usageError("unknown command " + args[0], usage().c_str());
}
