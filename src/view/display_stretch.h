#pragma once
// How the input and background views show the picture, apart from what is detected: a curve
// between a black and a white point over the 8-bit levels. The stretch is a table from a shown
// level to a screen grey; the window applies it when it paints layers 0 and 1 (and the
// thumbnail). It never changes Level, BackLevel, a result or a drawing of the layers.
//
//   t = (v - black) / (white - black), clamped to 0..1
//   linear  t          sqrt  sqrt(t)
//   asinh   asinh(10 t) / asinh(10)     log  log10(1 + 1000 t) / log10(1001)
//   grey = round(255 x curve(t))
//
// The standard stretch, linear from 0 to 255, is the identity: the views look as without one.

#include <array>
#include <cstdint>

#include "core/workspace.h"

namespace orv::view {

enum class StretchCurve : int { Linear = 0, Asinh = 1, Log = 2, Sqrt = 3 };

struct DisplayStretch {
    StretchCurve curve = StretchCurve::Linear;
    int black = 0, white = 255;  // levels 0..255, black < white
    bool standard() const { return curve == StretchCurve::Linear && black == 0 && white == 255; }
    bool operator==(const DisplayStretch&) const = default;
};

using StretchTable = std::array<uint8_t, 256>;
using LevelHistogram = std::array<uint64_t, 256>;

// The table of a stretch; black and white are brought into 0..255 with black < white first.
StretchTable stretchTable(const DisplayStretch& stretch);
// How many pixels of the picture have each level (Level of every picture pixel).
LevelHistogram levelHistogram(const core::Workspace& ws);
// The lowest level at or below which `percent` of the pixels lie (0: the lowest level in use,
// 100: the highest); 0 for an empty histogram.
int levelAtPercent(const LevelHistogram& histogram, double percent);
// The share of pixels (percent) at or below a level.
double percentAtLevel(const LevelHistogram& histogram, int level);
// Applies a table to RGB32 pixels (each channel looked up), `count` of them.
void applyStretch(const StretchTable& table, const uint32_t* from, uint32_t* to, size_t count);

}  // namespace orv::view
