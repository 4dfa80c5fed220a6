#include "view/bilinear.h"

#include <cmath>

namespace orv::view {

void OV_GetBiLinear(const core::Workspace& ws, float x, float y, float& Level) {
    Level = 0;
    if (ws.PixelLevel.empty()) return;
    // Also false for NaN.
    if (!(x >= -1.0f && x < static_cast<float>(ws.ImageWidthP) && y >= -1.0f &&
          y < static_cast<float>(ws.ImageHeightP)))
        return;
    const float ix = std::floor(x), iy = std::floor(y);
    const int i = static_cast<int>(ix) + 1, j = static_cast<int>(iy) + 1;
    // x - Int(x) is exact in single precision.
    const double fx = x - ix, fy = y - iy;
    const auto& v = ws.PixelLevel.levelPlane();
    if (!v.contains(i, j) || !v.contains(i + 1, j + 1)) return;
    const double sum = (1 - fx) * (1 - fy) * v(i, j) + (1 - fx) * fy * v(i, j + 1) +
                       fx * (1 - fy) * v(i + 1, j) + fx * fy * v(i + 1, j + 1);
    Level = static_cast<float>(sum);
}

}  // namespace orv::view
