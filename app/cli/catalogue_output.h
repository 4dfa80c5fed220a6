#pragma once
// Writing a catalogue as `export` and `merge` write it.

#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"

namespace orv::cli {

// What was asked for: the CSV to csvFile, the DS9 regions to ds9File, the CSV to standard
// output when neither is given.
struct CatalogueOutput {
    std::optional<std::string> csvFile, ds9File;
};

// Writes the catalogue; each file as core/output_file.h writes it ("-" is standard output, a
// link is written through, a FIFO or device directly, other special files refused). Says on
// standard error what could not be written (a DS9 file needs c.pictureHeight; `noHeight` says why
// it is unknown). Returns whether everything asked for was written, and the names of the files
// written in `written`
// ("a.csv and a.reg").
bool writeCatalogue(const catalogue::Catalogue& c, const CatalogueOutput& out,
                    const std::string& noHeight, std::string& written);

}  // namespace orv::cli
