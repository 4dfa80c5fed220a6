#include "bench/starfield.h"

// Generation, in order:
//   1. Check the parameters.
//   2. Draw the catalogue from the parameter stream (seed): pairs, saturated stars, ordinary
//      stars. Each star draws its values in a fixed order, so the catalogue does not depend
//      on the noise or on whether the field is in colour.
//   3. For every star, the fraction of its flux that falls in each pixel column and row of
//      its box: a pixel-integrated Gaussian is separable, so pixel (i, j) gets
//      flux * px[i] * py[j] with px[i] = (erf((i + 1 - x) / (sigma sqrt 2)) -
//      erf((i - x) / (sigma sqrt 2))) / 2.
//   4. Render row by row (stars sorted by the top of their box, so only the stars crossing
//      the row are visited): sky + stars + noise from the noise stream, rounded and clipped.
//   5. Mark the stars that read 255 near their centre as saturated.
// Working row by row keeps the memory at the output picture plus one row of doubles per
// channel, however large the field.

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

namespace orv::bench {

namespace {

uint64_t splitmix64(uint64_t& state) {
    uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

uint64_t rotl(uint64_t x, int k) {
    return (x << k) | (x >> (64 - k));
}

// Noise comes from its own stream so that the catalogue stays the same whatever the noise.
constexpr uint64_t kNoiseStream = 0x6e6f697365ULL;

// Stars are rendered out to this many sigma at least (99.987 % of the flux) and further for
// bright stars, until a star adds less than kFaintestLevel.
constexpr double kMinExtentSigma = 4.0;
constexpr double kFaintestLevel = 0.05;

// The fainter member of a pair is at least this bright relative to the brighter one, and
// bright enough that the waist between the two peaks is at most kWaistDepth of the fainter
// peak. Pairs too close for that (under about 2.6 sigma) get equal members.
constexpr double kMinPairRatio = 0.25;
constexpr double kWaistDepth = 0.85;

void require(bool condition, const char* what) {
    if (!condition) throw std::invalid_argument(std::string("star field: ") + what);
}

void checkParams(const FieldSpec& s) {
    require(s.width > 0 && s.height > 0, "width and height must be positive");
    require(static_cast<int64_t>(s.width) * s.height <= (int64_t{1} << 28),
            "picture larger than 2^28 pixels");
    require(std::isfinite(s.sky) && std::isfinite(s.skyGradientX) &&
                std::isfinite(s.skyGradientY) && std::isfinite(s.margin),
            "sky, gradient and margin must be finite numbers");
    require(s.noiseSigma >= 0.0 && std::isfinite(s.noiseSigma), "noise sigma must not be negative");
    require(s.starCount >= 0 && s.pairCount >= 0 && s.saturatedCount >= 0,
            "counts must not be negative");
    require(2 * static_cast<int64_t>(s.pairCount) + s.saturatedCount <= s.starCount,
            "more pair members and saturated stars than stars");
    require(s.sigmaMin > 0.0 && s.sigmaMin <= s.sigmaMax, "sigma range must be 0 < min <= max");
    require(s.peakMin > 0.0 && s.peakMin <= s.peakMax, "peak range must be 0 < min <= max");
    require(s.saturatedPeakMin > 0.0 && s.saturatedPeakMin <= s.saturatedPeakMax,
            "saturated peak range must be 0 < min <= max");
    require(s.pairSeparationMin > 0.0 && s.pairSeparationMin <= s.pairSeparationMax,
            "pair separation range must be 0 < min <= max");
    require(s.tint >= 0.0 && s.tint < 1.0, "tint must be in [0, 1)");
    require(s.margin >= 0.0 && 2.0 * s.margin < s.width && 2.0 * s.margin < s.height,
            "the margin leaves no room for stars");
    if (s.pairCount > 0) {
        const double widest = s.pairSeparationMax * s.sigmaMax;
        require(2.0 * s.margin + widest < std::min(s.width, s.height),
                "the widest pair does not fit inside the margin");
    }
}

// Depth of the waist of two unit Gaussians `sep` apart, the second scaled by `ratio` <= 1:
// the lowest value between the two peaks divided by the fainter peak, or 1 when the profile
// has a single peak. Found by walking along the axis: up to the first peak, down to the
// waist, up to the second peak.
double waistDepth(double sep, double ratio) {
    auto f = [&](double t) {
        return std::exp(-0.5 * t * t) + ratio * std::exp(-0.5 * (t - sep) * (t - sep));
    };
    constexpr int kSteps = 512;
    int phase = 0;
    double previous = f(0.0);
    double lowest = previous;
    double fainterPeak = 0.0;
    for (int k = 1; k <= kSteps; ++k) {
        const double v = f((sep + 1.0) * k / kSteps);
        if (phase == 0 && v < previous) {
            phase = 1;
            lowest = v;
        } else if (phase == 1 && v > lowest) {
            phase = 2;
        } else if (phase == 1) {
            lowest = v;
        }
        if (phase == 2) fainterPeak = std::max(fainterPeak, v);
        previous = v;
    }
    return phase == 2 ? lowest / fainterPeak : 1.0;
}

// The smallest brightness ratio of the fainter member that still leaves a clear waist.
double lowestPairRatio(double sepInEffectiveSigma) {
    if (waistDepth(sepInEffectiveSigma, 1.0) > kWaistDepth) return 1.0;
    double lo = kMinPairRatio;
    double hi = 1.0;
    if (waistDepth(sepInEffectiveSigma, lo) <= kWaistDepth) return lo;
    for (int k = 0; k < 40; ++k) {
        const double mid = 0.5 * (lo + hi);
        (waistDepth(sepInEffectiveSigma, mid) <= kWaistDepth ? hi : lo) = mid;
    }
    return hi;
}

double fluxOf(double peak, double sigma) {
    return peak * 2.0 * std::numbers::pi * sigma * sigma;
}

class CatalogueDrawer {
public:
    explicit CatalogueDrawer(const FieldSpec& params) : params_(params), rng_(params.seed) {}

    std::vector<TrueStar> draw() {
        std::vector<TrueStar> stars;
        stars.reserve(static_cast<size_t>(params_.starCount));
        for (int k = 0; k < params_.pairCount; ++k) drawPair(k, stars);
        for (int k = 0; k < params_.saturatedCount; ++k)
            stars.push_back(drawSingle(params_.saturatedPeakMin, params_.saturatedPeakMax));
        while (static_cast<int>(stars.size()) < params_.starCount)
            stars.push_back(drawSingle(params_.peakMin, params_.peakMax));
        return stars;
    }

private:
    TrueStar drawSingle(double peakMin, double peakMax) {
        TrueStar s;
        s.x = rng_.uniform(params_.margin, params_.width - params_.margin);
        s.y = rng_.uniform(params_.margin, params_.height - params_.margin);
        s.sigma = rng_.uniform(params_.sigmaMin, params_.sigmaMax);
        s.peak = rng_.logUniform(peakMin, peakMax);
        s.flux = fluxOf(s.peak, s.sigma);
        s.tint = drawTint();
        return s;
    }

    // Both members share sigma and tint. The brighter one is drawn from the upper half (in
    // log) of the peak range so that the pair stands clear of the noise.
    void drawPair(int id, std::vector<TrueStar>& stars) {
        const double sigma = rng_.uniform(params_.sigmaMin, params_.sigmaMax);
        const double sep = rng_.uniform(params_.pairSeparationMin, params_.pairSeparationMax);
        const double dist = sep * sigma;
        const double angle = rng_.uniform(0.0, 2.0 * std::numbers::pi);
        const double half = 0.5 * dist;
        const double cx =
            rng_.uniform(params_.margin + half, params_.width - params_.margin - half);
        const double cy =
            rng_.uniform(params_.margin + half, params_.height - params_.margin - half);
        const double peak =
            rng_.logUniform(std::sqrt(params_.peakMin * params_.peakMax), params_.peakMax);
        // Pixel integration widens the profile by a box of variance 1/12.
        const double effectiveSep = dist / std::sqrt(sigma * sigma + 1.0 / 12.0);
        const double ratio = rng_.uniform(lowestPairRatio(effectiveSep), 1.0);
        const auto tint = drawTint();

        const double dx = half * std::cos(angle);
        const double dy = half * std::sin(angle);
        for (int m = 0; m < 2; ++m) {
            TrueStar s;
            s.x = m == 0 ? cx - dx : cx + dx;
            s.y = m == 0 ? cy - dy : cy + dy;
            s.sigma = sigma;
            s.peak = m == 0 ? peak : peak * ratio;
            s.flux = fluxOf(s.peak, sigma);
            s.tint = tint;
            s.pairId = id;
            stars.push_back(s);
        }
    }

    // Always drawn, so that the catalogue is the same with and without colour.
    std::array<double, 3> drawTint() {
        const double t = rng_.uniform(-params_.tint, params_.tint);
        if (!params_.colour) return {1.0, 1.0, 1.0};
        return {1.0 + t, 1.0, 1.0 - t};
    }

    const FieldSpec& params_;
    Rng rng_;
};

// A star's box in pixels and the fraction of its flux in each column and row of the box.
struct Footprint {
    int x0 = 0, x1 = -1, y0 = 0, y1 = -1;  // inclusive
    size_t px = 0, py = 0;                 // offsets into the shared profile pool
};

// Fraction of a unit 1-D Gaussian centred at `centre` that falls in pixels first..last,
// appended to `pool`.
void appendProfile(double centre, double sigma, int first, int last, std::vector<double>& pool) {
    const double scale = 1.0 / (sigma * std::numbers::sqrt2);
    double left = std::erf((first - centre) * scale);
    for (int i = first; i <= last; ++i) {
        const double right = std::erf((i + 1 - centre) * scale);
        pool.push_back(0.5 * (right - left));
        left = right;
    }
}

std::vector<Footprint> footprints(const FieldSpec& params, const std::vector<TrueStar>& stars,
                                  std::vector<double>& pool) {
    std::vector<Footprint> out(stars.size());
    for (size_t k = 0; k < stars.size(); ++k) {
        const TrueStar& s = stars[k];
        const double brightest = s.peak * std::max(s.tint[0], s.tint[2]);
        const double reach =
            s.sigma *
            std::max(kMinExtentSigma,
                     std::sqrt(2.0 * std::log(std::max(1.0, brightest / kFaintestLevel))));
        Footprint& f = out[k];
        f.x0 = std::max(0, static_cast<int>(std::floor(s.x - reach)));
        f.x1 = std::min(params.width - 1, static_cast<int>(std::floor(s.x + reach)));
        f.y0 = std::max(0, static_cast<int>(std::floor(s.y - reach)));
        f.y1 = std::min(params.height - 1, static_cast<int>(std::floor(s.y + reach)));
        f.px = pool.size();
        appendProfile(s.x, s.sigma, f.x0, f.x1, pool);
        f.py = pool.size();
        appendProfile(s.y, s.sigma, f.y0, f.y1, pool);
    }
    return out;
}

uint8_t toLevel(double v) {
    const double r = std::floor(v + 0.5);
    return static_cast<uint8_t>(std::clamp(r, 0.0, 255.0));
}

void render(const FieldSpec& params, const std::vector<TrueStar>& stars, std::vector<uint8_t>& rgb,
            std::vector<uint16_t>& deep) {
    std::vector<double> pool;
    const std::vector<Footprint> feet = footprints(params, stars, pool);
    std::vector<size_t> order(stars.size());
    for (size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return feet[a].y0 < feet[b].y0; });

    const int channels = params.colour ? 3 : 1;
    const size_t w = static_cast<size_t>(params.width);
    std::vector<double> row(w * channels);
    std::vector<size_t> active;
    size_t next = 0;
    Rng noise(params.seed ^ kNoiseStream);

    for (int y = 0; y < params.height; ++y) {
        std::erase_if(active, [&](size_t k) { return feet[k].y1 < y; });
        while (next < order.size() && feet[order[next]].y0 <= y) active.push_back(order[next++]);

        const double skyRow = skyAt(params, 0, y);
        for (size_t x = 0; x < w; ++x) {
            const double sky = skyRow + params.skyGradientX * static_cast<double>(x);
            for (int c = 0; c < channels; ++c) row[x * channels + c] = sky;
        }
        for (size_t k : active) {
            const Footprint& f = feet[k];
            const double* px = pool.data() + f.px;
            const double weight = stars[k].flux * pool[f.py + (y - f.y0)];
            for (int c = 0; c < channels; ++c) {
                const double wc = weight * stars[k].tint[c];
                double* out = row.data() + c;
                for (int x = f.x0; x <= f.x1; ++x) out[x * channels] += wc * px[x - f.x0];
            }
        }

        uint8_t* out = rgb.data() + static_cast<size_t>(y) * w * 3;
        uint16_t* deepOut = deep.empty() ? nullptr : deep.data() + static_cast<size_t>(y) * w;
        const bool noisy = params.noiseSigma > 0.0;
        for (size_t x = 0; x < w; ++x) {
            double g = 0.0;  // the G channel's value with its noise
            if (channels == 3) {
                for (int c = 0; c < 3; ++c) {
                    const double n = noisy ? params.noiseSigma * noise.normal() : 0.0;
                    out[3 * x + c] = toLevel(row[3 * x + c] + n);
                    if (c == 1) g = row[3 * x + c] + n;
                }
            } else {
                const double n = noisy ? params.noiseSigma * noise.normal() : 0.0;
                out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = toLevel(row[x] + n);
                g = row[x] + n;
            }
            if (deepOut != nullptr)
                deepOut[x] = static_cast<uint16_t>(std::clamp(
                    std::nearbyint(params.deepOffset + params.deepScale * g), 0.0, 65535.0));
        }
    }
}

void markSaturated(const StarField& field, std::vector<TrueStar>& stars) {
    for (TrueStar& s : stars) {
        const int cx = static_cast<int>(std::floor(s.x));
        const int cy = static_cast<int>(std::floor(s.y));
        for (int y = std::max(0, cy - 1); y <= std::min(field.height - 1, cy + 1); ++y) {
            for (int x = std::max(0, cx - 1); x <= std::min(field.width - 1, cx + 1); ++x) {
                const uint8_t* p =
                    field.rgb.data() + (static_cast<size_t>(y) * field.width + x) * 3;
                if (p[0] == 255 || p[1] == 255 || p[2] == 255) s.saturated = true;
            }
        }
    }
}

// Ziggurat for normal deviates (Marsaglia and Tsang): the half-normal curve exp(-x^2 / 2) is
// covered by kLayers strips of equal area kZigguratV, stacked from the base up. Strip i is the
// box 0..x[i] by f[i]..f[i + 1]; a point drawn in it is kept when it lies under the curve:
//
//   f[i+1] +---------+ .            z < x[i+1]: under the curve, kept at once (most draws)
//          | inside  |  ' . wedge   z >= x[i+1]: kept when y < exp(-z^2 / 2)
//   f[i]   +---------+------+
//          0       x[i+1]   x[i]
//
// Strip 0 is the base, 0..x[0] by 0..f(r); its part beyond x[1] = r stands for the tail.
constexpr int kLayers = 128;
constexpr double kZigguratR = 3.442619855899;
constexpr double kZigguratV = 9.91256303526217e-3;

struct ZigguratTable {
    double x[kLayers + 1];
    double f[kLayers + 1];  // exp(-x^2 / 2)

    ZigguratTable() {
        x[0] = kZigguratV / std::exp(-0.5 * kZigguratR * kZigguratR);
        x[1] = kZigguratR;
        for (int i = 2; i < kLayers; ++i) {
            const double above = std::exp(-0.5 * x[i - 1] * x[i - 1]) + kZigguratV / x[i - 1];
            x[i] = std::sqrt(-2.0 * std::log(above));
        }
        x[kLayers] = 0.0;
        for (int i = 0; i <= kLayers; ++i) f[i] = std::exp(-0.5 * x[i] * x[i]);
    }
};

const ZigguratTable& zigguratTable() {
    static const ZigguratTable table;
    return table;
}

}  // namespace

Rng::Rng(uint64_t seed) {
    uint64_t state = seed;
    for (uint64_t& word : s_) word = splitmix64(state);
}

uint64_t Rng::next() {
    const uint64_t result = rotl(s_[1] * 5, 7) * 9;
    const uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotl(s_[3], 45);
    return result;
}

double Rng::uniform() {
    return static_cast<double>(next() >> 11) * 0x1.0p-53;
}

double Rng::uniform(double lo, double hi) {
    return lo + (hi - lo) * uniform();
}

double Rng::logUniform(double lo, double hi) {
    return lo * std::exp(std::log(hi / lo) * uniform());
}

double Rng::normal() {
    const ZigguratTable& t = zigguratTable();
    for (;;) {
        // Low 7 bits pick the layer, bit 7 the sign, the top 53 bits the position.
        const uint64_t bits = next();
        const int i = static_cast<int>(bits & (kLayers - 1));
        const double sign = (bits & kLayers) ? -1.0 : 1.0;
        const double z = static_cast<double>(bits >> 11) * 0x1.0p-53 * t.x[i];
        if (z < t.x[i + 1]) return sign * z;  // inside the rectangle, under the curve
        if (i == 0) {
            // The tail beyond r (Marsaglia's method).
            double a, b;
            do {
                a = -std::log(1.0 - uniform()) / kZigguratR;
                b = -std::log(1.0 - uniform());
            } while (b + b < a * a);
            return sign * (kZigguratR + a);
        }
        // The wedge between the rectangle and the curve.
        const double y = t.f[i] + uniform() * (t.f[i + 1] - t.f[i]);
        if (y < std::exp(-0.5 * z * z)) return sign * z;
    }
}

double skyAt(const FieldSpec& params, int px, int py) {
    return params.sky + params.skyGradientX * (px + 0.5 - 0.5 * params.width) +
           params.skyGradientY * (py + 0.5 - 0.5 * params.height);
}

StarField generateStarField(const FieldSpec& params) {
    checkParams(params);
    StarField field;
    field.width = params.width;
    field.height = params.height;
    field.stars = CatalogueDrawer(params).draw();
    field.rgb.resize(static_cast<size_t>(params.width) * params.height * 3);
    if (params.deepScale > 0.0)
        field.deep.resize(static_cast<size_t>(params.width) * params.height);
    render(params, field.stars, field.rgb, field.deep);
    markSaturated(field, field.stars);
    return field;
}

FieldSpec denseField(int width, int height, int starCount, uint32_t seed) {
    FieldSpec s;
    s.width = width;
    s.height = height;
    s.seed = seed;
    s.sky = 30.0;
    // About 6 levels from corner to corner on a 1000-pixel field.
    s.skyGradientX = 0.004;
    s.skyGradientY = -0.002;
    s.noiseSigma = 2.0;
    s.starCount = starCount;
    s.sigmaMin = 0.8;
    s.sigmaMax = 2.5;
    s.peakMin = 6.0;
    s.peakMax = 180.0;
    s.pairCount = (starCount * 3 + 100) / 200;  // 3 % of the stars in pairs
    s.saturatedCount = (starCount + 50) / 100;  // 1 %
    s.colour = true;
    s.tint = 0.2;
    s.margin = 8.0;
    return s;
}

}  // namespace orv::bench
