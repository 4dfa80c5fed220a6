#include "catalogue/measure/sidecar.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iterator>
#include <optional>

#include "core/numeric.h"
#include "core/parallel.h"
#include "core/paths.h"
#include "core/text.h"
#include "core/text_file.h"
#include "results/saved_records.h"

namespace orv::catalogue::measure {

namespace {

constexpr int kFields = 14;
constexpr int32_t kAllFlags = 63;
constexpr int32_t kEditBits = core::kFlagEdited | core::kFlagHandAdded;

void setShared(core::PictureMeasures& p, const std::string& key, const std::string& value) {
    auto number = [&] { return core::parseNumber(value).value_or(core::kNotMeasured); };
    if (key == "unit") p.unit = value;
    if (key == "samples") p.samples = value;
    if (key == "filter") p.filter = value;
    if (key == "noise_sigma") p.noiseSigma = number();
    if (key == "saturation") p.saturation = number();
    if (key == "gain") p.gain = number();
}

std::vector<std::string> sharedLines(const core::PictureMeasures& p) {
    std::vector<std::string> lines;
    auto add = [&](const char* key, const std::string& value) {
        if (!value.empty()) lines.push_back(std::string("# ") + key + " = " + value);
    };
    add("unit", p.unit);
    add("samples", p.samples);
    add("noise_sigma", measureText(p.noiseSigma));
    add("saturation", measureText(p.saturation));
    add("gain", measureText(p.gain));
    // A line break would end the line early.
    std::string filter = p.filter;
    std::replace_if(
        filter.begin(), filter.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    add("filter", filter);
    return lines;
}

}  // namespace

std::string measureFilePath(const std::string& dataFile) {
    return dataFile + ".meas";
}

std::string measureText(double v) {
    if (!std::isfinite(v)) return "";
    return core::generalForm(v, 7);
}

int32_t currentFlags(const core::ClusterRec& c, int32_t measured) {
    int32_t edits = 0;
    if ((c.EditAtr & core::kEditDeleted) != 0 || c.Atr == core::kAtrNoiseReleased)
        edits |= core::kFlagEdited;
    if ((c.EditAtr & core::kEditAdded) != 0) edits |= core::kFlagHandAdded;
    if (measured < 0) return (edits & core::kFlagHandAdded) != 0 ? edits : -1;
    return (measured & ~kEditBits) | edits;
}

std::vector<std::string> measureFileLines(const core::Workspace& ws) {
    std::vector<std::string> lines = sharedLines(ws.measures.picture);
    lines.push_back(kMeasureHeader);
    // The results of the record file, in its order.
    const std::vector<int32_t> kept = results::savedNumbers(ws);
    const core::MeasureRec none;
    // Many lines are written on the picture's workers.
    std::vector<std::string> body = core::collectInParts(
        core::pictureWorkers(ws.PictureWorkers), static_cast<int64_t>(kept.size()),
        core::kManyLines, [&](int64_t k) {
            const int32_t i = kept[static_cast<size_t>(k)];
            const core::MeasureRec* found = ws.measures.find(i);
            const core::MeasureRec& m = found ? *found : none;
            std::string line = std::to_string(i);
            for (double v : {m.background, m.fluxIso, m.flux, m.fluxErr, m.fluxRadius, m.peak,
                             m.snr, m.fwhm, m.a, m.b, m.theta, m.ellipticity})
                line += ',' + measureText(v);
            const int32_t flags = currentFlags(ws.Clusters[i], m.flags);
            return line + ',' + (flags < 0 ? std::string() : std::to_string(flags));
        });
    lines.insert(lines.end(), std::make_move_iterator(body.begin()),
                 std::make_move_iterator(body.end()));
    return lines;
}

core::Result<core::MeasureTable> parseMeasureText(std::string_view text) {
    core::MeasureTable t;
    t.fromFile = true;
    int lineNo = 0;
    bool header = false;
    std::string decoded;
    for (const std::string& line : core::splitLines(core::textOf(text, decoded))) {
        ++lineNo;
        const std::string s(core::trimSpaces(line));
        if (s.empty()) continue;
        auto refuse = [&](const std::string& why) {
            return core::Error{std::to_string(lineNo) + " 行目を読めません: " + why};
        };
        if (s[0] == '#') {
            const size_t eq = s.find('=');
            if (eq != std::string::npos)
                setShared(t.picture,
                          std::string(core::trimSpaces(std::string_view(s).substr(1, eq - 1))),
                          std::string(core::trimSpaces(std::string_view(s).substr(eq + 1))));
            continue;
        }
        if (!header) {
            if (s != kMeasureHeader) return refuse("見出し行がありません");
            header = true;
            continue;
        }
        const auto f = core::splitCommaFields(s);
        if (static_cast<int>(f.size()) != kFields)
            return refuse("項目の数が " + std::to_string(f.size()) + " です (" +
                          std::to_string(kFields) + " 項目が必要です)");
        const auto no = core::parseNumber(f[0]);
        if (!no || *no < 1 || *no > core::kMaxStarNo || *no != std::floor(*no))
            return refuse("番号 " + f[0] + " は 1 から 50000 の整数ではありません");
        core::MeasureRec r;
        double* values[] = {&r.background, &r.fluxIso, &r.flux,  &r.fluxErr,
                            &r.fluxRadius, &r.peak,    &r.snr,   &r.fwhm,
                            &r.a,          &r.b,       &r.theta, &r.ellipticity};
        for (int k = 0; k < 12; ++k) {
            const std::string& field = f[static_cast<size_t>(k + 1)];
            if (field.empty()) continue;
            const auto v = core::parseNumber(field);
            if (!v || !std::isfinite(*v))
                return refuse(std::to_string(k + 2) + " 番目の項目が数値ではありません: " + field);
            *values[k] = *v;
        }
        if (!f[13].empty()) {
            const auto v = core::parseNumber(f[13]);
            if (!v || *v < 0 || *v > kAllFlags || *v != std::floor(*v))
                return refuse("flags " + f[13] + " は 0 から 63 の整数ではありません");
            r.flags = static_cast<int32_t>(*v);
        }
        const size_t n = static_cast<size_t>(*no);
        if (t.byStar.size() <= n) t.byStar.resize(n + 1);
        t.byStar[n] = r;
    }
    if (!header) return core::Error{"見出し行がありません"};
    return t;
}

core::Result<core::MeasureTable> readMeasureFile(const std::string& path) {
    auto bytes = core::readFileBytes(path);
    if (!bytes) return core::Error{bytes.error()};
    auto t = parseMeasureText(bytes.value());
    if (!t) return core::Error{path + " の " + t.error()};
    return t;
}

core::Result<std::optional<core::MeasureTable>> readSavedMeasures(
    bool summed, const std::vector<core::FileBytes>& summedWith, const std::string& dataFile) {
    const std::string path = measureFilePath(dataFile);
    if (!summed) {
        if (!core::fileExists(path)) return std::optional<core::MeasureTable>{};
        auto t = readMeasureFile(path);
        if (!t) return core::Error{t.error()};
        return std::optional<core::MeasureTable>{std::move(t.value())};
    }
    const std::string name = core::fileNameOf(path);
    for (const core::FileBytes& f : summedWith) {
        if (!core::equalsIgnoreCase(f.path, name)) continue;
        auto t = parseMeasureText(f.bytes);
        if (!t) return core::Error{path + " の " + t.error()};
        return std::optional<core::MeasureTable>{std::move(t.value())};
    }
    return std::optional<core::MeasureTable>{};
}

}  // namespace orv::catalogue::measure
