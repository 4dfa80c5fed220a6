#pragma once
// The colours of the result classes, used by the analysis, the gourd split, the overlay and the
// legend swatches of the window.

#include "form/canvas.h"

namespace orv::form {

inline constexpr Rgb kColourNoise = RGB(0, 0, 255);
inline constexpr Rgb kColourArea = RGB(255, 0, 255);
inline constexpr Rgb kColourCircular = RGB(255, 0, 0);
// A circular object kept after a gourd split, or a part made by one.
inline constexpr Rgb kColourCircularKept = RGB(255, 128, 0);
inline constexpr Rgb kColourElongated = RGB(255, 255, 0);
inline constexpr Rgb kColourNoiseReleased = RGB(0, 255, 255);
inline constexpr Rgb kColourAdded = RGB(0, 255, 0);
inline constexpr Rgb kColourDeleted = RGB(128, 128, 128);
// The rim of a dot deleted with a Shift-click.
inline constexpr Rgb kColourDeletedRim = RGB(128, 128, 255);

// The dot colour of a result by its Atr 1..5 (noise, area, circular, elongated, released);
// 0 for any other value, which has no dot.
constexpr Rgb atrColour(int atr) {
    switch (atr) {
        case 1:
            return kColourNoise;
        case 2:
            return kColourArea;
        case 3:
            return kColourCircular;
        case 4:
            return kColourElongated;
        case 5:
            return kColourNoiseReleased;
        default:
            return 0;
    }
}

}  // namespace orv::form
