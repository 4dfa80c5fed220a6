#pragma once
// Results read back keep their outline chains but not their pixels: ClusterMap holds only the
// 3 x 3 blocks around the centroids (OV_SetStarNo). With the setting ReadOutlineClick on, each
// result's area is rebuilt from its stored outline instead, so that the pointer finds it
// anywhere inside, as after a detection.

#include <cstdint>
#include <vector>

#include "core/workspace.h"

namespace orv::extract {

// The pixels the closed outline of result n encloses, the outline's own pixels included, as
// 1-based ClusterMap elements (x, y pairs, row by row). Empty when n has no outline or one
// holding other characters than "0".."7". A chain that does not close encloses only itself.
//
//   outline  # # #        filled  # # #       the outside is what a 4-connected walk from
//            #   . #              # # # #     beyond the bounding box reaches without
//            # # # #              # # # #     crossing the chain; a diagonal step of the
//                                             chain lets no walk through
std::vector<int32_t> filledOutline(const core::Workspace& ws, int32_t n);

// Re-creates ClusterMap from the results in use: those without an outline (noise, points added
// by hand) label the 3 x 3 block around their centroid, as OV_SetStarNo does; then every result
// with an outline labels the pixels its outline encloses, over the blocks, a smaller area before
// a larger one (a star in a ring's hole keeps its pixels); last, a result without an outline
// takes back the pixel holding its centroid.
void fillOutlines(core::Workspace& ws);

// ClusterMap for results just read back: fillOutlines when ReadOutlineClick is on, else
// OV_SetStarNo; it is marked as read back (ClusterMapFromRead).
void rebuildReadMap(core::Workspace& ws);
// The setting changed: a map of results read back is rebuilt by it; a detection's map stays.
void setReadOutlineClick(core::Workspace& ws, bool on);

}  // namespace orv::extract
