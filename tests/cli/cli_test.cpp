// orvandel-cli as a user runs it: exit codes, output lines, and the files it writes.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>

#include "cli/cli_run.h"

namespace orv::test {
namespace {

TEST(Cli, DetectWritesTheSameFilesAsStored) {
    TempDir dir;
    writeField(dir.file("field.bmp"), 7);
    CliRun r = cli(
        "detect --jobs 1 --settings " + standardSettings(dir) + " " + dir.file("field.bmp"), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::regex_match(
        r.out, std::regex(".*/field\\.bmp: [0-9]+ results: noise [0-9]+, area [0-9]+, "
                          "star [1-9][0-9]*, elongated [0-9]+\n")))
        << r.out;
    const std::string base = dir.file("field.bmp.dir/field.bmp");
    EXPECT_EQ(readFile(base + ".dat"), readFile(std::string(ORV_TEST_DATA) + "/cli/field.bmp.dat"));
    // The settings file names the picture's folder, which differs from run to run.
    std::string ini = readFile(base + ".dat.ini");
    ini = std::regex_replace(ini, std::regex("DoFilePath = [^\r]*"), "DoFilePath = <folder>");
    EXPECT_EQ(ini, readFile(std::string(ORV_TEST_DATA) + "/cli/field.bmp.dat.ini"));
    const std::string log = readFile(base + ".log");
    EXPECT_TRUE(std::regex_match(log, std::regex("(\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d "
                                                 "(■恒星位置抽出|＞背景処理完了|＞クラスタ処理完了|"
                                                 "＞恒星抽出完了|■データ保存完了)\r\n){5}")))
        << log;
}

TEST(Cli, ParallelJobsWriteByteIdenticalResults) {
    TempDir serial, parallel;
    std::string names;
    for (uint32_t seed = 1; seed <= 5; ++seed) {
        const std::string name = "f" + std::to_string(seed) + ".bmp";
        writeField(serial.file(name), seed, 200, 60);
        std::filesystem::copy_file(serial.file(name), parallel.file(name));
        names += " " + name;
    }
    auto run = [&](const TempDir& dir, const char* jobs) {
        return cli(std::string("detect --jobs ") + jobs + " --hyotan --channel Y --settings " +
                       standardSettings(dir) + " " + names,
                   dir);
    };
    // Relative names, as a user types them.
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(serial.path());
    CliRun one = run(serial, "1");
    std::filesystem::current_path(parallel.path());
    CliRun three = run(parallel, "3");
    std::filesystem::current_path(cwd);
    ASSERT_EQ(one.status, 0) << one.err;
    ASSERT_EQ(three.status, 0) << three.err;
    // The lines come in the order of the pictures whatever finishes first.
    EXPECT_EQ(std::regex_replace(one.out, std::regex("/tmp/[^/]*/"), ""),
              std::regex_replace(three.out, std::regex("/tmp/[^/]*/"), ""));
    for (uint32_t seed = 1; seed <= 5; ++seed) {
        const std::string dat =
            "f" + std::to_string(seed) + ".bmp.dir/f" + std::to_string(seed) + ".bmp.dat";
        EXPECT_FALSE(readFile(serial.file(dat)).empty());
        EXPECT_EQ(readFile(serial.file(dat)), readFile(parallel.file(dat))) << dat;
    }
}

TEST(Cli, FailuresAndUsageErrors) {
    TempDir dir;
    writeField(dir.file("ok.bmp"), 3);
    writeFile(dir.file("broken.bmp"), "BM not really");
    const std::string settings = " --settings " + standardSettings(dir);
    CliRun r = cli("detect" + settings + " " + dir.file("ok.bmp") + " " + dir.file("broken.bmp") +
                       " " + dir.file("none.bmp"),
                   dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("ok.bmp: "), std::string::npos);
    EXPECT_NE(r.err.find("broken.bmp: failed: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("none.bmp: failed: "), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.bmp.dir")));

    for (const char* bad : {"", "detect", "detect --jobs 0 x.bmp", "detect --channel Q x.bmp",
                            "detect --frobnicate x.bmp", "batch a.txt b.txt", "frobnicate",
                            "detect --settings /nonexistent/Orvandel.ini x.bmp"})
        EXPECT_EQ(cli(bad, dir).status, 2) << bad;
    for (const char* help : {"--help", "detect --help", "batch --help", "--version"}) {
        CliRun h = cli(help, dir);
        EXPECT_EQ(h.status, 0) << help;
        EXPECT_FALSE(h.out.empty()) << help;
    }
}

TEST(Cli, BatchRunsAListWithItsLog) {
    TempDir dir;
    writeField(dir.file("a.bmp"), 11);
    writeField(dir.file("c.bmp"), 12);
    writeFile(dir.file("tiles.txt"), "\"" + dir.path() + "\",\"a.bmp\"\r\n" + dir.path() +
                                         ",gone.bmp\r\n\r\n" + dir.path() + ",c.bmp\r\n");
    CliRun r = cli(
        "batch --jobs 2 --settings " + standardSettings(dir) + " " + dir.file("tiles.txt"), dir);
    EXPECT_EQ(r.status, 1);  // gone.bmp failed
    EXPECT_NE(r.err.find("gone.bmp: failed"), std::string::npos);
    std::string log = readFile(dir.file("tiles.txt.log"));
    log = std::regex_replace(log, std::regex("\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d"), "T");
    EXPECT_EQ(log, "T 001 a.bmp 処理開始\r\nT " + dir.path() +
                       "/a.bmp 処理終了\r\nT 002 gone.bmp 処理開始\r\nT " + dir.path() +
                       "/gone.bmp 読込エラー\r\nT 003 c.bmp 処理開始\r\nT " + dir.path() +
                       "/c.bmp 処理終了\r\nT バッチ処理終了\r\n");
    EXPECT_TRUE(std::filesystem::exists(dir.file("c.bmp.dir/c.bmp.dat")));
}

TEST(Cli, FitsAndSixteenBitPngOfOneFieldGiveTheSameResults) {
    TempDir dir;
    writeDeepField(dir.file("field.fits"));
    writeDeepField(dir.file("field.png"));
    CliRun r = cli("detect --jobs 1 --settings " + standardSettings(dir) + " " +
                       dir.file("field.fits") + " " + dir.file("field.png"),
                   dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(
        std::regex_search(r.out, std::regex("field\\.fits: [0-9]+ results: .* star [1-9]")));
    const std::string fits = readFile(dir.file("field.fits.dir/field.fits.dat"));
    EXPECT_FALSE(fits.empty());
    EXPECT_EQ(fits, readFile(dir.file("field.png.dir/field.png.dat")));
    // The stretch used is recorded so that the result can be reproduced.
    const std::string ini = readFile(dir.file("field.fits.dir/field.fits.dat.ini"));
    EXPECT_TRUE(std::regex_search(ini, std::regex("StarAtrNo_4_10 = 0\r\n\\[STRETCH\\]\r\n"
                                                  "Stretch = percentile:0.1,99.9\r\n"
                                                  "StretchBlack = [0-9.]+\r\n"
                                                  "StretchWhite = [0-9.]+\r\n$")))
        << ini;
    EXPECT_TRUE(std::regex_search(readFile(dir.file("field.fits.dir/field.fits.log")),
                                  std::regex("^\\S+ \\S+ ＞ストレッチ percentile:0.1,99.9 黒 ")));
}

TEST(Cli, TheStretchOptionAndUnreadableFitsFiles) {
    TempDir dir;
    writeDeepField(dir.file("a.fits"));
    const std::string settings = " --settings " + standardSettings(dir) + " ";
    CliRun r = cli("detect --stretch range:1000,20000" + settings + dir.file("a.fits"), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(readFile(dir.file("a.fits.dir/a.fits.dat.ini"))
                  .find("Stretch = range:1000,20000\r\nStretchBlack = 1000\r\n"
                        "StretchWhite = 20000\r\n"),
              std::string::npos);
    for (const char* bad : {"percentile:5", "range:9,1", "log"})
        EXPECT_EQ(cli(std::string("detect --stretch ") + bad + " a.fits", dir).status, 2) << bad;

    std::string bytes = readFile(dir.file("a.fits"));
    writeFile(dir.file("cut.fits"), bytes.substr(0, bytes.size() / 2));
    r = cli("detect" + settings + dir.file("cut.fits"), dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cut.fits: failed: FITS ファイルを読み込めません"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("データが途中で切れています"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("cut.fits.dir")));
}

}  // namespace
}  // namespace orv::test
