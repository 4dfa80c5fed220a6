#include "tiles/big_picture.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/test_app.h"
#include "tiles/tile_pictures.h"

namespace orv::tiles {
namespace {

using test::patternPicture;

TEST(CutTile, IsTheCropOfTheBigPictureBlackOutsideIt) {
    const int w = 37, h = 23;
    for (auto layout : test::kAllLayouts) {
        const form::Picture big = patternPicture(w, h, layout);
        const PixelSquare squares[] = {{0, 0, 10}, {27, 13, 10}, {30, 5, 10},
                                       {5, 20, 9}, {36, 22, 4},  {0, 0, 40}};
        for (const auto& s : squares) {
            SCOPED_TRACE(std::to_string(s.x) + "," + std::to_string(s.y) + " " +
                         std::to_string(s.side));
            const form::Picture tile = cutTile(big, s);
            ASSERT_EQ(tile.width, s.side);
            ASSERT_EQ(tile.height, s.side);
            EXPECT_EQ(test::pixelsOf(tile),
                      test::patternCrop(w, h, s.x, s.y, static_cast<int>(s.side),
                                        layout == form::PixelLayout::Grey8));
        }
    }
}

// The literal mean: every picture pixel whose centre lies in the preview pixel's area.
std::vector<uint8_t> referencePreview(const form::Picture& big, int pw, int ph, bool grey) {
    std::vector<uint8_t> out;
    for (int py = 0; py < ph; ++py)
        for (int px = 0; px < pw; ++px)
            for (int c = 0; c < 3; ++c) {
                double sum = 0;
                int n = 0;
                for (int y = 0; y < big.height; ++y)
                    for (int x = 0; x < big.width; ++x) {
                        const double cx = (x + 0.5) * pw / big.width;
                        const double cy = (y + 0.5) * ph / big.height;
                        if (cx < px || cx >= px + 1 || cy < py || cy >= py + 1) continue;
                        uint8_t rgb[3];
                        test::patternPixel(x, y, rgb, grey);
                        sum += rgb[c];
                        ++n;
                    }
                out.push_back(static_cast<uint8_t>(std::floor(sum / n + 0.5)));
            }
    return out;
}

TEST(Preview, EachPixelIsTheMeanOfThePixelsItCovers) {
    for (auto layout : test::kAllLayouts)
        for (auto [pw, ph] : {std::pair{5, 4}, {1, 1}, {36, 3}, {12, 22}}) {
            SCOPED_TRACE(std::to_string(pw) + " x " + std::to_string(ph));
            const form::Picture big = patternPicture(37, 23, layout);
            int rows = 0;
            const form::Picture p = scaledPreview(big, pw, ph, [&](int done, int) { rows = done; });
            ASSERT_EQ(p.width, pw);
            ASSERT_EQ(p.height, ph);
            EXPECT_EQ(test::pixelsOf(p),
                      referencePreview(big, pw, ph, layout == form::PixelLayout::Grey8));
            EXPECT_EQ(rows, 23);
            // A row too wide to be summed byte by byte (a 700000000 x 1 picture would need
            // 8 GB) is summed per preview pixel, to the same means.
            EXPECT_EQ(test::pixelsOf(scaledPreview(big, pw, ph, {}, 0)), test::pixelsOf(p));
        }
}

TEST(LoadBigPicture, LeavesOtherFilesToTheDecoderAndStretchesDeepPictures) {
    orv::test::TempDir dir;
    orv::test::writeFile(dir.file("a.png"), "not a BMP");
    const form::Picture grey = patternPicture(4, 3, form::PixelLayout::Grey8);
    form::Picture decoded = grey;
    auto decoder = [&](const std::string&) { return core::Result<form::Picture>(decoded); };
    auto levels = loadBigPicture(dir.file("a.png"), decoder, "minmax");
    ASSERT_TRUE(levels.ok());
    EXPECT_EQ(levels->picture.bits, grey.bits);
    EXPECT_EQ(levels->stretch, "");

    // 16-bit samples 100, 140, 300: stretched as a whole, the stretch reported.
    auto samples = std::make_shared<form::DeepSamples>();
    samples->width = 3;
    samples->height = 1;
    samples->samples = std::vector<uint16_t>{100, 140, 300};
    decoded = form::Picture{};
    decoded.width = 3;
    decoded.height = 1;
    decoded.deep = samples;
    levels = loadBigPicture(dir.file("a.png"), decoder, "minmax");
    ASSERT_TRUE(levels.ok()) << levels.error();
    const uint8_t* row = levels->picture.row(0);
    EXPECT_EQ(std::vector<uint8_t>(row, row + 3), (std::vector<uint8_t>{0, 51, 255}));
    EXPECT_EQ(levels->stretch, "minmax");
    EXPECT_EQ(levels->points.black, 100);
    EXPECT_EQ(levels->points.white, 300);

    // Nothing to stretch: the message names the file.
    samples->samples = std::vector<uint16_t>{7, 7, 7};
    auto refused = loadBigPicture(dir.file("a.png"), decoder, "");
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().find(dir.file("a.png")), std::string::npos) << refused.error();
}

}  // namespace
}  // namespace orv::tiles
