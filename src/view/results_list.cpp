#include "view/results_list.h"

#include <algorithm>
#include <cmath>

#include "catalogue/measure/measure_results.h"
#include "core/numeric.h"
#include "extract/records.h"
#include "view/overlay.h"

namespace orv::view {

using core::Workspace;
using form::Ctx;

namespace {

bool inUse(const Workspace& ws, int32_t n) {
    return n >= 1 && n <= ws.MaxStarNo && static_cast<size_t>(n) < ws.Clusters.size() &&
           static_cast<size_t>(n) < ws.Stars.size() && ws.Clusters[n].Used == -1 &&
           ws.Clusters[n].Divided != -1;
}

bool outlined(int atr) {
    return atr == extract::kAtrCircular || atr == extract::kAtrElongated;
}

// The value a column sorts by; NaN where the panel shows none.
double valueOf(const Workspace& ws, const core::MeasureTable* m, int32_t n, ResultColumn col) {
    const auto& c = ws.Clusters[n];
    const auto& s = ws.Stars[n];
    const core::MeasureRec* rec = m ? m->find(n) : nullptr;
    const double none = NAN;
    switch (col) {
        case ResultColumn::StarNo:
            return n;
        case ResultColumn::X:
            return s.CenterX;
        case ResultColumn::Y:
            return s.CenterY;
        case ResultColumn::Siki:
            return c.Siki;
        case ResultColumn::Area:
            return s.PixelCount;
        case ResultColumn::Roundness:
            return outlined(c.Atr) ? s.SinendoRatio : none;
        case ResultColumn::RadiusAve:
            return outlined(c.Atr) ? s.HankeiAve : none;
        case ResultColumn::RadiusMin:
            return outlined(c.Atr) ? s.HankeiMin : none;
        case ResultColumn::RadiusMax:
            return outlined(c.Atr) ? s.HankeiMax : none;
        case ResultColumn::SumLevel:
            return s.SumLevel;
        case ResultColumn::RadiusSD:
            return outlined(c.Atr) ? s.HankeiSD : none;
        case ResultColumn::MaxLevel:
            return s.MaxLevel;
        case ResultColumn::Atr:
            return c.Atr >= 1 && c.Atr <= 5 ? c.Atr : none;
        case ResultColumn::EditAtr:
            return c.EditAtr >= 0 && c.EditAtr <= 3 ? c.EditAtr : none;
        case ResultColumn::Flux:
            return rec ? rec->flux : none;
        case ResultColumn::Fwhm:
            return rec ? rec->fwhm : none;
        case ResultColumn::Snr:
            return rec ? rec->snr : none;
        case ResultColumn::Note:
            return none;
    }
    return none;
}

std::string single(double v, const char* picture) {
    return core::Format(static_cast<float>(v), picture, 7);
}

}  // namespace

const char* listClassName(int listClass) {
    static constexpr const char* kNames[kListClasses] = {"全結果",   "ノイズ",   "面積天体",
                                                         "円状天体", "横長天体", "ノイズ解除",
                                                         "手動追加", "手動削除"};
    return listClass >= 0 && listClass < kListClasses ? kNames[listClass] : kNames[0];
}

std::string columnCaption(ResultColumn column) {
    static constexpr const char* kCaptions[kResultColumns] = {
        "StarNo",   "X",        "Y",        "閾値",     "面積",     "真円度",
        "平均半径", "最少半径", "最大半径", "積算輝度", "標準偏差", "最大輝度",
        "Atr(0)",   "Atr(1)",   "光度",     "FWHM",     "S/N",      "メモ"};
    return kCaptions[static_cast<int>(column)];
}

std::string columnToolTip(const form::FrmOrvandel& frm, ResultColumn column) {
    // The panel's labels in column order (StarNo first), then the measurements and the note.
    static constexpr int kPanel[14] = {11, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 13};
    const int k = static_cast<int>(column);
    if (k < 14) return frm.lblStarInfo[kPanel[k]].ToolTipText;
    if (k < 17) return frm.lblStarMeas[k - 14].ToolTipText;
    return frm.txtStarNote.ToolTipText;
}

bool isListed(const Ctx& ctx, int32_t n, int listClass) {
    if (!inUse(ctx.ws, n) || markOf(ctx, n) == Mark::None) return false;
    const auto& c = ctx.ws.Clusters[n];
    if (listClass >= 1 && listClass <= 5) return c.Atr == listClass;
    if (listClass == kListAdded) return (c.EditAtr & extract::kEditAdded) != 0;
    if (listClass == kListDeleted) return (c.EditAtr & extract::kEditDeleted) != 0;
    return true;
}

std::vector<int32_t> listedResults(const Ctx& ctx, int listClass) {
    std::vector<int32_t> rows;
    for (int32_t n = 1; n <= ctx.ws.MaxStarNo; ++n)
        if (isListed(ctx, n, listClass)) rows.push_back(n);
    return rows;
}

const core::MeasureTable* currentMeasures(const Workspace& ws) {
    const auto& m = ws.measures;
    if (m.byStar.empty()) return nullptr;
    return m.fromFile || m.stamp == catalogue::measure::resultsStamp(ws) ? &m : nullptr;
}

std::string cellText(const Workspace& ws, const core::MeasureTable* m, int32_t n,
                     ResultColumn column) {
    if (!inUse(ws, n)) return "-";
    const auto& c = ws.Clusters[n];
    const auto& s = ws.Stars[n];
    const double v = valueOf(ws, m, n, column);
    auto measured = [&](double below, const char* picture) {
        if (!std::isfinite(v)) return std::string("-");
        return std::abs(v) < below ? core::Format(v, picture) : core::generalForm(v, 3);
    };
    switch (column) {
        case ResultColumn::StarNo:
            return core::generalForm(n);
        case ResultColumn::X:
        case ResultColumn::Y:
            return single(v, "#####.0");
        case ResultColumn::Siki:
            return core::generalForm(c.Siki);
        case ResultColumn::Area:
            return core::generalForm(s.PixelCount);
        case ResultColumn::SumLevel:
            return single(v, "#####");
        case ResultColumn::MaxLevel:
            return single(v, "###");
        case ResultColumn::Roundness:
            return std::isfinite(v) ? single(v, "##.0") : "-";
        case ResultColumn::RadiusAve:
        case ResultColumn::RadiusMin:
        case ResultColumn::RadiusMax:
            return std::isfinite(v) ? single(v, "###.0") : "-";
        case ResultColumn::RadiusSD:
            return std::isfinite(v) ? single(v, "#0.00") : "-";
        case ResultColumn::Atr: {
            static constexpr const char* kWords[6] = {"-",        "ノイズ",   "面積天体",
                                                      "円状天体", "横長天体", "ノイズ解除"};
            return c.Atr >= 1 && c.Atr <= 5 ? kWords[c.Atr] : "-";
        }
        case ResultColumn::EditAtr: {
            static constexpr const char* kWords[4] = {"自動抽出", "手動削除", "手動追加",
                                                      "手動削除"};
            return c.EditAtr >= 0 && c.EditAtr <= 3 ? kWords[c.EditAtr] : "-";
        }
        case ResultColumn::Flux:
            return measured(1e6, "0.0");
        case ResultColumn::Fwhm:
            return measured(1e4, "0.00");
        case ResultColumn::Snr:
            return measured(1e5, "0.0");
        case ResultColumn::Note:
            return c.Note;
    }
    return "-";
}

void sortResults(const Workspace& ws, const core::MeasureTable* m, std::vector<int32_t>& rows,
                 ResultColumn column, bool descending) {
    if (column == ResultColumn::Note) {
        // Notes by their text; results without one last.
        std::stable_sort(rows.begin(), rows.end(), [&](int32_t a, int32_t b) {
            const std::string &na = ws.Clusters[a].Note, &nb = ws.Clusters[b].Note;
            if (na.empty() != nb.empty()) return nb.empty();
            if (na == nb) return a < b;
            return descending ? nb < na : na < nb;
        });
        return;
    }
    // The keys once, then an index sort: a comparison reads two doubles.
    struct Keyed {
        double key;
        int32_t n;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(rows.size());
    for (int32_t n : rows) keyed.push_back({valueOf(ws, m, n, column), n});
    std::sort(keyed.begin(), keyed.end(), [descending](const Keyed& a, const Keyed& b) {
        const bool va = !std::isnan(a.key), vb = !std::isnan(b.key);
        if (va != vb) return va;
        if (va && a.key != b.key) return descending ? a.key > b.key : a.key < b.key;
        return a.n < b.n;
    });
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = keyed[i].n;
}

}  // namespace orv::view
