#include "extract/numbering.h"
#include "extract/records.h"
#include "psf/records.h"

#include <algorithm>
#include <cmath>
#include <vector>

// The flood fill is described recursively:
//
//     fill(x, y):  if depth > limit: fillOK = 0, return        (the call is abandoned)
//                  depth += 1;  paint (x, y)
//                  for each neighbour up, left, right, down:   (4-connectivity)
//                      if it holds baseNo and is bright: label it at once, remember it
//                  for each remembered neighbour, in that order: fill(neighbour)
//                  depth -= 1
//
//          . U .        a pixel touching only at a corner is not a neighbour:
//          L x R        two diagonal pixels make two clusters
//          . D .
//
// OV_FindStar runs it with an explicit stack of frames (pixel, remembered neighbours, next
// one to enter), so the pixels are labelled and entered in exactly the recursive order and
// the depth (the stack's height) is exactly the recursion's: FillOK and every cluster number
// come out the same, and no picture can overflow the program's own stack.

namespace orv::extract {

using core::Workspace;

namespace {

// Empties a table to record 0 (keeping its reserved room).
template <typename Rec>
void emptyTable(std::vector<Rec>& table) {
    if (table.capacity() < static_cast<size_t>(kMaxStarNo) + 1) {
        table = std::vector<Rec>();
        table.reserve(static_cast<size_t>(kMaxStarNo) + 1);
    }
    table.clear();
    table.resize(1);
}

}  // namespace

void noteTableUse(Workspace& ws) {
    const size_t n = static_cast<size_t>(std::clamp(ws.MaxStarNo, 0, kMaxStarNo)) + 1;
    if (ws.Clusters.size() < n) ws.Clusters.resize(n);
    if (ws.Stars.size() < n) ws.Stars.resize(n);
}

void resetTables(Workspace& ws) {
    emptyTable(ws.Clusters);
    emptyTable(ws.Stars);
    ws.MaxStarNo = 0;
    ws.FreeStarNoHint = 1;
    ws.tableFull = {};
    ws.ResultsFrom.clear();
    psf::forgetProfile(ws.psf);
    ws.measures = {};
    ws.edits.clear();
    ws.ClusterMapFromRead = false;
}

void clearStarTable(Workspace& ws) {
    emptyTable(ws.Stars);
    noteTableUse(ws);
}

void freeStarNo(Workspace& ws, int32_t n) {
    ws.Clusters[n].Used = 0;
    ws.Clusters[n].Divided = 0;
    if (n < ws.FreeStarNoHint) ws.FreeStarNoHint = n;
}

int32_t nextNewStarNo(const Workspace& ws) {
    for (int32_t i = std::max(ws.FreeStarNoHint, 1); i <= ws.MaxStarNo; ++i)
        if (ws.Clusters[i].Used == 0) return i;
    return ws.MaxStarNo + 1 > kMaxStarNo ? -1 : ws.MaxStarNo + 1;
}

int32_t OV_GetNewStarNo(Workspace& ws) {
    const int32_t i = nextNewStarNo(ws);
    if (i < 1) {
        ws.FreeStarNoHint = ws.MaxStarNo + 1;
        return -1;
    }
    if (i <= ws.MaxStarNo) {
        // A number given back: its records are made new, the note and the spare values kept.
        ClusterRec& c = ws.Clusters[i];
        std::string note = std::move(c.Note);
        c = ClusterRec{};
        c.Note = std::move(note);
        c.Used = -1;
        StarRec& s = ws.Stars[i];
        StarRec fresh;
        fresh.Spare1 = s.Spare1, fresh.Spare2 = s.Spare2;
        fresh.Spare3 = s.Spare3, fresh.Spare4 = s.Spare4;
        s = std::move(fresh);
        ws.FreeStarNoHint = i + 1;
        return i;
    }
    ws.MaxStarNo += 1;
    noteTableUse(ws);
    ws.Clusters[ws.MaxStarNo].Used = -1;
    ws.FreeStarNoHint = ws.MaxStarNo + 1;
    return ws.MaxStarNo;
}

namespace {

// Neighbours in the fill's order: up, left, right, down.
constexpr int kDx[4] = {0, -1, 1, 0};
constexpr int kDy[4] = {-1, 0, 0, 1};

struct Frame {
    int x = 0, y = 0;
    uint8_t count = 0, next = 0;
    uint8_t dirs[4] = {};
};

}  // namespace

void OV_FindStar(form::Ctx& ctx, int x, int y, const FillParams& p, int16_t& fillOK) {
    Workspace& ws = ctx.ws;
    const int w = ws.ImageWidthP, h = ws.ImageHeightP;
    const auto& level = ws.PixelLevel.levelPlane();
    const auto& back = ws.BackLevel;
    auto& map = ws.ClusterMap;
    const double siki = p.siki;
    const core::Array2D<float>* smoothed = p.smoothed;
    const float smoothedSiki = p.siki;
    const float sikiTop = p.sikiTop;
    const form::Rgb colour = OV_GetClasterColor(p.starNo);
    const bool draw = p.draw != nullptr && !p.draw->isNull();
    const uint16_t starNo = static_cast<uint16_t>(p.starNo);
    const int32_t baseNo = p.baseNo;

    std::vector<Frame> stack;
    stack.reserve(64);

    // The body of one call up to its recursion (or its abandonment).
    auto enter = [&](int cx, int cy) {
        if (static_cast<int32_t>(stack.size()) > ws.FillDepthLimit) {
            fillOK = 0;
            return;
        }
        const int32_t depth = static_cast<int32_t>(stack.size()) + 1;
        if (depth > ws.FillDepthMax) ws.FillDepthMax = depth;
        if (draw) {
            p.draw->setPixel(cx - 1, cy - 1, colour);
            ctx.host.pump();
        }
        Frame f;
        f.x = cx;
        f.y = cy;
        const bool inside[4] = {cy > 1, cx > 1, cx <= w - 1, cy <= h - 1};
        for (uint8_t d = 0; d < 4; ++d) {
            if (!inside[d]) continue;
            const int nx = cx + kDx[d], ny = cy + kDy[d];
            if (map(nx, ny) != baseNo) continue;
            if (p.bright) {
                const uint64_t word = p.bright[static_cast<size_t>(ny - 1) * p.brightWords +
                                               static_cast<size_t>((nx - 1) >> 6)];
                if (!((word >> ((nx - 1) & 63)) & 1)) continue;
            } else {
                const int l = level(nx, ny);
                const bool bright = smoothed ? (*smoothed)(nx - 1, ny - 1) > smoothedSiki
                                             : l > back(nx - 1, ny - 1) + siki;
                if (!(bright || l > sikiTop)) continue;
            }
            map(nx, ny) = starNo;
            f.dirs[f.count++] = d;
        }
        stack.push_back(f);
    };

    enter(x, y);
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.count) {
            stack.pop_back();
            continue;
        }
        const uint8_t d = top.dirs[top.next++];
        enter(top.x + kDx[d], top.y + kDy[d]);
    }
}

void seedCluster(form::Ctx& ctx, int x, int y, const FillParams& p) {
    Workspace& ws = ctx.ws;
    ws.ClusterMap(x, y) = static_cast<uint16_t>(p.starNo);
    ClusterRec& c = ws.Clusters[p.starNo];
    c.StartX = static_cast<float>(x);
    c.StartY = static_cast<float>(y);
    c.Siki = p.siki;
    int16_t fillOK = -1;  // the fill clears it when it stops at its depth limit
    OV_FindStar(ctx, x, y, p, fillOK);
    c.FillOK = fillOK;
}

form::Rgb OV_GetClasterColor(int32_t starNo) {
    switch (starNo % 4) {
        case 0:
            return form::RGB(255, 0, 0);
        case 1:
            return form::RGB(0, 255, 0);
        case 2:
            return form::RGB(0, 0, 255);
        default:
            return form::RGB(255, 255, 255);
    }
}

void OV_SetStarNo(Workspace& ws) {
    ws.ClusterMap.create(0, ws.ImageWidthP + 1, 0, ws.ImageHeightP + 1);
    for (int32_t i = 1; i <= ws.MaxStarNo; ++i) {
        const ClusterRec& c = ws.Clusters[i];
        if (c.Divided == -1 || c.Used != -1) continue;
        const double cx = std::floor(ws.Stars[i].CenterX) + 1;
        const double cy = std::floor(ws.Stars[i].CenterY) + 1;
        // A centroid from an altered file may lie anywhere: cells off the map are skipped.
        for (int y = -1; y <= 1; ++y)
            for (int x = -1; x <= 1; ++x) {
                const double mx = cx + x, my = cy + y;
                if (mx < ws.ClusterMap.xLo() || mx > ws.ClusterMap.xHi() ||
                    my < ws.ClusterMap.yLo() || my > ws.ClusterMap.yHi())
                    continue;
                ws.ClusterMap(static_cast<int>(mx), static_cast<int>(my)) =
                    static_cast<uint16_t>(i);
            }
    }
}

}  // namespace orv::extract
