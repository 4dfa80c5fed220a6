#include "extract/analysis.h"

#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/numeric.h"
#include "core/parallel.h"
#include "core/vector_loops.h"
#include "extract/hyotan.h"
#include "extract/numbering.h"
#include "extract/records.h"
#include "extract/table_full.h"
#include "form/class_colours.h"
#include "form/message_log.h"
#include "form/stage.h"
#include "view/overlay.h"
#include "view/view_switch.h"

// The analysis run:
//   1. stage 9; the star layers get the grey picture;
//   2. centroid pass: for every cluster pixel, in raster order, add (x - 0.5) L, (y - 0.5) L,
//      L and the count to its cluster (products in double, sums kept in single precision);
//   3. classification, cluster by cluster:
//        fewer than NumPixel pixels              -> noise (no outline traced)
//        outline traced; outside NumPixel2..1000 -> area object
//        roundness <= Sinendo                    -> circular object (a star)
//        roundness >= SinendoMax                 -> elongated object
//        in between: the gourd split when chkHyotan is on (else elongated);
//      each result is drawn into the marked layer and counted;
//   4. counts shown, star view, stage 10.
//
// The outline trace walks the outer boundary from the seed (the topmost, then leftmost pixel)
// with an 8-neighbour search whose starting direction depends on the previous step:
//
//     seed   # # #       steps: down, down, right, right, up, up, left, left
//            # # #       Outline "33557711"
//            # # #

namespace orv::extract {

using core::Workspace;
using form::Ctx;

namespace {

// Chain code -> step.
constexpr int kStepDx[8] = {-1, -1, -1, 0, 1, 1, 1, 0};
constexpr int kStepDy[8] = {-1, 0, 1, 1, 1, 0, -1, -1};

// ScanOrder: the eight neighbour steps in one rotational order, from four starting points.
constexpr int kScanOrder[4][8][2] = {
    {{-1, 1}, {0, 1}, {1, 1}, {1, 0}, {1, -1}, {0, -1}, {-1, -1}, {-1, 0}},
    {{1, 1}, {1, 0}, {1, -1}, {0, -1}, {-1, -1}, {-1, 0}, {-1, 1}, {0, 1}},
    {{1, -1}, {0, -1}, {-1, -1}, {-1, 0}, {-1, 1}, {0, 1}, {1, 1}, {1, 0}},
    {{-1, -1}, {-1, 0}, {-1, 1}, {0, 1}, {1, 1}, {1, 0}, {1, -1}, {0, -1}},
};

// ScanStart: the ScanOrder row by the previous step, indexed [dy + 1][dx + 1].
constexpr int kScanStart[3][3] = {
    {2, 2, 1},  // (-1,-1) (0,-1) (1,-1)
    {3, 0, 1},  // (-1, 0) (0, 0) (1, 0)
    {3, 0, 0},  // (-1, 1) (0, 1) (1, 1)
};

// ChainCode: step -> code character, indexed [dy + 1][dx + 1].
constexpr char kChainCode[3][3] = {{'0', '7', '6'}, {'1', '0', '5'}, {'2', '3', '4'}};

constexpr int kTraceSteps = 2000;
using form::kColourArea;
using form::kColourCircular;
using form::kColourCircularKept;
using form::kColourElongated;
using form::kColourNoise;

int progress(int done, int total) {
    return total <= 0 ? 100 : done * 100 / total;
}

// Step 2 for one pixel (1-based x, y) of cluster s with level l.
void addToCentroid(StarRec& s, int x, int y, int l) {
    s.SumX = static_cast<float>(s.SumX + ((x - 1) + 0.5) * l);
    s.SumY = static_cast<float>(s.SumY + ((y - 1) + 0.5) * l);
    s.PixelCount += 1;
    s.SumLevel = static_cast<float>(s.SumLevel + static_cast<double>(l));
    if (!(s.MaxLevel >= l)) s.MaxLevel = static_cast<float>(l);
}

// Calls f(x, n) for the pixels of row y (1-based) that belong to a cluster n not given up in a
// split.
template <typename F>
void forClusterPixels(const Workspace& ws, int y, F&& f) {
    const uint16_t* map = ws.ClusterMap.at(1, y);
    // Most of the picture is sky.
    core::forEachNonZero(map, ws.ImageWidthP, [&](int i) {
        const int n = map[i];
        if (ws.Clusters[n].Divided != -1) f(i + 1, n);
    });
}

// Step 2: the centroid sums of every cluster pixel of row y.
void centroidRow(Workspace& ws, int y) {
    const uint8_t* level = ws.PixelLevel.levelPlane().at(1, y);
    forClusterPixels(ws, y, [&](int x, int n) { addToCentroid(ws.Stars[n], x, y, level[x - 1]); });
}

// Step 2 in bands of rows on `parts` threads, with the same sums. A cluster's sums follow raster
// order, so a band adds the pixels of the clusters whose seed row (the first row of their
// pixels, StartY) lies in it at once and keeps the pixels of clusters seeded above it; those are
// added band after band once every band is done, which is raster order again. A pixel above its
// cluster's seed row (a map the fill did not make) stops the bands: false, and the star table
// is then to be cleared and the sums made row by row.
bool centroidBands(Workspace& ws, int parts) {
    struct Later {
        int32_t n;
        int x, y, level;
    };
    std::vector<std::vector<Later>> later(static_cast<size_t>(parts));
    std::atomic<bool> sound{true};
    core::forEachPart(parts, ws.ImageHeightP, [&](int k, int64_t begin, int64_t end) {
        const int first = static_cast<int>(begin) + 1;
        for (int y = first; y <= end && sound; ++y) {
            const uint8_t* level = ws.PixelLevel.levelPlane().at(1, y);
            forClusterPixels(ws, y, [&](int x, int n) {
                const float seedRow = ws.Clusters[n].StartY;
                if (!(seedRow <= static_cast<float>(y))) sound = false;
                if (seedRow >= static_cast<float>(first))
                    addToCentroid(ws.Stars[n], x, y, level[x - 1]);
                else
                    later[static_cast<size_t>(k)].push_back({n, x, y, level[x - 1]});
            });
        }
    });
    if (!sound) return false;
    for (const std::vector<Later>& band : later)
        for (const Later& p : band) addToCentroid(ws.Stars[p.n], p.x, p.y, p.level);
    return true;
}

void count(Workspace& ws, int16_t atr) {
    ws.StarAtrNo[0][atr] += 1;
}

}  // namespace

int sectorOf(double dx, double dy) {
    constexpr double kPi = 3.14159265;
    double s;
    if (dx > 0 && dy > 0)
        s = core::Int(36 - std::atan(dy / dx) * 18 / kPi);
    else if (dx > 0)
        s = -core::Int(std::atan(dy / dx) * 18 / kPi);
    else if (dx == 0)
        s = dy > 0 ? 27 : 9;
    else
        s = core::Int(std::atan(-dy / dx) * 18 / kPi + 18);
    // 36 is the same direction as 0 (only reachable by rounding right at the axis).
    const int sector = static_cast<int>(s) % 36;
    return sector < 0 ? sector + 36 : sector;
}

void OV_CheckProfile(Workspace& ws, int32_t n) {
    StarRec& st = ws.Stars[n];
    const ClusterRec& cl = ws.Clusters[n];
    st.Outline.clear();
    st.HankeiAve = st.HankeiMax = st.HankeiMin = st.HankeiSD = 0;
    st.Hankei.fill(0);
    float sum = 0, minR = 1000.0f, maxR = 0;
    int32_t count = 0;

    const int seedX = core::CLng(cl.StartX), seedY = core::CLng(cl.StartY);
    int cx = seedX, cy = seedY;
    int pdx = 0, pdy = 0;
    // After a result file was read, the 3 x 3 blocks around centroids may reach the map's
    // border row or column, and the trace with them: cells outside the map count as 0.
    const auto& map = ws.ClusterMap;
    auto cell = [&map](int x, int y) -> int32_t { return map.contains(x, y) ? map(x, y) : 0; };
    bool closed = false;
    for (int k = 1; k <= kTraceSteps; ++k) {
        const double dx = (cx - 0.5) - st.CenterX, dy = (cy - 0.5) - st.CenterY;
        const float d = static_cast<float>(std::sqrt(dx * dx + dy * dy));
        if (d > 0) {
            const int s = sectorOf(dx, dy);
            if (d > st.Hankei[s]) st.Hankei[s] = d;
            sum += d;
            if (minR > d) minR = d;
            if (d > maxR) maxR = d;
            count += 1;
        }
        const int row = kScanStart[pdy + 1][pdx + 1];
        int ndx = 0, ndy = 0;
        bool found = false;
        for (const auto& step : kScanOrder[row]) {
            if (cell(cx + step[0], cy + step[1]) == n) {
                ndx = step[0], ndy = step[1];
                found = true;
                break;
            }
        }
        if (!found) {  // a one-pixel cluster
            closed = true;
            break;
        }
        cx += ndx;
        cy += ndy;
        st.Outline += kChainCode[ndy + 1][ndx + 1];
        if (cx == seedX && cy == seedY) {
            closed = true;
            break;
        }
        pdx = ndx;
        pdy = ndy;
    }
    if (!closed) {
        st.HankeiAve = st.HankeiMax = st.HankeiMin = 5.0f;
        st.SinendoRatio = 1.0f;
        st.HankeiSD = 0.1f;
        st.Outline.clear();
        return;
    }
    if (count == 0) return;
    // The step count is a Single like the other accumulators, so both quotients are Single
    // quotients; the root is taken of the rounded one.
    const float steps = static_cast<float>(count);
    st.HankeiAve = sum / steps;
    st.HankeiMax = maxR;
    st.HankeiMin = minR;
    st.SinendoRatio = minR > 0 ? maxR / minR : 1.0f;
    float sdSum = 0;
    for (float r : st.Hankei) {
        if (!(r > 0)) continue;
        const float diff = r - st.HankeiAve;
        sdSum = static_cast<float>(sdSum + static_cast<double>(diff) * diff);
    }
    st.HankeiSD = static_cast<float>(std::sqrt(static_cast<double>(sdSum / steps)));
}

void drawResult(Ctx& ctx, int32_t n, form::Rgb colour, bool dotOnly) {
    form::Canvas& canvas = ctx.frm.picHSC[4].canvas;
    if (canvas.isNull()) return;
    const StarRec& s = ctx.ws.Stars[n];
    canvas.circle(s.CenterX, s.CenterY, 0.5, colour, true);
    if (dotOnly) {
        ctx.host.pump();
        return;
    }
    const ClusterRec& c = ctx.ws.Clusters[n];
    int x = core::CLng(c.StartX), y = core::CLng(c.StartY);
    canvas.setPixel(x - 1, y - 1, colour);
    for (char ch : s.Outline) {
        if (ch < '0' || ch > '7') break;  // only an altered result file holds other characters
        x += kStepDx[ch - '0'];
        y += kStepDy[ch - '0'];
        canvas.setPixel(x - 1, y - 1, colour);
    }
    ctx.host.pump();
}

std::vector<int32_t> outlinePixels(const Workspace& ws, int32_t n) {
    const ClusterRec& c = ws.Clusters[n];
    const StarRec& s = ws.Stars[n];
    int x = core::CLng(c.StartX), y = core::CLng(c.StartY);
    std::vector<int32_t> pixels{x - 1, y - 1};
    for (char ch : s.Outline) {
        if (ch < '0' || ch > '7') break;
        x += kStepDx[ch - '0'];
        y += kStepDy[ch - '0'];
        pixels.insert(pixels.end(), {x - 1, y - 1});
    }
    return pixels;
}

namespace {

// What step 3 makes of cluster i: its class (set in Atr), or kTryGourd, Atr untouched, for a
// cluster between the roundness limits when the gourd split is on. Sets the centroid and, past
// the noise test, the outline values; depends on the cluster's own sums and pixels only.
constexpr int16_t kTryGourd = -1;
int16_t decideClass(Workspace& ws, int32_t i, bool gourd) {
    const core::Settings& set = ws.settings;
    ClusterRec& c = ws.Clusters[i];
    StarRec& s = ws.Stars[i];
    s.CenterX = core::divideSingle(s.SumX, s.SumLevel);
    s.CenterY = core::divideSingle(s.SumY, s.SumLevel);
    if (static_cast<float>(s.PixelCount) < set.NumPixel) return c.Atr = kAtrNoise;
    OV_CheckProfile(ws, i);
    const float pixels = static_cast<float>(s.PixelCount);
    if (!(pixels >= set.NumPixel2 && pixels <= ws.SizeLimit)) return c.Atr = kAtrArea;
    if (s.SinendoRatio <= set.Sinendo) return c.Atr = kAtrCircular;
    if (!(s.SinendoRatio >= set.SinendoMax) && gourd) return kTryGourd;
    return c.Atr = kAtrElongated;  // at or above SinendoMax, or between without the split
}

// Step 8 for one cluster.
void classify(Ctx& ctx, int32_t i) {
    Workspace& ws = ctx.ws;
    int16_t atr = decideClass(ws, i, ctx.frm.chkHyotan.Value == 1);
    bool kept = false;  // a circular object the gourd split left whole
    if (atr == kTryGourd) {
        if (OV_Hyotanjima(ctx, i, ws.settings.Siki)) return;
        atr = ws.Clusters[i].Atr = kAtrCircular;
        kept = true;
    }
    count(ws, atr);
    drawResult(ctx, i, kept ? kColourCircularKept : form::atrColour(atr), atr == kAtrNoise);
}

// Step 3 by ranges of cluster numbers on the picture's workers, where nothing is drawn and no
// gourd is split (a split issues new numbers and stays in number order): each cluster's record
// is its own, and the counts of the ranges are added. The first range runs on this thread,
// which alone shows progress and yields.
void classifyInParts(Ctx& ctx, int32_t last) {
    Workspace& ws = ctx.ws;
    auto& f = ctx.frm;
    const int parts = core::pictureWorkers(ws.PictureWorkers);
    std::vector<std::array<int32_t, 11>> counts(static_cast<size_t>(parts));
    core::forEachPart(parts, last, [&](int k, int64_t begin, int64_t end) {
        auto& mine = counts[static_cast<size_t>(k)];
        mine.fill(0);
        for (int32_t i = static_cast<int32_t>(begin) + 1; i <= end; ++i) {
            if (ws.Clusters[i].Divided != -1 && ws.Clusters[i].Used == -1)
                mine[decideClass(ws, i, false)] += 1;
            if (k != 0) continue;
            f.lblBar.Caption = std::to_string(i);
            f.barHSC.Value = progress(i - 1, static_cast<int>(end));
            ctx.host.pump();
        }
    });
    for (const auto& mine : counts)
        for (int a = 0; a <= 10; ++a) ws.StarAtrNo[0][a] += mine[a];
}

void showStarLayer(Ctx& ctx) {
    const bool marks = ctx.frm.chkCircle.Value == 1;
    ctx.frm.picHSC[3].Visible = !marks;
    ctx.frm.picHSC[4].Visible = marks;
}

}  // namespace

void cmdCenterCal_Click(Ctx& ctx) {
    Workspace& ws = ctx.ws;
    auto& f = ctx.frm;
    const bool batch = ws.ProcStage == core::kStageBatch;
    if (!batch) form::setStage(ctx, core::kStageAnalysing);
    ctx.host.setBusy(true);
    ws.SizeLimit = 1000.0f;
    f.showStepProgress();
    f.picHSC[3].Visible = f.picHSC[4].Visible = false;
    ctx.host.pump();

    clearStarTable(ws);
    ws.tableFull.splitsCutShort = 0;
    for (int j = 0; j <= 10; ++j) ws.StarAtrNo[0][j] = ws.StarAtrNo[1][j] = 0;
    f.dashCounts(true);

    const int w = ws.ImageWidthP, h = ws.ImageHeightP;
    const bool picture = w > 0 && h > 0 && !ws.PixelLevel.empty() && !ws.ClusterMap.empty();
    form::OV_DispMsg(ctx, "恒星像抽出の準備のために元画像を表示しています。");
    if (picture) {
        // A layer that still holds exactly the grey picture (nothing drawn on it since) is
        // not drawn again: the result would be the same pixels.
        const auto& level = ws.PixelLevel.levelPlane();
        form::Canvas& plain = f.picHSC[3].canvas;
        form::Canvas& marked = f.picHSC[4].canvas;
        const bool drawPlain = !plain.holds(ws.PictureGeneration);
        const bool drawMarked = !marked.holds(ws.PictureGeneration);
        for (int y = 1; y <= h; ++y) {
            if (drawPlain) plain.drawGreyRow(y - 1, level.at(1, y));
            if (drawMarked) marked.drawGreyRow(y - 1, level.at(1, y));
            f.lblBar.Caption = std::to_string(y);
            f.barHSC.Value = (y - 1) * 100 / h;
            ctx.host.pump();
        }
        plain.markContent(ws.PictureGeneration);
    }

    form::OV_DispMsg(ctx, "各クラスターの重心を計算しています。");
    // Where nothing is drawn, the rows are summed in bands on the picture's workers (row by row
    // after all when bands cannot give the same sums). A map read back from files, whose
    // blocks reach above their seed rows, goes row by row at once.
    const int parts =
        f.drawingEnabled() || ws.ClusterMapFromRead ? 1 : core::pictureWorkers(ws.PictureWorkers);
    bool summed = false;
    if (picture && parts > 1) {
        summed = centroidBands(ws, parts);
        if (!summed) clearStarTable(ws);
    }
    if (picture && !summed) {
        for (int y = 1; y <= h; ++y) {
            centroidRow(ws, y);
            f.lblBar.Caption = std::to_string(y);
            f.barHSC.Value = h > 1 ? (y - 1) * 100 / (h - 1) : 100;
            ctx.host.pump();
        }
    }

    ctx.host.sleepMs(1000);
    view::optFrame_Click(ctx, 0);
    form::OV_DispMsg(ctx, "各クラスタの外形分析を行い恒星像を抽出しています。");
    const int32_t last = ws.MaxStarNo;
    if (!f.drawingEnabled() && f.chkHyotan.Value != 1) {
        classifyInParts(ctx, last);
    } else {
        for (int32_t i = 1; i <= last; ++i) {
            if (ws.Clusters[i].Divided != -1 && ws.Clusters[i].Used == -1) classify(ctx, i);
            f.lblBar.Caption = std::to_string(i);
            f.barHSC.Value = progress(i - 1, last);
            ctx.host.pump();
        }
    }

    f.hideStepProgress();
    view::OV_DispResultNo(ctx);
    view::showViewOption(ctx, 0);
    showStarLayer(ctx);
    ctx.host.pump();
    // What a full table left undone stays on the message line; a split it cut short is logged.
    form::OV_DispMsg(ctx, tableFullMessage(ws));
    form::OV_Logout(ctx, "＞恒星抽出完了");
    if (ws.tableFull.splitsCutShort > 0) form::OV_Logout(ctx, splitTableFullMessage(ws));
    // New results, not saved yet; the hand work on the old ones is gone with them.
    ws.Unsaved.results = true;
    ws.Unsaved.handWork = false;
    ctx.host.setBusy(false);
    if (!batch) {
        form::setStage(ctx, core::kStageAnalysed);
        view::showViewOption(ctx, 0);
        showStarLayer(ctx);
        ctx.host.pump();
    }
}

}  // namespace orv::extract
