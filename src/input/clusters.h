#pragma once
// Cluster extraction: numbers every 4-connected region of pixels brighter than background +
// Siki (or than SikiTop) in raster order and labels its pixels in ClusterMap.

#include "form/context.h"

namespace orv::input {

// Button "クラ": re-creates ClusterMap, Clusters and Stars, fills every cluster, draws the
// clusters into layer 2 and sets the stages 7 -> 8.
void cmdPickup_Click(form::Ctx& ctx);

}  // namespace orv::input
