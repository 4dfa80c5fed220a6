#include "catalogue_output.h"

#include <cstdio>

#include "core/output_file.h"
#include "core/text_file.h"

namespace orv::cli {

namespace {

bool write(const std::string& path, const std::vector<std::string>& lines) {
    if (auto r = core::writeOutputFile(path, core::joinLines(lines)); !r) {
        std::fprintf(stderr, "orvandel-cli: %s\n", r.error().c_str());
        return false;
    }
    return true;
}

}  // namespace

bool writeCatalogue(const catalogue::Catalogue& c, const CatalogueOutput& out,
                    const std::string& noHeight, std::string& written) {
    bool complete = true;
    written.clear();
    auto wrote = [&](const std::string& file) {
        written += (written.empty() ? "" : " and ") + file;
    };
    if (out.csvFile) {
        if (write(*out.csvFile, catalogue::csvLines(c)))
            wrote(*out.csvFile);
        else
            complete = false;
    } else if (!out.ds9File) {
        for (const std::string& line : catalogue::csvLines(c))
            std::fputs((line + core::kCrLf).c_str(), stdout);
        if (std::fflush(stdout) != 0) complete = false;
    }
    if (out.ds9File) {
        if (c.pictureHeight <= 0) {
            std::fprintf(stderr, "orvandel-cli: %s; no DS9 file written\n", noHeight.c_str());
            complete = false;
        } else if (write(*out.ds9File, catalogue::ds9Lines(c))) {
            wrote(*out.ds9File);
        } else {
            complete = false;
        }
    }
    return complete;
}

}  // namespace orv::cli
