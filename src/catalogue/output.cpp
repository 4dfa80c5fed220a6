#include "catalogue/output.h"

#include <algorithm>

#include "core/output_file.h"
#include "core/paths.h"
#include "core/text.h"

namespace orv::catalogue {

namespace {

std::string extension(const std::string& path) {
    const std::string name = core::fileNameOf(path);
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? "" : core::lowerCase(name.substr(dot));
}

}  // namespace

std::optional<OutputFormat> formatOfPath(const std::string& path) {
    const std::string ext = extension(path);
    if (ext == ".csv") return OutputFormat::Csv;
    if (ext == ".ecsv") return OutputFormat::Ecsv;
    if (ext == ".fits" || ext == ".fit" || ext == ".fts") return OutputFormat::Fits;
    if (ext == ".reg") return OutputFormat::Ds9;
    return std::nullopt;
}

std::optional<OutputFormat> formatOfName(const std::string& name) {
    const std::string n = core::lowerCase(name);
    if (n == "csv") return OutputFormat::Csv;
    if (n == "ecsv") return OutputFormat::Ecsv;
    if (n == "fits") return OutputFormat::Fits;
    if (n == "ds9") return OutputFormat::Ds9;
    return std::nullopt;
}

const char* extensionOf(OutputFormat f) {
    switch (f) {
        case OutputFormat::Csv:
            return ".csv";
        case OutputFormat::Ecsv:
            return ".ecsv";
        case OutputFormat::Fits:
            return ".fits";
        case OutputFormat::Ds9:
            break;
    }
    return ".reg";
}

core::Result<std::string> catalogueBytes(const Catalogue& c, OutputFormat f) {
    switch (f) {
        case OutputFormat::Csv:
            return csvBytes(catalogueTable(c));
        case OutputFormat::Ecsv:
            return ecsvBytes(catalogueTable(c));
        case OutputFormat::Fits:
            return fitsBytes(catalogueTable(c));
        case OutputFormat::Ds9:
            break;
    }
    if (c.pictureHeight <= 0)
        return core::Error{"the picture's height is unknown, which DS9 regions need"};
    std::string bytes;
    for (const std::string& line : ds9Lines(c)) bytes += line + '\n';
    return bytes;
}

core::Result<void> writeOutput(const std::string& path, std::string_view bytes) {
    return core::writeOutputFile(path, bytes);
}

core::Result<void> writeCatalogueFile(const Catalogue& c, const std::string& path,
                                      OutputFormat fallback) {
    auto bytes = catalogueBytes(c, formatOfPath(path).value_or(fallback));
    if (!bytes) return core::Error{bytes.error()};
    return writeOutput(path, bytes.value());
}

}  // namespace orv::catalogue
