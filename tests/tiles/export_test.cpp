#include "tiles/export.h"

#include <gtest/gtest.h>

#include "control/batch.h"
#include "tiles/geometry.h"

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
                           stretches[k++]};
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
    }
}

TEST(LayoutFile, NamesTheKeyThatIsWrong) {
    const TileLayout good{"m42.bmp", 1200, 1000, 500, 50, 2, 1, "m42.bmp.txt", 2, {"minmax", 3, 9}};
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
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key + "=" + c.value);
        auto read = parseLayout(with(c.key, c.value));
        ASSERT_FALSE(read.ok());
        EXPECT_NE(read.error().find(c.mentioned), std::string::npos) << read.error();
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

}  // namespace
}  // namespace orv::tiles
