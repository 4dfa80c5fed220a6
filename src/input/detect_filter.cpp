#include "input/detect_filter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/vector_loops.h"

// Smoothing one row y of the residual r = Level - BackLevel with the taps w(-R..R):
//
//   1. column pass:  c(x) = sum over j of w(j - y) r(x, j), j = y-R..y+R inside the picture
//   2. row pass:     s(x, y) = sum over i of w(i - x) c(i), i = x-R..x+R inside the picture
//
//          r rows y-R .. y+R          c          s row y
//          . . . . . . . . .     . . c . .    . . s . .
//          . . . . | . . . .  ->               (c at x-R..x+R weighted)
//          . . . . | . . . .
//
// Away from the edges the taps are symmetric, so each pass adds the two values at +-k before
// weighting them; where taps fall outside, the sum over the taps used is divided by their
// sum. The residual rows live in a ring of 2R + 1 rows, filled as the background finishes each
// row.

namespace orv::input {

namespace {

// Eight Singles worked on at once (two SSE registers or one AVX register); four of them, 32
// pixels, keep their sums in registers while the taps are added. load and store are always
// inlined, so no call passes a Lane: the compiler's note that passing one differs between the
// two builds does not apply.
typedef float Lane __attribute__((vector_size(32)));
constexpr int kChunk = 32;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

[[gnu::always_inline]] inline Lane load(const float* p) {
    Lane v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
[[gnu::always_inline]] inline void store(float* p, const Lane& v) {
    std::memcpy(p, &v, sizeof v);
}

// out[x] = w0 centre[x] + sum over k = 1..R of wk (lo[k][x] + hi[k][x]), for x = 0..n-1, added
// in that order: the symmetric part of either pass (lo and hi hold the values k to each side).
ORV_PIXEL_LOOP void symmetricSums(const float* const* lo, const float* const* hi,
                                  const float* centre, const float* taps, int radius, int n,
                                  float* out) {
    const float w0 = taps[0];
    int x = 0;
    for (; x + kChunk <= n; x += kChunk) {
        Lane s0 = w0 * load(centre + x), s1 = w0 * load(centre + x + 8),
             s2 = w0 * load(centre + x + 16), s3 = w0 * load(centre + x + 24);
        for (int k = 1; k <= radius; ++k) {
            const float wk = taps[k];
            const float* a = lo[k] + x;
            const float* b = hi[k] + x;
            s0 += wk * (load(a) + load(b));
            s1 += wk * (load(a + 8) + load(b + 8));
            s2 += wk * (load(a + 16) + load(b + 16));
            s3 += wk * (load(a + 24) + load(b + 24));
        }
        store(out + x, s0);
        store(out + x + 8, s1);
        store(out + x + 16, s2);
        store(out + x + 24, s3);
    }
    for (; x < n; ++x) {
        float sum = w0 * centre[x];
        for (int k = 1; k <= radius; ++k) sum += taps[k] * (lo[k][x] + hi[k][x]);
        out[x] = sum;
    }
}

#pragma GCC diagnostic pop

// Adds one weighted row to a column pass.
ORV_PIXEL_LOOP void addWeighted(const float* __restrict row, float weight, int w,
                                float* __restrict out) {
    for (int x = 0; x < w; ++x) out[x] += weight * row[x];
}

ORV_PIXEL_LOOP void divideRow(float* __restrict row, float by, int w) {
    for (int x = 0; x < w; ++x) row[x] /= by;
}

ORV_PIXEL_LOOP void residualRow(const uint8_t* __restrict level, const float* __restrict back,
                                int w, float* __restrict out) {
    for (int x = 0; x < w; ++x) out[x] = static_cast<float>(level[x]) - back[x];
}

}  // namespace

int filterRadius(float sigma) {
    return static_cast<int>(std::ceil(3.0 * static_cast<double>(sigma)));
}

std::vector<float> filterTaps(float sigma) {
    const int r = filterRadius(sigma);
    const double s = sigma;
    std::vector<double> g(2 * r + 1);
    double sum = 0.0;
    for (int k = -r; k <= r; ++k) sum += g[k + r] = std::exp(-(k * k) / (2.0 * s * s));
    std::vector<float> taps(g.size());
    for (size_t i = 0; i < g.size(); ++i) taps[i] = static_cast<float>(g[i] / sum);
    return taps;
}

ResidualSmoother::ResidualSmoother(const core::Array2D<uint8_t>& level,
                                   const core::Array2D<float>& back, int width, int height,
                                   float sigma, core::Array2D<float>& out)
    : level_(level),
      back_(back),
      out_(out),
      width_(width),
      height_(height),
      radius_(filterRadius(sigma)),
      taps_(filterTaps(sigma)),
      ring_(static_cast<size_t>(2 * radius_ + 1) * std::max(width, 0)),
      column_(std::max(width, 0)),
      lo_(radius_ + 1),
      hi_(radius_ + 1) {
    out_.create(0, width - 1, 0, height - 1, false);  // every row is written
}

std::pair<int, int> ResidualSmoother::backgroundRowReady(int y0) {
    const size_t rows = static_cast<size_t>(2 * radius_ + 1);
    residualRow(level_.at(1, y0 + 1), back_.at(0, y0), width_,
                ring_.data() + (static_cast<size_t>(y0) % rows) * width_);
    const int first = next_;
    while (next_ < height_ && (next_ + radius_ <= y0 || y0 == height_ - 1)) smoothRow(next_++);
    return {first, next_};
}

void ResidualSmoother::smoothRow(int y) {
    const int w = width_, r = radius_, h = height_;
    const size_t rows = static_cast<size_t>(2 * r + 1);
    auto residual = [&](int j) { return ring_.data() + (static_cast<size_t>(j) % rows) * w; };
    const float* centreTaps = taps_.data() + r;  // centreTaps[k] is the tap of offset k
    float* c = column_.data();

    // 1. Column pass.
    if (y - r >= 0 && y + r <= h - 1) {
        for (int k = 1; k <= r; ++k) {
            lo_[k] = residual(y - k);
            hi_[k] = residual(y + k);
        }
        symmetricSums(lo_.data(), hi_.data(), residual(y), centreTaps, r, w, c);
    } else {
        const int lo = std::max(0, y - r), hi = std::min(h - 1, y + r);
        std::fill(c, c + w, 0.0f);
        float used = 0.0f;
        for (int j = lo; j <= hi; ++j) {
            addWeighted(residual(j), centreTaps[j - y], w, c);
            used += centreTaps[j - y];
        }
        divideRow(c, used, w);
    }

    // 2. Row pass: the inside stretch vectorised, the R columns at each edge one by one.
    float* out = out_.at(0, y);
    const int insideFrom = std::min(r, w), insideTo = std::max(insideFrom, w - r);
    if (insideTo > insideFrom) {
        for (int k = 1; k <= r; ++k) {
            lo_[k] = c + insideFrom - k;
            hi_[k] = c + insideFrom + k;
        }
        symmetricSums(lo_.data(), hi_.data(), c + insideFrom, centreTaps, r, insideTo - insideFrom,
                      out + insideFrom);
    }
    auto edge = [&](int x) {
        float sum = 0.0f, used = 0.0f;
        for (int k = -r; k <= r; ++k) {
            if (x + k < 0 || x + k >= w) continue;
            sum += centreTaps[k] * c[x + k];
            used += centreTaps[k];
        }
        out[x] = sum / used;
    };
    for (int x = 0; x < insideFrom; ++x) edge(x);
    for (int x = insideTo; x < w; ++x) edge(x);
}

void smoothResidual(const core::PixelPlanes& pixels, const core::Array2D<float>& back, int width,
                    int height, float sigma, core::Array2D<float>& out) {
    if (width <= 0 || height <= 0) {
        out.release();
        return;
    }
    ResidualSmoother smoother(pixels.levelPlane(), back, width, height, sigma, out);
    for (int y0 = 0; y0 < height; ++y0) smoother.backgroundRowReady(y0);
}

bool ensureSmoothedResidual(core::Workspace& ws) {
    const float sigma = ws.settings.FilterSigma;
    const int w = ws.ImageWidthP, h = ws.ImageHeightP;
    if (!(sigma > 0) || w <= 0 || h <= 0 || ws.PixelLevel.empty() || ws.BackLevel.width() != w ||
        ws.BackLevel.height() != h)
        return false;
    if (ws.SmoothedSigma == sigma && ws.SmoothedResidual.width() == w &&
        ws.SmoothedResidual.height() == h)
        return true;
    smoothResidual(ws.PixelLevel, ws.BackLevel, w, h, sigma, ws.SmoothedResidual);
    ws.SmoothedSigma = sigma;
    return true;
}

}  // namespace orv::input
