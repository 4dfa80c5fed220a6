#include "core/settings.h"

#include <gtest/gtest.h>

#include "support/test_app.h"

namespace orv::core {
namespace {

// A settings file for a run (--settings): a number that its type cannot hold would be read as
// 0, so it is refused naming the key; a number the type holds reads as it always did.
TEST(SettingsFile, ARunRefusesNumbersBeyondTheirTypeAndReadsTheRestAsBefore) {
    struct Case {
        const char* line;  // replaces the key's line of the standard file
        bool refused;
        const char* key;
    };
    const Case cases[] = {
        {"Siki = 1e400", true, "Siki"},                 // beyond a Double
        {"HeikinWidth = 100000", true, "HeikinWidth"},  // beyond 16 bits
        {"SikiTop = 32767.6", true, "SikiTop"},         // rounds to 32768
        {"NumPixel = 3.5e38", true, "NumPixel"},        // beyond a Single
        {"Margin = -1e39", true, "Margin"},
        {"PSFAnnulus = 1e39", true, "PSFAnnulus"},
        {"SikiTop = 32767.4", false, "SikiTop"},
        {"NumPixel = 3.4e38", false, "NumPixel"},
        {"HeikinWidth = -32768", false, "HeikinWidth"},
        {"PSFAnnulus = abc", false, "PSFAnnulus"},  // the PSF keys are not required
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        const std::string key = c.key;
        std::string text;
        for (const std::string& line :
             {std::string("[SYSTEM]"), std::string("HeikinWidth = 4"), std::string("SikiTop = 240"),
              std::string("Siki = 4"), std::string("NumPixel = 5"), std::string("NumPixel2 = 12"),
              std::string("Sinendo = 2"), std::string("SinendoMax = 30"), std::string("Margin = 0"),
              std::string("[PSF]"), std::string("PSFAnnulus = 4")})
            text += (line.rfind(key + " =", 0) == 0 ? std::string(c.line) : line) + "\r\n";
        test::writeFile(dir.file("s.ini"), text);
        const auto read = readSettingsFileStrictly(dir.file("s.ini"));
        EXPECT_EQ(!read, c.refused) << c.line;
        if (!read) {
            EXPECT_NE(read.error().find(c.line), std::string::npos) << read.error();
            continue;
        }
        const Settings loose = readSettingsFile(dir.file("s.ini"));
        EXPECT_EQ(read->HeikinWidth, loose.HeikinWidth) << c.line;
        EXPECT_EQ(read->SikiTop, loose.SikiTop) << c.line;
        EXPECT_EQ(read->NumPixel, loose.NumPixel) << c.line;
        EXPECT_EQ(read->PSFAnnulus, loose.PSFAnnulus) << c.line;
    }
}

}  // namespace
}  // namespace orv::core
