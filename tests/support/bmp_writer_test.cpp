#include "bench/bmp_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_app.h"

namespace orv::bench {
namespace {

uint32_t u32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t{b[at + 3]} << 24);
}
uint32_t u16(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8);
}

// Black and white checkerboard: fits every palette.
std::vector<uint8_t> checkerboard(int width, int height) {
    std::vector<uint8_t> rgb;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) rgb.push_back((x + y) % 2 ? 255 : 0);
    return rgb;
}

TEST(BmpWriter, HeadersAndRowPaddingFollowTheFormat) {
    struct Case {
        BmpVariant variant;
        int width;
        uint32_t bits, rowBytes, paletteEntries;
    };
    const Case cases[] = {
        {BmpVariant::Rgb24, 1, 24, 4, 0},    {BmpVariant::Rgb24, 3, 24, 12, 0},
        {BmpVariant::Rgb24, 4, 24, 12, 0},   {BmpVariant::Rgb24TopDown, 5, 24, 16, 0},
        {BmpVariant::Rgb32, 3, 32, 12, 0},   {BmpVariant::Rgb555, 2, 16, 4, 0},
        {BmpVariant::Rgb555, 3, 16, 8, 0},   {BmpVariant::Indexed8, 5, 8, 8, 256},
        {BmpVariant::Indexed4, 9, 4, 8, 2},  {BmpVariant::Indexed4, 8, 4, 4, 2},
        {BmpVariant::Indexed1, 32, 1, 4, 2}, {BmpVariant::Indexed1, 33, 1, 8, 2},
    };
    constexpr int kHeight = 3;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(bmpVariantName(c.variant)) + " width " + std::to_string(c.width));
        const auto bytes = encodeBmp(c.width, kHeight, checkerboard(c.width, kHeight), c.variant);
        ASSERT_TRUE(bytes.ok()) << bytes.error();
        const std::vector<uint8_t>& b = bytes.value();
        const uint32_t offset = 54 + 4 * c.paletteEntries;
        ASSERT_EQ(b.size(), offset + c.rowBytes * kHeight);
        EXPECT_EQ(b[0], 'B');
        EXPECT_EQ(b[1], 'M');
        EXPECT_EQ(u32(b, 2), b.size());
        EXPECT_EQ(u32(b, 10), offset);
        EXPECT_EQ(u32(b, 14), 40u);
        EXPECT_EQ(u32(b, 18), static_cast<uint32_t>(c.width));
        const int32_t height = static_cast<int32_t>(u32(b, 22));
        EXPECT_EQ(height, c.variant == BmpVariant::Rgb24TopDown ? -kHeight : kHeight);
        EXPECT_EQ(u16(b, 26), 1u);
        EXPECT_EQ(u16(b, 28), c.bits);
        EXPECT_EQ(u32(b, 30), 0u);
        EXPECT_EQ(u32(b, 34), c.rowBytes * kHeight);
        EXPECT_EQ(u32(b, 46), c.paletteEntries);
    }
}

// Known bytes of tiny pictures: row order, B-G-R order, bit packing and 5-bit rounding.
TEST(BmpWriter, PixelBytesAreLaidOutAsTheFormatSays) {
    const std::vector<uint8_t> twoByTwo = {1, 2, 3, 4,  5,  6,  // top row
                                           7, 8, 9, 10, 11, 12};
    struct Case {
        BmpVariant variant;
        int width, height;
        std::vector<uint8_t> rgb;
        std::vector<uint8_t> rows;  // the bytes after the headers and the palette
    };
    const Case cases[] = {
        {BmpVariant::Rgb24, 2, 2, twoByTwo, {9, 8, 7, 12, 11, 10, 0, 0, 3, 2, 1, 6, 5, 4, 0, 0}},
        {BmpVariant::Rgb24TopDown,
         2,
         2,
         twoByTwo,
         {3, 2, 1, 6, 5, 4, 0, 0, 9, 8, 7, 12, 11, 10, 0, 0}},
        {BmpVariant::Rgb32, 1, 2, {1, 2, 3, 4, 5, 6}, {6, 5, 4, 0, 3, 2, 1, 0}},
        // (255, 0, 8) -> 31, 0, 1 -> 0x7c01; (4, 132, 251) -> 0, 16, 31 -> 0x021f.
        {BmpVariant::Rgb555, 2, 1, {255, 0, 8, 4, 132, 251}, {0x01, 0x7c, 0x1f, 0x02}},
        // Palette [black, white]: pixels white, black, white -> bits 101.
        {BmpVariant::Indexed1, 3, 1, {255, 255, 255, 0, 0, 0, 255, 255, 255}, {0xa0, 0, 0, 0}},
        // Palette [0x000010, 0x100000, 0x200000]: pixels 2, 0, 1 -> nibbles 2 0 1.
        {BmpVariant::Indexed4, 3, 1, {32, 0, 0, 0, 0, 16, 16, 0, 0}, {0x20, 0x10, 0, 0}},
        // All grey: the index is the level.
        {BmpVariant::Indexed8, 3, 1, {7, 7, 7, 200, 200, 200, 0, 0, 0}, {7, 200, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(bmpVariantName(c.variant)));
        const auto bytes = encodeBmp(c.width, c.height, c.rgb, c.variant);
        ASSERT_TRUE(bytes.ok()) << bytes.error();
        const std::vector<uint8_t>& b = bytes.value();
        const std::vector<uint8_t> rows(b.begin() + u32(b, 10), b.end());
        EXPECT_EQ(rows, c.rows);
    }
}

TEST(BmpWriter, RejectsWhatItCannotWrite) {
    std::vector<uint8_t> colours;  // 300 different colours in one row
    for (int k = 0; k < 300; ++k) {
        colours.push_back(static_cast<uint8_t>(k));
        colours.push_back(static_cast<uint8_t>(k >> 8));
        colours.push_back(1);
    }
    struct Case {
        const char* name;
        int width, height;
        size_t pixels;  // taken from the start of `colours`
        BmpVariant variant;
    };
    const Case cases[] = {
        {"zero width", 0, 1, 0, BmpVariant::Rgb24},
        {"negative height", 4, -1, 4, BmpVariant::Rgb24},
        {"too few bytes", 10, 2, 19, BmpVariant::Rgb24},
        {"3 colours in 1 bit", 3, 1, 3, BmpVariant::Indexed1},
        {"17 colours in 4 bits", 17, 1, 17, BmpVariant::Indexed4},
        {"257 colours in 8 bits", 257, 1, 257, BmpVariant::Indexed8},
    };
    for (const Case& c : cases) {
        const std::span<const uint8_t> rgb(colours.data(), c.pixels * 3);
        const auto bytes = encodeBmp(c.width, c.height, rgb, c.variant);
        EXPECT_FALSE(bytes.ok()) << c.name;
        EXPECT_FALSE(bytes.error().empty()) << c.name;
    }
    EXPECT_TRUE(encodeBmp(256, 1, std::span(colours.data(), 256 * 3), BmpVariant::Indexed8).ok());
}

TEST(BmpWriter, FailedWriteLeavesTheOldFileAndNoTemporaryFile) {
    test::TempDir dir;
    const std::string path = dir.file("picture.bmp");
    test::writeFile(path, "old");
    // A paletted file of a picture with too many colours fails before anything is written.
    const std::vector<uint8_t> rgb = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_FALSE(writeBmp(path, 3, 1, rgb, BmpVariant::Indexed1).ok());
    EXPECT_EQ(test::readFile(path), "old");
    // A folder that does not exist.
    EXPECT_FALSE(writeBmp(dir.file("missing/picture.bmp"), 3, 1, rgb).ok());

    ASSERT_TRUE(writeBmp(path, 3, 1, rgb).ok());
    const auto expected = encodeBmp(3, 1, rgb, BmpVariant::Rgb24);
    EXPECT_EQ(test::readFile(path), std::string(expected->begin(), expected->end()));
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

}  // namespace
}  // namespace orv::bench
