#include "extract/hyotan.h"

#include <algorithm>
#include <vector>

#include "core/numeric.h"
#include "extract/analysis.h"
#include "extract/numbering.h"
#include "extract/records.h"
#include "form/class_colours.h"

// The gourd split of cluster S at base threshold B, for k = 1, 2, ... 10 until it divides:
//   1. T = B + k (with the detection filter: B + k x FilterSplitStep, and "brighter than
//      background + T" below reads "smoothed residual above T"); the search box is the centroid +-
//      (HankeiMax + 1), cut to columns 1..W-1 and rows 1..H-1 (the last column and row are never
//      searched);
//   2. every box pixel of S brighter than background + T seeds a part: S is marked Divided,
//      the box's pixels of S are blacked out in the cluster view, and the part is filled over
//      the pixels of S brighter than background + T (or than SikiTop);
//   3. the parts' sums are taken over the box as in the centroid pass;
//   4. if S divided: its remaining (faint) box pixels leave every cluster and S is freed;
//   5. each part is classified: noise, area object, circular; a part that is still not round
//      enough is split again one level higher (and counted circular when that finds nothing).
//
//     ####  ####         ####  ####
//     ##########   T+1   ####  ####     the faint waist falls below the raised threshold
//     ####  ####         ####  ####     and the two lobes become two clusters

namespace orv::extract {

using core::Workspace;
using form::Ctx;

namespace {

// A safety net far beyond any real picture: the threshold rises by at least one brightness
// step per level, so the nesting ends by itself well before this.
constexpr int16_t kMaxHyotanDepth = 1000;

constexpr form::Rgb kBlack = form::RGB(0, 0, 0);

// The smoothed residual when the clusters were extracted with the detection filter (and it is
// still the one they were extracted on), else null: the split then works on the raw Level.
const core::Array2D<float>* filterResidual(const Workspace& ws) {
    const bool made = ws.ClusterFilterSigma > 0 && ws.SmoothedSigma == ws.ClusterFilterSigma &&
                      ws.SmoothedResidual.width() == ws.ImageWidthP &&
                      ws.SmoothedResidual.height() == ws.ImageHeightP;
    return made ? &ws.SmoothedResidual : nullptr;
}

struct Box {
    int x0, x1, y0, y1;
};

Box searchBox(const Workspace& ws, const StarRec& s) {
    const float reach = s.HankeiMax + 1.0f;
    Box b{core::CLng(static_cast<float>(s.CenterX - reach)),
          core::CLng(static_cast<float>(reach + s.CenterX)),
          core::CLng(static_cast<float>(s.CenterY - reach)),
          core::CLng(static_cast<float>(reach + s.CenterY))};
    b.x0 = std::max(b.x0, 1);
    b.y0 = std::max(b.y0, 1);
    b.x1 = std::min(b.x1, ws.ImageWidthP - 1);
    b.y1 = std::min(b.y1, ws.ImageHeightP - 1);
    return b;
}

void blackOut(Ctx& ctx, const Box& b, int32_t starNo) {
    form::Canvas& canvas = ctx.frm.picHSC[2].canvas;
    if (canvas.isNull()) return;
    for (int y = b.y0; y <= b.y1; ++y)
        for (int x = b.x0; x <= b.x1; ++x)
            if (ctx.ws.ClusterMap(x, y) == starNo) {
                canvas.setPixel(x - 1, y - 1, kBlack);
                ctx.host.pump();
            }
}

void addPartSums(Workspace& ws, const Box& b, const std::vector<int32_t>& parts) {
    const auto& level = ws.PixelLevel.levelPlane();
    for (int y = b.y0; y <= b.y1; ++y)
        for (int x = b.x0; x <= b.x1; ++x) {
            const int32_t n = ws.ClusterMap(x, y);
            if (n == 0 || std::find(parts.begin(), parts.end(), n) == parts.end()) continue;
            const int l = level(x, y);
            StarRec& s = ws.Stars[n];
            s.SumX = static_cast<float>(s.SumX + (x - 0.5) * l);
            s.SumY = static_cast<float>(s.SumY + (y - 0.5) * l);
            s.PixelCount += 1;
            s.SumLevel = static_cast<float>(s.SumLevel + static_cast<double>(l));
            if (!(s.MaxLevel >= l)) s.MaxLevel = static_cast<float>(l);
        }
}

void classifyPart(Ctx& ctx, int32_t p, float threshold) {
    Workspace& ws = ctx.ws;
    ClusterRec& c = ws.Clusters[p];
    StarRec& s = ws.Stars[p];
    s.CenterX = core::divideSingle(s.SumX, s.SumLevel);
    s.CenterY = core::divideSingle(s.SumY, s.SumLevel);
    const float pixels = static_cast<float>(s.PixelCount);
    if (pixels < ws.settings.NumPixel) {
        c.Atr = kAtrNoise;
        ws.StarAtrNo[0][kAtrNoise] += 1;
        drawResult(ctx, p, form::kColourNoise, true);
        return;
    }
    OV_CheckProfile(ws, p);
    if (pixels < ws.settings.NumPixel2) {
        c.Atr = kAtrArea;
        ws.StarAtrNo[0][kAtrArea] += 1;
        drawResult(ctx, p, form::kColourArea, false);
        return;
    }
    if (s.SinendoRatio <= ws.settings.Sinendo || !OV_Hyotanjima(ctx, p, threshold)) {
        c.Atr = kAtrCircular;
        ws.StarAtrNo[0][kAtrCircular] += 1;
        drawResult(ctx, p, form::kColourCircularKept, false);
    }
}

}  // namespace

bool OV_Hyotanjima(Ctx& ctx, int32_t starNo, float baseSiki) {
    Workspace& ws = ctx.ws;
    ws.FillDepthMax = 0;
    ws.FillDepthLimit = 3500;
    if (ws.HyotanDepth >= kMaxHyotanDepth) return false;
    ws.HyotanDepth += 1;
    bool divided = false, cutShort = false;
    const auto& level = ws.PixelLevel.levelPlane();
    const core::Array2D<float>* smoothed = filterResidual(ws);
    std::vector<int32_t> parts;

    for (int k = 1; k <= 10 && !divided; ++k) {
        const float t = smoothed ? static_cast<float>(baseSiki + k * ws.FilterSplitStep)
                                 : static_cast<float>(k) + baseSiki;
        parts.clear();
        const Box box = searchBox(ws, ws.Stars[starNo]);

        for (int y = box.y0; y <= box.y1; ++y)
            for (int x = box.x0; x <= box.x1; ++x) {
                const bool above =
                    smoothed ? (*smoothed)(x - 1, y - 1) > t
                             : level(x, y) > ws.BackLevel(x - 1, y - 1) + static_cast<double>(t);
                if (!above) continue;
                if (ws.ClusterMap(x, y) != starNo) continue;
                ws.Clusters[starNo].Divided = -1;
                divided = true;
                blackOut(ctx, box, starNo);
                const int32_t n = OV_GetNewStarNo(ws);
                if (n < 1) {  // table full: the part's pixels leave the cluster with the rest
                    cutShort = true;
                    continue;
                }
                parts.push_back(n);
                seedCluster(
                    ctx, x, y,
                    {n, t, ws.settings.SikiTop, starNo, &ctx.frm.picHSC[2].canvas, smoothed});
            }

        addPartSums(ws, box, parts);
        if (divided) {
            for (int y = box.y0; y <= box.y1; ++y)
                for (int x = box.x0; x <= box.x1; ++x)
                    if (ws.ClusterMap(x, y) == starNo) ws.ClusterMap(x, y) = 0;
            freeStarNo(ws, starNo);
        }
        for (int32_t p : parts) classifyPart(ctx, p, t);
    }

    ws.tableFull.splitsCutShort += cutShort;
    ws.HyotanDepth -= 1;
    return divided;
}

}  // namespace orv::extract
