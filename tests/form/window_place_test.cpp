#include "form/window_place.h"

#include <gtest/gtest.h>

#include "support/test_app.h"

namespace orv::form {
namespace {

using test::writeFile;

// A remembered place on the screen the window opens on now (1366 x 728 at 0, 0; frames of 8 x
// 31): kept when it fits, else the client shrunk to the screen (not below the least size where
// the screen allows) and the frame moved inside.
TEST(WindowPlace, ARememberedPlaceComesOntoTheScreenWhole) {
    const ScreenArea laptop{0, 0, 1366, 728};
    const struct {
        WindowPlace remembered, fitted;
    } cases[] = {
        {{100, 50, 1000, 600}, {100, 50, 1000, 600}},   // fits
        {{900, 500, 1000, 600}, {358, 97, 1000, 600}},  // moved back
        {{0, 0, 1900, 1040}, {0, 0, 1358, 697}},        // from a larger screen
        {{-300, -40, 500, 300}, {0, 0, 800, 520}},      // off the left edge, too small
        {{2000, 2000, 1280, 900}, {78, 0, 1280, 697}},  // on a screen that is gone
    };
    for (const auto& c : cases) {
        const WindowPlace p = fitOnScreen(c.remembered, laptop, 8, 31, 800, 520);
        EXPECT_EQ(p.left, c.fitted.left) << c.remembered.left;
        EXPECT_EQ(p.top, c.fitted.top) << c.remembered.left;
        EXPECT_EQ(p.width, c.fitted.width) << c.remembered.left;
        EXPECT_EQ(p.height, c.fitted.height) << c.remembered.left;
    }
    // The division window stays at (400, 100), shrunk to what the screen leaves there; a
    // screen too small for its least size moves it.
    const WindowPlace division = shrinkOnScreen({400, 100, 1320, 640}, laptop, 8, 31, 820, 480);
    EXPECT_EQ(std::vector<int>({division.left, division.top, division.width, division.height}),
              std::vector<int>({400, 100, 958, 597}));
    const WindowPlace tiny =
        shrinkOnScreen({400, 100, 1320, 640}, {0, 0, 1024, 600}, 8, 31, 820, 480);
    EXPECT_EQ(std::vector<int>({tiny.left, tiny.top, tiny.width, tiny.height}),
              std::vector<int>({196, 89, 820, 480}));
}

TEST(WindowPlace, IsWrittenAndReadBackAndDamageReadsAsNone) {
    test::TempDir dir;
    const std::string file = dir.file(kWindowPlaceFileName);
    EXPECT_FALSE(readWindowPlace(file));
    ASSERT_TRUE(writeWindowPlace(file, {-8, 20, 1280, 860, true}).ok());
    EXPECT_EQ(test::readFile(file),
              "[WINDOW]\r\nLeft = -8\r\nTop = 20\r\nWidth = 1280\r\nHeight = 860\r\n"
              "Maximized = 1\r\n");
    const auto p = readWindowPlace(file);
    ASSERT_TRUE(p);
    EXPECT_EQ(std::vector<int>({p->left, p->top, p->width, p->height, p->maximized}),
              std::vector<int>({-8, 20, 1280, 860, 1}));
    for (const char* damaged :
         {"[WINDOW]\r\nLeft = 1\r\nTop = 2\r\nWidth = x\r\nHeight = 9\r\n",
          "[WINDOW]\r\nLeft = 1\r\nTop = 2\r\nWidth = 0\r\nHeight = 9\r\n",
          "[WINDOW]\r\nLeft = 1e30\r\nTop = 2\r\nWidth = 5\r\nHeight = 9\r\n", "Left = 1\r\n"}) {
        writeFile(file, damaged);
        EXPECT_FALSE(readWindowPlace(file)) << damaged;
    }
    EXPECT_EQ(windowPlaceFile(core::ProgramFolders::at(dir.path())),
              dir.file("OrvandelWindow.ini"));
}

}  // namespace
}  // namespace orv::form
