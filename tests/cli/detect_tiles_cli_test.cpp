// orvandel-cli detect --tiles: one picture in tiles held in memory, against the tile path on
// files and against the picture detected whole.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <tuple>

#include "cli/cli_run.h"
#include "core/text_file.h"

namespace orv::test {
namespace {

// The rows of a CSV catalogue, by column name.
std::vector<std::map<std::string, std::string>> csvRows(const std::string& text) {
    const auto lines = core::splitLines(text);
    std::vector<std::map<std::string, std::string>> rows;
    if (lines.empty()) return rows;
    const auto header = core::splitCommaFields(lines[0]);
    for (size_t k = 1; k < lines.size(); ++k) {
        const auto f = core::splitCommaFields(lines[k]);
        auto& row = rows.emplace_back();
        for (size_t c = 0; c < header.size() && c < f.size(); ++c) row[header[c]] = f[c];
    }
    return rows;
}

// A 700 x 520 field, S 200, M 30: 3 whole tiles across ending at 660, 2 down ending at 460, so
// the covering grid adds a column and a row: 4 x 3 tiles.
TEST(CliDetectTiles, GivesTheCatalogueOfTheCoveringTilesBatchedAndMergedAndOfTheWholePicture) {
    TempDir dir;
    auto spec = bench::denseField(700, 520, 500, 21);
    spec.noiseSigma = 1.2;
    const auto field = bench::generateStarField(spec);
    const std::string picture = dir.file("field.bmp");
    ASSERT_TRUE(bench::writeBmp(picture, field.width, field.height, field.rgb));
    const std::string settings = " --settings " + standardSettings(dir) + " ";

    CliRun r = cli(
        "detect --tiles 200 --margin 30 --jobs 2 -o " + dir.file("tiled.csv") + settings + picture,
        dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("; 4 x 3 tiles, S 200, M 30; written to " + dir.file("tiled.csv")),
              std::string::npos)
        << r.out;
    const std::string tiled = readFile(dir.file("tiled.csv"));

    // The same tiles as files, batched and merged: the same bytes.
    ASSERT_EQ(cli("tiles --cover --size 200 --margin 30 " + picture, dir).status, 0);
    const std::string list = dir.file("field.bmp.dir/field.bmp.txt");
    ASSERT_EQ(cli("batch --jobs 2" + settings + list, dir).status, 0);
    r = cli("merge -o " + dir.file("merged.csv") + " " + list, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(readFile(dir.file("merged.csv")) == tiled);

    // The whole picture (its table holds every cluster): the same clusters, each once. No
    // cluster here reaches past a margin of 30 px, so none is cut by a tile's edge.
    r = cli("detect -o " + dir.file("whole.csv") + settings + picture, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto whole = csvRows(readFile(dir.file("whole.csv")));
    const auto parts = csvRows(tiled);
    using Key = std::tuple<std::string, std::string, std::string>;  // pixels, sums, peak
    std::multimap<Key, std::pair<double, double>> found;
    for (const auto& t : parts)
        found.insert({{t.at("pixels"), t.at("sum_level"), t.at("max_level")},
                      {std::stod(t.at("x")), std::stod(t.at("y"))}});
    ASSERT_GT(whole.size(), 400u);
    EXPECT_EQ(parts.size(), whole.size());
    for (const auto& w : whole) {
        const auto [from, to] =
            found.equal_range({w.at("pixels"), w.at("sum_level"), w.at("max_level")});
        int same = 0;
        for (auto it = from; it != to; ++it)
            same += std::abs(it->second.first - std::stod(w.at("x"))) < 0.01 &&
                    std::abs(it->second.second - std::stod(w.at("y"))) < 0.01;
        EXPECT_EQ(same, 1) << "whole-picture result " << w.at("star");
    }

    // Without -o the catalogue goes beside the picture; --json says what was done.
    r = cli("detect --tiles 200 --margin 30 --json" + settings + picture, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"ok\":true"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"columns\":4,\"rows\":3,\"done\":12,\"split\":[]"), std::string::npos)
        << r.out;
    EXPECT_TRUE(std::filesystem::exists(dir.file("field.bmp.dir/field.bmp.ecsv")));
    for (const char* bad : {"detect --tiles 0 x.bmp", "detect --tiles abc x.bmp",
                            "detect --margin 5 x.bmp", "detect --tiles 100 a.bmp b.bmp"})
        EXPECT_EQ(cli(bad, dir).status, 2) << bad;
}

// Isolated bright pixels on every other column and row: 230 x 230 = 52900 clusters, more
// than one table holds (50000).
TEST(CliDetectTiles, ATileWhoseTableFillsIsCutInFourOrNamedAtTheFloor) {
    TempDir dir;
    const int side = 460;
    std::vector<uint8_t> rgb(3 * side * side, 0);
    for (int y = 0; y < side; y += 2)
        for (int x = 0; x < side; x += 2)
            for (int c = 0; c < 3; ++c) rgb[3 * (y * side + x) + c] = 200;
    const std::string picture = dir.file("dots.bmp");
    ASSERT_TRUE(bench::writeBmp(picture, side, side, rgb));
    const std::string settings = " --no-measure --settings " + standardSettings(dir) + " ";

    CliRun r =
        cli("detect --tiles 500 --margin 4 -o " + dir.file("dots.csv") + settings + picture, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("dots.bmp: 52900 results"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("1 tile cut in four for a full cluster table"), std::string::npos)
        << r.out;
    EXPECT_EQ(csvRows(readFile(dir.file("dots.csv"))).size(), 52900u);

    // S 100 with a margin of 200: the one tile is 460 px and full, and half of 100 is below
    // the floor: the tile is named and the run fails.
    r = cli("detect --tiles 100 --margin 200 -o " + dir.file("none.csv") + settings + picture, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("dots.bmp.000.000.bmp: the cluster table is full"), std::string::npos)
        << r.err;
}

// A tile is held in memory and has no folder: a file of its name at the root of the file
// system (where a name without a folder would point) is not read in its place. Needs to write
// there, as CI's root can.
TEST(CliDetectTiles, AFileNamedLikeATileIsNotReadForIt) {
    if (::access("/", W_OK) != 0) GTEST_SKIP() << "cannot write a file at /";
    TempDir dir;
    auto spec = bench::denseField(400, 300, 200, 4);
    spec.noiseSigma = 1.2;
    const auto field = bench::generateStarField(spec);
    const std::string name = "orvandel-decoy-" + std::to_string(::getpid()) + ".bmp";
    const std::string picture = dir.file(name);
    ASSERT_TRUE(bench::writeBmp(picture, field.width, field.height, field.rgb));
    const std::string run = "detect --tiles 200 --margin 20 --settings " + standardSettings(dir) +
                            " -o " + dir.file("out.csv") + " " + picture;
    ASSERT_EQ(cli(run, dir).status, 0);
    const std::string clean = readFile(dir.file("out.csv"));

    // A black picture of the first tile's size under the first tile's name.
    const std::string decoy = "/" + name + ".000.000.bmp";
    ASSERT_TRUE(bench::writeBmp(decoy, 240, 240, std::vector<uint8_t>(3 * 240 * 240, 0)));
    const CliRun r = cli(run, dir);
    std::filesystem::remove(decoy);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(readFile(dir.file("out.csv")) == clean);
}

}  // namespace
}  // namespace orv::test
