#pragma once
// Writing a catalogue as `export`, `merge` and `detect -o` write it.

#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/output.h"
#include "cli.h"

namespace orv::cli {

// What was asked for: the catalogue to `file` in the format its extension names, the DS9
// regions to ds9File, the CSV to standard output when neither is given.
struct CatalogueOutput {
    std::optional<std::string> file, ds9File;
};

// The usage error for an -o file whose extension names no catalogue format ("" when it names
// one, or no file is given).
std::string outputFileProblem(const std::optional<std::string>& file);

// Writes the catalogue; each file as core/output_file.h writes it ("-" is standard output, a
// link is written through, a FIFO or device directly, other special files refused). Says on
// standard error what could not be written (a DS9 file needs c.pictureHeight; `noHeight` says
// why it is unknown). Returns whether everything asked for was written, and the files written
// in `written`.
bool writeCatalogue(const catalogue::Catalogue& c, const CatalogueOutput& out,
                    const std::string& noHeight, std::vector<std::string>& written);

// "a.csv and a.reg"
std::string joinedNames(const std::vector<std::string>& files);

}  // namespace orv::cli
