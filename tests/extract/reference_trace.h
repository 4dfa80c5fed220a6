#pragma once
// The outline trace and radius statistics of one cluster exactly as they are described, with
// the tables written out as given and every accumulator a Single. The tests compare
// OV_CheckProfile with it on many random clusters.

#include <array>
#include <cmath>
#include <string>

#include "core/numeric.h"
#include "core/workspace.h"

namespace orv::test {

struct ReferenceProfile {
    std::string outline;
    std::array<float, 36> hankei{};
    float ave = 0, max = 0, min = 0, sd = 0, ratio = 0;
};

inline int referenceScanStart(int pdx, int pdy) {
    if (pdx == 0 && pdy == 0) return 0;
    if (pdx == -1 && pdy == -1) return 2;
    if (pdx == 0 && pdy == -1) return 2;
    if (pdx == 1 && pdy == -1) return 1;
    if (pdx == -1 && pdy == 0) return 3;
    if (pdx == 1 && pdy == 0) return 1;
    if (pdx == -1 && pdy == 1) return 3;
    if (pdx == 0 && pdy == 1) return 0;
    return 0;  // (1, 1)
}

inline char referenceChainCode(int dx, int dy) {
    static const char* const rows[3] = {"076", "105", "234"};  // dy = -1, 0, 1; dx = -1, 0, 1
    return rows[dy + 1][dx + 1];
}

// `ratio` is the SinendoRatio the record held before (the trace does not clear it).
inline ReferenceProfile referenceProfile(const core::Workspace& ws, int32_t n, float ratio) {
    static const int kScanOrder[4][8][2] = {
        {{-1, 1}, {0, 1}, {1, 1}, {1, 0}, {1, -1}, {0, -1}, {-1, -1}, {-1, 0}},
        {{1, 1}, {1, 0}, {1, -1}, {0, -1}, {-1, -1}, {-1, 0}, {-1, 1}, {0, 1}},
        {{1, -1}, {0, -1}, {-1, -1}, {-1, 0}, {-1, 1}, {0, 1}, {1, 1}, {1, 0}},
        {{-1, -1}, {-1, 0}, {-1, 1}, {0, 1}, {1, 1}, {1, 0}, {1, -1}, {0, -1}},
    };
    const double pi = 3.14159265;
    const auto& star = ws.Stars[n];
    ReferenceProfile r;
    r.ratio = ratio;
    float sum = 0, count = 0, minR = 1000.0f, maxR = 0, sdSum = 0;
    const int seedX = core::CLng(ws.Clusters[n].StartX), seedY = core::CLng(ws.Clusters[n].StartY);
    int cx = seedX, cy = seedY, pdx = 0, pdy = 0;
    auto cell = [&](int x, int y) -> int32_t {
        return ws.ClusterMap.contains(x, y) ? ws.ClusterMap(x, y) : 0;
    };
    bool closed = false;
    for (int k = 1; k <= 2000; ++k) {
        const double dx = (cx - 0.5) - star.CenterX, dy = (cy - 0.5) - star.CenterY;
        const float d = static_cast<float>(std::sqrt(dx * dx + dy * dy));
        if (d > 0) {
            double s;
            if (dx > 0 && dy > 0)
                s = std::floor(36 - std::atan(dy / dx) * 18 / pi);
            else if (dx > 0)
                s = -std::floor(std::atan(dy / dx) * 18 / pi);
            else if (dx == 0)
                s = dy > 0 ? 27 : 9;
            else
                s = std::floor(std::atan(-dy / dx) * 18 / pi + 18);
            const int sector = static_cast<int>(s) % 36;
            if (d > r.hankei[sector]) r.hankei[sector] = d;
            sum = sum + d;
            if (minR > d) minR = d;
            if (d > maxR) maxR = d;
            count = count + 1;
        }
        const int row = referenceScanStart(pdx, pdy);
        bool found = false;
        int ndx = 0, ndy = 0;
        for (int j = 0; j < 8 && !found; ++j) {
            ndx = kScanOrder[row][j][0];
            ndy = kScanOrder[row][j][1];
            found = cell(cx + ndx, cy + ndy) == n;
        }
        if (!found) {
            closed = true;
            break;
        }
        cx += ndx;
        cy += ndy;
        r.outline += referenceChainCode(ndx, ndy);
        if (cx == seedX && cy == seedY) {
            closed = true;
            break;
        }
        pdx = ndx;
        pdy = ndy;
    }
    if (!closed) {
        r.ave = r.max = r.min = 5.0f;
        r.ratio = 1.0f;
        r.sd = 0.1f;
        r.outline.clear();
        return r;
    }
    if (count > 0) {
        r.ave = sum / count;
        r.max = maxR;
        r.min = minR;
        r.ratio = minR > 0 ? maxR / minR : 1.0f;
        for (float h : r.hankei)
            if (h > 0)
                sdSum = static_cast<float>(sdSum + std::pow(static_cast<double>(h - r.ave), 2));
        r.sd = static_cast<float>(std::sqrt(static_cast<double>(sdSum / count)));
    }
    return r;
}

}  // namespace orv::test
