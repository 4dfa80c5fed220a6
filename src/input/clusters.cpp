#include "input/clusters.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "core/numeric.h"
#include "core/parallel.h"
#include "core/vector_loops.h"
#include "extract/numbering.h"
#include "extract/table_full.h"
#include "form/message_log.h"
#include "form/stage.h"
#include "input/detect_filter.h"
#include "view/view_switch.h"

// Cluster extraction: a raster scan (top row first, left to right) seeds a new cluster at
// every bright pixel that no earlier cluster has taken, and the flood fill grows it. So the
// seed of a cluster is its topmost, then leftmost pixel, and numbers rise in seed order.
//
// A pixel is bright when Level > Siki + BackLevel (the sum in double precision) or
// Level > SikiTop; both comparisons are strict. With the detection filter on
// (input/detect_filter.h) the first test is SmoothedResidual > Siki, strictly, in single
// precision; the SikiTop test stays on the raw Level.
//
// The sum of two Singles of this size is exact in double precision, so the test is the exact
// BackLevel < Level - Siki. For each of the 256 levels, Level - Siki (exact as a double) is
// rounded up to the next Single T; a Single b is below a number exactly when it is below that
// number rounded up to a Single, so BackLevel < T[Level] is the same test in single precision.
// The scan first marks a row's possible seeds in a loop the compiler vectorises, then checks
// only those.

namespace orv::input {

using form::Ctx;

namespace {

// Marks possible seeds of a row (a superset of the bright pixels); returns whether any.
ORV_PIXEL_LOOP bool markCandidates(const uint8_t* __restrict level, const float* __restrict back,
                                   int w, float loose, float top, uint8_t* __restrict mark) {
    uint8_t any = 0;
    for (int x = 0; x < w; ++x) {
        const float l = level[x];
        const uint8_t m = (l - back[x] > loose) | (l > top);
        mark[x] = m;
        any |= m;
    }
    return any != 0;
}

// The same with the detection filter: the smoothed residual above Siki or Level above SikiTop.
// This test is exact, so the marks are the bright pixels themselves.
ORV_PIXEL_LOOP bool markSmoothed(const uint8_t* __restrict level, const float* __restrict smoothed,
                                 int w, float siki, float top, uint8_t* __restrict mark) {
    uint8_t any = 0;
    for (int x = 0; x < w; ++x) {
        const uint8_t m = (smoothed[x] > siki) | (static_cast<float>(level[x]) > top);
        mark[x] = m;
        any |= m;
    }
    return any != 0;
}

// Sets the bits of the marked pixels that `keep` confirms (most of a sky is unmarked).
template <typename Keep>
void addMarkedBits(const uint8_t* mark, int width, Keep&& keep, uint64_t* out) {
    core::forEachNonZero(mark, width, [&](int x) {
        if (keep(x)) out[x >> 6] |= uint64_t{1} << (x & 63);
    });
}

// Rows whose bright pixels are worked out at a time.
constexpr int kBrightBlockRows = 1024;

// The bright pixels of a block of rows, one bit a pixel (bit x - 1 of a row for pixel x), found
// in bands on the picture's workers: the test depends on Level, BackLevel (or the smoothed
// residual) alone, so the bits are the same for any number of bands.
class BrightBits {
public:
    BrightBits(int width, int parts) : width_(width), words_((width + 63) / 64), parts_(parts) {}

    // Rows first..last (1-based, inclusive).
    void find(const core::Workspace& ws, const Brightness& b, const core::Array2D<float>* smoothed,
              int first, int last) {
        first_ = first;
        bits_.assign(static_cast<size_t>(last - first + 1) * words_, 0);
        const float siki = ws.settings.Siki, top = ws.settings.SikiTop;
        core::forEachPart(parts_, last - first + 1, [&](int, int64_t begin, int64_t end) {
            std::vector<uint8_t> mark(static_cast<size_t>(width_));
            for (int y = first + static_cast<int>(begin); y < first + end; ++y) {
                const uint8_t* level = ws.PixelLevel.levelPlane().at(1, y);
                const float* back = ws.BackLevel.at(0, y - 1);
                if (!smoothed) {
                    b.addRowBits(level, back, width_, mark.data(), row(y));
                    continue;
                }
                if (!markSmoothed(level, smoothed->at(0, y - 1), width_, siki, top, mark.data()))
                    continue;
                addMarkedBits(
                    mark.data(), width_, [](int) { return true; }, row(y));
            }
        });
    }
    // The bits of every row at once (words() a row, row 1 first).
    void adopt(std::vector<uint64_t> bits) {
        first_ = 1;
        bits_ = std::move(bits);
        whole_ = true;
    }
    bool whole() const { return whole_; }
    uint64_t* row(int y) { return bits_.data() + static_cast<size_t>(y - first_) * words_; }
    int words() const { return words_; }

private:
    int width_, words_, parts_;
    int first_ = 1;
    bool whole_ = false;
    std::vector<uint64_t> bits_;
};

}  // namespace

namespace {

// Siki - 2^-14 rounded down to a Single: below Siki by more than the rounding of Level -
// BackLevel in single precision (half a step of 2^-16 while both lie in 0..255) and of Siki +
// BackLevel in double precision, so every bright pixel below SikiTop has Level - BackLevel above
// it, and few others do.
float looseThreshold(float siki) {
    const double bound = static_cast<double>(siki) - 0x1p-14;
    float t = static_cast<float>(bound);
    if (static_cast<double>(t) > bound) t = std::nextafter(t, -INFINITY);
    return t;
}

}  // namespace

Brightness::Brightness(float siki, float top) : sikiTop_(top), loose_(looseThreshold(siki)) {
    for (int l = 0; l < 256; ++l) {
        const double d = static_cast<double>(l) - siki;
        float t = static_cast<float>(d);
        if (static_cast<double>(t) < d) t = std::nextafter(t, INFINITY);
        below_[l] = t;
    }
}

void Brightness::addRowBits(const uint8_t* level, const float* back, int width, uint8_t* mark,
                            uint64_t* out) const {
    if (!markCandidates(level, back, width, loose_, sikiTop_, mark)) return;
    addMarkedBits(
        mark, width, [&](int x) { return bright(level[x], back[x]); }, out);
}

bool brightPixelsHold(const core::Workspace& ws, float siki, float sikiTop) {
    const auto& b = ws.BrightPixels;
    return !b.bits.empty() && b.siki == siki && b.sikiTop == sikiTop &&
           b.channel == ws.PixelLevel.channel() && b.pictureGeneration == ws.PictureGeneration &&
           b.words == (ws.ImageWidthP + 63) / 64 &&
           b.bits.size() == static_cast<size_t>(b.words) * static_cast<size_t>(ws.ImageHeightP);
}

void cmdPickup_Click(Ctx& ctx) {
    auto& ws = ctx.ws;
    auto& f = ctx.frm;
    const bool batch = ws.ProcStage == core::kStageBatch;
    if (!batch) form::setStage(ctx, core::kStageClustering);
    form::OV_DispMsg(ctx, "クラスタ抽出処理を実施しています。");
    ctx.host.setBusy(true);
    f.picHSC[2].canvas.clear();
    f.showStepProgress();
    ctx.host.pump();

    ws.FillDepthMax = 0;
    ws.FillDepthLimit = 3500;
    const int w = ws.ImageWidthP, h = ws.ImageHeightP;
    ws.ClusterMap.create(0, w + 1, 0, h + 1);
    extract::resetTables(ws);
    f.dashCounts(false);

    const float siki = ws.settings.Siki;
    const float sikiTop = ws.settings.SikiTop;
    const Brightness brightness(siki, sikiTop);
    const bool ready = w > 0 && h > 0 && !ws.PixelLevel.empty() && ws.BackLevel.width() == w &&
                       ws.BackLevel.height() == h;
    // With the detection filter on, brightness is decided on the smoothed residual.
    const core::Array2D<float>* smoothed =
        ready && ensureSmoothedResidual(ws) ? &ws.SmoothedResidual : nullptr;
    ws.ClusterFilterSigma = smoothed ? ws.SmoothedSigma : 0.0f;
    // Seeds in raster order: the bright pixels that no earlier cluster has taken.
    BrightBits bright(ready ? w : 0, core::pictureWorkers(ws.PictureWorkers));
    // The bright pixels the background step found, when they are still this picture's.
    if (ready && !smoothed && brightPixelsHold(ws, siki, sikiTop))
        bright.adopt(std::move(ws.BrightPixels.bits));
    ws.BrightPixels = {};
    // The fill of every seed, which differ in their number alone (the bits, when whole, are
    // those of the whole picture).
    extract::FillParams fill{0, siki, sikiTop, 0, &f.picHSC[2].canvas, smoothed};
    if (bright.whole()) {
        fill.bright = bright.row(1);
        fill.brightWords = bright.words();
    }
    for (int y = 1; ready && y <= h; ++y) {
        if (!bright.whole() && (y - 1) % kBrightBlockRows == 0)
            bright.find(ws, brightness, smoothed, y, std::min(h, y + kBrightBlockRows - 1));
        const uint16_t* map = ws.ClusterMap.at(1, y);
        const uint64_t* bits = bright.row(y);
        for (int word = 0; word < bright.words(); ++word) {
            for (uint64_t m = bits[word]; m != 0; m &= m - 1) {
                const int x = 64 * word + __builtin_ctzll(m) + 1;
                if (map[x - 1] != 0) continue;
                const int32_t n = extract::OV_GetNewStarNo(ws);
                if (n < 1) {  // all 50000 numbers in use: the pixel stays unnumbered
                    if (ws.tableFull.stoppedAtRow == 0) ws.tableFull.stoppedAtRow = y;
                    continue;
                }
                fill.starNo = n;
                extract::seedCluster(ctx, x, y, fill);
            }
        }
        f.lblBar.Caption = std::to_string(y);
        f.barHSC.Value = h > 1 ? (y - 1) * 100 / (h - 1) : 100;
        ctx.host.pump();
        f.lblStarNo.Caption = std::to_string(ws.MaxStarNo);
    }

    f.hideStepProgress();
    f.picHSC[2].Visible = true;
    view::showViewOption(ctx, 1);
    ctx.host.setBusy(false);
    // A full table is said on the message line (which otherwise ends empty) and in the log.
    const std::string undone = extract::tableFullMessage(ws);
    form::OV_DispMsg(ctx, undone);
    form::OV_Logout(ctx, "＞クラスタ処理完了");
    if (smoothed)
        form::OV_Logout(ctx, "＞検出フィルタ σ = " + core::generalForm(ws.ClusterFilterSigma) +
                                 "、クラスタ閾値 " + core::generalForm(siki) +
                                 "（平滑化した背景との差）");
    if (!undone.empty()) form::OV_Logout(ctx, undone);
    if (!batch) {
        form::setStage(ctx, core::kStageClustersReady);
        view::showViewOption(ctx, 1);
    }
}

}  // namespace orv::input
