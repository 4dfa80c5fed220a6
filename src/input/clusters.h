#pragma once
// Cluster extraction: numbers every 4-connected region of pixels brighter than background +
// Siki (or than SikiTop) in raster order and labels its pixels in ClusterMap.

#include <array>
#include <cstdint>

#include "form/context.h"

namespace orv::input {

// The test of a bright pixel: Level > Siki + BackLevel (in double precision) or Level > SikiTop,
// made in single precision with the same answers.
class Brightness {
public:
    Brightness(float siki, float top);
    bool bright(int level, float back) const { return back < below_[level] || level > sikiTop_; }

    // The bright pixels of one row of `width` pixels (levels and background) OR-ed into `out`
    // as bits (bit x of word x / 64 for the row's pixel x); `mark` is room for `width` bytes.
    void addRowBits(const uint8_t* level, const float* back, int width, uint8_t* mark,
                    uint64_t* out) const;

private:
    std::array<float, 256> below_{};  // BackLevel < below_[Level] <=> Level > Siki + BackLevel
    float sikiTop_;
    float loose_;  // Level - BackLevel > loose_ for every bright pixel below SikiTop
};

// Whether the bright pixels a background step found (Workspace::BrightPixels) are those of the
// working picture and these thresholds, without the detection filter.
bool brightPixelsHold(const core::Workspace& ws, float siki, float sikiTop);

// Button "クラ": re-creates ClusterMap, Clusters and Stars, fills every cluster, draws the
// clusters into layer 2 and sets the stages 7 -> 8.
void cmdPickup_Click(form::Ctx& ctx);

}  // namespace orv::input
