#include "catalogue_output.h"

#include <cstdio>

namespace orv::cli {

namespace {

bool write(const catalogue::Catalogue& c, catalogue::OutputFormat format, const std::string& path,
           const std::string& noHeight) {
    auto bytes = catalogue::catalogueBytes(c, format);
    if (!bytes) {
        const std::string why = format == catalogue::OutputFormat::Ds9
                                    ? noHeight + "; no DS9 file written"
                                    : bytes.error();
        std::fprintf(stderr, "orvandel-cli: %s\n", why.c_str());
        return false;
    }
    if (auto r = catalogue::writeOutput(path, bytes.value()); !r) {
        std::fprintf(stderr, "orvandel-cli: %s\n", r.error().c_str());
        return false;
    }
    return true;
}

}  // namespace

std::string outputFileProblem(const std::optional<std::string>& file) {
    if (!file || *file == "-" || catalogue::formatOfPath(*file)) return "";
    return "-o takes a file ending in .csv, .ecsv, .fits or .reg, not " + *file;
}

bool writeCatalogue(const catalogue::Catalogue& c, const CatalogueOutput& out,
                    const std::string& noHeight, std::vector<std::string>& written) {
    bool complete = true;
    written.clear();
    auto put = [&](catalogue::OutputFormat format, const std::string& path) {
        if (!write(c, format, path, noHeight))
            complete = false;
        else if (path != "-")
            written.push_back(path);
    };
    if (out.file) {
        put(catalogue::formatOfPath(*out.file).value_or(catalogue::OutputFormat::Csv), *out.file);
    } else if (!out.ds9File) {
        put(catalogue::OutputFormat::Csv, "-");
    }
    if (out.ds9File) put(catalogue::OutputFormat::Ds9, *out.ds9File);
    return complete;
}

std::string joinedNames(const std::vector<std::string>& files) {
    std::string text;
    for (const std::string& f : files) text += (text.empty() ? "" : " and ") + f;
    return text;
}

}  // namespace orv::cli
