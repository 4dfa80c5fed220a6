#include "view/display_stretch.h"

#include <algorithm>
#include <cmath>

namespace orv::view {

StretchTable stretchTable(const DisplayStretch& s) {
    const int black = std::clamp(s.black, 0, 254);
    const int white = std::clamp(s.white, black + 1, 255);
    StretchTable table{};
    for (int v = 0; v < 256; ++v) {
        const double t = std::clamp(static_cast<double>(v - black) / (white - black), 0.0, 1.0);
        double f = t;
        switch (s.curve) {
            case StretchCurve::Linear:
                break;
            case StretchCurve::Asinh:
                f = std::asinh(10 * t) / std::asinh(10.0);
                break;
            case StretchCurve::Log:
                f = std::log10(1 + 1000 * t) / std::log10(1001.0);
                break;
            case StretchCurve::Sqrt:
                f = std::sqrt(t);
                break;
        }
        table[v] = static_cast<uint8_t>(std::lround(255 * std::clamp(f, 0.0, 1.0)));
    }
    return table;
}

LevelHistogram levelHistogram(const core::Workspace& ws) {
    LevelHistogram h{};
    if (ws.PixelLevel.empty()) return h;
    const auto& plane = ws.PixelLevel.levelPlane();
    // Four partial counts, so that runs of one level (a flat sky) do not wait on one counter.
    std::array<std::array<uint32_t, 256>, 4> part{};
    for (int y = 1; y <= ws.ImageHeightP; ++y) {
        const uint8_t* row = &plane(1, y);
        int x = 0;
        for (; x + 4 <= ws.ImageWidthP; x += 4) {
            ++part[0][row[x]];
            ++part[1][row[x + 1]];
            ++part[2][row[x + 2]];
            ++part[3][row[x + 3]];
        }
        for (; x < ws.ImageWidthP; ++x) ++part[0][row[x]];
        // Emptied every 256 rows, long before a partial count could overflow.
        if (y % 256 == 0 || y == ws.ImageHeightP)
            for (auto& p : part) {
                for (int v = 0; v < 256; ++v) h[v] += p[v];
                p.fill(0);
            }
    }
    return h;
}

int levelAtPercent(const LevelHistogram& h, double percent) {
    uint64_t total = 0;
    for (uint64_t c : h) total += c;
    if (total == 0) return 0;
    // The first level whose cumulative count reaches the share (at least one pixel).
    const double wanted = std::max(1.0, std::clamp(percent, 0.0, 100.0) / 100.0 * total);
    uint64_t sum = 0;
    for (int v = 0; v < 256; ++v) {
        sum += h[v];
        if (static_cast<double>(sum) >= wanted) return v;
    }
    return 255;
}

double percentAtLevel(const LevelHistogram& h, int level) {
    uint64_t total = 0, below = 0;
    for (int v = 0; v < 256; ++v) {
        total += h[v];
        if (v <= level) below += h[v];
    }
    return total == 0 ? 0 : 100.0 * static_cast<double>(below) / static_cast<double>(total);
}

void applyStretch(const StretchTable& t, const uint32_t* from, uint32_t* to, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = from[i];
        to[i] = (p & 0xff000000u) | (uint32_t{t[(p >> 16) & 0xff]} << 16) |
                (uint32_t{t[(p >> 8) & 0xff]} << 8) | t[p & 0xff];
    }
}

}  // namespace orv::view
