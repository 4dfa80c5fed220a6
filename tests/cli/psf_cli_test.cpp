// orvandel-cli psf, run as a user runs it.

#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli_run.h"
#include "core/numeric.h"
#include "core/text_file.h"

namespace orv::test {
namespace {

std::string psfSettings(const TempDir& dir, const std::string& psf) {
    const std::string path = dir.file("psf.ini");
    writeFile(path, readFile(standardSettings(dir)) + "[PSF]\r\n" + psf);
    return path;
}

TEST(CliPsf, MeasuresAdoptsAndSavesAsTheWindowDoes) {
    TempDir dir;
    writeField(dir.file("field.bmp"), 11, 200, 40);
    const std::string settings =
        psfSettings(dir, "PSFFactorRSD = 2\r\nPSFAnnulus = 4\r\nPSFDAnnulus = 2\r\n");
    const std::string image = dir.file("field.bmp");
    ASSERT_EQ(cli("detect --jobs 1 --settings " + settings + " " + image, dir).status, 0);
    // Every circular result not deleted, in number order.
    std::vector<std::string> circular;
    for (const auto& line : core::splitLines(readFile(dir.file("field.bmp.dir/field.bmp.dat")))) {
        const auto f = core::splitCommaFields(line);
        if (f[4] == "3" && f[5] == "0") circular.push_back(f[0]);
    }
    ASSERT_GT(circular.size(), 5u);

    CliRun r = cli("psf --settings " + settings + " --save " + dir.file("out") + " " + image, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto out = core::splitLines(r.out);
    ASSERT_EQ(out.size(), circular.size() + 3);
    std::vector<std::string> measured;
    for (size_t i = 0; i < circular.size(); ++i) {
        std::istringstream line(out[i]);
        std::string no, second;
        line >> no >> second;
        EXPECT_EQ(no, circular[i]);
        if (second == "skipped:") continue;
        measured.push_back(out[i]);
        double x, sigma, peak, sky;
        EXPECT_TRUE(static_cast<bool>(std::istringstream(second) >> x)) << out[i];
        EXPECT_TRUE(static_cast<bool>(line >> x >> sigma >> peak >> sky)) << out[i];
    }
    ASSERT_FALSE(measured.empty());
    // The files hold the adopted profiles, and the summary lines their mean and spread.
    const auto records = core::splitLines(readFile(dir.file("out/PSFData.txt")));
    ASSERT_EQ(records.size(), measured.size());
    for (size_t i = 0; i < records.size(); ++i) {
        const auto f = core::splitCommaFields(records[i]);
        std::istringstream line(measured[i]);
        std::string no, x, y, sigma, peak;
        line >> no >> x >> y >> sigma >> peak;
        EXPECT_EQ(f[0], std::to_string(i + 1));
        EXPECT_EQ(f[1] + " " + f[2] + " " + f[3] + " " + f[7] + " " + f[8],
                  no + " " + x + " " + y + " " + sigma + " " + peak);
        EXPECT_EQ(f[13], "field.bmp");
    }
    const std::string ini = readFile(dir.file("out/PSFData.ini"));
    EXPECT_NE(ini.find("DataNo =  " + std::to_string(records.size()) + "\r\n"), std::string::npos);
    for (const std::string key : {"PSFsd = ", "PSFsdd = "}) {
        const std::string& summary = out[circular.size() + (key == "PSFsd = " ? 0 : 1)];
        ASSERT_EQ(summary.rfind(key, 0), 0u) << summary;
        EXPECT_NE(ini.find(key + " " + summary.substr(key.size()) + "\r\n"), std::string::npos)
            << summary;
    }

    // A star named but not measurable makes the run incomplete.
    r = cli("psf --settings " + settings + " --star " +
                measured[0].substr(0, measured[0].find(' ')) + " --star 49999 " + image,
            dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("49999 skipped: no result 49999"), std::string::npos) << r.out;
}

TEST(CliPsf, SaysWhyItCannotMeasure) {
    TempDir dir;
    writeField(dir.file("field.bmp"), 12);
    const std::string image = dir.file("field.bmp");
    const std::string good = psfSettings(dir,
                                         "PSFFactorRSD = 2\r\nPSFAnnulus = 4\r\n"
                                         "PSFDAnnulus = 2\r\n");
    CliRun r = cli("psf --settings " + good + " " + image, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no saved results"), std::string::npos) << r.err;

    ASSERT_EQ(cli("detect --jobs 1 --settings " + good + " " + image, dir).status, 0);
    const std::string wide = psfSettings(dir,
                                         "PSFFactorRSD = 2\r\nPSFAnnulus = 10\r\n"
                                         "PSFDAnnulus = 6\r\n");
    r = cli("psf --settings " + wide + " " + image, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("PSFAnnulus + PSFDAnnulus 16 is above 15"), std::string::npos) << r.err;

    EXPECT_EQ(cli("psf --star abc " + image, dir).status, 2);
    EXPECT_EQ(cli("psf", dir).status, 2);
    r = cli("psf --help", dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("usage: orvandel-cli psf"), std::string::npos);
}

}  // namespace
}  // namespace orv::test
