#include "formats/guarded_decode.h"

#include <fitsio.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "formats/fits.h"
#include "formats/fits_files.h"
#include "formats/picture_file.h"
#include "support/test_app.h"

namespace orv::formats {
namespace {

using test::TempDir;

std::string dataFile(const std::string& name) {
    return std::string(ORV_TEST_DATA) + "/fits/" + name;
}

// The 8-bit pixels of a level picture, row by row.
std::vector<uint8_t> levels(const form::Picture& p) {
    std::vector<uint8_t> out;
    const size_t bytes = p.layout == form::PixelLayout::Grey8    ? 1
                         : p.layout == form::PixelLayout::Rgb888 ? 3
                                                                 : 4;
    for (int y = 0; y < p.height; ++y)
        out.insert(out.end(), p.row(y), p.row(y) + bytes * static_cast<size_t>(p.width));
    return out;
}

// A tile-compressed picture, read in the helper, gives the levels the same samples give
// uncompressed in the primary HDU, read in the program itself: for every compression CFITSIO
// writes, and uncompressed in an image extension.
TEST(GuardedDecode, CompressedFitsReadInTheHelperMatchesTheUncompressedFile) {
    TempDir dir;
    test::FitsSpec plain;
    plain.naxes = {37, 21};
    const auto values = test::fitsValues(plain, [](int x, int y, int) {
        return 100 + (x * 7 + y * 13) % 50 +
               ((x - 18) * (x - 18) + (y - 10) * (y - 10) < 9 ? 2000 : 0);
    });
    test::writeFits(dir.file("plain.fits"), plain, values);
    auto expected = readPictureFile(PictureDecoder{}, dir.file("plain.fits"), "");
    ASSERT_TRUE(expected) << expected.error();
    ASSERT_TRUE(fitsPictureInPrimary(dir.file("plain.fits")));
    for (int compression : {0, RICE_1, GZIP_1, GZIP_2, HCOMPRESS_1, PLIO_1}) {
        test::FitsSpec spec = plain;
        spec.compression = compression;
        spec.emptyPrimary = compression == 0;
        const std::string path = dir.file("c" + std::to_string(compression) + ".fits");
        test::writeFits(path, spec, values);
        ASSERT_FALSE(fitsPictureInPrimary(path)) << compression;
        auto read = readPictureFile(PictureDecoder{}, path, "");
        ASSERT_TRUE(read) << compression << ": " << read.error();
        EXPECT_EQ(read->stretch, expected->stretch);
        EXPECT_EQ(levels(read->picture), levels(expected->picture)) << compression;
    }
}

// Damaged compressed data on which CFITSIO crashes, aborts or keeps growing a buffer: each is
// a refusal that names the file, and the program goes on.
TEST(GuardedDecode, ACrashOrAHangOfTheLibraryIsARefusalWithItsReason) {
    struct Case {
        const char* file;
        const char* reason;  // part of the message ("" for any)
    };
    const Case cases[] = {
        // SIGSEGV in fits_rdecomp_short (a sanitized helper ends with its report's exit code)
        {"rice_crash.fits", "読み込み中に異常終了しました: "},
        // free(): invalid pointer in fits_hdecompress, SIGABRT
        {"hcompress_abort.fits", "読み込み中に異常終了しました: "},
        // GZIP_1 data whose expansion never ends: the memory limit or the time limit ends it
        {"gzip_hang.fits", ""},
        // RICE data CFITSIO refuses with its status 1, "non-CFITSIO program error"
        {"rice_corrupt.fits", "圧縮された画像を展開できません (圧縮されたデータが壊れています)"},
    };
    for (const Case& c : cases) {
        HelperRequest request;
        request.reader = HelperReader::Fits;
        request.limits.baseSeconds = 3;
        int pumps = 0;
        request.pump = [&pumps] { ++pumps; };
        const auto read = decodeInHelper(dataFile(c.file), request);
        ASSERT_FALSE(read) << c.file;
        EXPECT_NE(read.error().find(dataFile(c.file)), std::string::npos) << read.error();
        EXPECT_NE(read.error().find(c.reason), std::string::npos) << read.error();
        EXPECT_EQ(read.error().find("CFITSIO"), std::string::npos) << read.error();
        EXPECT_GT(pumps, 0) << c.file;
    }
    // Through the reader every picture loading uses.
    const auto read = readPictureFile(PictureDecoder{}, dataFile("rice_crash.fits"), "");
    ASSERT_FALSE(read);
    EXPECT_NE(read.error().find("異常終了しました"), std::string::npos) << read.error();
    // A damaged table header before the picture, which CFITSIO parsed into a state that
    // changed the next reading of any file in the same process (and, sanitized, into an
    // allocation of 2^61 records): read in the helper, it gives the same refusal every time.
    const auto first = readPictureFile(PictureDecoder{}, dataFile("table_header.fits"), "");
    const auto again = readPictureFile(PictureDecoder{}, dataFile("table_header.fits"), "");
    ASSERT_FALSE(first);
    EXPECT_EQ(again.error(), first.error());
}

// What a helper can do wrong, each shown with a stand-in helper (a shell script): the reason
// says what happened, and nothing the helper gives back is taken unchecked.
TEST(GuardedDecode, EveryWayAHelperCanFailHasItsReason) {
    TempDir dir;
    test::writeFile(dir.file("p.bmp"), "x");
    struct Case {
        const char* script;
        double seconds;
        const char* reason;
    };
    const Case cases[] = {
        {"kill -SEGV $$", 10, "読み込み中に異常終了しました: SIGSEGV"},
        {"exit 7", 10, "読み込み中に異常終了しました: 終了コード 7"},
        {"exec sleep 30", 0.5, "秒で終わりませんでした"},
        {"echo 'watch 4096' >&4; exec sleep 30", 10, "メモリーの上限"},
        {"exit 0", 10, "補助プログラムの結果がありません"},
        {"echo 'refused 読めません' >&4", 10, "読めません"},
        // pixels announced that the shared memory does not hold
        {"echo 'picture 100 100 0' >&4", 10, "補助プログラムの結果が正しくありません"},
        {"printf abcdef >&3; echo 'picture 2 2 0' >&4", 10,
         "補助プログラムの結果が正しくありません"},
        {"printf abcdef >&3; echo 'picture -2 -1 0' >&4", 10,
         "補助プログラムの結果が正しくありません"},
        {"printf abcdef >&3; echo 'deep 3 1 1 u16 0 nan?' >&4", 10,
         "補助プログラムの結果が正しくありません"},
    };
    for (const Case& c : cases) {
        const std::string helper = dir.file("helper.sh");
        test::writeFile(helper, std::string("#!/bin/sh\n") + c.script + "\n");
        ::chmod(helper.c_str(), 0755);
        HelperRequest request;
        request.helper = helper;
        request.limits.baseSeconds = c.seconds;
        const auto read = decodeInHelper(dir.file("p.bmp"), request);
        ASSERT_FALSE(read) << c.script;
        EXPECT_NE(read.error().find(c.reason), std::string::npos)
            << c.script << ": " << read.error();
    }
    HelperRequest missing;
    missing.helper = dir.file("none");
    EXPECT_NE(decodeInHelper(dir.file("p.bmp"), missing).error().find("補助プログラムがありません"),
              std::string::npos);
}

// A well-behaved stand-in: the pixels and samples come back as it wrote them.
TEST(GuardedDecode, PixelsAndSamplesComeBackThroughTheSharedMemory) {
    TempDir dir;
    test::writeFile(dir.file("p.bmp"), "x");
    const std::string helper = dir.file("helper.sh");
    HelperRequest request;
    request.helper = helper;

    test::writeFile(helper,
                    "#!/bin/sh\nprintf 'abcdef' >&3\necho 'declared 2' >&4\n"
                    "echo 'picture 2 1 0' >&4\n");
    ::chmod(helper.c_str(), 0755);
    auto rgb = decodeInHelper(dir.file("p.bmp"), request);
    ASSERT_TRUE(rgb) << rgb.error();
    EXPECT_EQ(rgb->width, 2);
    EXPECT_EQ(rgb->height, 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(rgb->bits), 6), "abcdef");

    // Two 16-bit samples 0x6261 ("ab"), 0x6463 ("cd") with offset and scale.
    test::writeFile(helper, "#!/bin/sh\nprintf 'abcd' >&3\necho 'deep 2 1 1 u16 -0.5 2' >&4\n");
    auto deep = decodeInHelper(dir.file("p.bmp"), request);
    ASSERT_TRUE(deep) << deep.error();
    ASSERT_TRUE(deep->deep);
    EXPECT_EQ(deep->deep->offset, -0.5);
    EXPECT_EQ(deep->deep->scale, 2.0);
    EXPECT_EQ(std::get<std::vector<uint16_t>>(deep->deep->samples),
              (std::vector<uint16_t>{0x6261, 0x6463}));
}

}  // namespace
}  // namespace orv::formats
