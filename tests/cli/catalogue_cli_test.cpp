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

// The CSV line a result line of the record file gives, column by column.
std::string expectedCsvLine(const std::string& datLine, const std::string& picture) {
    const auto f = core::splitCommaFields(datLine);
    auto field = [&](int k) { return f[k - 1]; };
    return field(11) + "," + field(12) + ",\"" + picture + "\"," + field(1) + "," + field(5) + "," +
           field(6) + "," + field(13) + "," + field(14) + "," + field(15) + "," + field(17) + "," +
           field(19) + "," + field(18) + "," + field(20) + "," + field(21) + "," + field(4) +
           ",\"" + field(10) + "\"";
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

    // Without -o and --ds9 the CSV goes to standard output.
    CliRun r = cli("export " + dir.file("field.bmp"), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto csv = lines(r.out);
    ASSERT_EQ(csv.size(), dat.size() + 1);
    EXPECT_EQ(csv[0],
              "x,y,tile,star,atr,edit_atr,pixels,sum_level,max_level,hankei_ave,hankei_min,"
              "hankei_max,hankei_sd,sinendo,siki,note");
    for (size_t i = 0; i < dat.size(); ++i)
        EXPECT_EQ(csv[i + 1], expectedCsvLine(dat[i], "field.bmp")) << dat[i];

    r = cli("export " + dir.file("field.bmp") + " -o " + dir.file("field.csv") + " --ds9 " +
                dir.file("field.reg"),
            dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(std::to_string(dat.size()) + " results written to "), std::string::npos);
    std::string csvBytes;
    for (const auto& line : csv) csvBytes += line + "\r\n";
    EXPECT_EQ(readFile(dir.file("field.csv")), csvBytes);
    const auto reg = lines(readFile(dir.file("field.reg")));
    ASSERT_EQ(reg.size(), dat.size() + 3);
    // Result 1 of the stored field: (90.20018, 8.295162) on 160 rows, a star of mean radius
    // 2.723958.
    EXPECT_EQ(reg[3], "circle(90.70018,152.204838,2.723958) # color=#ff0000 text={1}");

    // Only a region file: nothing on standard output but the summary.
    r = cli("export --ds9 " + dir.file("only.reg") + " " + dir.file("field.bmp"), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines(r.out).size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir.file("field.csv.tmp")));

    r = cli("export " + dir.file("none.bmp"), dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no saved results"), std::string::npos) << r.err;
    r = cli("export " + dir.file("field.bmp") + " -o " + dir.file("no/such/folder.csv"), dir);
    EXPECT_EQ(r.status, 1);
    for (const char* bad : {"export", "export a.bmp b.bmp", "export --frob a.bmp", "export -o"})
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
