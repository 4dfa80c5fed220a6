#include "core/workspace.h"

#include <algorithm>

namespace orv::core {

void PixelPlanes::create(int width, int height, int channel, bool levelOnly) {
    // The inside is written by the loader row by row; only the border is cleared here.
    for (int c = 0; c < static_cast<int>(planes_.size()); ++c) {
        auto& p = planes_[static_cast<size_t>(c)];
        if (levelOnly && c != channel) {
            p.release();
            continue;
        }
        p.create(0, width + 1, 0, height + 1, false);
        std::fill_n(p.at(0, 0), p.stride(), uint8_t{0});
        std::fill_n(p.at(0, height + 1), p.stride(), uint8_t{0});
        for (int y = 1; y <= height; ++y) p(0, y) = p(width + 1, y) = 0;
    }
    channel_ = channel;
}

void PixelPlanes::release() {
    for (auto& p : planes_) p.release();
}

size_t PixelPlanes::bytes() const {
    size_t n = 0;
    for (const auto& p : planes_) n += p.bytes();
    return n;
}

size_t Workspace::workingBytes() const {
    return PixelLevel.bytes() + BackLevel.bytes() + SmoothedResidual.bytes() + ClusterMap.bytes() +
           Clusters.capacity() * sizeof(ClusterRec) + Stars.capacity() * sizeof(StarRec);
}

}  // namespace orv::core
