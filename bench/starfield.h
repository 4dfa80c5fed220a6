#pragma once
// A deterministic synthetic star field for tests and benchmarks: sky with a linear gradient,
// Gaussian noise, and Gaussian stars (single, close pairs, saturated), together with the true
// catalogue of what was drawn. The same FieldSpec always gives the same bytes on the same
// platform: the random numbers and normal deviates come from our own generator, not from the
// standard library's distributions.
//
// Coordinates are picture coordinates, 0-based, y down: pixel (0, 0) covers 0..1 in x and y,
// so its centre is (0.5, 0.5).

#include <array>
#include <cstdint>
#include <vector>

namespace orv::bench {

// xoshiro256** seeded through splitmix64. Small, fast and the same everywhere.
class Rng {
public:
    explicit Rng(uint64_t seed);

    uint64_t next();
    // Uniform in [0, 1) with 53 random bits.
    double uniform();
    // Uniform in [lo, hi).
    double uniform(double lo, double hi);
    // Log-uniform in [lo, hi) (lo > 0): every factor of 2 is equally likely, so faint values
    // dominate a linear histogram.
    double logUniform(double lo, double hi);
    // A standard normal deviate (ziggurat method).
    double normal();

private:
    std::array<uint64_t, 4> s_{};
};

// What to draw. Brightness is given as the peak: the height of the continuous profile at the
// centre above the sky, flux / (2 pi sigma^2), in picture levels (0..255 units).
struct FieldSpec {
    int width = 512;
    int height = 512;
    uint64_t seed = 1;

    // Sky level at the picture centre, and its change per pixel in x and in y.
    double sky = 30.0;
    double skyGradientX = 0.0;
    double skyGradientY = 0.0;
    // Standard deviation of the Gaussian noise added to every pixel (0: no noise).
    double noiseSigma = 2.0;

    // Total number of stars, pair members and saturated stars included.
    int starCount = 100;
    // Gaussian sigma of each star in pixels, drawn uniformly.
    double sigmaMin = 0.8;
    double sigmaMax = 2.5;
    // Peak of ordinary stars, drawn log-uniformly.
    double peakMin = 6.0;
    double peakMax = 180.0;

    // Close pairs: two stars of the same sigma whose centres are pairSeparationMin..Max sigma
    // apart. The fainter member is bright enough that the pair shows a fainter waist between
    // two peaks (a gourd shape) instead of merging into one.
    int pairCount = 0;
    double pairSeparationMin = 2.5;
    double pairSeparationMax = 4.0;

    // Saturated stars: peaks far above 255 - sky, so their tops are clipped flat at 255.
    int saturatedCount = 0;
    double saturatedPeakMin = 400.0;
    double saturatedPeakMax = 3000.0;

    // With colour, each star's R and B fluxes are (1 + t) and (1 - t) times its G flux, t
    // uniform in [-tint, tint]; the sky stays neutral and noise is drawn per channel. Without
    // colour R = G = B everywhere.
    bool colour = false;
    double tint = 0.2;

    // Star centres (both members of a pair too) lie in [margin, width - margin] x
    // [margin, height - margin].
    double margin = 8.0;

    // Above 0: the field also as 16-bit samples (the G channel), deepOffset + deepScale times
    // sky + stars + noise, rounded and clipped to 0..65535, as a camera with more than 8 bits
    // would record it (the same noise as the 8-bit levels, but no clipping at 255).
    double deepScale = 0.0;
    double deepOffset = 0.0;
};

// One star as drawn.
struct TrueStar {
    double x = 0.0;  // centre, picture coordinates
    double y = 0.0;
    double sigma = 0.0;  // pixels
    double flux = 0.0;   // G channel total above the sky (all channels without colour)
    double peak = 0.0;   // flux / (2 pi sigma^2), before clipping
    std::array<double, 3> tint{1.0, 1.0, 1.0};  // R, G, B flux factors
    bool saturated = false;  // a pixel within one pixel of the centre pixel reads 255
    int pairId = -1;         // both members of a pair share the id; -1 for single stars
};

struct StarField {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;    // tightly packed R, G, B, row 0 first
    std::vector<uint16_t> deep;  // with deepScale > 0: one 16-bit sample per pixel, row 0 first
    // Pairs first (members 2k and 2k + 1 have pairId k), then the saturated stars, then the
    // ordinary ones.
    std::vector<TrueStar> stars;
};

// Draws the field. Stars are Gaussians integrated over each pixel's area (erf in x and in y),
// rendered out to at least 4 sigma, so their pixel sums match the flux also for small sigma.
// Values are sky + stars + noise rounded to the nearest level and clipped to 0..255.
// Throws std::invalid_argument when the parameters are inconsistent (non-positive size, more pair
// and saturated stars than stars, a margin that leaves no room, empty or negative ranges).
StarField generateStarField(const FieldSpec& params);

// The sky level at the centre of pixel (px, py), before noise and rounding.
double skyAt(const FieldSpec& params, int px, int py);

// A realistic colour field: sky 30 with a gentle gradient, noise sigma 2, star sigma 0.8..2.5
// px, about 3 % of the stars in close pairs and 1 % saturated.
FieldSpec denseField(int width, int height, int starCount, uint32_t seed);

}  // namespace orv::bench
