// The engine where the CFITSIO library cannot be loaded: this binary does not link it, and its
// loader looks for a library no system has. Reading a FITS picture and writing a FITS table both
// refuse with a message that names the library, and nothing crashes.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "catalogue/table.h"
#include "formats/fits.h"

namespace orv {
namespace {

// A FITS header card: 80 characters.
std::string card(const std::string& text) {
    return text + std::string(80 - text.size(), ' ');
}

TEST(CfitsioMissing, ReadingAndWritingFitsSayTheLibraryCannotBeLoaded) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("orvandel-no-cfitsio-" + std::to_string(::getpid()) + ".fits"))
                                 .string();
    std::string header =
        card("SIMPLE  =                    T") + card("BITPIX  =                    8") +
        card("NAXIS   =                    2") + card("NAXIS1  =                    4") +
        card("NAXIS2  =                    4") + card("END");
    header.resize(2880, ' ');
    std::ofstream(path, std::ios::binary) << header << std::string(2880, '\0');

    const auto read = formats::readFits(path);
    std::filesystem::remove(path);
    ASSERT_FALSE(read);
    EXPECT_NE(read.error().find("CFITSIO"), std::string::npos) << read.error();
    EXPECT_NE(read.error().find("libcfitsio-missing.so.0"), std::string::npos) << read.error();

    catalogue::Table t;
    t.columns.push_back({"id", catalogue::ColumnType::Integer, "", ""});
    t.rows.push_back({"1"});
    const auto written = catalogue::fitsBytes(t);
    ASSERT_FALSE(written);
    EXPECT_NE(written.error().find("libcfitsio-missing.so.0"), std::string::npos)
        << written.error();
}

}  // namespace
}  // namespace orv
