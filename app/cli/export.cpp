// `export`: one picture's saved results as a CSV catalogue and/or a DS9 region file.

#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/picture_catalogue.h"
#include "catalogue_output.h"
#include "cli.h"

namespace orv::cli {
namespace {

const char* const kExportUsage =
    "usage: orvandel-cli export IMAGE [-o FILE.csv] [--ds9 FILE.reg]\n"
    "\n"
    "Writes the saved results of a picture (its result pair in IMAGE.dir) as a CSV catalogue\n"
    "with a header line, and as a DS9 region file: one circle per result in image coordinates,\n"
    "in the window's class colours, labelled with the result's number. Every result is kept,\n"
    "hand-deleted ones too (column edit_atr 1 or 3, grey circles). A FITS picture adds the FITS\n"
    "pixel columns x_fits, y_fits and, with a celestial WCS in its header, ra and dec (degrees).\n"
    "\n"
    "  -o, --output FILE  write the CSV to FILE\n"
    "  --ds9 FILE         write the DS9 regions to FILE\n"
    "\n"
    "Without -o and --ds9 the CSV goes to standard output; with only --ds9 no CSV is written.\n"
    "FILE \"-\" is standard output; a symbolic link is written through to its target, a FIFO\n"
    "or character device directly; other special files are refused. A replaced file keeps its\n"
    "permissions.\n"
    "Exit status: 0 done, 1 no or damaged results, a file not written or columns missing (said\n"
    "on standard error), 2 usage error.\n";

const std::vector<OptionSpec> kExportOptions = {{"--output", "-o", true}, {"--ds9", "", true}};

}  // namespace

int runExport(const std::vector<std::string>& args) {
    int exitCode = kDone;
    auto parsed = parseArgs(args, kExportOptions, kExportUsage, exitCode);
    if (!parsed) return exitCode;
    if (parsed->operands.empty()) return usageError("no picture given", kExportUsage);
    if (parsed->operands.size() != 1) return usageError("export takes one picture", kExportUsage);
    const std::string& image = parsed->operands[0];

    auto read = catalogue::readPictureCatalogue(absolutePath(image));
    if (!read) {
        std::fprintf(stderr, "orvandel-cli: %s: %s\n", image.c_str(), read.error().c_str());
        return kFailed;
    }
    const catalogue::Catalogue& c = read->catalogue;
    bool complete = true;
    for (const std::string& why : read->incomplete) {
        std::fprintf(stderr, "orvandel-cli: %s: %s\n", image.c_str(), why.c_str());
        complete = false;
    }

    std::string written;
    const CatalogueOutput out{parsed->last("--output"), parsed->last("--ds9")};
    if (!writeCatalogue(c, out,
                        image + ": the results do not record the picture's height (ImageHeightP)",
                        written))
        complete = false;
    if (!written.empty())
        std::printf("%s: %zu results written to %s\n", image.c_str(), c.records.size(),
                    written.c_str());
    return complete ? kDone : kFailed;
}

}  // namespace orv::cli
