#include "extract/outline_fill.h"

#include <algorithm>
#include <cmath>

#include "extract/analysis.h"
#include "extract/numbering.h"

// 1. Walk the chain from the seed into a grid one pixel larger than its bounding box.
// 2. Mark as outside every grid pixel that a 4-connected walk from the grid's border reaches
//    without entering a chain pixel.
// 3. The rest is the result's area.

namespace orv::extract {

using core::Workspace;

namespace {

// The largest bounding box filled: an outline of the trace's 2000 steps fits many times over;
// a longer chain can only come from an altered file.
constexpr int64_t kMaxBox = int64_t{4} << 20;

bool plainChain(const std::string& outline) {
    return !outline.empty() &&
           std::all_of(outline.begin(), outline.end(), [](char c) { return c >= '0' && c <= '7'; });
}

}  // namespace

std::vector<int32_t> filledOutline(const Workspace& ws, int32_t n) {
    if (n < 1 || n > ws.MaxStarNo || !plainChain(ws.Stars[n].Outline)) return {};
    const std::vector<int32_t> chain = outlinePixels(ws, n);  // 0-based pairs
    int x0 = chain[0], x1 = chain[0], y0 = chain[1], y1 = chain[1];
    for (size_t i = 0; i < chain.size(); i += 2) {
        x0 = std::min(x0, chain[i]), x1 = std::max(x1, chain[i]);
        y0 = std::min(y0, chain[i + 1]), y1 = std::max(y1, chain[i + 1]);
    }
    const int w = x1 - x0 + 3, h = y1 - y0 + 3;  // a ring of outside around the box
    if (static_cast<int64_t>(w) * h > kMaxBox) return {};
    enum : uint8_t { kUnknown, kChain, kOutside };
    std::vector<uint8_t> grid(static_cast<size_t>(w) * h, kUnknown);
    auto at = [&](int gx, int gy) -> uint8_t& { return grid[static_cast<size_t>(gy) * w + gx]; };
    for (size_t i = 0; i < chain.size(); i += 2)
        at(chain[i] - x0 + 1, chain[i + 1] - y0 + 1) = kChain;
    std::vector<std::pair<int, int>> stack{{0, 0}};
    at(0, 0) = kOutside;
    while (!stack.empty()) {
        const auto [gx, gy] = stack.back();
        stack.pop_back();
        const int nx[4] = {gx, gx - 1, gx + 1, gx}, ny[4] = {gy - 1, gy, gy, gy + 1};
        for (int k = 0; k < 4; ++k) {
            if (nx[k] < 0 || ny[k] < 0 || nx[k] >= w || ny[k] >= h) continue;
            if (at(nx[k], ny[k]) != kUnknown) continue;
            at(nx[k], ny[k]) = kOutside;
            stack.emplace_back(nx[k], ny[k]);
        }
    }
    std::vector<int32_t> area;
    for (int gy = 1; gy + 1 < h; ++gy)
        for (int gx = 1; gx + 1 < w; ++gx)
            if (at(gx, gy) != kOutside) area.insert(area.end(), {gx + x0, gy + y0});  // 1-based
    return area;
}

void fillOutlines(Workspace& ws) {
    ws.ClusterMap.create(0, ws.ImageWidthP + 1, 0, ws.ImageHeightP + 1);
    const int width = ws.ImageWidthP, height = ws.ImageHeightP;
    auto onPicture = [&](double x, double y) {
        return x >= 1 && y >= 1 && x <= width && y <= height;
    };
    struct Area {
        int32_t n;
        std::vector<int32_t> pixels;
    };
    std::vector<Area> areas;
    std::vector<int32_t> unoutlined;
    for (int32_t n = 1; n <= ws.MaxStarNo; ++n) {
        const auto& c = ws.Clusters[n];
        if (c.Divided == -1 || c.Used != -1) continue;
        std::vector<int32_t> pixels = filledOutline(ws, n);
        if (pixels.empty())
            unoutlined.push_back(n);
        else
            areas.push_back({n, std::move(pixels)});
    }
    // 1. Results without an outline: the block around the centroid, later numbers over earlier.
    auto centroidPixel = [&](int32_t n, double& x, double& y) {
        x = std::floor(ws.Stars[n].CenterX) + 1;
        y = std::floor(ws.Stars[n].CenterY) + 1;
    };
    for (int32_t n : unoutlined) {
        double cx = 0, cy = 0;
        centroidPixel(n, cx, cy);
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (onPicture(cx + dx, cy + dy))
                    ws.ClusterMap(static_cast<int>(cx + dx), static_cast<int>(cy + dy)) =
                        static_cast<uint16_t>(n);
    }
    // 2. The filled outlines over the blocks, smaller areas first; a pixel once taken by an area
    //    stays with it (a star in a ring's hole keeps its pixels).
    std::stable_sort(areas.begin(), areas.end(), [](const Area& a, const Area& b) {
        return a.pixels.size() < b.pixels.size();
    });
    std::vector<uint8_t> taken(static_cast<size_t>(std::max(width, 0)) * std::max(height, 0), 0);
    for (const Area& a : areas)
        for (size_t i = 0; i < a.pixels.size(); i += 2) {
            const int x = a.pixels[i], y = a.pixels[i + 1];
            if (!onPicture(x, y)) continue;
            uint8_t& t = taken[static_cast<size_t>(y - 1) * width + (x - 1)];
            if (t) continue;
            t = 1;
            ws.ClusterMap(x, y) = static_cast<uint16_t>(a.n);
        }
    // 3. A result without an outline keeps the pixel of its centroid, inside an area too.
    for (int32_t n : unoutlined) {
        double cx = 0, cy = 0;
        centroidPixel(n, cx, cy);
        if (onPicture(cx, cy))
            ws.ClusterMap(static_cast<int>(cx), static_cast<int>(cy)) = static_cast<uint16_t>(n);
    }
}

void rebuildReadMap(Workspace& ws) {
    if (ws.settings.ReadOutlineClick)
        fillOutlines(ws);
    else
        OV_SetStarNo(ws);
    ws.ClusterMapFromRead = true;
    ++ws.ReadMapGeneration;
}

void setReadOutlineClick(Workspace& ws, bool on) {
    ws.settings.ReadOutlineClick = on;
    if (ws.ClusterMapFromRead && !ws.ClusterMap.empty()) rebuildReadMap(ws);
}

}  // namespace orv::extract
