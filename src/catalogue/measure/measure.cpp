#include "catalogue/measure/measure.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <vector>

namespace orv::catalogue::measure {

namespace {

constexpr double kFwhmPerSigma = 2.3548200450309493;  // 2 sqrt(2 ln 2)
constexpr double kApertureFwhms = 3.0;
constexpr double kAnnulusGap = 2.0;
constexpr double kMinAnnulusWidth = 6.0;
constexpr int kMinSkyPixels = 30;
constexpr double kClip = 3.0;
constexpr int kMomentIterations = 20;
// The widest star a cluster of extent r_ext can be, in sigma: a star whose peak barely passes
// the threshold shows only its core (r_ext = 0.44 sigma at 1.1 times the threshold).
constexpr double kWidestSigmaPerExtent = 3.0;
// The weight is summed out to this many of its sigmas (beyond, it is below 0.2 %).
constexpr double kWeightReach = 3.5;
constexpr double kMadToSigma = 1.4826;
// A weight narrower than this (pixels^2) would see a single pixel.
constexpr double kMinVariance = 0.04;

double sq(double v) {
    return v * v;
}

// The ceiling and the floor of a value well inside the range of int, as ints: a truncation and a
// compare, where the rounding of a double to a double takes a dozen instructions in the
// processors' common instruction set.
int ceilInt(double v) {
    const int t = static_cast<int>(v);
    return t + (v > t);
}
int floorInt(double v) {
    const int t = static_cast<int>(v);
    return t - (v < t);
}

// A symmetric 2 x 2 matrix (xx, xy, yy).
struct Sym {
    double xx = 0, xy = 0, yy = 0;
    double det() const { return xx * yy - xy * xy; }
    bool positive() const { return xx > 0 && yy > 0 && det() > 0; }
    Sym inverse() const {
        const double d = det();
        return {yy / d, -xy / d, xx / d};
    }
    Sym operator-(const Sym& o) const { return {xx - o.xx, xy - o.xy, yy - o.yy}; }
    double largestEigen() const {
        return 0.5 * (xx + yy) + std::sqrt(0.25 * sq(xx - yy) + xy * xy);
    }
    double smallestEigen() const {
        return 0.5 * (xx + yy) - std::sqrt(0.25 * sq(xx - yy) + xy * xy);
    }
};

struct Shape {
    bool ok = false;
    double x = 0, y = 0;  // weighted centre
    Sym c;                // the star's covariance
};

// Visits the rows of the picture pixels whose centres lie within `radius` of (cx, cy):
// f(y, xa, xb, row) for the pixels xa..xb of row y (0-based; row nullptr when it cannot be
// read). Returns whether the disc reaches beyond the picture.
template <typename F>
bool forDiscRows(RowCache& rows, double cx, double cy, double radius, F&& f) {
    const int y0 = floorInt(cy - radius - 0.5);
    const int y1 = ceilInt(cy + radius - 0.5);
    const bool outside = cx - radius < 0 || cy - radius < 0 || cx + radius > rows.width() ||
                         cy + radius > rows.height();
    const double r2 = radius * radius;
    for (int y = std::max(y0, 0); y <= std::min(y1, rows.height() - 1); ++y) {
        const double dy = y + 0.5 - cy;
        if (dy * dy >= r2) continue;
        // Centres strictly inside: (x + 0.5 - cx)^2 < r2 - dy^2.
        const double half = std::sqrt(r2 - dy * dy);
        int xa = ceilInt(cx - half - 0.5);
        int xb = floorInt(cx + half - 0.5);
        if (sq(xa + 0.5 - cx) + dy * dy >= r2) ++xa;
        if (sq(xb + 0.5 - cx) + dy * dy >= r2) --xb;
        xa = std::max(xa, 0);
        xb = std::min(xb, rows.width() - 1);
        if (xa <= xb) f(y, xa, xb, rows.row(y));
    }
    return outside;
}

// The same pixel by pixel: f(x, y, row).
template <typename F>
bool forDisc(RowCache& rows, double cx, double cy, double radius, F&& f) {
    return forDiscRows(rows, cx, cy, radius, [&](int y, int xa, int xb, const float* row) {
        for (int x = xa; x <= xb; ++x) f(x, y, row);
    });
}

// The weighted sums of the adaptive moments, added pixel by pixel in raster order.
struct Moments {
    double sum = 0, sx = 0, sy = 0, sxx = 0, sxy = 0, syy = 0;
};

// A row of the weight's disc: its pixels xa..xb, their owners, the first pixel's offset from
// the centre, and its weight and the ratio to the next.
struct RowSpan {
    const float* row;
    const uint16_t* owners;
    int xa, xb;
    double dx, dy;
    double weight = 0, ratio = 0;
};

// The moment sums of the rows `spans`, row after row, pixel by pixel: pixel x of a row lies at
// dx + (x - xa) from the centre, its weight is the row's weight at xa multiplied by the row's
// ratio at each step right, the ratio itself by `stepFactor`. A function of its own, without
// calls, so that the sums stay in registers from the first row to the last.
[[gnu::noinline]] Moments addMoments(const std::vector<RowSpan>& spans, int32_t n,
                                     double stepFactor, double sky) {
    double sum = 0, sx = 0, sy = 0, sxx = 0, sxy = 0, syy = 0;
    for (const RowSpan& r : spans) {
        const float* row = r.row;
        const uint16_t* owners = r.owners - r.xa;
        const double dy = r.dy;
        double dx = r.dx, weight = r.weight, ratio = r.ratio;
        for (int x = r.xa; x <= r.xb; ++x, dx += 1, weight *= ratio, ratio *= stepFactor) {
            const uint16_t owner = owners[x];
            if (owner != 0 && owner != n) continue;  // another cluster: as sky
            const double v = row[x];
            if (!std::isfinite(v)) continue;
            const double i = (v - sky) * weight;
            sum += i;
            sx += i * dx;
            sy += i * dy;
            sxx += i * dx * dx;
            sxy += i * dx * dy;
            syy += i * dy * dy;
        }
    }
    return {sum, sx, sy, sxx, sxy, syy};
}

// Adaptive moments (step 3 of the outline) starting from the weight `start` about (cx, cy); a
// star wider than `widest` (sigma, pixels) is no star of this cluster (noise, or a neighbour's
// light) and gives no shape.
Shape adaptiveShape(RowCache& rows, const core::Array2D<uint16_t>& map, int32_t n, double cx,
                    double cy, Sym start, double sky, double widest) {
    Shape s;
    Sym w = start;
    double mx = cx, my = cy;
    for (int it = 0; it < kMomentIterations; ++it) {
        const Sym wi = w.inverse();
        const double reach = kWeightReach * std::sqrt(w.largestEigen()) + 1.0;
        // Along a row the weight's exponent is a quadratic in dx: each step to the right
        // multiplies the weight by a ratio that itself changes by the factor exp(-wi.xx).
        const double stepFactor = std::exp(-wi.xx);
        // The rows first, then their weights (independent exponentials, which the processor
        // overlaps when nothing else comes between them), then the sums, row after row.
        thread_local std::vector<RowSpan> spans;
        spans.clear();
        forDiscRows(rows, mx, my, reach, [&](int y, int xa, int xb, const float* row) {
            if (row)
                spans.push_back({row, map.at(xa + 1, y + 1), xa, xb, xa + 0.5 - mx, y + 0.5 - my});
        });
        for (RowSpan& r : spans) {
            const double dx = r.dx, dy = r.dy;
            r.weight = std::exp(-0.5 * (wi.xx * dx * dx + 2 * wi.xy * dx * dy + wi.yy * dy * dy));
            r.ratio = std::exp(-0.5 * wi.xx * (2 * dx + 1) - wi.xy * dy);
        }
        const Moments sums = addMoments(spans, n, stepFactor, sky);
        const double sum = sums.sum, sx = sums.sx, sy = sums.sy, sxx = sums.sxx, sxy = sums.sxy,
                     syy = sums.syy;
        if (!(sum > 0)) return s;
        const double ex = sx / sum, ey = sy / sum;
        const Sym m{sxx / sum - ex * ex, sxy / sum - ex * ey, syy / sum - ey * ey};
        if (!m.positive()) return s;
        Sym c = m.inverse() - wi;
        c = c.positive() ? c.inverse() : Sym{2 * m.xx, 2 * m.xy, 2 * m.yy};
        if (c.smallestEigen() < kMinVariance) {
            // A star sharper than a pixel: keep the weight from shrinking to nothing.
            const double add = kMinVariance - c.smallestEigen();
            c.xx += add;
            c.yy += add;
        }
        if (c.largestEigen() > sq(widest)) return s;
        const double moved = std::hypot(ex, ey);
        const double change =
            std::abs(c.xx - w.xx) + std::abs(c.yy - w.yy) + 2 * std::abs(c.xy - w.xy);
        mx += ex;
        my += ey;
        w = c;
        if (moved < 1e-3 && change < 1e-3 * (c.xx + c.yy)) break;
    }
    s.ok = true;
    s.x = mx;
    s.y = my;
    s.c = w;
    return s;
}

}  // namespace

void PixelBox::add(int x, int y) {
    if (empty()) {
        x0 = x1 = x;
        y0 = y1 = y;
        return;
    }
    x0 = std::min(x0, x);
    x1 = std::max(x1, x);
    y0 = std::min(y0, y);
    y1 = std::max(y1, y);
}

namespace {

// The element a median by nth_element at n / 2 gives, for whole numbers 0..255 counted in `counts`
// (n of them, n > 0): the smallest value with more than n / 2 values at or below it.
int countedMedian(const std::array<int, 256>& counts, size_t n) {
    size_t below = 0;
    for (int v = 0; v < 256; ++v) {
        below += static_cast<size_t>(counts[v]);
        if (below > n / 2) return v;
    }
    return 255;
}

// The clipped mean of the values in `values` (sorted or not), the median absolute deviation
// taken by sorting.
SkyEstimate clipped(std::vector<float>& values) {
    SkyEstimate e;
    const size_t n = values.size();
    if (n == 0) return e;
    auto median = [](std::vector<float>& v) {
        auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
        std::nth_element(v.begin(), mid, v.end());
        return static_cast<double>(*mid);
    };
    const double m = median(values);
    std::vector<float> deviations(n);
    for (size_t i = 0; i < n; ++i) deviations[i] = static_cast<float>(std::abs(values[i] - m));
    double sigma = kMadToSigma * median(deviations);
    if (sigma == 0) {
        // Samples in whole steps with less noise than a step: their spread instead.
        double sum = 0, ss = 0;
        for (float v : values) sum += v;
        for (float v : values) ss += sq(v - sum / static_cast<double>(n));
        sigma = std::sqrt(ss / static_cast<double>(n));
    }
    // The median absolute deviation is not raised by the outliers themselves, so one cut
    // leaves the sky.
    const double lo = m - kClip * sigma, hi = m + kClip * sigma;
    double sum = 0;
    int kept = 0;
    for (float v : values)
        if (v >= lo && v <= hi) sum += v, ++kept;
    const double mean = sum / kept;
    double ss = 0;
    for (float v : values)
        if (v >= lo && v <= hi) ss += sq(v - mean);
    e.level = mean;
    e.sigma = kept > 1 ? std::sqrt(ss / (kept - 1)) : 0.0;
    e.count = kept;
    return e;
}

// Sums of the whole levels lo..hi counted in `counts`: how many, their sum, and the sum of the
// squares of their deviations from their mean, exact but for one rounding (the levels are whole
// numbers, so k * sum(v^2) - sum(v)^2 is an exact integer).
struct LevelSums {
    int64_t count = 0;
    double sum = 0, squares = 0;
};
LevelSums levelSums(const std::array<int, 256>& counts, int lo, int hi) {
    int64_t k = 0, s = 0;
    __int128 s2 = 0;
    for (int v = std::max(lo, 0); v <= std::min(hi, 255); ++v) {
        k += counts[v];
        s += int64_t{counts[v]} * v;
        s2 += static_cast<__int128>(counts[v]) * (v * v);
    }
    LevelSums out;
    out.count = k;
    out.sum = static_cast<double>(s);
    if (k > 0) {
        const __int128 spread = k * s2 - static_cast<__int128>(s) * s;
        out.squares = static_cast<double>(spread) / static_cast<double>(k);
    }
    return out;
}

// The clipped mean of n whole levels 0..255 (n > 0) counted in `counts`: the same median, median
// absolute deviation, cut, count and mean as clipped() gives for the levels themselves.
SkyEstimate clippedLevels(const std::array<int, 256>& counts, size_t n) {
    const int m = countedMedian(counts, n);
    std::array<int, 256> deviations{};
    for (int v = 0; v < 256; ++v) deviations[std::abs(v - m)] += counts[v];
    double sigma = kMadToSigma * countedMedian(deviations, n);
    if (sigma == 0) sigma = std::sqrt(levelSums(counts, 0, 255).squares / static_cast<double>(n));
    // The levels kept: lo <= v <= hi.
    const double lo = m - kClip * sigma, hi = m + kClip * sigma;
    const LevelSums kept = levelSums(counts, static_cast<int>(std::ceil(lo)),
                                     static_cast<int>(std::floor(std::min(hi, 255.0))));
    SkyEstimate e;
    e.level = kept.sum / static_cast<double>(kept.count);
    e.sigma = kept.count > 1 ? std::sqrt(kept.squares / static_cast<double>(kept.count - 1)) : 0.0;
    e.count = static_cast<int>(kept.count);
    return e;
}

}  // namespace

SkyEstimate clippedMean(std::vector<float>& values) {
    return clipped(values);
}

SkyEstimate annulusSky(RowCache& rows, const core::Array2D<uint16_t>& map, double cx, double cy,
                       double rIn, double rOut, bool roughly) {
    // Whole levels 0..255 are only counted; other samples are gathered into a buffer each thread
    // keeps.
    const bool whole = rows.wholeLevels();
    thread_local std::vector<float> values;
    values.clear();
    std::array<int, 256> counts{};
    size_t counted = 0;
    const double in2 = rIn * rIn;
    auto take = [&](int y, int from, int to, const float* row) {
        const uint16_t* owners = map.at(from + 1, y + 1);
        if (whole) {
            for (int x = from; x <= to; ++x)
                if (owners[x - from] == 0) ++counts[static_cast<int>(row[x])], ++counted;
            return;
        }
        for (int x = from; x <= to; ++x)
            if (owners[x - from] == 0 && std::isfinite(row[x])) values.push_back(row[x]);
    };
    // The annulus's pieces of rows first, then their pixels.
    struct Piece {
        int y, from, to;
        const float* row;
    };
    thread_local std::vector<Piece> pieces;
    pieces.clear();
    forDiscRows(rows, cx, cy, rOut, [&](int y, int xa, int xb, const float* row) {
        if (!row) return;
        // Leave out the pixels of the row whose centres lie inside the inner circle.
        const double dy = y + 0.5 - cy;
        const double rest = in2 - dy * dy;
        if (rest <= 0) return pieces.push_back({y, xa, xb, row});
        const double half = std::sqrt(rest);
        int ia = ceilInt(cx - half - 0.5);
        int ib = floorInt(cx + half - 0.5);
        if (sq(ia + 0.5 - cx) >= rest) ++ia;
        if (sq(ib + 0.5 - cx) >= rest) --ib;
        if (ia > ib) return pieces.push_back({y, xa, xb, row});
        if (xa < ia) pieces.push_back({y, xa, std::min(xb, ia - 1), row});
        if (ib < xb) pieces.push_back({y, std::max(xa, ib + 1), xb, row});
    });
    for (const Piece& p : pieces) take(p.y, p.from, p.to, p.row);
    SkyEstimate e;
    if (whole) {
        if (counted == 0) return e;
        if (!roughly) return clippedLevels(counts, counted);
        e.level = countedMedian(counts, counted);
        e.count = static_cast<int>(counted);
        return e;
    }
    if (!roughly || values.empty()) return clipped(values);
    auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), mid, values.end());
    e.level = *mid;
    e.count = static_cast<int>(values.size());
    return e;
}

ClusterMeasure measureCluster(RowCache& rows, const core::Array2D<uint16_t>& map,
                              const ClusterInput& in) {
    ClusterMeasure out;
    core::MeasureRec& r = out.rec;
    const int32_t n = in.number;
    const int w = rows.width(), h = rows.height();

    // 1. The cluster's pixels.
    double extent = 0, fluxIsoRaw = 0, highest = -INFINITY;
    int pixels = 0, counted = 0;
    bool saturated = false, edge = false, unreadable = false;
    for (int y = std::max(in.box.y0, 0); y <= std::min(in.box.y1, h - 1); ++y) {
        const float* row = rows.row(y);
        for (int x = std::max(in.box.x0, 0); x <= std::min(in.box.x1, w - 1); ++x) {
            if (map(x + 1, y + 1) != n) continue;
            ++pixels;
            extent = std::max(extent, std::hypot(x + 0.5 - in.cx, y + 0.5 - in.cy));
            edge = edge || x == 0 || y == 0 || x == w - 1 || y == h - 1;
            if (!row) {
                unreadable = true;
                continue;
            }
            const double v = row[x];
            if (!std::isfinite(v)) continue;
            ++counted;
            fluxIsoRaw += v;
            highest = std::max(highest, v);
            saturated = saturated || v >= in.saturation;
        }
    }
    if (pixels == 0) return out;
    out.found = true;
    extent += 0.5;
    int flags = (saturated ? core::kFlagSaturated : 0) | (edge ? core::kFlagEdge : 0);
    auto finish = [&] {
        r.flags = flags;
        return out;
    };
    if (unreadable || counted == 0) return finish();

    // 2 to 4: sky, shape and aperture until the aperture settles.
    const double widest = kWidestSigmaPerExtent * extent + 1.0;
    const double firstSigma = std::max(extent / 2, 1.0);
    double rIn = std::max(2.0 * extent, extent + 6.0);
    double width = std::max(kMinAnnulusWidth, extent);
    double radius = extent;
    SkyEstimate sky;
    Shape shape;
    for (int round = 0; round < 4; ++round) {
        // The first sky only starts the shape: its median does.
        const bool roughly = round == 0;
        sky = annulusSky(rows, map, in.cx, in.cy, rIn, rIn + width, roughly);
        for (int widen = 0; widen < 3 && sky.count < kMinSkyPixels; ++widen) {
            width *= 2;
            sky = annulusSky(rows, map, in.cx, in.cy, rIn, rIn + width, roughly);
        }
        if (sky.count == 0) return finish();
        // Each round starts from the shape the last one found.
        const Shape last = shape;
        shape = last.ok ? adaptiveShape(rows, map, n, last.x, last.y, last.c, sky.level, widest)
                        : adaptiveShape(rows, map, n, in.cx, in.cy,
                                        Sym{sq(firstSigma), 0, sq(firstSigma)}, sky.level, widest);
        double next = extent;
        if (shape.ok) {
            const double fwhm = kFwhmPerSigma * std::sqrt(0.5 * (shape.c.xx + shape.c.yy));
            next = std::max(kApertureFwhms * fwhm, extent);
        }
        const bool settled = round > 0 && std::abs(next - radius) < 0.5;
        radius = next;
        if (settled) break;
        rIn = radius + kAnnulusGap;
        width = std::max(kMinAnnulusWidth, radius / 2);
    }
    // A centre that strays off the cluster followed a neighbour: keep the centroid.
    if (shape.ok && std::hypot(shape.x - in.cx, shape.y - in.cy) > extent) shape.ok = false;

    r.background = sky.level;
    out.skySigma = sky.sigma;
    r.fluxIso = fluxIsoRaw - counted * sky.level;
    r.peak = highest - sky.level;
    if (shape.ok) {
        const double major = shape.c.largestEigen(), minor = std::max(shape.c.smallestEigen(), 0.0);
        r.a = std::sqrt(major);
        r.b = std::sqrt(minor);
        r.fwhm = kFwhmPerSigma * std::sqrt(0.5 * (major + minor));
        r.ellipticity = 1.0 - r.b / r.a;
        // The major axis in picture coordinates (y down), turned to y up.
        double theta = -0.5 * std::atan2(2 * shape.c.xy, shape.c.xx - shape.c.yy) * 180.0 / M_PI;
        if (theta <= -90.0) theta += 180.0;
        r.theta = theta;
    }

    // 5. The aperture.
    const double ax = shape.ok ? shape.x : in.cx, ay = shape.ok ? shape.y : in.cy;
    double flux = 0;
    int apertureN = 0;
    bool lostRow = false;
    const bool beyond = forDisc(rows, ax, ay, radius, [&](int x, int y, const float* row) {
        ++apertureN;
        if (!row) {
            lostRow = true;
            return;
        }
        if (in.unprocessedFromRow >= 0 && y >= in.unprocessedFromRow)
            flags |= core::kFlagUnprocessed;
        const uint16_t owner = map(x + 1, y + 1);
        if (owner != 0 && owner != n) return;
        const double v = row[x];
        if (std::isfinite(v)) flux += v - sky.level;
    });
    if (beyond) flags |= core::kFlagEdge;
    if (lostRow || apertureN == 0) return finish();
    r.flux = flux;
    r.fluxRadius = radius;
    double variance =
        apertureN * sq(sky.sigma) * (1.0 + static_cast<double>(apertureN) / sky.count);
    if (in.gain > 0 && flux > 0) variance += flux / in.gain;
    r.fluxErr = std::sqrt(variance);
    r.snr = r.fluxErr > 0 ? flux / r.fluxErr : NAN;
    return finish();
}

}  // namespace orv::catalogue::measure
