#include "formats/bmp_stream.h"

#include <sys/mman.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/anew_file.h"
#include "core/block_cache.h"
#include "core/parallel.h"
#include "core/text_file.h"
#include "core/vector_loops.h"
#include "formats/bmp_format.h"

// Reading:
//   1. the headers: "BM", a header size of 40 or a later variant, bits, compression, masks;
//      anything else is left to the toolkit (NotHandled);
//   2. checks before any allocation: positive size, rows inside the file, memory enough;
//   3. the rows in file order, a block of rows at a time, each converted to R, G, B into its
//      place in the picture (file row r is picture row H - 1 - r unless the file is top-down).

namespace orv::formats {

namespace {

using bmp::le16;
using bmp::le32;

constexpr size_t kHeadBytes = 14 + 124;
constexpr size_t kBlockBytes = 4 << 20;  // rows read at a time
// Rows streamBmpFile reads at a time on each thread: small enough that they are still in the
// processor's cache when the caller takes them.
constexpr size_t kStreamPieceBytes = 256 << 10;
constexpr int32_t kPixelsPerMetre = 2835;

struct Layout {
    int width = 0, height = 0;
    bool topDown = false;
    int bytesPerPixel = 3;
    int shiftR = 16, shiftG = 8, shiftB = 0;  // of a 32-bit pixel
    uint64_t pixelOffset = 0;
    uint64_t rowBytes = 0;
};

// The shift of an 8-bit mask on a byte boundary, or -1.
int byteMaskShift(uint32_t mask) {
    for (int s = 0; s < 32; s += 8)
        if (mask == 0xFFu << s) return s;
    return -1;
}

BmpRead notHandled(const std::string& why) {
    BmpRead r;
    r.status = BmpRead::Status::NotHandled;
    r.error = why;
    return r;
}

BmpRead failed(const std::string& name, const std::string& why) {
    BmpRead r;
    r.status = BmpRead::Status::Failed;
    r.error = "画像を読み込めません: " + name + " (" + why + ")";
    return r;
}

// Step 1 and the size checks of step 2. Gives NotHandled or Failed in `problem`.
bool parseHeaders(const uint8_t* head, size_t n, uint64_t fileSize, const std::string& name,
                  Layout& l, BmpRead& problem) {
    if (n < 2 || head[0] != 'B' || head[1] != 'M') {
        problem = notHandled("BMPではありません");
        return false;
    }
    if (n < 34) {
        problem = failed(name, "ファイルが途中で切れています");
        return false;
    }
    const uint32_t infoSize = le32(head + 14);
    if (infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124) {
        problem = notHandled("BMPの見出しの形式");
        return false;
    }
    const int64_t width = static_cast<int32_t>(le32(head + 18));
    const int64_t height = static_cast<int32_t>(le32(head + 22));
    const uint32_t bits = le16(head + 28);
    const uint32_t compression = le32(head + 30);
    if (!bmp::streamable(bits, compression)) {
        problem = notHandled("BMPの画素の形式");
        return false;
    }
    const bool fields = compression != bmp::kBiRgb;
    l.bytesPerPixel = static_cast<int>(bits / 8);
    size_t headersEnd = 14 + infoSize;
    if (fields) {
        if (n < 66) {
            problem = failed(name, "ファイルが途中で切れています");
            return false;
        }
        l.shiftR = byteMaskShift(le32(head + 54));
        l.shiftG = byteMaskShift(le32(head + 58));
        l.shiftB = byteMaskShift(le32(head + 62));
        if (l.shiftR < 0 || l.shiftG < 0 || l.shiftB < 0) {
            problem = notHandled("BMPのビットマスク");
            return false;
        }
        headersEnd = std::max<size_t>(headersEnd, 66);
    }
    if (width <= 0 || height == 0 || height == INT32_MIN) {
        problem = failed(name, "画像の大きさが正しくありません");
        return false;
    }
    l.width = static_cast<int>(width);
    l.height = static_cast<int>(height < 0 ? -height : height);
    l.topDown = height < 0;
    l.pixelOffset = le32(head + 10);
    l.rowBytes = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
    if (l.pixelOffset < headersEnd) {
        problem = failed(name, "画素データの位置が正しくありません");
        return false;
    }
    // Every row must be in the file; only the padding of the last one may be missing.
    const uint64_t needed = l.pixelOffset + l.rowBytes * static_cast<uint64_t>(l.height - 1) +
                            static_cast<uint64_t>(width) * l.bytesPerPixel;
    if (fileSize < needed) {
        problem = failed(name, "ファイルが途中で切れています");
        return false;
    }
    return true;
}

// One file row into one picture row of R, G, B.
ORV_PIXEL_LOOP void convertRow(const Layout& l, const uint8_t* __restrict in,
                               uint8_t* __restrict out) {
    const int w = l.width;
    if (l.bytesPerPixel == 3) {
        for (int x = 0; x < w; ++x) {
            out[3 * x] = in[3 * x + 2];
            out[3 * x + 1] = in[3 * x + 1];
            out[3 * x + 2] = in[3 * x];
        }
        return;
    }
    for (int x = 0; x < w; ++x) {
        uint32_t p;
        std::memcpy(&p, in + 4 * x, 4);
        out[3 * x] = static_cast<uint8_t>(p >> l.shiftR);
        out[3 * x + 1] = static_cast<uint8_t>(p >> l.shiftG);
        out[3 * x + 2] = static_cast<uint8_t>(p >> l.shiftB);
    }
}

// Memory for the pixels, uninitialised (every byte is written), or null. Taken straight from
// the system in huge pages where it allows them: a picture of a gigabyte would otherwise cost
// a quarter of a million page faults.
std::shared_ptr<uint8_t> pictureMemory(uint64_t bytes) {
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    ::madvise(p, bytes, MADV_HUGEPAGE);
    return std::shared_ptr<uint8_t>(static_cast<uint8_t*>(p),
                                    [bytes](uint8_t* q) { ::munmap(q, bytes); });
}

// Reads the headers at the file's start (its size from the file system) into `l`; false with
// the reason in `problem` when they are refused or cannot be read.
bool readLayout(std::FILE* file, const std::string& name, Layout& l, BmpRead& problem) {
    struct stat st {};
    if (!file || ::fstat(::fileno(file), &st) != 0) {
        problem = failed(name, "開けません");
        return false;
    }
    uint8_t head[kHeadBytes] = {};
    const size_t n = std::fread(head, 1, kHeadBytes, file);
    return parseHeaders(head, n, static_cast<uint64_t>(st.st_size), name, l, problem);
}

// Reads file rows begin..end-1 from their place in the file, `rowsPerPiece` rows at a time into
// `piece` (room for that many), calling each(rows, firstRow, count) per piece; false when the
// file ends before its rows do (the last row may lack its padding). Reads at offsets, so that
// several threads may read bands of one file at once.
template <typename Each>
bool readRows(int fd, const Layout& l, int64_t begin, int64_t end, uint64_t rowsPerPiece,
              std::vector<uint8_t>& piece, Each&& each) {
    for (int64_t row = begin; row < end;) {
        const int count =
            static_cast<int>(std::min<uint64_t>(rowsPerPiece, static_cast<uint64_t>(end - row)));
        const size_t want = static_cast<size_t>(l.rowBytes * count);
        const uint64_t slack = row + count == l.height
                                   ? l.rowBytes - static_cast<uint64_t>(l.width) * l.bytesPerPixel
                                   : 0;
        const uint64_t at = l.pixelOffset + static_cast<uint64_t>(row) * l.rowBytes;
        if (core::readAt(fd, piece.data(), want, at) + slack < want) return false;
        if (!each(piece.data(), static_cast<int>(row), count)) return true;
        row += count;
    }
    return true;
}

}  // namespace

BmpRead readBmp(std::FILE* file, const std::string& name, const RowProgress& progress,
                const BmpBegun& begun) {
    Layout l;
    BmpRead problem;
    if (!readLayout(file, name, l, problem)) return problem;

    const uint64_t stride = static_cast<uint64_t>(l.width) * 3;
    const uint64_t bytes = stride * static_cast<uint64_t>(l.height);
    const std::string size = std::to_string(l.width) + " x " + std::to_string(l.height);
    // The pixels and the block of file rows read at a time (at least one row, however long).
    const uint64_t rowsPerBlock = std::max<uint64_t>(1, kBlockBytes / l.rowBytes);
    const uint64_t blockBytes = rowsPerBlock * l.rowBytes;
    if (bytes + blockBytes > core::availableMemoryBytes())
        return failed(name, "画像が大きすぎて、メモリーに入りません: " + size);
    std::shared_ptr<uint8_t> pixels = pictureMemory(bytes);
    if (!pixels) return failed(name, "画像を読み込むためのメモリーが足りません: " + size);

    std::vector<uint8_t> block;
    try {
        block.resize(blockBytes);
    } catch (const std::bad_alloc&) {
        return failed(name, "画像を読み込むためのメモリーが足りません: " + size);
    }
    BmpRead r;
    r.picture.width = l.width;
    r.picture.height = l.height;
    r.picture.stride = static_cast<size_t>(stride);
    r.picture.layout = form::PixelLayout::Rgb888;
    r.picture.bits = pixels.get();
    r.picture.owner = std::move(pixels);
    if (begun) begun(r.picture, !l.topDown);
    uint8_t* bits = const_cast<uint8_t*>(r.picture.bits);
    const bool whole = readRows(::fileno(file), l, 0, l.height, rowsPerBlock, block,
                                [&](const uint8_t* rows, int first, int count) {
                                    for (int k = 0; k < count; ++k) {
                                        const int row = first + k;
                                        const int y = l.topDown ? row : l.height - 1 - row;
                                        convertRow(l, rows + l.rowBytes * k, bits + stride * y);
                                        if (progress) progress(row + 1, l.height);
                                    }
                                    return true;
                                });
    if (!whole) return failed(name, "読み込めません");
    r.status = BmpRead::Status::Ok;
    return r;
}

BmpRead streamBmpFile(const std::string& path, const std::function<bool(const BmpPixels&)>& start,
                      const BmpRowBlock& block, int parts) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return failed(path, "開けません");
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closing(file, std::fclose);
    Layout l;
    BmpRead problem;
    if (!readLayout(file, path, l, problem)) return problem;
    if (!start({l.width, l.height, l.topDown, l.bytesPerPixel, l.shiftR, l.shiftG, l.shiftB})) {
        BmpRead refused;
        refused.status = BmpRead::Status::Failed;
        return refused;
    }
    // Each thread reads its own band of rows a piece at a time (the system copies the file's
    // bytes on both threads) and hands each piece on at once.
    const uint64_t rowsPerPiece = std::max<uint64_t>(1, kStreamPieceBytes / l.rowBytes);
    const int fd = ::fileno(file);
    std::atomic<bool> cut{false};
    try {
        core::forEachPart(parts, l.height, [&](int k, int64_t begin, int64_t end) {
            std::vector<uint8_t> rows(static_cast<size_t>(rowsPerPiece * l.rowBytes));
            // A band stops at its next piece once another band found the file cut.
            if (!readRows(fd, l, begin, end, rowsPerPiece, rows,
                          [&](const uint8_t* got, int first, int count) {
                              if (cut) return false;
                              block(k, got, static_cast<size_t>(l.rowBytes), first, count);
                              return true;
                          }))
                cut = true;
        });
    } catch (const std::bad_alloc&) {
        return failed(path, "画像を読み込むためのメモリーが足りません");
    }
    if (cut) return failed(path, "読み込めません");
    BmpRead r;
    r.status = BmpRead::Status::Ok;
    return r;
}

BmpRead readBmpFile(const std::string& path, const RowProgress& progress, const BmpBegun& begun) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return failed(path, "開けません");
    BmpRead r = readBmp(file, path, progress, begun);
    std::fclose(file);
    return r;
}

core::Result<void> writeBmp24(const std::string& path, const form::Picture& picture) {
    const uint32_t w = static_cast<uint32_t>(picture.width);
    const uint32_t h = static_cast<uint32_t>(picture.height);
    const uint64_t rowBytes = (static_cast<uint64_t>(w) * 24 + 31) / 32 * 4;
    const uint64_t imageBytes = rowBytes * h;
    if (picture.empty() || 54 + imageBytes > UINT32_MAX)
        return core::Error{"ファイルを書き込めません: " + path + " (画像の大きさ)"};

    std::string header(54, '\0');
    auto put = [&](size_t at, uint32_t v, int bytes) {
        for (int k = 0; k < bytes; ++k) header[at + k] = static_cast<char>(v >> (8 * k));
    };
    header[0] = 'B';
    header[1] = 'M';
    put(2, static_cast<uint32_t>(54 + imageBytes), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, w, 4);
    put(22, h, 4);
    put(26, 1, 2);
    put(28, 24, 2);
    put(34, static_cast<uint32_t>(imageBytes), 4);
    put(38, kPixelsPerMetre, 4);
    put(42, kPixelsPerMetre, 4);

    core::AnewFile file(path);
    file.write(header);
    std::string row(rowBytes, '\0');
    // Where B, G and R are in the bytes of a pixel of the picture.
    const uint32_t step = picture.layout == form::PixelLayout::Rgb888     ? 3
                          : picture.layout == form::PixelLayout::Bgrx8888 ? 4
                                                                          : 1;
    const uint32_t b = picture.layout == form::PixelLayout::Rgb888 ? 2 : 0;
    const uint32_t r = picture.layout == form::PixelLayout::Bgrx8888 ? 2 : 0;
    const uint32_t g = picture.layout == form::PixelLayout::Grey8 ? 0 : 1;
    for (int y = picture.height - 1; y >= 0 && file.ok(); --y) {
        const uint8_t* in = picture.row(y);
        for (uint32_t x = 0; x < w; ++x) {
            row[3 * x] = static_cast<char>(in[step * x + b]);
            row[3 * x + 1] = static_cast<char>(in[step * x + g]);
            row[3 * x + 2] = static_cast<char>(in[step * x + r]);
        }
        file.write(row);
    }
    return file.commit();
}

}  // namespace orv::formats
