#include "formats/bmp_stream.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "bench/bmp_writer.h"
#include "core/block_cache.h"
#include "support/test_app.h"
#include "tiles/tile_pictures.h"

namespace orv::formats {
namespace {

using bench::BmpVariant;
using Status = BmpRead::Status;

using tiles::test::patternBytes;
using tiles::test::pixelsOf;

std::string asString(const std::vector<uint8_t>& b) {
    return std::string(b.begin(), b.end());
}

void put32(std::string& b, size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) b[at + k] = static_cast<char>(v >> (8 * k));
}

BmpRead readBytes(const test::TempDir& dir, const std::string& bytes) {
    const std::string path = dir.file("p.bmp");
    test::writeFile(path, bytes);
    return readBmpFile(path);
}

TEST(BmpStream, ReadsTheUncompressedVariantsPixelForPixel) {
    test::TempDir dir;
    for (BmpVariant v : {BmpVariant::Rgb24, BmpVariant::Rgb24TopDown, BmpVariant::Rgb32})
        for (auto [w, h] : {std::pair{1, 1}, {5, 3}, {4, 2}, {7, 6}}) {
            SCOPED_TRACE(std::string(bench::bmpVariantName(v)) + " " + std::to_string(w));
            const auto rgb = patternBytes(w, h);
            const auto bytes = bench::encodeBmp(w, h, rgb, v);
            ASSERT_TRUE(bytes.ok());
            int rows = 0;
            test::writeFile(dir.file("p.bmp"), asString(bytes.value()));
            const BmpRead r = readBmpFile(dir.file("p.bmp"), [&](int done, int total) {
                EXPECT_EQ(done, ++rows);
                EXPECT_EQ(total, h);
            });
            ASSERT_EQ(r.status, Status::Ok) << r.error;
            EXPECT_EQ(r.picture.width, w);
            EXPECT_EQ(r.picture.height, h);
            EXPECT_EQ(pixelsOf(r.picture), rgb);
            EXPECT_EQ(rows, h);
        }
}

// The rows handed on by the streaming read, for 1 to 3 bands of rows: every file row once, as
// the file holds it, each band's rows in file order on its own part; the last row may lack
// its padding, and a file cut after its header was read fails.
TEST(BmpStream, StreamsEveryFileRowOnceInBandsOfRows) {
    test::TempDir dir;
    const int w = 5, h = 300;  // rows of 15 bytes and 1 of padding
    const std::string good =
        asString(bench::encodeBmp(w, h, patternBytes(w, h), BmpVariant::Rgb24).value());
    const size_t rowBytes = 16;
    for (const bool padded : {true, false})
        for (const int parts : {1, 2, 3}) {
            SCOPED_TRACE(testing::Message() << parts << " parts, padded " << padded);
            const std::string bytes = padded ? good : good.substr(0, good.size() - 1);
            test::writeFile(dir.file("p.bmp"), bytes);
            std::mutex mutex;
            std::vector<int> seen(h, 0);
            std::vector<int> last(static_cast<size_t>(parts), -1);
            const BmpRead r = streamBmpFile(
                dir.file("p.bmp"), [](const BmpPixels& p) { return p.width == w && p.height == h; },
                [&](int part, const uint8_t* rows, size_t stride, int first, int count) {
                    std::lock_guard lock(mutex);
                    EXPECT_EQ(stride, rowBytes);
                    EXPECT_GT(first, last[static_cast<size_t>(part)]);
                    last[static_cast<size_t>(part)] = first + count - 1;
                    for (int i = 0; i < count; ++i) {
                        const int row = first + i;
                        ++seen[static_cast<size_t>(row)];
                        EXPECT_EQ(std::memcmp(rows + i * stride, bytes.data() + 54 + row * rowBytes,
                                              3 * w),
                                  0)
                            << "file row " << row;
                    }
                },
                parts);
            ASSERT_EQ(r.status, Status::Ok) << r.error;
            EXPECT_EQ(seen, std::vector<int>(h, 1));
        }
    // Cut once its header was read: the rows are no longer all there.
    const BmpRead cut = streamBmpFile(
        dir.file("p.bmp"),
        [&](const BmpPixels&) {
            test::writeFile(dir.file("p.bmp"), good.substr(0, good.size() / 2));
            return true;
        },
        [](int, const uint8_t*, size_t, int, int) {}, 2);
    EXPECT_EQ(cut.status, Status::Failed);
    EXPECT_NE(cut.error.find("読み込めません"), std::string::npos) << cut.error;
}

TEST(BmpStream, LeavesPalettesAnd16BitsToTheToolkit) {
    test::TempDir dir;
    std::vector<uint8_t> grey(6 * 3, 90);
    for (BmpVariant v :
         {BmpVariant::Rgb555, BmpVariant::Indexed8, BmpVariant::Indexed4, BmpVariant::Indexed1}) {
        const auto bytes = bench::encodeBmp(3, 2, grey, v);
        EXPECT_EQ(readBytes(dir, asString(bytes.value())).status, Status::NotHandled);
    }
    EXPECT_EQ(readBytes(dir, "GIF89a....").status, Status::NotHandled);
}

// A 2 x 1 BI_BITFIELDS file with a 124-byte header and the given masks.
std::string bitfields(uint32_t r, uint32_t g, uint32_t b, const uint8_t (&pixels)[8]) {
    std::string f(14 + 124, '\0');
    f[0] = 'B', f[1] = 'M';
    put32(f, 10, 14 + 124);
    put32(f, 14, 124);
    put32(f, 18, 2);
    put32(f, 22, 1);
    f[26] = 1, f[28] = 32;
    put32(f, 30, 3);
    put32(f, 54, r);
    put32(f, 58, g);
    put32(f, 62, b);
    return f + std::string(reinterpret_cast<const char*>(pixels), 8);
}

TEST(BmpStream, ReadsByteMasksOfBitfieldsAndLeavesOtherMasks) {
    test::TempDir dir;
    const uint8_t px[8] = {1, 2, 3, 4, 5, 6, 7, 8};  // words 0x04030201, 0x08070605
    BmpRead r = readBytes(dir, bitfields(0xFFu, 0xFF00u, 0xFF0000u, px));
    ASSERT_EQ(r.status, Status::Ok) << r.error;
    EXPECT_EQ(pixelsOf(r.picture), (std::vector<uint8_t>{1, 2, 3, 5, 6, 7}));
    r = readBytes(dir, bitfields(0xFF000000u, 0xFF0000u, 0xFF00u, px));
    ASSERT_EQ(r.status, Status::Ok);
    EXPECT_EQ(pixelsOf(r.picture), (std::vector<uint8_t>{4, 3, 2, 8, 7, 6}));
    EXPECT_EQ(readBytes(dir, bitfields(0x3FF00000u, 0xFFC00u, 0x3FFu, px)).status,
              Status::NotHandled);
}

TEST(BmpStream, RefusesBrokenFilesBeforeAllocating) {
    test::TempDir dir;
    const std::string good =
        asString(bench::encodeBmp(3, 4, patternBytes(3, 4), BmpVariant::Rgb24).value());
    ASSERT_EQ(good.size(), 54u + 12 * 4);
    struct Case {
        const char* what;
        std::string bytes;
        Status expected;
    };
    std::vector<Case> cases = {
        {"last row without its padding", good.substr(0, good.size() - 3), Status::Ok},
        {"a pixel missing", good.substr(0, good.size() - 4), Status::Failed},
        {"headers cut", good.substr(0, 30), Status::Failed},
        {"no rows", good.substr(0, 54), Status::Failed},
    };
    auto mutated = [&](size_t at, uint32_t v) {
        std::string b = good;
        put32(b, at, v);
        return b;
    };
    cases.push_back({"width 0", mutated(18, 0), Status::Failed});
    cases.push_back({"negative width", mutated(18, 0xFFFFFFFFu), Status::Failed});
    cases.push_back({"height 0", mutated(22, 0), Status::Failed});
    cases.push_back({"height INT_MIN", mutated(22, 0x80000000u), Status::Failed});
    cases.push_back({"rows inside the header", mutated(10, 20), Status::Failed});
    cases.push_back({"rows past the end", mutated(10, 0xFFFFFF00u), Status::Failed});
    cases.push_back({"a huge width", mutated(18, 0x7FFFFFFFu), Status::Failed});
    cases.push_back({"OS/2 header", mutated(14, 12), Status::NotHandled});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const BmpRead r = readBytes(dir, c.bytes);
        EXPECT_EQ(r.status, c.expected) << r.error;
        if (c.expected == Status::Failed) {
            EXPECT_NE(r.error.find(dir.file("p.bmp")), std::string::npos);
        }
    }
}

// A very wide picture (700000000 x 1 in the field) reads a whole row at a time: the pixels and
// that row together must fit the memory, or the picture is refused with the reason.
TEST(BmpStream, TheRowBufferIsCountedWithThePixels) {
    test::TempDir dir;
    const int w = 2000000;  // 6 MB of pixels and a 6 MB row
    const auto bytes =
        bench::encodeBmp(w, 1, std::vector<uint8_t>(3 * size_t{w}, 7), BmpVariant::Rgb24);
    ASSERT_TRUE(bytes.ok());
    test::writeFile(dir.file("wide.bmp"), asString(bytes.value()));
    core::setMemoryCeilingForTests(10 << 20);
    const BmpRead refused = readBmpFile(dir.file("wide.bmp"));
    core::setMemoryCeilingForTests(13 << 20);
    const BmpRead read = readBmpFile(dir.file("wide.bmp"));
    core::setMemoryCeilingForTests(0);
    EXPECT_EQ(refused.status, Status::Failed);
    EXPECT_NE(refused.error.find("メモリーに入りません: 2000000 x 1"), std::string::npos)
        << refused.error;
    EXPECT_EQ(read.status, Status::Ok) << read.error;
}

TEST(BmpStream, WritesTheTileFormatByteForByte) {
    test::TempDir dir;
    for (auto layout : tiles::test::kAllLayouts)
        for (auto [w, h] : {std::pair{1, 1}, {5, 3}, {8, 2}}) {
            const bool grey = layout == form::PixelLayout::Grey8;
            const auto picture = tiles::test::patternPicture(w, h, layout);
            ASSERT_TRUE(writeBmp24(dir.file("t.bmp"), picture).ok());
            EXPECT_EQ(
                test::readFile(dir.file("t.bmp")),
                asString(
                    bench::encodeBmp(w, h, patternBytes(w, h, grey), BmpVariant::Rgb24).value()));
        }
}

}  // namespace
}  // namespace orv::formats
