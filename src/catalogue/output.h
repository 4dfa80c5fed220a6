#pragma once
// A catalogue in the form its file's name asks for, made in memory and written through one
// function.
//
//   .csv  CSV with a header line, LF line ends      .ecsv  ECSV 1.0 (units, metadata)
//   .fits .fit .fts  FITS binary table (CFITSIO)    .reg   DS9 regions

#include <optional>
#include <string>
#include <string_view>

#include "catalogue/catalogue.h"
#include "core/result.h"

namespace orv::catalogue {

enum class OutputFormat { Csv, Ecsv, Fits, Ds9 };

// The format for a file name by its extension (any case); nothing for another extension.
std::optional<OutputFormat> formatOfPath(const std::string& path);
// The format for its name ("csv", "ecsv", "fits", "ds9"); nothing for another word.
std::optional<OutputFormat> formatOfName(const std::string& name);
// The extension written for a format (".csv", ".ecsv", ".fits", ".reg").
const char* extensionOf(OutputFormat f);

// The bytes of the catalogue in that format. Fails with a message for DS9 regions without
// the picture's height, or when the FITS table cannot be made.
core::Result<std::string> catalogueBytes(const Catalogue& c, OutputFormat f);

// Writes output bytes as core/output_file.h writes a file a user names: "-" to standard
// output, a link written through, a FIFO or character device directly, other special files
// refused, a regular file written anew keeping its permissions. Fails with a message naming
// the path.
core::Result<void> writeOutput(const std::string& path, std::string_view bytes);

// The catalogue written to `path` (writeOutput) in the format its extension names, `fallback`
// for a name without one of them ("-").
core::Result<void> writeCatalogueFile(const Catalogue& c, const std::string& path,
                                      OutputFormat fallback);

}  // namespace orv::catalogue
