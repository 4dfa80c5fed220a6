#include "tiles/export.h"

#include <charconv>
#include <cmath>

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
    if (!l.stretch.text.empty()) {
        lines.push_back("Stretch=" + l.stretch.text);
        lines.push_back("StretchBlack=" + formats::exactText(l.stretch.black));
        lines.push_back("StretchWhite=" + formats::exactText(l.stretch.white));
    }
    return lines;
}

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
    if (auto ok = checkExport(l.size, l.margin, l.width, l.height); !ok)
        return core::Error{"分割情報ファイルの分割設定が正しくありません: " + ok.error()};
    if (!wholeNumber(get("Columns"), kMaxTileIndex, l.columns) ||
        l.columns != wholeTiles(l.width, l.size, l.margin))
        return badKey("Columns", get("Columns"));
    if (!wholeNumber(get("Rows"), kMaxTileIndex, l.rows) ||
        l.rows != wholeTiles(l.height, l.size, l.margin))
        return badKey("Rows", get("Rows"));
    l.list = get("List");
    if (l.list.empty()) return badKey("List", l.list);
    if (!wholeNumber(get("Tiles"), l.columns * l.rows, l.tiles))
        return badKey("Tiles", get("Tiles"));
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

ExportOutcome exportAllTiles(const std::string& folder, const std::string& bigPicName, float size,
                             float margin, int64_t width, int64_t height,
                             const LayoutStretch& stretch, const TileCutter& cut,
                             const std::function<void(int64_t, int64_t)>& progress) {
    ExportOutcome o;
    TileLayout layout{bigPicName,
                      width,
                      height,
                      size,
                      margin,
                      wholeTiles(width, size, margin),
                      wholeTiles(height, size, margin),
                      batchListName(bigPicName),
                      0,
                      stretch};
    if (layout.columns == 0 || layout.rows == 0) return o;
    const int64_t total = layout.columns * layout.rows;
    std::vector<std::string> lines;
    for (int j = 0; j < layout.rows && o.error.empty(); ++j)
        for (int i = 0; i < layout.columns && o.error.empty(); ++i) {
            const std::string name = tileFileName(bigPicName, i, j);
            if (auto saved = formats::writeBmp24(core::joinPath(folder, name), cut(i, j)); !saved) {
                o.error = saved.error();
                break;
            }
            lines.push_back(batchListLine(folder, name));
            ++o.written;
            if (progress) progress(o.written, total);
        }
    layout.tiles = o.written;
    // The list and the layout name exactly the tiles written, also after a failure.
    auto saveText = [&](const std::string& name, const std::vector<std::string>& text) {
        auto saved = core::writeLinesAnew(core::joinPath(folder, name), text);
        if (!saved && o.error.empty()) o.error = saved.error();
    };
    saveText(layout.list, lines);
    saveText(layoutFileName(bigPicName), layoutLines(layout));
    return o;
}

}  // namespace orv::tiles
