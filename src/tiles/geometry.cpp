#include "tiles/geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "core/numeric.h"
#include "core/paths.h"

namespace orv::tiles {

Square outerSquare(float size, float margin, int i, int j) {
    return {static_cast<double>(i) * size, static_cast<double>(j) * size,
            static_cast<double>(size) + 2.0 * margin};
}

Square innerSquare(float size, float margin, int i, int j) {
    return {static_cast<double>(i) * size + margin, static_cast<double>(j) * size + margin,
            static_cast<double>(size)};
}

PixelSquare cutSquare(float size, float margin, int i, int j) {
    const Square s = outerSquare(size, margin, i, j);
    return {core::CLng(s.x), core::CLng(s.y), core::CLng(s.side)};
}

int64_t wholeTiles(int64_t length, float size, float margin) {
    const double n = core::Int((static_cast<double>(length) - 2.0 * margin) / size);
    if (!(n > 0)) return 0;
    return n > 1e15 ? static_cast<int64_t>(1e15) : static_cast<int64_t>(n);
}

TileGrid tileGrid(float size, float margin, int64_t width, int64_t height) {
    return {size,
            margin,
            width,
            height,
            wholeTiles(width, size, margin),
            wholeTiles(height, size, margin)};
}

namespace {

// Tile k along a side of `length` pixels: where its cut starts and how long it is.
std::pair<int64_t, int64_t> axisCut(int64_t length, float size, float margin, int64_t k) {
    const int64_t whole = wholeTiles(length, size, margin);
    const PixelSquare first = cutSquare(size, margin, 0, 0);
    if (k < whole) return {cutSquare(size, margin, static_cast<int>(k), 0).x, first.side};
    const int64_t side = std::min(first.side, length);
    return {length - side, side};
}

}  // namespace

int64_t coverTiles(int64_t length, float size, float margin) {
    if (length <= 0) return 0;
    const int64_t whole = wholeTiles(length, size, margin);
    if (whole == 0) return 1;
    const auto [x, side] = axisCut(length, size, margin, whole - 1);
    return x + side < length ? whole + 1 : whole;
}

TileGrid tileGrid(float size, float margin, int64_t width, int64_t height, bool cover) {
    return cover ? coverGrid(size, margin, width, height) : tileGrid(size, margin, width, height);
}

TileGrid coverGrid(float size, float margin, int64_t width, int64_t height) {
    return {size,
            margin,
            width,
            height,
            coverTiles(width, size, margin),
            coverTiles(height, size, margin),
            true};
}

PixelRect tileRect(const TileGrid& grid, int i, int j) {
    if (!grid.cover) {
        const PixelSquare s = cutSquare(grid.size, grid.margin, i, j);
        return {s.x, s.y, s.side, s.side};
    }
    const auto [x, w] = axisCut(grid.width, grid.size, grid.margin, i);
    const auto [y, h] = axisCut(grid.height, grid.size, grid.margin, j);
    return {x, y, w, h};
}

bool nextTileFits(int k, float size, float margin, int64_t length) {
    const float end = static_cast<float>(k + 2) * size + 2.0f * margin;
    return static_cast<double>(end) <= static_cast<double>(length);
}

float settingValue(double value) {
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    if (value > std::numeric_limits<float>::max()) return kInfinity;
    if (value < -std::numeric_limits<float>::max()) return -kInfinity;
    return static_cast<float>(value);
}

core::Result<void> checkSettings(float size, float margin) {
    if (!std::isfinite(size) || size <= 0)
        return core::Error{"分割サイズには 0 より大きい数を指定してください。"};
    if (!std::isfinite(margin) || margin < 0)
        return core::Error{"分割マージンには 0 以上の数を指定してください。"};
    const double side = static_cast<double>(size) + 2.0 * margin;
    if (side > kMaxTileSide)
        return core::Error{
            "分割画像が大きすぎます。分割サイズ＋分割マージン×2 を 16384 以下にしてください。"};
    if (side < 1)
        return core::Error{
            "分割画像が小さすぎます。分割サイズ＋分割マージン×2 を 1 以上にしてください。"};
    return {};
}

namespace {

int64_t tilesAlong(int64_t length, float size, float margin, bool cover) {
    return cover ? coverTiles(length, size, margin) : wholeTiles(length, size, margin);
}

}  // namespace

core::Result<void> checkGrid(float size, float margin, int64_t width, int64_t height, bool cover) {
    if (auto ok = checkSettings(size, margin); !ok) return ok;
    const int64_t nx = tilesAlong(width, size, margin, cover),
                  ny = tilesAlong(height, size, margin, cover);
    if (nx > kMaxTileIndex || ny > kMaxTileIndex)
        return core::Error{"分割数が多すぎます（" + std::to_string(nx) + " x " +
                           std::to_string(ny) +
                           "）。縦横とも 32767 以下になるように分割サイズを大きくしてください。"};
    return {};
}

core::Result<void> checkExport(float size, float margin, int64_t width, int64_t height,
                               bool cover) {
    if (auto ok = checkGrid(size, margin, width, height, cover); !ok) return ok;
    const int64_t nx = tilesAlong(width, size, margin, cover),
                  ny = tilesAlong(height, size, margin, cover);
    if (nx * ny > kMaxTileIndex)
        return core::Error{
            "分割数が多すぎます（" + std::to_string(nx) + " x " + std::to_string(ny) + " = " +
            std::to_string(nx * ny) +
            " 個）。バッチ処理ファイルは 32767 個までです。分割サイズを大きくしてください。"};
    return {};
}

std::string areaLabel(float size, float margin, int i, int j) {
    const float a = static_cast<float>(i) * size + margin;
    const float b = static_cast<float>(j) * size + margin;
    const float c = static_cast<float>(i + 1) * size + margin * 2;
    const float d = static_cast<float>(j + 1) * size + margin * 2;
    auto f = [](float v) { return core::Format(v, "0000", 7); };
    return "(" + f(a) + "," + f(b) + ")-(" + f(c) + "," + f(d) + ")";
}

std::string tileId(const std::string& bigPicName, int i, int j) {
    return bigPicName + "." + core::Format(i, "000") + "." + core::Format(j, "000");
}

std::string tileFileName(const std::string& bigPicName, int i, int j) {
    return tileId(bigPicName, i, j) + ".bmp";
}

bool isTileId(std::string_view name) {
    return parseTileFileName(std::string(name) + ".bmp").has_value();
}

bool namedAsTile(std::string_view name) {
    return isTileId(name) || parseTileFileName(name).has_value();
}

std::optional<TileName> parseTileFileName(std::string_view fileName) {
    constexpr std::string_view kExtension = ".bmp";
    if (!fileName.ends_with(kExtension)) return std::nullopt;
    std::string_view rest = fileName.substr(0, fileName.size() - kExtension.size());
    // The last two dot-separated parts are the indices, what comes before them the name.
    int index[2] = {0, 0};
    for (int k = 1; k >= 0; --k) {
        const size_t dot = rest.rfind('.');
        if (dot == std::string_view::npos) return std::nullopt;
        const std::string_view digits = rest.substr(dot + 1);
        if (digits.empty() || digits.size() > 5) return std::nullopt;
        int64_t v = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return std::nullopt;
            v = v * 10 + (c - '0');
        }
        if (v > kMaxTileIndex) return std::nullopt;
        index[k] = static_cast<int>(v);
        rest = rest.substr(0, dot);
    }
    TileName name{std::string(rest), index[0], index[1]};
    // Only the form tileFileName writes ("007", not "7" or "0007").
    if (name.bigPicName.empty() || tileFileName(name.bigPicName, name.i, name.j) != fileName)
        return std::nullopt;
    return name;
}

std::string tileFolder(const std::string& folder, const std::string& bigPicName) {
    return core::joinPath(folder, bigPicName + ".dir");
}

std::string batchListName(const std::string& bigPicName) {
    return bigPicName + ".txt";
}

std::string layoutFileName(const std::string& bigPicName) {
    return bigPicName + ".tiles.ini";
}

}  // namespace orv::tiles
