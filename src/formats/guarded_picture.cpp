#include "formats/guarded_picture.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "core/block_cache.h"
#include "core/paths.h"
#include "formats/bmp_format.h"
#include "formats/bmp_stream.h"
#include "formats/guarded_decode.h"

namespace orv::formats {

namespace {

using bmp::kBiBitfields;
using bmp::kBiRgb;
using bmp::kBiRle4;
using bmp::kBiRle8;
using bmp::le16;
using bmp::le32;
using bmp::streamable;

// Why a BMP header cannot be read, or "".
std::string unsupportedBmp(const BmpHeader& h) {
    switch (h.bits) {
        case 1:
        case 4:
        case 8:
        case 16:
        case 24:
        case 32:
            return "";
        default:
            return "対応していない BMP です (" + std::to_string(h.bits) + " ビット/ピクセル)";
    }
}

// The toolkit's BMP reader fills the rows missing from a truncated file and reports success, so an
// uncompressed BMP must hold every row its header announces; only the padding of the last row
// may be missing. The sizes are taken in 128 bits: a damaged header may announce 2^31 x 2^31.
bool bmpRowsMissing(const BmpHeader& h, int64_t fileSize) {
    if (h.compression != kBiRgb && h.compression != kBiBitfields) return false;
    if (h.width <= 0 || h.height == 0) return false;
    using Wide = unsigned __int128;
    const Wide rows = static_cast<Wide>(h.height < 0 ? -h.height : h.height);
    const Wide bitsPerRow = static_cast<Wide>(h.width) * h.bits;
    const Wide rowBytes = (bitsPerRow + 31) / 32 * 4;
    const Wide needed = h.dataOffset + rowBytes * (rows - 1) + (bitsPerRow + 7) / 8;
    return static_cast<Wide>(fileSize) < needed;
}

// Decodes a run-length compressed BMP (RLE8 or RLE4). Every pixel starts black; the runs paint
// what they name, and a delta or an early end of line or bitmap leaves the rest black. A stream
// that ends before the bitmap does is refused as cut.
//
//   count > 0, value      `count` pixels of value (RLE4: the two nibbles alternate)
//   0, 0                  end of line        0, 1   end of bitmap
//   0, 2, dx, dy          move right dx and up dy rows
//   0, n >= 3, n values   absolute run, padded to a 16-bit boundary
core::Result<form::Picture> decodeRleBmp(const BmpHeader& h, std::string_view file,
                                         int allocationLimitMb) {
    const bool four = h.compression == kBiRle4;
    if (h.bits != (four ? 4u : 8u)) return core::Error{"圧縮方式とビット数が合いません"};
    if (h.width <= 0 || h.height <= 0) return core::Error{"圧縮された BMP の大きさが不正です"};
    const double bytes = static_cast<double>(h.width) * static_cast<double>(h.height) * 4;
    if (bytes > allocationLimitMb * 1048576.0 || h.width > INT32_MAX / 4)
        return core::Error{"画像が大きすぎます"};
    if (bytes + static_cast<double>(file.size()) >
        static_cast<double>(core::availableMemoryBytes()))
        return core::Error{"画像が大きすぎて、メモリーに入りません"};
    const auto* b = reinterpret_cast<const uint8_t*>(file.data());
    const size_t size = static_cast<size_t>(file.size());

    const uint32_t maxColours = four ? 16 : 256;
    const uint32_t colours = h.colours == 0 || h.colours > maxColours ? maxColours : h.colours;
    const size_t paletteAt = 14 + static_cast<size_t>(h.infoSize);
    if (paletteAt + 4 * static_cast<size_t>(colours) > size || h.dataOffset > size)
        return core::Error{"ファイルが途中で切れています"};
    uint32_t palette[256] = {};  // an index beyond the palette paints black
    for (uint32_t i = 0; i < colours; ++i) palette[i] = le32(b + paletteAt + 4 * i) & 0x00FFFFFFu;

    const int w = static_cast<int>(h.width), height = static_cast<int>(h.height);
    const size_t stride = static_cast<size_t>(w) * 4;
    auto pixels = std::make_shared<std::vector<uint8_t>>(stride * height, 0);
    int x = 0, y = 0;  // y counts rows from the bottom
    auto paint = [&](uint32_t index) {
        if (x < w && y < height) {
            const uint32_t c = palette[index & 0xFF];
            std::memcpy(pixels->data() + static_cast<size_t>(height - 1 - y) * stride + 4 * x, &c,
                        4);
        }
        ++x;
    };
    size_t i = h.dataOffset;
    bool ended = false;
    while (y < height) {
        if (i + 2 > size) break;
        const uint8_t count = b[i], value = b[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count && x < w; ++k)
                paint(four ? (k % 2 == 0 ? value >> 4 : value & 0x0F) : value);
            continue;
        }
        if (value == 0) {
            x = 0, ++y;
        } else if (value == 1) {
            ended = true;
            break;
        } else if (value == 2) {
            if (i + 2 > size) break;
            x += b[i], y += b[i + 1];
            i += 2;
        } else {
            const size_t dataBytes = four ? (value + 1) / 2 : value;
            if (i + dataBytes > size) break;
            for (int k = 0; k < value; ++k) {
                const uint8_t byte = b[i + (four ? k / 2 : k)];
                paint(four ? (k % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte);
            }
            i += (dataBytes + 1) / 2 * 2;
        }
    }
    if (!ended && y < height) return core::Error{"ファイルが途中で切れています"};
    form::Picture p;
    p.width = w;
    p.height = height;
    p.bits = pixels->data();
    p.stride = stride;
    p.layout = form::PixelLayout::Bgrx8888;
    p.owner = std::move(pixels);
    return p;
}

}  // namespace

std::optional<BmpHeader> bmpHeader(std::string_view head) {
    const auto* b = reinterpret_cast<const uint8_t*>(head.data());
    if (head.size() < 26 || b[0] != 'B' || b[1] != 'M') return std::nullopt;
    BmpHeader h;
    h.dataOffset = le32(b + 10);
    h.infoSize = le32(b + 14);
    if (h.infoSize == 12) {  // OS/2 BITMAPCOREHEADER
        h.width = le16(b + 18), h.height = le16(b + 20), h.bits = le16(b + 24);
    } else if (h.infoSize >= 40 && head.size() >= 50) {
        h.width = static_cast<int32_t>(le32(b + 18));
        h.height = static_cast<int32_t>(le32(b + 22));
        h.bits = le16(b + 28);
        h.compression = le32(b + 30);
        h.colours = le32(b + 46);
    } else {
        return std::nullopt;
    }
    return h;
}

// The marker segments of a JPEG file are walked to the first scan; from there a 0xFF byte is
// followed by a stuffed 0, a restart marker, the end marker, or another segment (tables and scans
// of a progressive file).
bool jpegCut(std::string_view file) {
    const auto* b = reinterpret_cast<const uint8_t*>(file.data());
    const size_t n = static_cast<size_t>(file.size());
    if (n < 4 || b[0] != 0xFF || b[1] != 0xD8) return false;
    size_t i = 2;
    bool inScan = false;
    while (true) {
        if (inScan) {
            while (i < n && b[i] != 0xFF) ++i;
        } else if (i < n && b[i] != 0xFF) {
            return false;  // not a marker where one must be: the reader judges the damage
        }
        if (i + 1 >= n) return true;
        const uint8_t m = b[i + 1];
        if (m == 0xFF) {  // fill byte
            ++i;
        } else if (m == 0x00 || (m >= 0xD0 && m <= 0xD7) || m == 0x01 || m == 0xD8) {
            i += 2;
        } else if (m == 0xD9) {
            return false;
        } else {
            if (i + 3 >= n) return true;
            const size_t length = static_cast<size_t>(b[i + 2]) << 8 | b[i + 3];
            if (length < 2) return false;
            i += 2 + length;
            inScan = inScan || m == 0xDA;
        }
    }
}

namespace {

// The bytes of a file of `size` bytes (fewer where it has shrunk since: the decoder then finds
// it cut).
core::Result<std::string> wholeFile(const std::string& path, uintmax_t size) {
    std::string bytes;
    try {
        bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        return core::Error{"画像を読み込むためのメモリーが足りません"};
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return core::Error{std::strerror(errno)};
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    return bytes;
}

}  // namespace

core::Error refusedPicture(const std::string& path, const std::string& reason) {
    return core::Error{"画像を読み込めません: " + path + " (" + reason + ")"};
}

std::optional<core::Result<form::Picture>> ownBmpRead(const std::string& path, int64_t fileSize,
                                                      const BmpHeader& bmp, int allocationLimitMb) {
    if (std::string reason = unsupportedBmp(bmp); !reason.empty())
        return refusedPicture(path, reason);
    if (bmpRowsMissing(bmp, fileSize)) return refusedPicture(path, "ファイルが途中で切れています");
    if (bmp.compression != kBiRle8 && bmp.compression != kBiRle4) return std::nullopt;
    if (static_cast<uint64_t>(fileSize) > core::availableMemoryBytes())
        return refusedPicture(path, "ファイルが大きすぎて、メモリーに入りません");
    const auto bytes = wholeFile(path, static_cast<uintmax_t>(fileSize));
    if (!bytes) return refusedPicture(path, bytes.error());
    auto picture = decodeRleBmp(bmp, bytes.value(), allocationLimitMb);
    if (!picture) return refusedPicture(path, picture.error());
    return picture;
}

core::Result<form::Picture> decodePictureFileGuarded(const std::string& path, int allocationLimitMb,
                                                     const std::function<void()>& pump) {
    if (const std::string reason = core::unreadableFileReason(path, "画像ファイル");
        !reason.empty())
        return refusedPicture(path, reason);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return refusedPicture(path, std::strerror(errno));
    char head[64];
    const size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    const auto bmp = bmpHeader(std::string_view(head, got));
    if (bmp) {
        // The program's own checks and readers; what they leave goes to the helper.
        std::error_code ec;
        const auto size = std::filesystem::file_size(path, ec);
        if (ec) return refusedPicture(path, ec.message());
        if (auto own = ownBmpRead(path, static_cast<int64_t>(size), *bmp, allocationLimitMb))
            return std::move(*own);
        // Uncompressed 24-bit and 32-bit files (32-bit ones with byte-sized channel masks too)
        // stream through the program's own reader; it leaves other masks to the helper.
        if (streamable(bmp->bits, bmp->compression)) {
            BmpRead read = readBmpFile(path);
            if (read.status == BmpRead::Status::Ok) return std::move(read.picture);
            if (read.status == BmpRead::Status::Failed) return core::Error{read.error};
        }
    }
    HelperRequest request;
    request.reader = HelperReader::Toolkit;
    request.allocationLimitMb = allocationLimitMb;
    request.pump = pump;
    return decodeInHelper(path, request);
}

PictureDecoder guardedDecoder() {
    return [](const std::string& path) { return decodePictureFileGuarded(path); };
}

}  // namespace orv::formats
