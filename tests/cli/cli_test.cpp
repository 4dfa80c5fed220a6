// orvandel-cli as a user runs it: exit codes, output lines, and the files it writes.

#include <gtest/gtest.h>

#include <sys/stat.h>

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
                                                 "＞ノイズ σ = 1\\.[0-9][0-9]、推奨クラスタ閾値 "
                                                 "[345]（2\\.75σ）|"
                                                 "＞恒星抽出完了|■データ保存完了)\r\n){6}")))
        << log;
}

// With the detection filter off (--filter 0, also over a settings file that has it on, or a
// settings file whose [DETECT] says 0) the result pair is the stored one, byte for byte.
TEST(Cli, TheFilterOffWritesTheSameFilesAsStored) {
    TempDir dir;
    writeField(dir.file("field.bmp"), 7);
    const std::string standard = standardSettings(dir);
    writeFile(dir.file("off.ini"), readFile(standard) + "[DETECT]\r\nFilterSigma = 0\r\n");
    writeFile(dir.file("on.ini"), readFile(standard) + "[DETECT]\r\nFilterSigma = 1.5\r\n");
    for (const std::string& options :
         {"--filter 0 --settings " + standard, "--settings " + dir.file("off.ini"),
          "--filter 0 --settings " + dir.file("on.ini")}) {
        SCOPED_TRACE(options);
        std::filesystem::remove_all(dir.file("field.bmp.dir"));
        CliRun r = cli("detect --jobs 1 " + options + " " + dir.file("field.bmp"), dir);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string base = dir.file("field.bmp.dir/field.bmp");
        EXPECT_EQ(readFile(base + ".dat"),
                  readFile(std::string(ORV_TEST_DATA) + "/cli/field.bmp.dat"));
        std::string ini = readFile(base + ".dat.ini");
        ini = std::regex_replace(ini, std::regex("DoFilePath = [^\r]*"), "DoFilePath = <folder>");
        EXPECT_EQ(ini, readFile(std::string(ORV_TEST_DATA) + "/cli/field.bmp.dat.ini"));
        EXPECT_EQ(readFile(base + ".log").find("検出フィルタ"), std::string::npos);
    }
}

// --filter SIGMA with --threshold-sigma K: the threshold of the smoothed residual with two
// decimals, recorded in the output line, the result pair and the log.
TEST(Cli, TheFilterThresholdsTheSmoothedResidualAndIsRecorded) {
    TempDir dir;
    writeField(dir.file("field.bmp"), 7);
    for (const char* list : {"", "batch"}) {
        SCOPED_TRACE(list);
        std::filesystem::remove_all(dir.file("field.bmp.dir"));
        std::string command = "detect --jobs 1 --filter 1 --threshold-sigma 3.25 --settings " +
                              standardSettings(dir) + " " + dir.file("field.bmp");
        if (*list) {
            writeFile(dir.file("list.txt"), "\"" + dir.path() + "\",\"field.bmp\"\r\n");
            command = "batch --jobs 1 --filter 1 --threshold-sigma 3.25 --settings " +
                      standardSettings(dir) + " " + dir.file("list.txt");
        }
        CliRun r = cli(command, dir);
        ASSERT_EQ(r.status, 0) << r.err;
        std::smatch m;
        ASSERT_TRUE(std::regex_search(
            r.out, m, std::regex("\\(Siki ([0-9]\\.[0-9]{1,2}), noise sigma 0\\.[0-9]{2}\\)\n")))
            << r.out;
        const std::string siki = m[1];
        const std::string base = dir.file("field.bmp.dir/field.bmp");
        const std::string ini = readFile(base + ".dat.ini");
        EXPECT_NE(ini.find("\r\nSiki = " + siki + "\r\n"), std::string::npos) << ini;
        EXPECT_NE(ini.find("StarAtrNo_4_10 = 0\r\n[DETECT]\r\nFilterSigma = 1\r\nSiki = " + siki +
                           "\r\n"),
                  std::string::npos)
            << ini;
        const std::string log = readFile(base + ".log");
        EXPECT_NE(
            log.find("＞検出フィルタ σ = 1、クラスタ閾値 " + siki + "（平滑化した背景との差）"),
            std::string::npos)
            << log;
    }
    for (const char* bad : {"--filter 9", "--filter 0.2", "--filter x", "--filter -1"})
        EXPECT_EQ(cli(std::string("detect ") + bad + " x.bmp", dir).status, 2) << bad;
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
                            "detect --threshold-sigma 0 x.bmp", "batch --threshold-sigma x a.txt",
                            "detect --frobnicate x.bmp", "batch a.txt b.txt", "frobnicate",
                            "detect --settings /nonexistent/Orvandel.ini x.bmp"})
        EXPECT_EQ(cli(bad, dir).status, 2) << bad;
    for (const char* help : {"--help", "detect --help", "batch --help", "--version"}) {
        CliRun h = cli(help, dir);
        EXPECT_EQ(h.status, 0) << help;
        EXPECT_FALSE(h.out.empty()) << help;
    }
}

TEST(Cli, ThresholdSigmaSetsSikiPerPictureAndRecordsIt) {
    TempDir dir;
    // Noise sigma 2: the settings' Siki 4 is only 2 sigma; 3 sigma is Siki 6.
    auto spec = bench::denseField(300, 300, 60, 5);
    spec.noiseSigma = 2.0;
    auto field = bench::generateStarField(spec);
    ASSERT_TRUE(bench::writeBmp(dir.file("noisy.bmp"), field.width, field.height, field.rgb));
    CliRun r = cli("detect --jobs 1 --threshold-sigma 3 --settings " + standardSettings(dir) + " " +
                       dir.file("noisy.bmp"),
                   dir);
    ASSERT_EQ(r.status, 0) << r.err;
    std::smatch m;
    ASSERT_TRUE(
        std::regex_search(r.out, m, std::regex("\\(Siki ([0-9]+), noise sigma 2\\.[0-9]{2}\\)\n")))
        << r.out;
    const std::string siki = m[1];
    EXPECT_EQ(siki, "6");
    const std::string base = dir.file("noisy.bmp.dir/noisy.bmp");
    EXPECT_NE(readFile(base + ".dat.ini").find("\r\nSiki = " + siki + "\r\n"), std::string::npos);
    // Every cluster was filled with it.
    const std::string dat = readFile(base + ".dat");
    ASSERT_FALSE(dat.empty());
    const std::regex lines("[^\r]+\r\n");
    for (std::sregex_iterator line(dat.begin(), dat.end(), lines), end; line != end; ++line) {
        std::smatch fields;
        const std::string text = line->str();
        ASSERT_TRUE(std::regex_search(text, fields, std::regex("^[0-9]+,[^,]*,[^,]*,([^,]*),")));
        ASSERT_EQ(fields[1], siki) << text;
    }
    EXPECT_NE(readFile(base + ".log").find("＞クラスタ閾値 " + siki + " を使用（3σ）\r\n"),
              std::string::npos);
}

// A picture on which the library reading it crashes or never ends is refused with the reason;
// a batch names it in its log and goes on with the next record.
TEST(Cli, ABatchGoesOnPastPicturesThatCrashOrHangTheirReader) {
    TempDir dir;
    for (const char* name : {"rice_crash.fits", "gzip_hang.fits"})
        std::filesystem::copy_file(std::string(ORV_TEST_DATA) + "/fits/" + name, dir.file(name));
    writeField(dir.file("after.bmp"), 31);
    writeFile(dir.file("list.txt"), ",rice_crash.fits\r\n,gzip_hang.fits\r\n,after.bmp\r\n");
    CliRun r =
        cli("batch --jobs 1 --settings " + standardSettings(dir) + " " + dir.file("list.txt"), dir);
    EXPECT_EQ(r.status, 1);
    const std::string log = readFile(dir.file("list.txt.log"));
    EXPECT_NE(log.find(dir.file("rice_crash.fits") + " 読込エラー: 画像を読み込めません: " +
                       dir.file("rice_crash.fits") + " (読み込み中に異常終了しました: "),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(dir.file("gzip_hang.fits") + " 読込エラー: "), std::string::npos) << log;
    EXPECT_NE(log.find(dir.file("after.bmp") + " 処理終了"), std::string::npos) << log;
    EXPECT_NE(log.find("バッチ処理終了 (2 件失敗)"), std::string::npos) << log;
    EXPECT_TRUE(std::filesystem::exists(dir.file("after.bmp.dir/after.bmp.dat")));
    for (const char* name : {"rice_crash.fits: failed: ", "gzip_hang.fits: failed: "})
        EXPECT_NE(r.err.find(name), std::string::npos) << r.err;
}

// A FIFO or a folder named like a FITS file: detect, export and psf say what it is and never
// wait for a writer; what is given as a list or a picture and is no file says so too.
TEST(Cli, FitsNamedFifosAndFoldersAndOtherNonFiles) {
    TempDir dir;
    writeDeepField(dir.file("p.fits"));
    writeFile(dir.file("psf.ini"), readFile(standardSettings(dir)) +
                                       "[PSF]\r\nPSFFactorRSD = 2\r\nPSFAnnulus = 4\r\n"
                                       "PSFDAnnulus = 2\r\n");
    const std::string settings = " --settings " + dir.file("psf.ini") + " ";
    ASSERT_EQ(cli("detect" + settings + dir.file("p.fits"), dir).status, 0);
    std::filesystem::remove(dir.file("p.fits"));
    ASSERT_EQ(mkfifo(dir.file("p.fits").c_str(), 0644), 0);
    std::filesystem::create_directory(dir.file("d.fits"));
    CliRun r = cli("detect" + settings + dir.file("p.fits") + " " + dir.file("d.fits"), dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("p.fits (通常のファイルではありません)"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("d.fits (フォルダーです"), std::string::npos) << r.err;
    r = cli("export " + dir.file("p.fits"), dir);  // the results are there; the header is not
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("通常のファイルではありません"), std::string::npos) << r.err;
    r = cli("psf" + settings + dir.file("p.fits"), dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("通常のファイルではありません"), std::string::npos) << r.err;

    r = cli("batch" + settings + dir.file("d.fits"), dir);
    EXPECT_NE(r.err.find("batch list is a folder, not a file: "), std::string::npos) << r.err;
    r = cli("tiles " + dir.file("p.fits"), dir);
    EXPECT_NE(r.err.find("picture is not a regular file (a FIFO"), std::string::npos) << r.err;
}

// The warnings of a library under the toolkit's readers (libpng's about a damaged text chunk)
// stay off standard error, where the program's own lines are.
TEST(Cli, LibraryWarningsStayOffStandardError) {
    TempDir dir;
    writeDeepField(dir.file("p.png"));
    std::string png = readFile(dir.file("p.png"));
    // A text chunk with a wrong checksum after the header chunk (8 + 25 bytes).
    png.insert(33, std::string("\0\0\0\x05tEXtab\0cd\xDE\xAD\xBE\xEF", 17));
    writeFile(dir.file("p.png"), png);
    CliRun r = cli("detect --settings " + standardSettings(dir) + " " + dir.file("p.png"), dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
}

// The command line starts without CFITSIO, which brings some thirty libraries with it, and loads
// it when a FITS picture comes.
TEST(Cli, CfitsioIsLoadedForFitsPicturesOnly) {
    TempDir dir;
    writeField(dir.file("f.bmp"), 3);
    writeDeepField(dir.file("f.fits"));
    // The loader lists every library it opens on standard error.
    auto loadsCfitsio = [&](const std::string& picture) {
        ::setenv("LD_DEBUG", "files", 1);
        const CliRun r = cli("detect --settings " + standardSettings(dir) + " " + picture, dir);
        ::unsetenv("LD_DEBUG");
        EXPECT_EQ(r.status, 0) << r.err;
        return r.err.find("libcfitsio") != std::string::npos;
    };
    EXPECT_FALSE(loadsCfitsio(dir.file("f.bmp")));
    EXPECT_TRUE(loadsCfitsio(dir.file("f.fits")));
}

// What is no picture file is refused at once, each case with its own reason.
TEST(Cli, AFifoAFolderAndAMissingFileEachSayWhatTheyAre) {
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.file("fifo.bmp").c_str(), 0644), 0);
    std::filesystem::create_directory(dir.file("folder.bmp"));
    CliRun r = cli("detect --settings " + standardSettings(dir) + " " + dir.file("fifo.bmp") + " " +
                       dir.file("folder.bmp") + " " + dir.file("none.bmp"),
                   dir);
    EXPECT_EQ(r.status, 1);
    for (const char* reason :
         {"fifo.bmp: failed: 画像を読み込めません: ", "通常のファイルではありません",
          "フォルダーです", "ファイルがありません"})
        EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
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
                       "/gone.bmp 読込エラー: 画像を読み込めません: " + dir.path() +
                       "/gone.bmp (ファイルがありません)\r\nT 003 c.bmp 処理開始\r\nT " +
                       dir.path() + "/c.bmp 処理終了\r\nT バッチ処理終了 (1 件失敗)\r\n");
    EXPECT_TRUE(std::filesystem::exists(dir.file("c.bmp.dir/c.bmp.dat")));
}

// Settings that cannot be read, or that are not detection settings, would run as all zeros and
// overwrite good results: they are refused with exit 2 and nothing is written.
TEST(Cli, UnusableSettingsAreRefusedAndGoodResultsKept) {
    TempDir dir;
    writeField(dir.file("f.bmp"), 5);
    ASSERT_EQ(
        cli("detect --settings " + standardSettings(dir) + " " + dir.file("f.bmp"), dir).status, 0);
    const std::string dat = readFile(dir.file("f.bmp.dir/f.bmp.dat"));
    std::filesystem::create_directory(dir.file("folder.ini"));
    const std::pair<const char*, std::string> bad[] = {
        {"empty.ini", ""},
        {"garbage.ini", "\x01\x02 not a settings file \xFF\r\n"},
        {"other.ini", "[PSF]\r\nPSFAnnulus = 4\r\n"},
        {"partial.ini", "[SYSTEM]\r\nSiki = 6\r\n"},
        {"abc.ini",
         "[SYSTEM]\r\nHeikinWidth = 4\r\nSikiTop = 240\r\nSiki = abc\r\nNumPixel = 5\r\n"
         "NumPixel2 = 12\r\nSinendo = 2\r\nSinendoMax = 30\r\nMargin = 0\r\n"},
        {"folder.ini", ""},
        // numbers their types cannot hold, which would run as 0, and a stretch that is none
        {"overflow.ini",
         "[SYSTEM]\r\nHeikinWidth = 4\r\nSikiTop = 240\r\nSiki = 1e400\r\nNumPixel = 5\r\n"
         "NumPixel2 = 12\r\nSinendo = 2\r\nSinendoMax = 30\r\nMargin = 0\r\n"},
        {"wide.ini",
         "[SYSTEM]\r\nHeikinWidth = 100000\r\nSikiTop = 240\r\nSiki = 4\r\nNumPixel = 5\r\n"
         "NumPixel2 = 12\r\nSinendo = 2\r\nSinendoMax = 30\r\nMargin = 0\r\n"},
        {"stretch.ini", readFile(standardSettings(dir)) + "[STRETCH]\r\nStretch = sideways\r\n"},
    };
    for (const auto& [name, content] : bad) {
        if (std::string(name) != "folder.ini") writeFile(dir.file(name), content);
        CliRun r = cli("detect --settings " + dir.file(name) + " " + dir.file("f.bmp"), dir);
        EXPECT_EQ(r.status, 2) << name;
        EXPECT_NE(r.err.find("cannot use the settings file"), std::string::npos) << r.err;
        EXPECT_EQ(readFile(dir.file("f.bmp.dir/f.bmp.dat")), dat) << name;
    }
    // The key is named; psf refuses such a file as detect does.
    for (const auto& [name, key] : {std::pair{"overflow.ini", "Siki = 1e400"},
                                    {"wide.ini", "HeikinWidth = 100000"},
                                    {"stretch.ini", "Stretch"}}) {
        EXPECT_NE(
            cli("detect --settings " + dir.file(name) + " " + dir.file("f.bmp"), dir).err.find(key),
            std::string::npos)
            << name;
        EXPECT_EQ(cli("psf --settings " + dir.file(name) + " " + dir.file("f.bmp"), dir).status, 2)
            << name;
    }
}

// A batch list's relative and empty folders are taken in the list's folder (not the current
// one), a "clipboard" record is refused and logged, a batch log that cannot be written and a
// record file that cannot be replaced end with exit 1 and a message.
TEST(Cli, BatchFoldersAndWhatCannotBeWritten) {
    TempDir dir;
    std::filesystem::create_directories(dir.file("lists/pics"));
    writeField(dir.file("lists/a.bmp"), 21);
    writeField(dir.file("lists/pics/b.bmp"), 22);
    writeFile(dir.file("lists/l.txt"), ",a.bmp\r\npics,b.bmp\r\nclipboard,clipboard\r\n");
    const std::string settings = " --settings " + standardSettings(dir) + " ";
    CliRun r = cli("batch --jobs 1" + settings + dir.file("lists/l.txt"), dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(std::filesystem::exists(dir.file("lists/a.bmp.dir/a.bmp.dat")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("lists/pics/b.bmp.dir/b.bmp.dat")));
    EXPECT_NE(readFile(dir.file("lists/l.txt.log")).find("clipboard/clipboard 読込エラー: "),
              std::string::npos);

    writeFile(dir.file("lists/m.txt"), ",a.bmp\r\n");
    std::filesystem::create_directory(dir.file("lists/m.txt.log"));
    r = cli("batch" + settings + dir.file("lists/m.txt"), dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("the batch log could not be written"), std::string::npos) << r.err;

    const std::string ini = readFile(dir.file("lists/a.bmp.dir/a.bmp.dat.ini"));
    std::filesystem::remove(dir.file("lists/a.bmp.dir/a.bmp.dat"));
    std::filesystem::create_directory(dir.file("lists/a.bmp.dir/a.bmp.dat"));
    r = cli("detect --channel G" + settings + dir.file("lists/a.bmp"), dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("a.bmp: failed: "), std::string::npos) << r.err;
    EXPECT_EQ(readFile(dir.file("lists/a.bmp.dir/a.bmp.dat.ini")), ini);
}

// A picture that fills the cluster table: its results are saved, the row where extraction
// stopped goes to standard error, and the exit status is 1.
TEST(Cli, AFullClusterTableIsNotASuccess) {
    TempDir dir;
    std::vector<uint8_t> rgb(500 * 420 * 3, 0);
    for (int y = 0; y < 420; y += 2)
        for (int x = 0; x < 500; x += 2) std::fill_n(rgb.begin() + (y * 500 + x) * 3, 3, 200);
    ASSERT_TRUE(bench::writeBmp(dir.file("s.bmp"), 500, 420, rgb));
    CliRun r = cli("detect --settings " + standardSettings(dir) + " " + dir.file("s.bmp"), dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("s.bmp: 50000 results"), std::string::npos) << r.out;
    EXPECT_NE(
        r.err.find("s.bmp: incomplete: クラスタが上限の 50000 個に達したため、401 行目から下"),
        std::string::npos)
        << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir.file("s.bmp.dir/s.bmp.dat")));
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
