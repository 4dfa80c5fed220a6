#include "bench/quality.h"
#include "extract/records.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <tuple>
#include <unordered_map>

namespace orv::bench {

namespace {

// The points of a set by square cells of the match radius: a point's neighbours within the
// radius lie in its own cell or one of the eight around it.
class CellIndex {
public:
    CellIndex(const std::vector<Point>& points, double cell) : cell_(cell) {
        for (size_t i = 0; i < points.size(); ++i)
            cells_[key(cellOf(points[i].x), cellOf(points[i].y))].push_back(static_cast<int>(i));
    }
    template <typename F>
    void near(const Point& p, F&& visit) const {
        const int64_t cx = cellOf(p.x), cy = cellOf(p.y);
        for (int64_t dy = -1; dy <= 1; ++dy)
            for (int64_t dx = -1; dx <= 1; ++dx) {
                auto it = cells_.find(key(cx + dx, cy + dy));
                if (it == cells_.end()) continue;
                for (int i : it->second) visit(i);
            }
    }

private:
    int64_t cellOf(double v) const { return static_cast<int64_t>(std::floor(v / cell_)); }
    static int64_t key(int64_t cx, int64_t cy) { return (cx << 32) ^ (cy & 0xffffffff); }

    double cell_;
    std::unordered_map<int64_t, std::vector<int>> cells_;
};

double distance(const Point& a, const Point& b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

}  // namespace

std::vector<int> matchOneToOne(const std::vector<Point>& stars, const std::vector<Point>& results,
                               double radius) {
    // (distance, star, result), nearest first; equal distances in index order.
    std::vector<std::tuple<double, int, int>> candidates;
    const CellIndex index(results, radius);
    for (size_t s = 0; s < stars.size(); ++s)
        index.near(stars[s], [&](int r) {
            const double d = distance(stars[s], results[r]);
            if (d <= radius) candidates.emplace_back(d, static_cast<int>(s), r);
        });
    std::sort(candidates.begin(), candidates.end());
    std::vector<int> ofStar(stars.size(), -1);
    std::vector<bool> resultTaken(results.size(), false);
    for (const auto& [d, s, r] : candidates) {
        if (ofStar[s] >= 0 || resultTaken[r]) continue;
        ofStar[s] = r;
        resultTaken[r] = true;
    }
    return ofStar;
}

void QualityFigures::add(const QualityFigures& o) {
    const int n = brightFound + o.brightFound;
    auto mean = [&](double a, double b) {
        return n > 0 ? (a * brightFound + b * o.brightFound) / n : 0.0;
    };
    rms = std::sqrt(mean(rms * rms, o.rms * o.rms));
    biasX = mean(biasX, o.biasX);
    biasY = mean(biasY, o.biasY);
    brightFound = n;
    stars += o.stars;
    isolated += o.isolated;
    pairMembers += o.pairMembers;
    faint += o.faint;
    found += o.found;
    foundIsolated += o.foundIsolated;
    foundPairMembers += o.foundPairMembers;
    foundFaint += o.foundFaint;
    results += o.results;
    falseResults += o.falseResults;
}

QualityFigures assess(const std::vector<TrueStar>& truth, const std::vector<Point>& results) {
    const size_t n = truth.size();
    std::vector<Point> stars(n);
    for (size_t i = 0; i < n; ++i) stars[i] = {truth[i].x, truth[i].y};
    const std::vector<int> match = matchOneToOne(stars, results);

    std::vector<bool> isolated(n, false);
    const CellIndex index(stars, kIsolationRadius);
    for (size_t i = 0; i < n; ++i) {
        if (truth[i].pairId >= 0) continue;
        bool alone = true;
        index.near(stars[i], [&](int j) {
            if (j != static_cast<int>(i) && distance(stars[i], stars[j]) < kIsolationRadius)
                alone = false;
        });
        isolated[i] = alone;
    }

    // Stars by flux, faintest first (index order among equals).
    std::vector<size_t> byFlux(n);
    std::iota(byFlux.begin(), byFlux.end(), size_t{0});
    std::stable_sort(byFlux.begin(), byFlux.end(),
                     [&](size_t a, size_t b) { return truth[a].flux < truth[b].flux; });
    std::vector<bool> faint(n, false);
    for (size_t k = 0; k < n / 4; ++k) faint[byFlux[k]] = true;

    QualityFigures q;
    q.stars = static_cast<int>(n);
    for (size_t i = 0; i < n; ++i) {
        const bool found = match[i] >= 0;
        const bool pair = truth[i].pairId >= 0;
        q.found += found;
        q.isolated += isolated[i];
        q.foundIsolated += found && isolated[i];
        q.pairMembers += pair;
        q.foundPairMembers += found && pair;
        q.faint += faint[i];
        q.foundFaint += found && faint[i];
    }
    q.results = static_cast<int>(results.size());
    q.falseResults = q.results - q.found;

    // The brightest tenth of the isolated stars.
    std::vector<size_t> brightIsolated;
    for (auto it = byFlux.rbegin(); it != byFlux.rend(); ++it)
        if (isolated[*it]) brightIsolated.push_back(*it);
    brightIsolated.resize(brightIsolated.empty() ? 0
                                                 : std::max<size_t>(1, brightIsolated.size() / 10));
    double sx = 0.0, sy = 0.0, s2 = 0.0;
    for (size_t i : brightIsolated) {
        if (match[i] < 0) continue;
        const double dx = results[match[i]].x - truth[i].x, dy = results[match[i]].y - truth[i].y;
        sx += dx;
        sy += dy;
        s2 += dx * dx + dy * dy;
        ++q.brightFound;
    }
    if (q.brightFound > 0) {
        q.rms = std::sqrt(s2 / q.brightFound);
        q.biasX = sx / q.brightFound;
        q.biasY = sy / q.brightFound;
    }
    return q;
}

std::vector<Point> resultsOf(const core::Workspace& ws) {
    std::vector<Point> out;
    for (int32_t i = 1; i <= ws.MaxStarNo; ++i) {
        const auto& c = ws.Clusters[i];
        if (c.Used != -1 || c.Divided == -1 || c.Atr == extract::kAtrNoise) continue;
        out.push_back({ws.Stars[i].CenterX, ws.Stars[i].CenterY});
    }
    return out;
}

}  // namespace orv::bench
