#include "core/workspace.h"

namespace orv::core {

void PixelPlanes::create(int width, int height, int channel) {
    for (auto& p : planes_) p.create(0, width + 1, 0, height + 1);
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
    return PixelLevel.bytes() + BackLevel.bytes() + ClusterMap.bytes() +
           Clusters.capacity() * sizeof(extract::ClusterRec) +
           Stars.capacity() * sizeof(extract::StarRec);
}

}  // namespace orv::core
