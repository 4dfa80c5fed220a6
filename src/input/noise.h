#pragma once
// The sky noise of a picture, measured after the background step, and the cluster threshold
// it suggests.
//
// sigma = 1.4826 x the median absolute deviation of Level - BackLevel over every pixel of the
// picture: for Gaussian noise this is its standard deviation, and stars, which cover a small
// part of a sky picture, barely move it. The suggested threshold is Siki = K sigma, rounded;
// K comes from the quality bench (docs/QUALITY.md). With the detection filter on, sigma is
// that of the smoothed residual, which is what the clusters are then thresholded on, and the
// suggestion keeps two decimals.

#include <cstdint>
#include <vector>

#include "form/context.h"

namespace orv::input {

// K of the suggested threshold K sigma: on the bench's generated fields, the highest
// completeness with a false-detection rate at or below 5 % whose sky specks leave room in
// the cluster table for a 24-megapixel picture (docs/QUALITY.md).
inline constexpr double kSuggestedSigmaFactor = 2.75;
// K with the detection filter on: the highest completeness on the bench's fields with a
// false-detection rate at or below 3 % (docs/QUALITY.md).
inline constexpr double kSuggestedFilterSigmaFactor = 3.25;

// Bins per level of the smoothed residual's histogram.
inline constexpr int kSmoothedBinsPerLevel = 128;

// A histogram of Level - BackLevel in bins of 1/32 level, filled one picture row at a time
// while the background is computed, so that the picture is read only once. The median and
// the median absolute deviation are read from it with linear interpolation inside a bin.
class ResidualHistogram {
public:
    // Bins of 1/binsPerLevel level over -8192/binsPerLevel .. 8192/binsPerLevel levels (values
    // beyond go into the end bins): 32 holds every residual of Level - BackLevel; the smoothed
    // residual, whose sigma is a fraction of a level, is binned four times finer.
    explicit ResidualHistogram(int binsPerLevel = 32);
    // Adds the residuals of one row: `level` and `back` hold `width` values each (Levels
    // 0..255, backgrounds 0..255).
    void addRow(const uint8_t* level, const float* back, int width);
    // Adds `width` residuals as they are (the smoothed residual of the detection filter).
    void addValues(const float* residual, int width);
    // Adds the counts of another histogram of the same bins (a band of the picture's rows).
    void add(const ResidualHistogram& other);
    // 1.4826 x the median absolute deviation from the median; 0 when the histogram is empty.
    double robustSigma() const;

private:
    void count(int width);

    std::vector<uint32_t> bins_;     // four interleaved copies (see count)
    std::vector<uint16_t> rowBins_;  // bin numbers of the row being added
    uint64_t count_ = 0;
    int binsPerLevel_;
    float offset_;  // levels added so that the lowest value binned is bin 0
};

// The noise of a whole picture (0-based BackLevel as the background step writes it).
double measureNoise(const core::PixelPlanes& pixels, const core::Array2D<float>& back, int width,
                    int height);

// Siki = K sigma rounded to a whole number (ties to even), kept within 1..255: a threshold of
// 0 would take half of a noiseless sky, and Siki takes no value above 255.
int32_t suggestedSiki(double sigma, double k);
// With the detection filter: K sigma rounded to two decimals (ties to even), kept within
// 0.01..255 (the smoothed residual's sigma is a fraction of a level).
float suggestedFilterSiki(double sigma, double k);

// After a background step: keeps sigma in the working state, shows it and the suggested Siki
// under the threshold box (lblSikiSuggest, with a tooltip that explains them) and logs them. When
// the command line asked for Siki = K sigma (SikiSigmaFactor > 0), sets Siki so and logs it too.
// filterSigma > 0: sigma was measured on the residual smoothed by the detection filter of that
// sigma, and the suggestion is suggestedFilterSiki with kSuggestedFilterSigmaFactor.
void takeNoiseEstimate(form::Ctx& ctx, double sigma, float filterSigma = 0);
// A new picture has no estimate yet: clears it and the label.
void forgetNoiseEstimate(form::Ctx& ctx);

}  // namespace orv::input
