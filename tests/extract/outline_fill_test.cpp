#include "extract/outline_fill.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "control/startup.h"
#include "core/settings.h"
#include "extract/analysis.h"
#include "extract/numbering.h"
#include "form/stage.h"
#include "input/background.h"
#include "input/clusters.h"
#include "results/data_files.h"
#include "support/pictures.h"

namespace orv::extract {
namespace {

using test::TestApp;

// Bright shapes on a dark sky, each big enough for an outline: a square, a diamond, an L, a
// ring of 9 x 9 with a 3 x 3 star in its hole, and a U whose centroid lies in its notch.
const std::vector<std::string> kShapes = {
    "..........................................", ".###.....#.......##.......#########.......",
    ".###....###......##.......#.......#..#.#..", ".###...#####.....######...#.......#..#.#..",
    "........###......######...#..###..#..#.#..", ".........#................#..###..#..###..",
    "..........................#..###..#.......", "..........................#.......#.......",
    "..........................#.......#.......", "..........................#########.......",
    "..........................................",
};

struct Detected : TestApp {
    std::vector<uint16_t> fresh;
    explicit Detected(bool outlineClick) {
        control::Form_Load(ctx);
        test::typicalSettings(ws.settings);
        EXPECT_TRUE(test::loadPicture(*this, test::textPicture(kShapes, 200)));
        input::cmdIdoHeikin_Click(ctx);
        input::cmdPickup_Click(ctx);
        cmdCenterCal_Click(ctx);
        fresh = copyMap();
        results::cmdSaveData_Click(ctx);
        ws.settings.ReadOutlineClick = outlineClick;
        host.fileAnswers.push_back(dir.file("test.bmp.dir/test.bmp.dat"));
        results::cmdReadData_Click(ctx);
        EXPECT_EQ(ws.ProcStage, core::kStageRead);
    }
    std::vector<uint16_t> copyMap() const {
        std::vector<uint16_t> m;
        for (int y = 1; y <= ws.ImageHeightP; ++y)
            for (int x = 1; x <= ws.ImageWidthP; ++x) m.push_back(ws.ClusterMap(x, y));
        return m;
    }
    int at(const std::vector<uint16_t>& m, int col, int row) const {
        return m[static_cast<size_t>(row) * ws.ImageWidthP + col];
    }
};

TEST(OutlineFill, ReadBackResultsCoverTheirWholeAreaAsAfterTheDetection) {
    Detected d(true);
    const auto read = d.copyMap();
    const int ring = d.at(d.fresh, 26, 1), star = d.at(d.fresh, 30, 5);
    ASSERT_GT(ring, 0);
    ASSERT_GT(star, 0);
    ASSERT_NE(ring, star);
    for (int row = 0; row < static_cast<int>(kShapes.size()); ++row)
        for (int col = 0; col < static_cast<int>(kShapes[0].size()); ++col) {
            SCOPED_TRACE(testing::Message() << "col " << col << " row " << row);
            // The ring's hole (without the star) is inside the ring; everything else as found.
            const bool hole = col >= 27 && col <= 33 && row >= 2 && row <= 8 &&
                              !(col >= 29 && col <= 31 && row >= 4 && row <= 6);
            EXPECT_EQ(d.at(read, col, row), hole ? ring : d.at(d.fresh, col, row));
        }
}

TEST(OutlineFill, OffTheMapHoldsOnlyTheBlocksAroundTheCentroids) {
    Detected d(false);
    // The rule written out: every result in use, in order of its number, labels the 3 x 3
    // pixels around the pixel holding its centroid.
    std::vector<uint16_t> expected(static_cast<size_t>(d.ws.ImageWidthP) * d.ws.ImageHeightP, 0);
    for (int32_t n = 1; n <= d.ws.MaxStarNo; ++n) {
        if (d.ws.Clusters[n].Used != -1) continue;
        const int cx = static_cast<int>(d.ws.Stars[n].CenterX);
        const int cy = static_cast<int>(d.ws.Stars[n].CenterY);
        for (int y = cy - 1; y <= cy + 1; ++y)
            for (int x = cx - 1; x <= cx + 1; ++x)
                if (x >= 0 && y >= 0 && x < d.ws.ImageWidthP && y < d.ws.ImageHeightP)
                    expected[static_cast<size_t>(y) * d.ws.ImageWidthP + x] =
                        static_cast<uint16_t>(n);
    }
    EXPECT_EQ(d.copyMap(), expected);
    // The setting's section is written only when it is on.
    const auto lines = core::settingsFileLines(d.ws.settings);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "[EDIT]"), 0);
    d.ws.settings.ReadOutlineClick = true;
    const auto on = core::settingsFileLines(d.ws.settings);
    EXPECT_EQ(std::vector<std::string>(on.end() - 2, on.end()),
              (std::vector<std::string>{"[EDIT]", "ReadOutlineClick = 1"}));
    // Turning it on rebuilds a read-back map; the detection's map is never touched.
    setReadOutlineClick(d.ws, true);
    EXPECT_EQ(d.at(d.copyMap(), 28, 4), d.at(d.fresh, 26, 1));  // a hole pixel: the ring
}

TEST(OutlineFill, AChainThatDoesNotCloseOrHoldsOtherCharactersFillsNoMore) {
    Detected d(true);
    const int32_t n = d.at(d.fresh, 1, 1);  // the square
    ASSERT_GT(n, 0);
    d.ws.Stars[n].Outline = "3355";  // down, down, right, right: open
    EXPECT_EQ(filledOutline(d.ws, n).size(), 2u * 5);
    d.ws.Stars[n].Outline = "33x5577";
    EXPECT_TRUE(filledOutline(d.ws, n).empty());
}

}  // namespace
}  // namespace orv::extract
