#include "input/noise.h"

#include <algorithm>
#include <cmath>

#include "core/numeric.h"
#include "core/vector_loops.h"
#include "form/message_log.h"

// The noise estimate, in steps:
//   1. While the background is computed, every residual r = Level - BackLevel goes into a bin
//      of 1/32 level: bin floor((r + 256) x 32). Residuals lie in -255..255, so 16384 bins
//      hold them all. (The smoothed residual of the detection filter: bins of 1/128 level,
//      bin floor((r + 64) x 128), the few beyond +-64 levels in the end bins.)
//   2. The histogram read as a continuous distribution (each bin's count spread evenly over
//      the bin) gives the number of residuals below any value, F(v).
//   3. The median m solves F(m) = N / 2; the median absolute deviation d solves
//      F(m + d) - F(m - d) = N / 2, found by bisection (the left side grows with d).
//   4. sigma = 1.4826 d.
// The interpolation keeps the estimate free of the bins' width: the error is a small part of
// 1/32 level.

namespace orv::input {

namespace {

constexpr int kBins = 16384;
constexpr int kLanes = 4;  // interleaved copies of the histogram, summed when it is read
// For normally distributed values, the standard deviation over the median absolute deviation.
constexpr double kMadToSigma = 1.4826;

// The bin of position p (in bins): its whole part, cut to 0 .. kBins - 1 (below 0, where
// truncation and floor part, the cut gives 0 either way). Residuals of levels lie within
// +-255, so p is far inside the range of an int; cutting the integer to the bins gives the same
// bin as cutting p, in fewer vector steps.
inline uint16_t binOf(float p) {
    return static_cast<uint16_t>(std::clamp(static_cast<int32_t>(p), 0, kBins - 1));
}

ORV_PIXEL_LOOP void binRow(const uint8_t* __restrict level, const float* __restrict back, int w,
                           float offset, float scale, uint16_t* __restrict out) {
    for (int x = 0; x < w; ++x)
        out[x] = binOf((static_cast<float>(level[x]) - back[x] + offset) * scale);
}

ORV_PIXEL_LOOP void binValues(const float* __restrict residual, int w, float offset, float scale,
                              uint16_t* __restrict out) {
    for (int x = 0; x < w; ++x) out[x] = binOf((residual[x] + offset) * scale);
}

}  // namespace

ResidualHistogram::ResidualHistogram(int binsPerLevel)
    : bins_(kLanes * kBins, 0),
      binsPerLevel_(binsPerLevel),
      offset_(static_cast<float>(kBins / 2 / binsPerLevel)) {}

void ResidualHistogram::addRow(const uint8_t* level, const float* back, int width) {
    if (width <= 0) return;
    if (rowBins_.size() < static_cast<size_t>(width)) rowBins_.resize(width);
    binRow(level, back, width, offset_, static_cast<float>(binsPerLevel_), rowBins_.data());
    count(width);
}

void ResidualHistogram::addValues(const float* residual, int width) {
    if (width <= 0) return;
    if (rowBins_.size() < static_cast<size_t>(width)) rowBins_.resize(width);
    binValues(residual, width, offset_, static_cast<float>(binsPerLevel_), rowBins_.data());
    count(width);
}

void ResidualHistogram::add(const ResidualHistogram& other) {
    for (size_t i = 0; i < bins_.size() && i < other.bins_.size(); ++i) bins_[i] += other.bins_[i];
    count_ += other.count_;
}

void ResidualHistogram::count(int width) {
    // Neighbouring pixels often fall in the same bin: counting them in different lanes keeps
    // each increment from waiting for the one before.
    const uint16_t* r = rowBins_.data();
    uint32_t* b = bins_.data();
    int x = 0;
    for (; x + kLanes <= width; x += kLanes)
        for (int lane = 0; lane < kLanes; ++lane) ++b[lane * kBins + r[x + lane]];
    for (; x < width; ++x) ++b[r[x]];
    count_ += static_cast<uint64_t>(width);
}

double ResidualHistogram::robustSigma() const {
    if (count_ == 0) return 0.0;
    std::vector<double> count(kBins, 0.0);
    for (int lane = 0; lane < kLanes; ++lane)
        for (int i = 0; i < kBins; ++i) count[i] += bins_[lane * kBins + i];
    std::vector<double> below(kBins + 1, 0.0);  // below[i]: residuals in bins 0..i-1
    for (int i = 0; i < kBins; ++i) below[i + 1] = below[i] + count[i];
    // F at a position p in bin units.
    auto cumulative = [&](double p) {
        if (p <= 0.0) return 0.0;
        if (p >= kBins) return below[kBins];
        const int i = static_cast<int>(p);
        return below[i] + count[i] * (p - i);
    };
    const double half = 0.5 * static_cast<double>(count_);
    // The bin in which F reaches half: below[i] < half <= below[i + 1], so it is not empty.
    const int medianBin =
        static_cast<int>(std::lower_bound(below.begin() + 1, below.end(), half) - below.begin()) -
        1;
    const double median = medianBin + (half - below[medianBin]) / count[medianBin];
    double lo = 0.0, hi = kBins;
    for (int k = 0; k < 60; ++k) {
        const double mid = 0.5 * (lo + hi);
        (cumulative(median + mid) - cumulative(median - mid) >= half ? hi : lo) = mid;
    }
    return kMadToSigma * hi / binsPerLevel_;
}

double measureNoise(const core::PixelPlanes& pixels, const core::Array2D<float>& back, int width,
                    int height) {
    ResidualHistogram histogram;
    for (int y = 1; y <= height; ++y)
        histogram.addRow(pixels.levelPlane().at(1, y), back.at(0, y - 1), width);
    return histogram.robustSigma();
}

int32_t suggestedSiki(double sigma, double k) {
    const double t = k * sigma;
    if (!(t < 255.0)) return 255;  // NaN too
    return std::max<int32_t>(1, core::CLng(t));
}

float suggestedFilterSiki(double sigma, double k) {
    const double t = k * sigma;
    if (!(t < 255.0)) return 255.0f;  // NaN too
    return std::max(0.01f, static_cast<float>(core::CLng(t * 100.0) / 100.0));
}

void takeNoiseEstimate(form::Ctx& ctx, double sigma, float filterSigma) {
    auto& ws = ctx.ws;
    const bool filtered = filterSigma > 0;
    ws.NoiseSigma = sigma;
    const std::string sigmaText = core::Format(sigma, "0.00");
    const double factor = filtered ? kSuggestedFilterSigmaFactor : kSuggestedSigmaFactor;
    auto threshold = [&](double k) {
        return filtered ? suggestedFilterSiki(sigma, k)
                        : static_cast<float>(suggestedSiki(sigma, k));
    };
    const float suggested = threshold(factor);
    ws.SuggestedSiki = suggested;
    const std::string factorText = core::generalForm(static_cast<float>(factor));
    const std::string filterText = core::generalForm(filterSigma);
    ctx.frm.lblSikiSuggest.Caption = "σ " + sigmaText + " → 推奨 " + core::generalForm(suggested);
    ctx.frm.lblSikiSuggest.ToolTipText =
        filtered ? "背景処理の後に測った、入力輝度と背景輝度の差を検出フィルタ（σ " + filterText +
                       " ピクセルのガウス関数）で平滑化した値のノイズσ（中央絶対偏差×1.4826）"
                       "と、推奨するクラスタ閾値（" +
                       factorText + "σを小数2桁に丸めた値）です。クラスタ閾値の欄は変わりません。"
                 : "背景処理の後に測った画像のノイズσ（入力輝度と背景輝度の差の中央絶対偏差×"
                   "1.4826）と、推奨するクラスタ閾値（" +
                       factorText + "σを丸めた値）です。クラスタ閾値の欄は変わりません。";
    form::OV_Logout(ctx, "＞ノイズ σ = " + sigmaText +
                             (filtered ? "（検出フィルタ σ " + filterText + " で平滑化）" : "") +
                             "、推奨クラスタ閾値 " + core::generalForm(suggested) + "（" +
                             factorText + "σ）");
    if (ws.SikiSigmaFactor > 0.0) {
        const float siki = threshold(ws.SikiSigmaFactor);
        ws.settings.Siki = siki;
        form::OV_Logout(ctx, "＞クラスタ閾値 " + core::generalForm(siki) + " を使用（" +
                                 core::generalForm(static_cast<float>(ws.SikiSigmaFactor)) + "σ）");
    }
}

void forgetNoiseEstimate(form::Ctx& ctx) {
    ctx.ws.NoiseSigma = -1.0;
    ctx.ws.SuggestedSiki = 0;
    ctx.frm.lblSikiSuggest.Caption = "";
    ctx.frm.lblSikiSuggest.ToolTipText = "";
}

}  // namespace orv::input
