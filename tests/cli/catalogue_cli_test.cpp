// orvandel-cli export and batch shards, run as a user runs them.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <regex>
#include <thread>

#include "cli/cli_run.h"
#include "core/text_file.h"

namespace orv::test {
namespace {

std::vector<std::string> lines(const std::string& text) {
    return core::splitLines(text);
}

// The CSV line that result line k (0-based) of the record file and its line in the
// measurement file give, column by column.
std::string expectedCsvLine(size_t k, const std::string& datLine, const std::string& measLine,
                            const std::string& picture) {
    const auto f = core::splitCommaFields(datLine);
    const auto m = core::splitCommaFields(measLine);
    auto field = [&](int i) { return f[i - 1]; };
    std::string line = std::to_string(k + 1) + "," + field(11) + "," + field(12) + ",,,,";
    // flux, flux_err, flux_radius, flux_iso, background, peak, snr, fwhm, a, b, theta,
    // ellipticity, flags from the measurement line (star, background, flux_iso, flux, ...).
    for (int i : {4, 5, 6, 3, 2, 7, 8, 9, 10, 11, 12, 13, 14}) line += "," + m[i - 1];
    for (int i : {5, 6, 13, 14, 15, 17, 19, 18, 20, 21, 4}) line += "," + field(i);
    return line + ",\"" + picture + "\"," + field(1) + ",\"" + field(10) + "\"";
}

TEST(CliExport, WritesEverySavedResultAsCsvAndDs9) {
    TempDir dir;
    writeField(dir.file("field.bmp"), 7);
    ASSERT_EQ(
        cli("detect --jobs 1 --settings " + standardSettings(dir) + " " + dir.file("field.bmp"),
            dir)
            .status,
        0);
    const auto dat = lines(readFile(dir.file("field.bmp.dir/field.bmp.dat")));
    ASSERT_GT(dat.size(), 10u);
    const auto meas = lines(readFile(dir.file("field.bmp.dir/field.bmp.dat.meas")));
    // The shared values (unit, samples, noise, saturation), the header, a line per result.
    ASSERT_EQ(meas.size(), dat.size() + 5);
    EXPECT_EQ(meas[0], "# unit = adu");
    EXPECT_EQ(meas[1], "# samples = levels");
    EXPECT_EQ(meas[3], "# saturation = 255");

    // Without -o and --ds9 the CSV goes to standard output.
    CliRun r = cli("export " + dir.file("field.bmp"), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
    const auto csv = lines(r.out);
    ASSERT_EQ(csv.size(), dat.size() + 1);
    EXPECT_EQ(csv[0],
              "id,x,y,x_fits,y_fits,ra,dec,flux,flux_err,flux_radius,flux_iso,background,peak,"
              "snr,fwhm,a,b,theta,ellipticity,flags,atr,edit_atr,pixels,sum_level,max_level,"
              "hankei_ave,hankei_min,hankei_max,hankei_sd,sinendo,siki,tile,star,note");
    for (size_t i = 0; i < dat.size(); ++i)
        EXPECT_EQ(csv[i + 1], expectedCsvLine(i, dat[i], meas[i + 5], "field.bmp")) << dat[i];

    r = cli("export " + dir.file("field.bmp") + " -o " + dir.file("field.csv") + " --ds9 " +
                dir.file("field.reg"),
            dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(std::to_string(dat.size()) + " results written to "), std::string::npos);
    std::string csvBytes;
    for (const auto& line : csv) csvBytes += line + "\n";
    EXPECT_EQ(readFile(dir.file("field.csv")), csvBytes);
    const auto reg = lines(readFile(dir.file("field.reg")));
    ASSERT_EQ(reg.size(), dat.size() + 3);
    // Result 1 of the stored field: (90.20018, 8.295162) on 160 rows, a star of mean radius
    // 2.723958, labelled with its id.
    EXPECT_EQ(reg[3], "circle(90.70018,152.204838,2.723958) # color=#ff0000 text={1}");

    // The format follows -o's extension; the ECSV and FITS forms hold the CSV's rows.
    r = cli("export " + dir.file("field.bmp") + " -o " + dir.file("field.ecsv"), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string ecsv = readFile(dir.file("field.ecsv"));
    EXPECT_TRUE(ecsv.starts_with("# %ECSV 1.0\n")) << ecsv.substr(0, 40);
    EXPECT_TRUE(ecsv.ends_with(csvBytes));
    EXPECT_NE(ecsv.find("# - {picture: \"field.bmp\"}\n"), std::string::npos);
    r = cli("export -o " + dir.file("FIELD.FITS") + " " + dir.file("field.bmp"), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(readFile(dir.file("FIELD.FITS")).starts_with("SIMPLE  ="));

    // Only a region file: nothing on standard output but the summary.
    r = cli("export --ds9 " + dir.file("only.reg") + " " + dir.file("field.bmp"), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines(r.out).size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir.file("field.csv.tmp")));

    // Results saved before measuring: empty measurement columns and a note, not a failure.
    std::filesystem::remove(dir.file("field.bmp.dir/field.bmp.dat.meas"));
    r = cli("export " + dir.file("field.bmp"), dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("no measurements"), std::string::npos) << r.err;
    EXPECT_TRUE(lines(r.out)[1].starts_with("1,90.20018,8.295162,,,,,,,,,,,,,,,,,,3,"))
        << lines(r.out)[1];

    r = cli("export " + dir.file("none.bmp"), dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no saved results"), std::string::npos) << r.err;
    r = cli("export " + dir.file("field.bmp") + " -o " + dir.file("no/such/folder.csv"), dir);
    EXPECT_EQ(r.status, 1);
    for (const char* bad : {"export", "export a.bmp b.bmp", "export --frob a.bmp", "export -o",
                            "export -o cat.txt a.bmp", "export --out-dir a.bmp"})
        EXPECT_EQ(cli(bad, dir).status, 2) << bad;
}

// Where export writes: "-" is standard output, a link is written through to its target, a FIFO
// directly; a folder is refused. A damaged pair is refused, saying why.
TEST(CliExport, WritesThroughLinksAndPipesAndRefusesDamagedPairs) {
    namespace fs = std::filesystem;
    TempDir dir;
    const std::string field = dir.file("field.bmp");
    writeField(field, 7);
    ASSERT_EQ(cli("detect --jobs 1 --settings " + standardSettings(dir) + " " + field, dir).status,
              0);
    const std::string csv = cli("export " + field, dir).out;
    ASSERT_GT(lines(csv).size(), 10u);

    CliRun r = cli("export -o - " + field, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind(csv, 0), 0u);
    fs::create_symlink("target.csv", dir.file("link.csv"));
    r = cli("export -o " + dir.file("link.csv") + " " + field, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(dir.file("link.csv")));
    EXPECT_EQ(readFile(dir.file("target.csv")), csv);
    ASSERT_EQ(::mkfifo(dir.file("pipe.reg").c_str(), 0600), 0);
    std::string piped;
    std::thread reader([&] { piped = readFile(dir.file("pipe.reg")); });
    r = cli("export --ds9 " + dir.file("pipe.reg") + " " + field, dir);
    reader.join();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(piped.rfind("# Region file format: DS9", 0), 0u);
    EXPECT_TRUE(fs::is_fifo(dir.file("pipe.reg")));
    fs::create_directory(dir.file("folder.reg"));
    EXPECT_EQ(cli("export --ds9 " + dir.file("folder.reg") + " " + field, dir).status, 1);
    EXPECT_TRUE(fs::is_directory(dir.file("folder.reg")));

    // A record file cut at a line boundary; a settings file that cannot be read.
    const std::string dat = dir.file("field.bmp.dir/field.bmp.dat");
    const std::string whole = readFile(dat);
    writeFile(dat, whole.substr(0, whole.find('\n') + 1));
    r = cli("export " + field, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("field.bmp.dat が field.bmp.dat.sum の記録と合いません"),
              std::string::npos)
        << r.err;
    writeFile(dat, whole);
    fs::remove(dat + ".sum");
    fs::remove(dat + ".ini");
    fs::create_directory(dat + ".ini");
    r = cli("export --ds9 " + dir.file("x.reg") + " " + field, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("設定ファイル"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir.file("x.reg")));
}

TEST(CliBatch, ShardsPartitionTheListAndWriteTheSameResults) {
    TempDir dir;
    const std::vector<std::string> names = {"a.bmp", "b.bmp", "c.bmp", "d.bmp", "e.bmp"};
    std::string list;
    for (size_t i = 0; i < names.size(); ++i) {
        writeField(dir.file(names[i]), 20 + static_cast<uint32_t>(i), 120, 25);
        list += "\"" + dir.path() + "\",\"" + names[i] + "\"\r\n";
    }
    writeFile(dir.file("tiles.txt"), list);
    const std::string settings = " --settings " + standardSettings(dir) + " ";
    auto results = [&] {
        std::map<std::string, std::string> files;
        for (const auto& name : names) {
            for (const char* ext : {".dat", ".dat.ini"}) {
                const std::string file = name + ".dir/" + name + ext;
                files[file] = readFile(dir.file(file));
                EXPECT_FALSE(files[file].empty()) << file;
            }
            std::filesystem::remove_all(dir.file(name + ".dir"));
        }
        return files;
    };

    ASSERT_EQ(cli("batch --jobs 2" + settings + dir.file("tiles.txt"), dir).status, 0);
    const auto whole = results();
    for (const char* shard : {"0/2", "1/2"}) {
        CliRun r = cli(
            "batch --jobs 1 --shard " + std::string(shard) + settings + dir.file("tiles.txt"), dir);
        ASSERT_EQ(r.status, 0) << shard << r.err;
    }
    EXPECT_EQ(results(), whole);

    // Each shard logs its own records with their numbers in the whole list.
    auto starts = [&](const std::string& log) {
        std::string found;
        const std::regex start(" (\\d{3}) (\\S+) 処理開始");
        const std::string text = readFile(dir.file(log));
        for (std::sregex_iterator m(text.begin(), text.end(), start), end; m != end; ++m)
            found += (*m)[1].str() + (*m)[2].str() + " ";
        EXPECT_TRUE(text.ends_with("バッチ処理終了\r\n")) << text;
        return found;
    };
    EXPECT_EQ(starts("tiles.txt.shard0-of-2.log"), "001a.bmp 003c.bmp 005e.bmp ");
    EXPECT_EQ(starts("tiles.txt.shard1-of-2.log"), "002b.bmp 004d.bmp ");

    // A shard past the end of the list has nothing to do; a bad shard is a usage error.
    CliRun r = cli("batch --shard 7/8" + settings + dir.file("tiles.txt"), dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(starts("tiles.txt.shard7-of-8.log"), "");
    for (const char* bad : {"2/2", "1", "-1/2", "1/0"})
        EXPECT_EQ(
            cli("batch --shard " + std::string(bad) + settings + dir.file("tiles.txt"), dir).status,
            2)
            << bad;
}

}  // namespace
}  // namespace orv::test

namespace orv::test {
namespace {

// The JSON objects printed one per line, as text.
std::vector<std::string> jsonLines(const std::string& out) {
    std::vector<std::string> objects;
    for (const auto& line : core::splitLines(out))
        if (line.starts_with("{")) objects.push_back(line);
    return objects;
}

TEST(CliDetect, CataloguesJsonAndResultsInAFolderOfTheirOwn) {
    TempDir dir;
    std::filesystem::create_directories(dir.file("data"));
    std::filesystem::create_directories(dir.file("cats"));
    writeField(dir.file("data/a.bmp"), 3);
    writeField(dir.file("data/b.bmp"), 4);
    const std::string settings = " --jobs 2 --settings " + standardSettings(dir) + " ";
    CliRun r =
        cli("detect" + settings + "--out-dir " + dir.file("out") + " -o " + dir.file("cats") +
                " --format csv --json " + dir.file("data/a.bmp") + " " + dir.file("data/b.bmp"),
            dir);
    ASSERT_EQ(r.status, 0) << r.err;
    // The results under --out-dir, nothing beside the pictures.
    for (const char* name : {"a.bmp", "b.bmp"})
        for (const char* ext : {".dat", ".dat.ini", ".dat.meas", ".log"})
            EXPECT_TRUE(std::filesystem::exists(
                dir.file("out/" + std::string(name) + ".dir/" + name + ext)))
                << name << ext;
    EXPECT_FALSE(std::filesystem::exists(dir.file("data/a.bmp.dir")));
    // One JSON object per picture, in their order, naming what was written.
    const auto objects = jsonLines(r.out);
    ASSERT_EQ(objects.size(), 2u) << r.out;
    EXPECT_TRUE(objects[0].starts_with("{\"path\":\"" + dir.file("data/a.bmp") + "\",\"ok\":true,"))
        << objects[0];
    for (const char* part : {"\"counts\":{\"noise\":", "\"threshold\":4", "\"incomplete_row\":null",
                             "\"noise_sigma\":", "a.bmp.dat.meas\"", "cats/a.bmp.csv\"]}"})
        EXPECT_NE(objects[0].find(part), std::string::npos) << part << "\n" << objects[0];
    // Each catalogue is what export writes from the same results.
    r = cli("export --out-dir " + dir.file("out") + " " + dir.file("data/b.bmp"), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(dir.file("cats/b.bmp.csv")), r.out);

    // One picture, -o a file: its catalogue in the format of the extension.
    r = cli("detect" + settings + "-o " + dir.file("one.ecsv") + " " + dir.file("data/a.bmp"), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(readFile(dir.file("one.ecsv")).starts_with("# %ECSV 1.0"));
    EXPECT_TRUE(std::filesystem::exists(dir.file("data/a.bmp.dir/a.bmp.dat.meas")));

    for (const std::string& bad :
         {"-o " + dir.file("x.ecsv") + " " + dir.file("data/a.bmp") + " " + dir.file("data/b.bmp"),
          "-o " + dir.file("x.txt") + " " + dir.file("data/a.bmp"),
          "--format csv " + dir.file("data/a.bmp"),
          "-o " + dir.file("cats") + " --format ds9 " + dir.file("data/a.bmp")})
        EXPECT_EQ(cli("detect" + settings + bad, dir).status, 2) << bad;
}

TEST(CliDetect, MeasuringChangesNothingInThePairAndCanBeLeftOut) {
    TempDir dir;
    writeField(dir.file("a.bmp"), 6);
    const std::string detect = "detect --settings " + standardSettings(dir) + " ";
    ASSERT_EQ(cli(detect + dir.file("a.bmp"), dir).status, 0);
    const std::string ini = readFile(dir.file("a.bmp.dir/a.bmp.dat.ini"));
    const std::string dat = readFile(dir.file("a.bmp.dir/a.bmp.dat"));
    ASSERT_TRUE(std::filesystem::exists(dir.file("a.bmp.dir/a.bmp.dat.meas")));
    CliRun r = cli(detect + "--no-measure " + dir.file("a.bmp"), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(dir.file("a.bmp.dir/a.bmp.dat.ini")), ini);
    EXPECT_EQ(readFile(dir.file("a.bmp.dir/a.bmp.dat")), dat);
    // The measurements of the earlier run would belong to other results: gone.
    EXPECT_FALSE(std::filesystem::exists(dir.file("a.bmp.dir/a.bmp.dat.meas")));
    r = cli("export " + dir.file("a.bmp"), dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("no measurements"), std::string::npos) << r.err;
}

TEST(CliDetect, PicturesThatWouldShareAResultFolderAreRefused) {
    TempDir dir;
    for (const char* folder : {"n1", "n2"}) {
        std::filesystem::create_directories(dir.file(folder));
        writeField(dir.file(std::string(folder) + "/x.bmp"), 5);
    }
    const std::string settings = " --settings " + standardSettings(dir) + " ";
    // Two pictures of one name into one --out-dir: the second is refused, the first saved.
    CliRun r = cli("detect" + settings + "--out-dir " + dir.file("out") + " " +
                       dir.file("n1/x.bmp") + " " + dir.file("n2/x.bmp"),
                   dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(dir.file("n2/x.bmp") + ": failed: 結果フォルダー"), std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find(dir.file("n1/x.bmp") + ": "), std::string::npos) << r.out;
    EXPECT_TRUE(std::filesystem::exists(dir.file("out/x.bmp.dir/x.bmp.dat")));
    // Beside their pictures they do not meet; the same picture twice does.
    r = cli("detect" + settings + dir.file("n1/x.bmp") + " " + dir.file("n2/x.bmp"), dir);
    EXPECT_EQ(r.status, 0) << r.err;
    r = cli("detect" + settings + dir.file("n1/x.bmp") + " " + dir.file("n1/../n1/x.bmp"), dir);
    EXPECT_EQ(r.status, 1);

    // A batch list: the record is refused in the batch log, which goes to --out-dir.
    writeFile(dir.file("list.txt"), "\"n1\",\"x.bmp\"\r\n\"n2\",\"x.bmp\"\r\n");
    r = cli("batch" + settings + "--out-dir " + dir.file("out2") + " " + dir.file("list.txt"), dir);
    EXPECT_EQ(r.status, 1);
    const std::string log = readFile(dir.file("out2/list.txt.log"));
    EXPECT_NE(log.find("x.bmp 読込エラー: 結果フォルダー"), std::string::npos) << log;
    EXPECT_FALSE(std::filesystem::exists(dir.file("list.txt.log")));

    // psf and export read the results where --out-dir put them.
    writeFile(dir.file("psf.ini"), readFile(standardSettings(dir)) +
                                       "[PSF]\r\nPSFFactorRSD = 2\r\nPSFAnnulus = 4\r\n"
                                       "PSFDAnnulus = 2\r\n");
    r = cli("psf --out-dir " + dir.file("out") + " --settings " + dir.file("psf.ini") + " " +
                dir.file("n1/x.bmp"),
            dir);
    EXPECT_EQ(r.err.find("no saved results"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("PSFsd = "), std::string::npos) << r.out;
    EXPECT_EQ(
        cli("export --out-dir " + dir.file("nowhere") + " " + dir.file("n1/x.bmp"), dir).status, 1);
}

// A 16-bit FITS picture written by astropy with a TAN WCS and Gaussian stars of known flux and
// width: the catalogue's photometry and shape against the truth, and astropy reading the ECSV
// and FITS tables with their units and the CSV's values (tests/cli/astropy_field.py).
TEST(CliCatalogue, AstropyReadsTheTablesAndTheStarsMeasureTrue) {
    TempDir dir;
    const std::string python = "/usr/bin/python3";
    const std::string script = std::string(ORV_TEST_DATA) + "/../cli/astropy_field.py";
    ASSERT_EQ(std::system((python + " -c 'import astropy, numpy' 2>/dev/null").c_str()), 0)
        << "Debian's python3-astropy and python3-numpy are needed (scripts/packages.sh)";
    ASSERT_EQ(std::system((python + " " + script + " make " + dir.file("field.fits") + " " +
                           dir.file("truth.csv"))
                              .c_str()),
              0);
    // Faint stars reach the 8-bit levels with a stretch near the sky.
    writeFile(dir.file("s.ini"),
              "[SYSTEM]\r\nHeikinWidth = 15\r\nSikiTop = 255\r\nSiki = 3\r\nNumPixel = 3\r\n"
              "NumPixel2 = 12\r\nSinendo = 2\r\nSinendoMax = 30\r\nMargin = 0\r\n");
    CliRun r = cli("detect --settings " + dir.file("s.ini") + " --stretch range:495,1500 -o " +
                       dir.file("cat.ecsv") + " " + dir.file("field.fits"),
                   dir);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* ext : {"csv", "fits"}) {
        r = cli("export -o " + dir.file(std::string("cat.") + ext) + " " + dir.file("field.fits"),
                dir);
        ASSERT_EQ(r.status, 0) << r.err;
    }
    const std::string check = python + " " + script + " check " + dir.file("truth.csv") + " " +
                              dir.file("cat.csv") + " " + dir.file("cat.ecsv") + " " +
                              dir.file("cat.fits") + " > " + dir.file("check.txt") + " 2>&1";
    const int status = std::system(check.c_str());
    const std::string said = readFile(dir.file("check.txt"));
    EXPECT_EQ(status, 0) << said;
    std::printf("%s", said.c_str());
}

}  // namespace
}  // namespace orv::test
