#include "tiles/big_picture.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace orv::tiles {

namespace {

// A new black RGB picture.
form::Picture blackPicture(int width, int height) {
    auto bytes = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(width) * height * 3);
    return form::Picture::fromRgb(width, height, std::move(bytes));
}

// Pixel x of a row as R, G, B.
inline void rgbAt(const form::Picture& p, const uint8_t* row, int x, uint8_t* out) {
    switch (p.layout) {
        case form::PixelLayout::Rgb888:
            std::memcpy(out, row + 3 * x, 3);
            return;
        case form::PixelLayout::Bgrx8888:
            out[0] = row[4 * x + 2];
            out[1] = row[4 * x + 1];
            out[2] = row[4 * x];
            return;
        case form::PixelLayout::Grey8:
            out[0] = out[1] = out[2] = row[x];
            return;
    }
}

}  // namespace

core::Result<formats::LevelPicture> loadBigPicture(const std::string& path,
                                                   const formats::PictureDecoder& decoder,
                                                   const std::string& stretchSetting,
                                                   const formats::RowProgress& progress,
                                                   const formats::Pump& pump,
                                                   const formats::BmpBegun& begun) {
    formats::BmpRead read = formats::readBmpFile(path, progress, begun);
    switch (read.status) {
        case formats::BmpRead::Status::Ok:
            return formats::LevelPicture{std::move(read.picture), "", {}};
        case formats::BmpRead::Status::Failed:
            return core::Error{read.error};
        case formats::BmpRead::Status::NotHandled:
            break;
    }
    auto loaded = formats::readPictureFile(decoder, path, stretchSetting, pump);
    if (loaded && loaded->picture.empty()) return core::Error{"画像が空です: " + path};
    // The readers name the file; the stretch does not.
    if (!loaded && loaded.error().find(path) == std::string::npos)
        return core::Error{loaded.error() + " (" + path + ")"};
    return loaded;
}

form::Picture cutTile(const form::Picture& big, const PixelSquare& square) {
    return cutTile(big, PixelRect{square.x, square.y, square.side, square.side});
}

form::Picture cutTile(const form::Picture& big, const PixelRect& rect) {
    form::Picture tile = blackPicture(static_cast<int>(rect.width), static_cast<int>(rect.height));
    auto* out = const_cast<uint8_t*>(tile.bits);
    // The overlap of the rectangle with the picture, in picture pixels.
    const int64_t x0 = std::max<int64_t>(rect.x, 0), y0 = std::max<int64_t>(rect.y, 0);
    const int64_t x1 = std::min<int64_t>(rect.x + rect.width, big.width);
    const int64_t y1 = std::min<int64_t>(rect.y + rect.height, big.height);
    // A rectangle wholly beside the picture (the window's tile index past the grid after the
    // size was changed) stays black.
    if (x1 <= x0) return tile;
    for (int64_t y = y0; y < y1; ++y) {
        const uint8_t* in = big.row(static_cast<int>(y));
        uint8_t* o = out + tile.stride * static_cast<size_t>(y - rect.y) +
                     3 * static_cast<size_t>(x0 - rect.x);
        if (big.layout == form::PixelLayout::Rgb888) {
            std::memcpy(o, in + 3 * x0, static_cast<size_t>(3 * (x1 - x0)));
            continue;
        }
        for (int64_t x = x0; x < x1; ++x, o += 3) rgbAt(big, in, static_cast<int>(x), o);
    }
    return tile;
}

form::Picture tileView(const form::Picture& big, const PixelRect& rect) {
    const size_t bytesPerPixel = big.layout == form::PixelLayout::Grey8    ? 1
                                 : big.layout == form::PixelLayout::Rgb888 ? 3
                                                                           : 4;
    form::Picture view = big;
    view.width = static_cast<int>(rect.width);
    view.height = static_cast<int>(rect.height);
    view.bits = big.row(static_cast<int>(rect.y)) + bytesPerPixel * static_cast<size_t>(rect.x);
    return view;
}

form::Picture scaledPreview(const form::Picture& big, int width, int height,
                            const formats::RowProgress& progress, size_t maxRowSumBytes) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    form::Picture preview = blackPicture(width, height);
    auto* out = const_cast<uint8_t*>(preview.bits);
    const int w = big.width, h = big.height;
    if (width >= w || height >= h) {
        // Not smaller than the picture: the nearest picture pixel.
        for (int py = 0; py < height; ++py) {
            const uint8_t* in = big.row(static_cast<int>(static_cast<int64_t>(py) * h / height));
            for (int px = 0; px < width; ++px)
                rgbAt(big, in, static_cast<int>(static_cast<int64_t>(px) * w / width),
                      out + preview.stride * py + 3 * px);
        }
        return preview;
    }
    // The preview column and row whose area holds a picture pixel's centre; every preview
    // pixel holds at least one. The rows of a preview row are summed byte by byte (a pass the
    // compiler vectorises), and the sums of each preview column's pixels only when the
    // preview row is complete.
    auto binOf = [](int k, int n, int bins) {
        return static_cast<int>((2 * static_cast<int64_t>(k) + 1) * bins / (2 * int64_t{n}));
    };
    // Where R, G and B are in a pixel's bytes.
    int bytesPerPixel = 3, channelAt[3] = {0, 1, 2};
    if (big.layout == form::PixelLayout::Bgrx8888) {
        bytesPerPixel = 4;
        channelAt[0] = 2;
        channelAt[2] = 0;
    } else if (big.layout == form::PixelLayout::Grey8) {
        bytesPerPixel = 1;
        channelAt[0] = channelAt[1] = channelAt[2] = 0;
    }
    std::vector<int> firstColumn(width + 1, w);  // picture columns of preview column px
    for (int x = w - 1; x >= 0; --x) firstColumn[binOf(x, w, width)] = x;
    const size_t rowBytes = static_cast<size_t>(w) * bytesPerPixel;
    if (rowBytes > maxRowSumBytes) {
        // A row too wide for a sum per byte (a 700000000 x 1 picture would need 8 GB): sums
        // per preview pixel instead, the same means at a slower pace.
        std::vector<uint64_t> totals(static_cast<size_t>(width) * 3, 0);
        int rows = 0, row = 0;
        auto flushTotals = [&] {
            uint8_t* o = out + preview.stride * row;
            for (int px = 0; px < width; ++px) {
                const uint64_t n =
                    static_cast<uint64_t>(firstColumn[px + 1] - firstColumn[px]) * rows;
                for (int c = 0; c < 3; ++c) {
                    o[3 * px + c] = static_cast<uint8_t>((totals[3 * px + c] + n / 2) / n);
                    totals[3 * px + c] = 0;
                }
            }
            rows = 0;
        };
        for (int y = 0; y < h; ++y) {
            if (const int py = binOf(y, h, height); py != row) {
                flushTotals();
                row = py;
            }
            const uint8_t* in = big.row(y);
            for (int px = 0; px < width; ++px)
                for (int x = firstColumn[px]; x < firstColumn[px + 1]; ++x)
                    for (int c = 0; c < 3; ++c)
                        totals[3 * px + c] +=
                            in[static_cast<size_t>(x) * bytesPerPixel + channelAt[c]];
            ++rows;
            if (progress) progress(y + 1, h);
        }
        flushTotals();
        return preview;
    }
    std::vector<uint32_t> sums(rowBytes, 0);
    int rowsInSum = 0, currentRow = 0;
    auto flush = [&] {
        uint8_t* o = out + preview.stride * currentRow;
        for (int px = 0; px < width; ++px) {
            const int x0 = firstColumn[px], x1 = firstColumn[px + 1];
            const uint64_t n = static_cast<uint64_t>(x1 - x0) * rowsInSum;
            for (int c = 0; c < 3; ++c) {
                uint64_t total = 0;
                for (int x = x0; x < x1; ++x) total += sums[x * bytesPerPixel + channelAt[c]];
                o[3 * px + c] = static_cast<uint8_t>((total + n / 2) / n);
            }
        }
        std::fill(sums.begin(), sums.end(), 0);
        rowsInSum = 0;
    };
    for (int y = 0; y < h; ++y) {
        if (const int py = binOf(y, h, height); py != currentRow) {
            flush();
            currentRow = py;
        }
        const uint8_t* in = big.row(y);
        uint32_t* __restrict s = sums.data();
        for (size_t k = 0; k < rowBytes; ++k) s[k] += in[k];
        ++rowsInSum;
        if (progress) progress(y + 1, h);
    }
    flush();
    return preview;
}

}  // namespace orv::tiles
