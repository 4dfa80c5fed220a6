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
    "usage: orvandel-cli export IMAGE [-o FILE] [--ds9 FILE.reg] [--out-dir DIR]\n"
    "\n"
    "Writes the saved results of a picture (its result pair in IMAGE.dir, with the measurements\n"
    "IMAGE.dat.meas) as a catalogue: one row per result with the same columns for every\n"
    "picture (README: the catalogue's columns), and as a DS9 region file: one circle per result\n"
    "in image coordinates, in the window's class colours, labelled with the row's id. Every\n"
    "result is kept, hand-deleted ones too (column edit_atr 1 or 3, grey circles). A FITS\n"
    "picture fills the FITS pixel columns x_fits, y_fits and, with a celestial WCS in its\n"
    "header, ra and dec (ICRS degrees).\n"
    "\n"
    "  -o, --output FILE  write the catalogue to FILE, in the format its extension names:\n"
    "                     .csv (a header line), .ecsv (ECSV 1.0 with units and metadata),\n"
    "                     .fits (a FITS binary table) or .reg (DS9 regions); - for the CSV on\n"
    "                     standard output\n"
    "  --ds9 FILE         write the DS9 regions to FILE\n"
    "  --out-dir DIR      the results are in DIR/IMAGE.dir instead of beside the picture\n"
    "\n"
    "Without -o and --ds9 the CSV goes to standard output; with only --ds9 no CSV is written.\n"
    "FILE \"-\" is standard output; a symbolic link is written through to its target, a FIFO\n"
    "or character device directly; other special files are refused. A replaced file keeps its\n"
    "permissions.\n"
    "Results saved without measurements give empty measurement columns (said on standard\n"
    "error). Exit status: 0 done, 1 no or damaged results, a file not written or columns\n"
    "missing (said on standard error), 2 usage error.\n";

const std::vector<OptionSpec> kExportOptions = {
    {"--output", "-o", true}, {"--ds9", "", true}, {"--out-dir", "", true}};

}  // namespace

int runExport(const std::vector<std::string>& args) {
    int exitCode = kDone;
    auto parsed = parseArgs(args, kExportOptions, kExportUsage, exitCode);
    if (!parsed) return exitCode;
    if (parsed->operands.empty()) return usageError("no picture given", kExportUsage);
    if (parsed->operands.size() != 1) return usageError("export takes one picture", kExportUsage);
    const std::string& image = parsed->operands[0];
    const CatalogueOutput out{parsed->last("--output"), parsed->last("--ds9")};
    if (auto problem = outputFileProblem(out.file); !problem.empty())
        return usageError(problem, kExportUsage);
    auto outDir = outDirOption(*parsed, kExportUsage, exitCode);
    if (!outDir) return exitCode;

    auto read = catalogue::readPictureCatalogue(absolutePath(image), *outDir);
    if (!read) {
        std::fprintf(stderr, "orvandel-cli: %s: %s\n", image.c_str(), read.error().c_str());
        return kFailed;
    }
    const catalogue::Catalogue& c = read->catalogue;
    for (const std::string& note : read->notes)
        std::fprintf(stderr, "orvandel-cli: %s: %s\n", image.c_str(), note.c_str());
    bool complete = true;
    for (const std::string& why : read->incomplete) {
        std::fprintf(stderr, "orvandel-cli: %s: %s\n", image.c_str(), why.c_str());
        complete = false;
    }

    std::vector<std::string> written;
    if (!writeCatalogue(c, out,
                        image + ": the results do not record the picture's height (ImageHeightP)",
                        written))
        complete = false;
    if (!written.empty())
        std::printf("%s: %zu results written to %s\n", image.c_str(), c.records.size(),
                    joinedNames(written).c_str());
    return complete ? kDone : kFailed;
}

}  // namespace orv::cli
