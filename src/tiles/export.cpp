#include "tiles/export.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "core/anew_file.h"
#include "core/checksum.h"
#include "core/ini.h"
#include "core/numeric.h"
#include "core/paths.h"
#include "core/text_file.h"
#include "formats/bmp_stream.h"
#include "formats/stretch.h"
#include "tiles/geometry.h"

namespace orv::tiles {

namespace {

constexpr const char* kSection = "Tiles";
constexpr const char* kChecksumSection = "[Checksums]";

// The shortest text that reads back as the same float.
std::string shortestText(float v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

core::Error badKey(const char* key, const std::string& value) {
    return core::Error{std::string("分割情報ファイルの ") + key + " が正しくありません: \"" +
                       value + "\""};
}

// A whole number from 0 to `max`.
bool wholeNumber(const std::string& text, int64_t max, int64_t& value) {
    auto v = core::parseNumber(text);
    if (!v || *v < 0 || *v > static_cast<double>(max) || std::floor(*v) != *v) return false;
    value = static_cast<int64_t>(*v);
    return true;
}

}  // namespace

std::string batchListLine(const std::string& folder, const std::string& fileName) {
    return core::quotedField(folder) + "," + core::quotedField(fileName);
}

std::vector<std::string> layoutLines(const TileLayout& l) {
    std::vector<std::string> lines = {std::string("[") + kSection + "]",
                                      "Picture=" + l.picture,
                                      "Width=" + std::to_string(l.width),
                                      "Height=" + std::to_string(l.height),
                                      "Size=" + shortestText(l.size),
                                      "Margin=" + shortestText(l.margin),
                                      "Columns=" + std::to_string(l.columns),
                                      "Rows=" + std::to_string(l.rows),
                                      "List=" + l.list,
                                      "Tiles=" + std::to_string(l.tiles)};
    if (l.cover) lines.push_back("Cover=1");
    if (!l.stretch.text.empty()) {
        lines.push_back("Stretch=" + l.stretch.text);
        lines.push_back("StretchBlack=" + formats::exactText(l.stretch.black));
        lines.push_back("StretchWhite=" + formats::exactText(l.stretch.white));
    }
    if (!l.checksums.empty()) {
        lines.push_back(kChecksumSection);
        for (const auto& [tile, crc] : l.checksums)
            lines.push_back(tileFileName(l.picture, tile.first, tile.second) + "=" +
                            core::checksumText(crc));
    }
    return lines;
}

TileGrid layoutGrid(const TileLayout& l) {
    return tileGrid(l.size, l.margin, l.width, l.height, l.cover);
}

uint32_t tileChecksum(const form::Picture& picture) {
    const auto w = static_cast<size_t>(std::max(picture.width, 0));
    std::vector<uint8_t> rgb(3 * w);
    uint32_t crc = 0;
    for (int y = 0; y < picture.height; ++y) {
        const uint8_t* in = picture.row(y);
        if (picture.layout == form::PixelLayout::Rgb888) {
            crc = core::crc32c(in, 3 * w, crc);
            continue;
        }
        const bool grey = picture.layout == form::PixelLayout::Grey8;
        for (size_t x = 0; x < w; ++x) {
            // Grey: R = G = B; Bgrx8888: the bytes B, G, R, unused.
            rgb[3 * x] = grey ? in[x] : in[4 * x + 2];
            rgb[3 * x + 1] = grey ? in[x] : in[4 * x + 1];
            rgb[3 * x + 2] = grey ? in[x] : in[4 * x];
        }
        crc = core::crc32c(rgb.data(), rgb.size(), crc);
    }
    return crc;
}

namespace {

// The [Checksums] section of a layout's text: one "tile file name=checksum" line per tile
// (other keys are left to later versions).
core::Result<void> parseChecksums(std::string_view text, TileLayout& l) {
    bool inSection = false;
    for (const std::string& raw : core::splitLines(core::decodeText(text))) {
        const std::string_view line = raw;
        if (line.starts_with('[')) {
            inSection = line == kChecksumSection;
            continue;
        }
        if (!inSection || line.find_first_not_of(" \t") == std::string_view::npos) continue;
        const size_t eq = line.find('=');
        const auto tile = parseTileFileName(line.substr(0, eq == line.npos ? 0 : eq));
        if (!tile) continue;  // a key a later version may write
        const auto crc = eq == line.npos ? std::nullopt : core::parseChecksum(line.substr(eq + 1));
        if (!crc || tile->bigPicName != l.picture || tile->i >= l.columns || tile->j >= l.rows)
            return core::Error{"分割情報ファイルのチェックサムの行が正しくありません: \"" + raw +
                               "\""};
        l.checksums[{tile->i, tile->j}] = *crc;
    }
    return {};
}

}  // namespace

core::Result<TileLayout> parseLayout(std::string_view text) {
    const core::IniFile ini = core::IniFile::fromText(text);
    TileLayout l;
    auto get = [&](const char* key) { return ini.get(kSection, key); };
    l.picture = get("Picture");
    if (l.picture.empty()) return badKey("Picture", l.picture);
    const struct {
        const char* key;
        int64_t* value;
    } sizes[] = {{"Width", &l.width}, {"Height", &l.height}};
    for (const auto& s : sizes)
        if (!wholeNumber(get(s.key), INT32_MAX, *s.value) || *s.value == 0)
            return badKey(s.key, get(s.key));
    const struct {
        const char* key;
        float* value;
    } settings[] = {{"Size", &l.size}, {"Margin", &l.margin}};
    for (const auto& s : settings) {
        auto v = core::parseNumber(get(s.key));
        if (!v) return badKey(s.key, get(s.key));
        *s.value = settingValue(*v);
    }
    const std::string cover = get("Cover");
    if (!cover.empty() && cover != "0" && cover != "1") return badKey("Cover", cover);
    l.cover = cover == "1";
    if (auto ok = checkExport(l.size, l.margin, l.width, l.height, l.cover); !ok)
        return core::Error{"分割情報ファイルの分割設定が正しくありません: " + ok.error()};
    const TileGrid grid = layoutGrid(l);
    if (!wholeNumber(get("Columns"), kMaxTileIndex, l.columns) || l.columns != grid.columns)
        return badKey("Columns", get("Columns"));
    if (!wholeNumber(get("Rows"), kMaxTileIndex, l.rows) || l.rows != grid.rows)
        return badKey("Rows", get("Rows"));
    l.list = get("List");
    if (l.list.empty()) return badKey("List", l.list);
    if (!wholeNumber(get("Tiles"), l.columns * l.rows, l.tiles))
        return badKey("Tiles", get("Tiles"));
    if (auto sums = parseChecksums(text, l); !sums) return core::Error{sums.error()};
    l.stretch.text = get("Stretch");
    if (l.stretch.text.empty()) return l;
    const struct {
        const char* key;
        double* value;
    } points[] = {{"StretchBlack", &l.stretch.black}, {"StretchWhite", &l.stretch.white}};
    for (const auto& p : points) {
        auto v = core::parseNumber(get(p.key));
        if (!v || !std::isfinite(*v)) return badKey(p.key, get(p.key));
        *p.value = *v;
    }
    return l;
}

core::Result<TileLayout> readLayoutFile(const std::string& path) {
    auto bytes = core::readFileBytes(path);
    if (!bytes) return core::Error{bytes.error()};
    auto layout = parseLayout(bytes.value());
    if (!layout) return core::Error{layout.error() + " (" + path + ")"};
    return layout;
}

std::string layoutFileOfList(const std::string& listPath) {
    const std::string name = core::fileNameOf(listPath);
    const std::string bigPicName = name.substr(0, name.size() - batchListName("").size());
    if (bigPicName.empty() || batchListName(bigPicName) != name) return "";
    return core::joinPath(core::GetFolderName(listPath), layoutFileName(bigPicName));
}

std::string pictureFileOf(const std::string& folder, const std::string& name) {
    const std::string file = core::joinPath(folder, name);
    if (!core::fileExists(file) && isTileId(name) && core::fileExists(file + ".bmp"))
        return file + ".bmp";
    return file;
}

ExportOutcome exportAllTiles(const std::string& folder, const std::string& bigPicName, float size,
                             float margin, int64_t width, int64_t height,
                             const LayoutStretch& stretch, const TileCutter& cut,
                             const std::function<void(int64_t, int64_t)>& progress, bool cover) {
    ExportOutcome o;
    // What a killed export of this picture left: its tiles' and files' temporaries.
    core::removeStaleLeftovers(folder, bigPicName + ".");
    const TileGrid grid = tileGrid(size, margin, width, height, cover);
    TileLayout layout{bigPicName, width,        height,    size,
                      margin,     grid.columns, grid.rows, batchListName(bigPicName),
                      0,          stretch,      {},        cover};
    if (layout.columns == 0 || layout.rows == 0) return o;
    const int64_t total = layout.columns * layout.rows;

    // 1. The new tiles, each in a temporary file beside its name.
    struct Written {
        std::string temporary, file;
    };
    std::vector<Written> tiles;
    auto dropTiles = [&tiles] {
        for (const Written& t : tiles) std::remove(t.temporary.c_str());
    };
    std::vector<std::string> lines;
    for (int j = 0; j < layout.rows && o.error.empty(); ++j)
        for (int i = 0; i < layout.columns && o.error.empty(); ++i) {
            const std::string name = tileFileName(bigPicName, i, j);
            const std::string file = core::joinPath(folder, name);
            const std::string temporary = core::temporaryNameFor(file);
            const form::Picture tile = cut(i, j);
            if (auto saved = formats::writeBmp24(temporary, tile); !saved) {
                o.error = saved.error();
                break;
            }
            tiles.push_back({temporary, file});
            layout.checksums[{i, j}] = tileChecksum(tile);
            lines.push_back(batchListLine(folder, name));
            if (progress) progress(static_cast<int64_t>(tiles.size()), total);
        }
    if (!o.error.empty()) {
        dropTiles();
        return o;
    }
    layout.tiles = static_cast<int64_t>(tiles.size());

    // 2. The list and the layout complete, then the tiles put in place, then the list and the
    //    layout replaced together.
    size_t placed = 0;
    auto placeTiles = [&]() -> core::Result<void> {
        // A name taken by something that is no file (a folder) would stop the renames halfway.
        for (const Written& t : tiles)
            if (std::filesystem::exists(t.file) && !std::filesystem::is_regular_file(t.file))
                return core::Error{"ファイルを書き込めません: " + t.file +
                                   " (ファイルではありません)"};
        for (; placed < tiles.size(); ++placed)
            if (std::rename(tiles[placed].temporary.c_str(), tiles[placed].file.c_str()) != 0)
                return core::Error{"ファイルを書き込めません: " + tiles[placed].file};
        return {};
    };
    auto saved =
        core::writeFileBytesAnew({{core::joinPath(folder, layout.list), core::joinLines(lines)},
                                  {core::joinPath(folder, layoutFileName(bigPicName)),
                                   core::joinLines(layoutLines(layout))}},
                                 placeTiles);
    if (!saved) {
        o.error = saved.error();
        o.written = static_cast<int64_t>(placed);
        for (size_t k = placed; k < tiles.size(); ++k) std::remove(tiles[k].temporary.c_str());
        return o;
    }
    o.written = layout.tiles;
    return o;
}

}  // namespace orv::tiles
