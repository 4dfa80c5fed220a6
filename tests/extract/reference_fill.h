#pragma once
// The flood fill exactly as it is described: literal recursion. The tests compare the fast
// fill and the cluster scan with it on many small pictures.

#include <cstdint>
#include <functional>
#include <vector>

#include "core/workspace.h"

namespace orv::test {

struct ReferenceFill {
    core::Workspace& ws;
    int32_t starNo;
    float siki, sikiTop;
    int32_t baseNo;
    int depth = 0;
    int16_t fillOK = -1;
    // The brightness rule at (x, y), 1-based; empty: Level > BackLevel + siki or > sikiTop.
    std::function<bool(int, int)> bright = nullptr;

    void fill(int x, int y) {
        if (depth > ws.FillDepthLimit) {
            fillOK = 0;
            return;
        }
        depth += 1;
        if (depth > ws.FillDepthMax) ws.FillDepthMax = depth;
        int taken[4][2];
        int count = 0;
        auto tryTake = [&](bool inside, int nx, int ny) {
            if (!inside || ws.ClusterMap(nx, ny) != baseNo) return;
            const int l = ws.PixelLevel.Level(nx, ny);
            if (bright ? !bright(nx, ny)
                       : !(l > static_cast<double>(ws.BackLevel(nx - 1, ny - 1)) + siki ||
                           l > sikiTop))
                return;
            ws.ClusterMap(nx, ny) = static_cast<uint16_t>(starNo);
            taken[count][0] = nx;
            taken[count][1] = ny;
            ++count;
        };
        tryTake(y > 1, x, y - 1);
        tryTake(x > 1, x - 1, y);
        tryTake(x <= ws.ImageWidthP - 1, x + 1, y);
        tryTake(y <= ws.ImageHeightP - 1, x, y + 1);
        for (int i = 0; i < count; ++i) fill(taken[i][0], taken[i][1]);
        depth -= 1;
    }
};

// The cluster scan: numbers 1, 2, ... in seed order at the pixels where bright(x, y) holds
// (1-based), each grown by fill(x, y, n), which gives the completion flag. Returns the flags by
// number (index 0 unused).
template <typename Bright, typename Fill>
std::vector<int16_t> scanClusters(core::Workspace& ws, Bright bright, Fill fill) {
    ws.ClusterMap.create(0, ws.ImageWidthP + 1, 0, ws.ImageHeightP + 1);
    std::vector<int16_t> fillOK(1, 0);
    for (int y = 1; y <= ws.ImageHeightP; ++y)
        for (int x = 1; x <= ws.ImageWidthP; ++x) {
            if (!bright(x, y)) continue;
            if (ws.ClusterMap(x, y) != 0) continue;
            const int32_t n = static_cast<int32_t>(fillOK.size());
            ws.ClusterMap(x, y) = static_cast<uint16_t>(n);
            fillOK.push_back(fill(x, y, n));
        }
    return fillOK;
}

// The same with the rule Level > Siki + BackLevel (in double) or Level > SikiTop.
template <typename Fill>
std::vector<int16_t> scanClusters(core::Workspace& ws, Fill fill) {
    const float siki = ws.settings.Siki, top = ws.settings.SikiTop;
    return scanClusters(
        ws,
        [&](int x, int y) {
            const int l = ws.PixelLevel.Level(x, y);
            return l > static_cast<double>(siki) + ws.BackLevel(x - 1, y - 1) || l > top;
        },
        fill);
}

// The cluster scan with the reference fill.
inline void referenceClusters(core::Workspace& ws, std::vector<int16_t>& fillOK) {
    fillOK = scanClusters(ws, [&](int x, int y, int32_t n) {
        ReferenceFill f{ws, n, ws.settings.Siki, ws.settings.SikiTop, 0};
        f.fill(x, y);
        return f.fillOK;
    });
}

}  // namespace orv::test
