#include "tiles/export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "control/batch.h"
#include "core/checksum.h"
#include "support/test_app.h"
#include "tiles/big_picture.h"
#include "tiles/geometry.h"
#include "tiles/tile_pictures.h"

namespace orv::tiles {
namespace {

std::string text(const std::vector<std::string>& lines) {
    std::string t;
    for (const auto& l : lines) t += l + "\r\n";
    return t;
}

TEST(LayoutFile, ReadsBackWhatIsWritten) {
    const LayoutStretch stretches[] = {{}, {"percentile:0.1,99.9", -0.0125, 38112.5}, {}};
    int k = 0;
    for (auto [s, m] : {std::pair{500.f, 50.f}, {500.1f, 0.f}, {333.3333f, 7.77f}}) {
        const TileLayout l{"m42 (1).bmp",
                           30000,
                           20000,
                           s,
                           m,
                           wholeTiles(30000, s, m),
                           wholeTiles(20000, s, m),
                           "m42 (1).bmp.txt",
                           7,
                           stretches[k++],
                           {{{0, 0}, 0x0A1B2C3Du}, {{2, 1}, 0xFFFFFFFFu}}};
        // Keys a reader does not know are no error.
        auto read = parseLayout(text(layoutLines(l)) + "Written=by a later version\r\n");
        ASSERT_TRUE(read.ok()) << read.error();
        EXPECT_EQ(read->picture, l.picture);
        EXPECT_EQ(read->width, 30000);
        EXPECT_EQ(read->height, 20000);
        EXPECT_EQ(read->size, s);  // the same single-precision number
        EXPECT_EQ(read->margin, m);
        EXPECT_EQ(read->columns, l.columns);
        EXPECT_EQ(read->rows, l.rows);
        EXPECT_EQ(read->list, l.list);
        EXPECT_EQ(read->tiles, 7);
        EXPECT_EQ(read->stretch.text, l.stretch.text);
        EXPECT_EQ(read->stretch.black, l.stretch.black);
        EXPECT_EQ(read->stretch.white, l.stretch.white);
        EXPECT_EQ(read->checksums, l.checksums);
    }
}

TEST(LayoutFile, NamesTheKeyThatIsWrong) {
    const TileLayout good{"m42.bmp",
                          1200,
                          1000,
                          500,
                          50,
                          2,
                          1,
                          "m42.bmp.txt",
                          2,
                          {"minmax", 3, 9},
                          {{{0, 0}, 1}, {{1, 0}, 2}}};
    const auto lines = layoutLines(good);
    auto with = [&](const std::string& key, const std::string& value) {
        auto changed = lines;
        for (auto& l : changed)
            if (l.rfind(key + "=", 0) == 0) l = value.empty() ? "" : key + "=" + value;
        return text(changed);
    };
    const struct {
        std::string key, value, mentioned;
    } cases[] = {
        {"Picture", "", "Picture"},
        {"Width", "abc", "Width"},
        {"Width", "0", "Width"},
        {"Width", "-3", "Width"},
        {"Height", "1e99", "Height"},
        {"Size", "x", "Size"},
        {"Size", "0", "分割サイズ"},
        {"Margin", "-1", "分割マージン"},
        {"Columns", "3", "Columns"},
        {"Rows", "0", "Rows"},
        {"List", "", "List"},
        {"Tiles", "3", "Tiles"},
        {"Tiles", "1.5", "Tiles"},
        {"StretchBlack", "", "StretchBlack"},
        {"StretchWhite", "1e999", "StretchWhite"},
        {"m42.bmp.000.000.bmp", "0a1b2c3", "チェックサム"},
        {"m42.bmp.001.000.bmp", "1 2", "チェックサム"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key + "=" + c.value);
        auto read = parseLayout(with(c.key, c.value));
        ASSERT_FALSE(read.ok());
        EXPECT_NE(read.error().find(c.mentioned), std::string::npos) << read.error();
    }
    // Checksum lines of tiles outside the grid or of another picture.
    for (const char* line : {"m42.bmp.002.000.bmp=00000001", "m43.bmp.000.000.bmp=00000001"}) {
        auto read = parseLayout(text(lines) + line + "\r\n");
        ASSERT_FALSE(read.ok()) << line;
        EXPECT_NE(read.error().find(line), std::string::npos) << read.error();
    }
    EXPECT_FALSE(parseLayout("").ok());
    EXPECT_FALSE(parseLayout(std::string("\0\xff[Tiles\n=", 10)).ok());
}

TEST(LayoutFile, LiesBesideTheListOfItsPicture) {
    EXPECT_EQ(layoutFileOfList("/data/m42.bmp.dir/m42.bmp.txt"),
              "/data/m42.bmp.dir/m42.bmp.tiles.ini");
    EXPECT_EQ(layoutFileOfList("/data/.txt"), "");
    EXPECT_EQ(layoutFileOfList("/data/m42.bmp.csv"), "");
}

TEST(BatchList, LinesReadBackAsTheirFolderAndName) {
    for (const std::string folder : {"/data/sky/m42.bmp.dir", "/data/a \"b\", c/x.dir", ""}) {
        const std::string line = batchListLine(folder, "m42.bmp.001.000.bmp");
        const auto r = control::parseBatchLine(line);
        EXPECT_EQ(r.folder, folder) << line;
        EXPECT_EQ(r.name, "m42.bmp.001.000.bmp");
    }
    EXPECT_EQ(batchListLine("D:\\work\\m42.bmp.dir", "m42.bmp.001.000.bmp"),
              "\"D:\\work\\m42.bmp.dir\",\"m42.bmp.001.000.bmp\"");
}

// A tile's checksum is that of its R, G, B bytes, whatever the layout in memory.
TEST(TileChecksum, IsThatOfTheRgbBytesInEveryLayout) {
    for (const form::PixelLayout layout : test::kAllLayouts) {
        const bool grey = layout == form::PixelLayout::Grey8;
        const auto rgb = test::patternBytes(37, 5, grey);
        EXPECT_EQ(tileChecksum(test::patternPicture(37, 5, layout)),
                  core::crc32c(rgb.data(), rgb.size()))
            << static_cast<int>(layout);
    }
}

std::map<std::string, std::string> filesIn(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        files[e.path().filename().string()] = orv::test::readFile(e.path().string());
    return files;
}

// Tiles are written as one generation with their checksums in the layout; a failed export (a
// file that cannot be written, as on a full disk) replaces nothing and leaves no temporary
// file, and an export removes what a killed one of the same picture left behind.
TEST(TileExport, AFailedExportReplacesNothingAndLeftoversOfAKilledOneGo) {
    orv::test::TempDir dir;
    const form::Picture big = test::patternPicture(1200, 1000, form::PixelLayout::Rgb888);
    auto cutter = [&](int i, int j) { return cutTile(big, cutSquare(500, 50, i, j)); };
    ExportOutcome o = exportAllTiles(dir.path(), "m42.bmp", 500, 50, 1200, 1000, {}, cutter);
    ASSERT_TRUE(o.error.empty()) << o.error;
    EXPECT_EQ(o.written, 2);
    auto layout = readLayoutFile(dir.file("m42.bmp.tiles.ini"));
    ASSERT_TRUE(layout) << layout.error();
    EXPECT_EQ(layout->checksums,
              (std::map<std::pair<int, int>, uint32_t>{{{0, 0}, tileChecksum(cutter(0, 0))},
                                                       {{1, 0}, tileChecksum(cutter(1, 0))}}));
    const auto good = filesIn(dir.path());
    ASSERT_EQ(good.size(), 4u);

    const std::map<std::string, std::string> leftovers = {
        {"m42.bmp.001.000.bmp.tmp2000000000_4", "killed"},
        {"m42.bmp.001.000.bmp.tmp2000000000_4.tmp2000000000_5", "killed"},
        {"m42.bmp.txt.old2000000000_6", "killed"},
    };
    const std::map<std::string, std::string> others = {
        {"m42.bmp.000.000.bmp.tmp1_2", "a running export's"},
        {"m43.bmp.000.000.bmp.tmp2000000000_1", "another picture's"},
    };
    for (const auto* files : {&leftovers, &others})
        for (const auto& [name, bytes] : *files) orv::test::writeFile(dir.file(name), bytes);
    auto failing = [&](int i, int j) { return i == 1 ? form::Picture{} : cutter(i, j); };
    o = exportAllTiles(dir.path(), "m42.bmp", 400, 50, 1200, 1000, {}, failing);
    EXPECT_FALSE(o.error.empty());
    EXPECT_EQ(o.written, 0);
    auto expected = good;
    expected.insert(others.begin(), others.end());
    EXPECT_TRUE(filesIn(dir.path()) == expected);
}

}  // namespace
}  // namespace orv::tiles
