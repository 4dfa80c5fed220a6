#include "input/background.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "core/numeric.h"
#include "core/parallel.h"
#include "core/vector_loops.h"
#include "form/message_log.h"
#include "form/stage.h"
#include "input/clusters.h"
#include "input/detect_filter.h"
#include "input/noise.h"
#include "view/view_switch.h"

// The background of pixel (x0, y0) is the mean Level over the window
//
//     rows    max(0, y0-n) .. min(H-1, y0+n)
//     columns max(0, x0-n) .. min(W-1, x0+n)
//
// clipped at the picture's edges (nothing is assumed outside). The window sums come from a
// summed-area table built one row at a time: column sums over the rows of the window, kept up
// to date as the window moves down, and their running (prefix) sums along the row. All sums are
// exact integers, and every pixel costs the same whatever n is. The prefix sums wrap around in
// unsigned arithmetic, which leaves every window sum exact while it fits the type: 32 bits up to
// a half-width of 2047 (255 x 4095^2 < 2^32), 64 bits beyond.

namespace orv::input {

using form::Ctx;

namespace {

// Up to this half-width every window sum (at most 255 (2n+1)^2) is below 2^24.
constexpr int kSingleDivisionMaxN = 127;
// Up to this half-width every window sum is below 2^32.
constexpr int kNarrowSumMaxN = 2047;

ORV_PIXEL_LOOP void addToColumns(uint32_t* __restrict column, const uint8_t* __restrict in, int w,
                                 bool add) {
    if (add)
        for (int x = 0; x < w; ++x) column[x] += in[x];
    else
        for (int x = 0; x < w; ++x) column[x] -= in[x];
}

// The means of one row from the column sums. `prefix` has room for w + 2n + 1 entries: its
// entry n + i holds the sum of column[0 .. i-1], constant beyond both ends, so that every
// window sum is prefix[x0 + 2n + 1] - prefix[x0] with no clipping in the loop.
template <typename Sum>
ORV_PIXEL_LOOP void windowMeans(const uint32_t* __restrict column, Sum* __restrict prefix,
                                Sum* __restrict sums, const float* __restrict columns,
                                const double* __restrict inverseColumns, int w, int n, int rows,
                                float* __restrict out) {
    Sum* p = prefix + n;
    Sum run = 0;
    for (int x = 0; x < w; ++x) {
        run += column[x];
        p[x + 1] = run;
    }
    for (int i = w + 1; i <= w + n; ++i) p[i] = run;
    const Sum* hi = prefix + 2 * n + 1;
    for (int x0 = 0; x0 < w; ++x0) sums[x0] = hi[x0] - prefix[x0];
    if (n <= kSingleDivisionMaxN) {
        // Sums and counts are exact Singles, and a Single quotient rounded through a Double is
        // the same as the Single quotient itself (53 >= 2 * 24 + 2 bits). That quotient s / d
        // (d = rows x columns <= 255^2) is multiplied out instead of divided: the product of s
        // and the two inverses, in double precision, lies within 2^-51 of s / d (relatively),
        // while s / d lies at least 2^-25 / d > 2^-41 from every point halfway between two
        // Singles (it would need 25 significant bits), so both round to the same Single. (The
        // sums, below 2^24, are converted as signed numbers: one vector step.)
        const double inverseRows = 1.0 / rows;
        for (int x0 = 0; x0 < w; ++x0)
            out[x0] = static_cast<float>(static_cast<double>(static_cast<int32_t>(sums[x0])) *
                                         inverseColumns[x0] * inverseRows);
    } else {
        for (int x0 = 0; x0 < w; ++x0)
            out[x0] = static_cast<float>(static_cast<double>(sums[x0]) /
                                         (static_cast<double>(rows) * columns[x0]));
    }
}

template <typename Sum>
class BoxRows {
public:
    // The window placed on row `first` (0-based), ready for row(first).
    BoxRows(const core::PixelPlanes& pixels, int width, int height, int n, int first = 0)
        : level_(pixels.levelPlane()),
          width_(width),
          height_(height),
          n_(n),
          column_(width, 0),
          prefix_(static_cast<size_t>(width) + 2 * n + 1, 0),
          sums_(width, 0),
          columns_(width, 0),
          inverseColumns_(width, 0) {
        for (int r = std::max(0, first - n); r <= std::min(first + n, height - 1); ++r)
            addRow(r, true);
        for (int x0 = 0; x0 < width; ++x0) {
            const int columns = std::min(width - 1, x0 + n) - std::max(0, x0 - n) + 1;
            columns_[x0] = static_cast<float>(columns);
            inverseColumns_[x0] = 1.0 / columns;
        }
    }

    // Writes the background of row y0 (0-based), then moves the window down one row.
    void row(int y0, float* out) {
        const int rows = std::min(height_ - 1, y0 + n_) - std::max(0, y0 - n_) + 1;
        windowMeans(column_.data(), prefix_.data(), sums_.data(), columns_.data(),
                    inverseColumns_.data(), width_, n_, rows, out);
        if (y0 + n_ + 1 < height_) addRow(y0 + n_ + 1, true);
        if (y0 - n_ >= 0) addRow(y0 - n_, false);
    }

private:
    void addRow(int r, bool add) { addToColumns(column_.data(), level_.at(1, r + 1), width_, add); }

    const core::Array2D<uint8_t>& level_;
    int width_, height_, n_;
    std::vector<uint32_t> column_;  // at most 255 x 65535 per column
    std::vector<Sum> prefix_;
    std::vector<Sum> sums_;
    std::vector<float> columns_;  // window width of each column
    std::vector<double> inverseColumns_;
};

// Writes the background of rows first..end-1 into `out` and calls rowDone(y0) after each row.
// The sums are exact integers, so a band started anywhere gives the same rows as one pass.
template <typename RowDone>
void backgroundRows(const core::PixelPlanes& pixels, int width, int height, int n,
                    core::Array2D<float>& out, RowDone rowDone, int first = 0, int end = -1) {
    if (end < 0) end = height;
    auto run = [&](auto rows) {
        for (int y0 = first; y0 < end; ++y0) {
            rows.row(y0, out.at(0, y0));
            rowDone(y0);
        }
    };
    if (n <= kNarrowSumMaxN)
        run(BoxRows<uint32_t>(pixels, width, height, n, first));
    else
        run(BoxRows<uint64_t>(pixels, width, height, n, first));
}

}  // namespace

void computeBackground(const core::PixelPlanes& pixels, int width, int height, int n,
                       core::Array2D<float>& out) {
    out.create(0, width - 1, 0, height - 1, n < 0);  // all written below unless n < 0
    if (width <= 0 || height <= 0 || n < 0) return;
    backgroundRows(pixels, width, height, n, out, [](int) {});
}

void cmdIdoHeikin_Click(Ctx& ctx) {
    auto& ws = ctx.ws;
    auto& f = ctx.frm;
    const bool batch = ws.ProcStage == core::kStageBatch;
    if (!batch) form::setStage(ctx, core::kStageBackground);
    ctx.host.setBusy(true);
    const int n = ws.settings.HeikinWidth;
    form::OV_DispMsg(ctx, core::generalForm(2 * static_cast<int64_t>(n) + 1) +
                              " ピクセル四方の輝度の移動平均を計算しています。");
    f.picHSC[1].canvas.clear();
    f.picHSC[1].Visible = false;
    f.showStepProgress();
    ctx.host.pump();

    const int w = ws.ImageWidthP, h = ws.ImageHeightP;
    ws.BrightPixels = {};
    const bool computed = n >= 0 && w > 0 && h > 0 && !ws.PixelLevel.empty();
    ws.BackLevel.create(0, w - 1, 0, h - 1, !computed);  // every value is written below
    f.dashCounts(true);

    // With the detection filter on, the residual is smoothed as the background rows come, and
    // the noise is measured on what the clusters will be thresholded on.
    const float filter = computed ? ws.settings.FilterSigma : 0.0f;
    ws.SmoothedResidual.release();
    ws.SmoothedSigma = 0;
    std::optional<ResidualSmoother> smoother;
    if (filter > 0)
        smoother.emplace(ws.PixelLevel.levelPlane(), ws.BackLevel, w, h, filter,
                         ws.SmoothedResidual);
    ResidualHistogram residuals(filter > 0 ? kSmoothedBinsPerLevel : 32);
    // A negative half-width (only an edited settings file gives one) makes an empty window:
    // the background stays 0.
    if (n < 0 && w > 0 && h > 0) {
        std::vector<uint8_t> zeros(w, 0);
        for (int y0 = 0; y0 < h; ++y0) f.picHSC[1].canvas.drawGreyRow(y0, zeros.data());
    } else if (computed && !smoother && !f.drawingEnabled()) {
        // Without drawing, bands of rows on the picture's workers, each with a histogram of its
        // own; the counts are added, so the noise is the same for any number of bands. The
        // first band runs on this thread, which alone shows progress and yields.
        const int parts = core::pictureWorkers(ws.PictureWorkers);
        std::vector<ResidualHistogram> bands(static_cast<size_t>(parts), ResidualHistogram(32));
        // The bright pixels for the cluster scan, while each row is at hand; not when the noise
        // is to set Siki, which it does only after this step.
        const bool bright = ws.SikiSigmaFactor <= 0;
        const Brightness brightness(ws.settings.Siki, ws.settings.SikiTop);
        auto& bits = ws.BrightPixels;
        if (bright) {
            bits.words = (w + 63) / 64;
            bits.bits.assign(static_cast<size_t>(bits.words) * static_cast<size_t>(h), 0);
            bits.siki = ws.settings.Siki;
            bits.sikiTop = ws.settings.SikiTop;
            bits.channel = ws.PixelLevel.channel();
            bits.pictureGeneration = ws.PictureGeneration;
        }
        core::forEachPart(parts, h, [&](int k, int64_t begin, int64_t end) {
            ResidualHistogram& band = bands[static_cast<size_t>(k)];
            std::vector<uint8_t> mark(bright ? static_cast<size_t>(w) : 0);
            backgroundRows(
                ws.PixelLevel, w, h, n, ws.BackLevel,
                [&](int y0) {
                    const uint8_t* level = ws.PixelLevel.levelPlane().at(1, y0 + 1);
                    band.addRow(level, ws.BackLevel.at(0, y0), w);
                    if (bright)
                        brightness.addRowBits(
                            level, ws.BackLevel.at(0, y0), w, mark.data(),
                            bits.bits.data() +
                                static_cast<size_t>(y0) * static_cast<size_t>(bits.words));
                    if (k != 0) return;
                    f.lblBar.Caption = std::to_string(y0);
                    f.barHSC.Value = end - begin > 1
                                         ? static_cast<int>((y0 - begin) * 100 / (end - begin - 1))
                                         : 100;
                    ctx.host.pump();
                },
                static_cast<int>(begin), static_cast<int>(end));
        });
        for (const ResidualHistogram& band : bands) residuals.add(band);
    } else if (computed) {
        backgroundRows(ws.PixelLevel, w, h, n, ws.BackLevel, [&](int y0) {
            const float* out = ws.BackLevel.at(0, y0);
            if (smoother) {
                const auto [first, last] = smoother->backgroundRowReady(y0);
                for (int y = first; y < last; ++y)
                    residuals.addValues(ws.SmoothedResidual.at(0, y), w);
            } else {
                residuals.addRow(ws.PixelLevel.levelPlane().at(1, y0 + 1), out, w);
            }
            f.picHSC[1].canvas.drawGreyRow(y0, out);
            f.lblBar.Caption = std::to_string(y0);
            f.barHSC.Value = h > 1 ? y0 * 100 / (h - 1) : 100;
            ctx.host.pump();
        });
    }

    f.picHSC[1].Visible = true;
    view::showViewOption(ctx, 2);
    f.hideStepProgress();
    ctx.host.setBusy(false);
    form::OV_DispMsg(ctx, "");
    form::OV_Logout(ctx, "＞背景処理完了");
    if (smoother) {
        ws.SmoothedSigma = filter;
        form::OV_Logout(ctx, "＞検出フィルタ σ = " + core::generalForm(filter) +
                                 " ピクセル（背景との差を平滑化）");
    }
    if (computed)
        takeNoiseEstimate(ctx, residuals.robustSigma(), filter);
    else
        forgetNoiseEstimate(ctx);
    if (!batch) {
        form::setStage(ctx, core::kStageBackgroundReady);
        view::showViewOption(ctx, 2);
    }
}

}  // namespace orv::input
