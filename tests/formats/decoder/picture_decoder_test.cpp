#include "formats/decoder/picture_decoder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QBuffer>
#include <QImage>
#include <QProcess>
#include <QRgba64>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "bench/bmp_writer.h"
#include "bench/starfield.h"
#include "support/test_app.h"

namespace orv {
namespace {

using bench::BmpVariant;

// The decoded picture as tightly packed R, G, B, whatever its memory layout.
std::vector<uint8_t> rgbOf(const form::Picture& p) {
    std::vector<uint8_t> rgb;
    rgb.reserve(static_cast<size_t>(p.width) * p.height * 3);
    for (int y = 0; y < p.height; ++y) {
        const uint8_t* row = p.row(y);
        for (int x = 0; x < p.width; ++x) {
            if (p.layout == form::PixelLayout::Bgrx8888) {
                rgb.insert(rgb.end(), {row[4 * x + 2], row[4 * x + 1], row[4 * x]});
            } else {
                rgb.insert(rgb.end(), {row[3 * x], row[3 * x + 1], row[3 * x + 2]});
            }
        }
    }
    return rgb;
}

// The top-left width x height corner of a field.
std::vector<uint8_t> crop(const bench::StarField& f, int width, int height) {
    std::vector<uint8_t> out;
    for (int y = 0; y < height; ++y) {
        const auto row = f.rgb.begin() + static_cast<std::ptrdiff_t>(y) * f.width * 3;
        out.insert(out.end(), row, row + width * 3);
    }
    return out;
}

// Every value moved to the nearest of `levels` (per channel R, G, B).
std::vector<uint8_t> snap(std::vector<uint8_t> rgb, const std::vector<std::vector<int>>& levels) {
    for (size_t k = 0; k < rgb.size(); ++k) {
        const std::vector<int>& l = levels[k % 3];
        rgb[k] = static_cast<uint8_t>(*std::min_element(l.begin(), l.end(), [&](int a, int b) {
            return std::abs(a - rgb[k]) < std::abs(b - rgb[k]);
        }));
    }
    return rgb;
}

// The 5-bit R, G, B levels stored in a bottom-up 16-bit BMP file, row 0 (the top) first.
std::vector<uint8_t> levels555(const std::string& file, int width, int height) {
    auto byte = [&](size_t at) { return static_cast<uint32_t>(static_cast<uint8_t>(file[at])); };
    const size_t offset = byte(10) | byte(11) << 8 | byte(12) << 16 | byte(13) << 24;
    const size_t rowBytes = (static_cast<size_t>(width) * 2 + 3) / 4 * 4;
    std::vector<uint8_t> levels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const size_t at = offset + static_cast<size_t>(height - 1 - y) * rowBytes + 2 * x;
            const uint32_t word = byte(at) | byte(at + 1) << 8;
            levels.insert(levels.end(),
                          {static_cast<uint8_t>(word >> 10 & 31),
                           static_cast<uint8_t>(word >> 5 & 31), static_cast<uint8_t>(word & 31)});
        }
    }
    return levels;
}

// A field with stars in its top-left corner, in colour and in grey, to crop test pictures from.
struct Fields {
    bench::StarField colour, grey;
    Fields() {
        bench::FieldSpec params = bench::denseField(40, 24, 14, 21);
        params.margin = 0.0;
        params.saturatedCount = 2;
        colour = bench::generateStarField(params);
        params.colour = false;
        grey = bench::generateStarField(params);
    }
};

TEST(PictureDecoder, EveryBmpVariantDecodesToTheBytesWritten) {
    const Fields fields;
    struct Case {
        const char* name;
        BmpVariant variant;
        std::function<std::vector<uint8_t>(int, int)> picture;
    };
    const std::vector<int> all2 = {0, 255};
    const std::vector<int> six = {0, 51, 102, 153, 204, 255};
    const Case cases[] = {
        {"colour", BmpVariant::Rgb24, [&](int w, int h) { return crop(fields.colour, w, h); }},
        {"colour", BmpVariant::Rgb24TopDown,
         [&](int w, int h) { return crop(fields.colour, w, h); }},
        {"colour", BmpVariant::Rgb32, [&](int w, int h) { return crop(fields.colour, w, h); }},
        {"colour", BmpVariant::Rgb555, [&](int w, int h) { return crop(fields.colour, w, h); }},
        {"grey", BmpVariant::Indexed8, [&](int w, int h) { return crop(fields.grey, w, h); }},
        {"216 colours", BmpVariant::Indexed8,
         [&](int w, int h) {
             return snap(crop(fields.colour, w, h), {six, six, six});
         }},
        {"16 colours", BmpVariant::Indexed4,
         [&](int w, int h) {
             return snap(crop(fields.colour, w, h), {all2, {0, 85, 170, 255}, all2});
         }},
        {"2 colours", BmpVariant::Indexed1,
         [&](int w, int h) {
             std::vector<uint8_t> rgb = crop(fields.colour, w, h);
             for (size_t k = 0; k < rgb.size(); k += 3) {
                 const bool star = rgb[k + 1] > 40;
                 rgb[k] = star ? 250 : 20, rgb[k + 1] = star ? 240 : 40,
                 rgb[k + 2] = star ? 200 : 60;
             }
             return rgb;
         }},
    };
    // Odd widths exercise the row padding and the partly filled last byte of paletted rows.
    const std::pair<int, int> sizes[] = {{1, 1}, {2, 3}, {3, 2}, {5, 7}, {9, 4}, {13, 5}, {40, 24}};

    test::TempDir dir;
    for (const Case& c : cases) {
        for (const auto& [w, h] : sizes) {
            SCOPED_TRACE(std::string(bench::bmpVariantName(c.variant)) + " " + c.name + " " +
                         std::to_string(w) + "x" + std::to_string(h));
            const std::vector<uint8_t> written = c.picture(w, h);
            const std::string path = dir.file("picture.bmp");
            const auto saved = bench::writeBmp(path, w, h, written, c.variant);
            ASSERT_TRUE(saved.ok()) << saved.error();
            const auto decoded = formats::decodePictureFile(path);
            ASSERT_TRUE(decoded.ok()) << decoded.error();
            EXPECT_EQ(decoded->width, w);
            EXPECT_EQ(decoded->height, h);
            const std::vector<uint8_t> read = rgbOf(decoded.value());
            ASSERT_EQ(read.size(), written.size());
            if (c.variant == BmpVariant::Rgb555) {
                // Readers widen 5 bits to 8 in different ways (Qt: 8 q; others repeat the high
                // bits or scale to 255), but every one keeps the 5-bit level in the top bits.
                // The stored level is the nearest to what was written.
                const std::vector<uint8_t> levels = levels555(test::readFile(path), w, h);
                for (size_t k = 0; k < read.size(); ++k) {
                    ASSERT_EQ(read[k] >> 3, levels[k]) << "byte " << k;
                    ASSERT_LE(std::abs(levels[k] * 255.0 / 31.0 - written[k]), 255.0 / 62.0)
                        << "byte " << k;
                }
                continue;
            }
            const auto diff = std::mismatch(read.begin(), read.end(), written.begin());
            EXPECT_TRUE(diff.first == read.end())
                << "first difference at byte " << (diff.first - read.begin()) << ": read "
                << int{*diff.first} << ", written " << int{*diff.second};
        }
    }
}

// Runs orvandel-starfield; its exit code, or -1 when it did not run to the end.
int runTool(const QStringList& args) {
    QProcess tool;
    tool.start(ORV_STARFIELD_TOOL, args);
    if (!tool.waitForFinished(-1) || tool.exitStatus() != QProcess::NormalExit) return -1;
    return tool.exitCode();
}

TEST(PictureDecoder, JpegFromTheToolIsCloseToTheField) {
    test::TempDir dir;
    const QStringList field = {"--width", "96", "--height", "64", "--stars", "40", "--seed", "3"};
    const std::string bmp = dir.file("field.bmp");
    const std::string jpg = dir.file("field.jpg");
    ASSERT_EQ(runTool(field + QStringList{"--out", QString::fromStdString(bmp)}), 0);
    ASSERT_EQ(runTool(field + QStringList{"--quality", "95", "--out", QString::fromStdString(jpg)}),
              0);

    const auto original = formats::decodePictureFile(bmp);
    const auto lossy = formats::decodePictureFile(jpg);
    ASSERT_TRUE(original.ok()) << original.error();
    ASSERT_TRUE(lossy.ok()) << lossy.error();
    EXPECT_EQ(lossy->width, 96);
    EXPECT_EQ(lossy->height, 64);
    const std::vector<uint8_t> a = rgbOf(original.value());
    const std::vector<uint8_t> b = rgbOf(lossy.value());
    ASSERT_EQ(a.size(), b.size());
    double sumAbs = 0.0;
    int worst = 0;
    for (size_t k = 0; k < a.size(); ++k) {
        const int d = std::abs(a[k] - b[k]);
        sumAbs += d;
        worst = std::max(worst, d);
    }
    EXPECT_LT(sumAbs / static_cast<double>(a.size()), 3.0);
    EXPECT_LT(worst, 64);
}

TEST(PictureDecoder, BrokenFilesGiveAnErrorNotACrash) {
    test::TempDir dir;
    // 32 pixels of 3 bytes: rows without padding, so the last byte is a pixel's.
    const std::vector<uint8_t> rgb(32 * 20 * 3, 90);
    const auto whole = bench::encodeBmp(32, 20, rgb, BmpVariant::Rgb24);
    ASSERT_TRUE(whole.ok());
    const std::string bytes(whole->begin(), whole->end());
    const auto paletted = bench::encodeBmp(32, 20, rgb, BmpVariant::Indexed8);
    ASSERT_TRUE(paletted.ok());

    struct Case {
        const char* name;
        std::string file;
        std::optional<std::string> contents;  // none: the file does not exist
    };
    const Case cases[] = {
        {"truncated in the rows", "rows.bmp", bytes.substr(0, bytes.size() / 2)},
        {"truncated by one byte", "last.bmp", bytes.substr(0, bytes.size() - 1)},
        {"headers only", "headers.bmp", bytes.substr(0, 54)},
        {"truncated in the header", "header.bmp", bytes.substr(0, 30)},
        {"truncated in the palette", "palette.bmp",
         std::string(paletted->begin(), paletted->begin() + 54 + 100)},
        {"zero bytes", "empty.bmp", ""},
        {"text renamed", "notes.bmp", "These are notes, not a picture.\r\n"},
        {"missing", "missing.bmp", std::nullopt},
    };
    for (const Case& c : cases) {
        const std::string path = dir.file(c.file);
        if (c.contents) test::writeFile(path, *c.contents);
        const auto decoded = formats::decodePictureFile(path);
        EXPECT_FALSE(decoded.ok()) << c.name;
        EXPECT_FALSE(decoded.error().empty()) << c.name;
    }
    // The untouched file still reads.
    test::writeFile(dir.file("whole.bmp"), bytes);
    EXPECT_TRUE(formats::decodePictureFile(dir.file("whole.bmp")).ok());
}

// A BMP file with a BITMAPINFOHEADER: the header fields as given and `tail` (palette and data).
std::string bmpFile(int32_t width, int32_t height, int bits, uint32_t compression,
                    const std::vector<uint32_t>& palette, const std::string& data) {
    std::string f;
    auto put = [&](uint32_t v, int bytes) {
        for (int k = 0; k < bytes; ++k) f += static_cast<char>(v >> (8 * k) & 0xFF);
    };
    const uint32_t offset = 14 + 40 + 4 * static_cast<uint32_t>(palette.size());
    f += "BM";
    put(offset + static_cast<uint32_t>(data.size()), 4), put(0, 4), put(offset, 4);
    put(40, 4), put(static_cast<uint32_t>(width), 4), put(static_cast<uint32_t>(height), 4);
    put(1, 2), put(bits, 2), put(compression, 4), put(static_cast<uint32_t>(data.size()), 4);
    put(2835, 4), put(2835, 4), put(static_cast<uint32_t>(palette.size()), 4), put(0, 4);
    for (uint32_t c : palette) put(c, 4);
    return f + data;
}

// Run-length compressed BMPs that skip pixels (delta, early end of line) decode with those
// pixels black, every time, whatever was decoded before; a stream cut short is refused. The
// guarded decoder reads them in this process the same way.
TEST(PictureDecoder, CompressedBmpsPaintSkippedPixelsBlack) {
    test::TempDir dir;
    const std::vector<uint32_t> palette = {0x0A141E, 0xFFFFFF, 0xFF0000};  // index 0 is not black
    const std::string w(3, '\xFF'), r("\xFF\0\0", 3), k(3, '\0');
    struct Case {
        const char* name;
        std::string file;
        std::string rgb;  // expected, top row first; "" when refused
    };
    const Case cases[] = {
        {"rle8",
         bmpFile(6, 3, 8, 1, palette,
                 std::string("\x03\x01\x00\x00"                   // bottom row: 3 white, end
                             "\x00\x02\x02\x00\x02\x02\x00\x00"   // skip 2, 2 red, end
                             "\x00\x03\x01\x02\x01\x00\x00\x01",  // 3 given pixels, end
                             20)),
         w + r + w + k + k + k + k + k + r + r + k + k + w + w + w + k + k + k},
        {"rle4",
         bmpFile(4, 2, 4, 2, palette,
                 std::string("\x03\x12\x00\x00"           // bottom row: 1, 2, 1, end
                             "\x00\x03\x21\x20\x00\x01",  // 2, 1, 2, end of bitmap
                             10)),
         r + w + r + k + w + r + w + k},
        {"rle8 cut short", bmpFile(6, 3, 8, 1, palette, std::string("\x03\x01\x00\x00", 4)), ""},
    };
    // A bright picture first, so that memory reused for the next one holds bright values.
    const std::vector<uint8_t> bright(64 * 64 * 3, 250);
    ASSERT_TRUE(bench::writeBmp(dir.file("bright.bmp"), 64, 64, bright).ok());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeFile(dir.file("rle.bmp"), c.file);
        for (int round = 0; round < 4; ++round) {
            ASSERT_TRUE(formats::decodePictureFile(dir.file("bright.bmp")).ok());
            const auto decoded = round < 2 ? formats::decodePictureFile(dir.file("rle.bmp"))
                                           : formats::decodePictureFileGuarded(dir.file("rle.bmp"));
            if (c.rgb.empty()) {
                ASSERT_FALSE(decoded.ok());
                EXPECT_NE(decoded.error().find("途中で切れて"), std::string::npos)
                    << decoded.error();
                continue;
            }
            ASSERT_TRUE(decoded.ok()) << decoded.error();
            const auto rgb = rgbOf(decoded.value());
            EXPECT_EQ(std::string(rgb.begin(), rgb.end()), c.rgb);
        }
    }
}

// What is no picture file says what it is, each case in its own words, and nothing blocks.
TEST(PictureDecoder, EachUnusablePathGivesItsOwnReason) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.file("folder.bmp"));
    ASSERT_EQ(mkfifo(dir.file("fifo.bmp").c_str(), 0644), 0);
    test::writeFile(dir.file("deep.bmp"), bmpFile(4, 4, 64, 0, {}, std::string(128, '\0')));
    // A damaged header announcing 2^31 x 2^31 pixels of 32 bits.
    test::writeFile(dir.file("huge.bmp"), bmpFile(0x7fffffff, 0x7fffffff, 32, 0, {}, "x"));
    struct Case {
        const char* file;
        const char* reason;
    };
    const Case cases[] = {
        {"missing.bmp", "ファイルがありません"},
        {"folder.bmp", "フォルダー"},
        {"fifo.bmp", "通常のファイルではありません"},
        {"deep.bmp", "64 ビット"},
        {"huge.bmp", "途中で切れて"},
    };
    for (const Case& c : cases) {
        const auto decoded = formats::decodePictureFile(dir.file(c.file));
        ASSERT_FALSE(decoded.ok()) << c.file;
        EXPECT_NE(decoded.error().find(c.reason), std::string::npos) << decoded.error();
    }
}

// A JPEG cut anywhere before its end marker is refused like a cut BMP.
TEST(PictureDecoder, ACutJpegIsRefused) {
    QImage image(48, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x) image.setPixel(x, y, qRgb(x * 5, y * 7, (x * y) % 256));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(image.save(&buffer, "JPG", 90));
    const std::string whole(bytes.constData(), static_cast<size_t>(bytes.size()));
    test::TempDir dir;
    test::writeFile(dir.file("whole.jpg"), whole);
    EXPECT_TRUE(formats::decodePictureFile(dir.file("whole.jpg")).ok());
    for (size_t cut : {whole.size() - 2, whole.size() / 2, size_t{700}}) {
        test::writeFile(dir.file("cut.jpg"), whole.substr(0, cut));
        const auto decoded = formats::decodePictureFile(dir.file("cut.jpg"));
        ASSERT_FALSE(decoded.ok()) << cut;
        EXPECT_NE(decoded.error().find("途中で切れて"), std::string::npos) << decoded.error();
    }
}

TEST(PictureDecoder, SixteenBitPngAndTiffKeepTheirSamples) {
    test::TempDir dir;
    const int w = 7, h = 5;
    auto sample = [](int x, int y, int c) {
        return static_cast<uint16_t>(9000 * c + 1031 * x + 17 * y);
    };
    QImage grey(w, h, QImage::Format_Grayscale16);
    QImage colour(w, h, QImage::Format_RGBX64);
    QImage greyColour(w, h, QImage::Format_RGBX64);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            reinterpret_cast<uint16_t*>(grey.scanLine(y))[x] = sample(x, y, 0);
            reinterpret_cast<QRgba64*>(colour.scanLine(y))[x] =
                QRgba64::fromRgba64(sample(x, y, 0), sample(x, y, 1), sample(x, y, 2), 65535);
            reinterpret_cast<QRgba64*>(greyColour.scanLine(y))[x] =
                QRgba64::fromRgba64(sample(x, y, 0), sample(x, y, 0), sample(x, y, 0), 65535);
        }
    struct Case {
        const char* file;
        const QImage& image;
        int channels;
    };
    const Case cases[] = {{"grey.png", grey, 1},
                          {"grey.tif", grey, 1},
                          {"colour.png", colour, 3},
                          {"colour.tif", colour, 3},
                          {"grey-as-rgb.png", greyColour, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        ASSERT_TRUE(c.image.save(QString::fromStdString(dir.file(c.file))));
        const auto decoded = formats::decodePictureFile(dir.file(c.file));
        ASSERT_TRUE(decoded.ok()) << decoded.error();
        ASSERT_TRUE(decoded->deep);
        const form::DeepSamples& d = *decoded->deep;
        ASSERT_EQ(d.channels, c.channels);
        ASSERT_EQ(d.width, w);
        ASSERT_EQ(d.height, h);
        const auto& v = std::get<std::vector<uint16_t>>(d.samples);
        for (int ch = 0; ch < c.channels; ++ch)
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    ASSERT_EQ(v[static_cast<size_t>((ch * h + y) * w + x)], sample(x, y, ch));
    }
    // An 8-bit PNG is not deep: it keeps its levels as they are.
    ASSERT_TRUE(grey.convertToFormat(QImage::Format_Grayscale8)
                    .save(QString::fromStdString(dir.file("eight.png"))));
    const auto eight = formats::decodePictureFile(dir.file("eight.png"));
    ASSERT_TRUE(eight.ok());
    EXPECT_FALSE(eight->deep);
    EXPECT_FALSE(eight->empty());
}

// An uncompressed 32-bit BMP whose pixels are the words `pixel(x, y)` (y from the top), with a
// header of `infoSize` bytes (40: masks after it for bit fields; 108 and 124 hold the R, G, B
// and A masks themselves), rows bottom-up or top-down.
std::string bmp32File(int width, int height, bool topDown, uint32_t compression, uint32_t infoSize,
                      const std::array<uint32_t, 4>& masks,
                      const std::function<uint32_t(int, int)>& pixel) {
    std::string f;
    auto put = [&](uint32_t v, int bytes) {
        for (int k = 0; k < bytes; ++k) f += static_cast<char>(v >> (8 * k));
    };
    const bool masksAfter = infoSize == 40 && compression != 0;
    const uint32_t offset = 14 + infoSize + (masksAfter ? 12 : 0);
    const uint32_t data = 4u * width * height;
    f += "BM";
    put(offset + data, 4), put(0, 4), put(offset, 4);
    put(infoSize, 4), put(static_cast<uint32_t>(width), 4);
    put(static_cast<uint32_t>(topDown ? -height : height), 4);
    put(1, 2), put(32, 2), put(compression, 4), put(data, 4), put(2835, 4), put(2835, 4);
    put(0, 4), put(0, 4);
    if (masksAfter)
        for (int k = 0; k < 3; ++k) put(masks[k], 4);
    if (infoSize > 40) {
        for (uint32_t m : masks) put(m, 4);
        put(0x73524742, 4);  // "sRGB"
        f.append(infoSize - 40 - 20, '\0');
    }
    for (int r = 0; r < height; ++r)
        for (int x = 0; x < width; ++x) put(pixel(x, topDown ? r : height - 1 - r), 4);
    return f;
}

// Every 32-bit BMP the program's streaming reader takes gives the pixels Qt's reader gives (the
// window read them through Qt before), and, by the masks, the bytes written: the fourth byte,
// whatever it holds, is no colour.
TEST(PictureDecoder, ThirtyTwoBitBmpsStreamAsQtReadsThem) {
    struct Case {
        const char* name;
        uint32_t compression, infoSize;
        std::array<uint32_t, 4> masks;  // R, G, B, A
        bool topDown;
    };
    const Case cases[] = {
        {"BI_RGB", 0, 40, {0xFF0000, 0xFF00, 0xFF, 0}, false},
        {"BI_RGB top-down", 0, 40, {0xFF0000, 0xFF00, 0xFF, 0}, true},
        {"bit fields BGRX", 3, 40, {0xFF0000, 0xFF00, 0xFF, 0}, false},
        {"bit fields RGBX", 3, 40, {0xFF, 0xFF00, 0xFF0000, 0}, true},
        {"bit fields XRGB", 3, 40, {0xFF000000, 0xFF0000, 0xFF00, 0}, false},
        {"V4 with alpha", 3, 108, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, false},
        {"V5 with alpha, top-down", 3, 124, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, true},
        {"V5 BI_RGB", 0, 124, {0, 0, 0, 0}, false},
    };
    auto word = [](int x, int y) {
        const uint32_t h = static_cast<uint32_t>(x * 2654435761u ^ y * 40503u);
        return h * 2246822519u ^ (h >> 13);
    };
    auto shift = [](uint32_t mask) { return mask == 0 ? 0 : __builtin_ctz(mask); };
    test::TempDir dir;
    for (const Case& c : cases) {
        for (const auto& [w, h] : {std::pair{1, 1}, {3, 2}, {5, 7}, {13, 5}}) {
            SCOPED_TRACE(std::string(c.name) + " " + std::to_string(w) + "x" + std::to_string(h));
            const std::string path = dir.file("p.bmp");
            test::writeFile(path, bmp32File(w, h, c.topDown, c.compression, c.infoSize, c.masks,
                                            [&](int x, int y) { return word(x, y); }));
            // BI_RGB places R, G, B as the usual masks do.
            const std::array<uint32_t, 4> m =
                c.compression == 0 ? std::array<uint32_t, 4>{0xFF0000, 0xFF00, 0xFF, 0} : c.masks;
            std::vector<uint8_t> expected;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    for (int k = 0; k < 3; ++k)
                        expected.push_back(static_cast<uint8_t>(word(x, y) >> shift(m[k])));
            int pumps = 0;
            const auto guarded = formats::decodePictureFileGuarded(
                path, formats::kDefaultAllocationLimitMb, [&pumps] { ++pumps; });
            ASSERT_TRUE(guarded.ok()) << guarded.error();
            EXPECT_EQ(pumps, 0) << "read in the helper";
            EXPECT_EQ(rgbOf(guarded.value()), expected);
            const auto qt = formats::decodePictureFile(path);
            ASSERT_TRUE(qt.ok()) << qt.error();
            EXPECT_EQ(rgbOf(qt.value()), rgbOf(guarded.value()));
        }
    }
}

// The guarded decoder reads what Qt reads: 24-bit and 32-bit BMPs with the program's own
// streaming reader in this process, the other files with Qt's readers in the helper; the pixels or
// samples are the ones the unguarded decoder gives.
TEST(PictureDecoder, TheGuardedDecoderGivesWhatQtGives) {
    const Fields fields;
    test::TempDir dir;
    const std::vector<uint8_t> colour = crop(fields.colour, 13, 5);
    for (BmpVariant v :
         {BmpVariant::Rgb24, BmpVariant::Rgb24TopDown, BmpVariant::Rgb32, BmpVariant::Indexed8})
        ASSERT_TRUE(bench::writeBmp(dir.file(std::string(bench::bmpVariantName(v)) + ".bmp"), 13, 5,
                                    v == BmpVariant::Indexed8 ? crop(fields.grey, 13, 5) : colour,
                                    v)
                        .ok());
    ASSERT_EQ(runTool({"--width", "40", "--height", "24", "--stars", "9", "--seed", "5", "--out",
                       QString::fromStdString(dir.file("f.jpg"))}),
              0);
    QImage deep(7, 5, QImage::Format_Grayscale16);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            reinterpret_cast<uint16_t*>(deep.scanLine(y))[x] = static_cast<uint16_t>(977 * x + y);
    ASSERT_TRUE(deep.save(QString::fromStdString(dir.file("deep.png"))));

    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        const std::string path = entry.path().string();
        SCOPED_TRACE(path);
        const auto plain = formats::decodePictureFile(path);
        int pumps = 0;
        const auto guarded = formats::decodePictureFileGuarded(
            path, formats::kDefaultAllocationLimitMb, [&pumps] { ++pumps; });
        ASSERT_TRUE(plain.ok()) << plain.error();
        ASSERT_TRUE(guarded.ok()) << guarded.error();
        ASSERT_EQ(guarded->width, plain->width);
        ASSERT_EQ(guarded->height, plain->height);
        ASSERT_EQ(static_cast<bool>(guarded->deep), static_cast<bool>(plain->deep));
        if (plain->deep) {
            // The same kind of samples, the same values (a variant of spans has no ==).
            auto values = [](const form::DeepSamples& d) {
                return std::visit(
                    [](const auto& v) { return std::vector<double>(v.begin(), v.end()); },
                    d.samples);
            };
            EXPECT_EQ(guarded->deep->samples.index(), plain->deep->samples.index());
            EXPECT_EQ(values(*guarded->deep), values(*plain->deep));
            EXPECT_EQ(guarded->deep->channels, plain->deep->channels);
        } else {
            EXPECT_EQ(rgbOf(guarded.value()), rgbOf(plain.value()));
        }
        // Only the files Qt reads went to the helper, which pumps while it waits.
        EXPECT_EQ(pumps > 0, path.find("rgb") == std::string::npos) << pumps;
    }
}

}  // namespace
}  // namespace orv
