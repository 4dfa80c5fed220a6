#pragma once
// Cluster numbers, the flood fill that grows a cluster, cluster colours, and the map of
// numbers rebuilt from centroids after a result file was read.

#include <cstdint>

#include "form/canvas.h"
#include "form/context.h"
#include "psf/records.h"

namespace orv::extract {

// Re-creates both tables empty (every number free), sets MaxStarNo to 0 and forgets what a
// full table left undone; the PSF profile shown no longer belongs to a star of them
// (psf::forgetProfile), nor do the measurements of the old results.
void resetTables(core::Workspace& ws);
// Re-creates the star table empty.
void clearStarTable(core::Workspace& ws);
// Makes records 0..MaxStarNo exist (call after raising MaxStarNo).
void noteTableUse(core::Workspace& ws);
// Frees number n (Used = 0, Divided = 0) so that it can be handed out again.
void freeStarNo(core::Workspace& ws, int32_t n);

// The lowest free number among 1..MaxStarNo (cleared; its Note and the Spare fields kept), else
// MaxStarNo + 1; -1 when all 50000 numbers are in use.
int32_t OV_GetNewStarNo(core::Workspace& ws);
// The number OV_GetNewStarNo would hand out now, without taking it.
int32_t nextNewStarNo(const core::Workspace& ws);

// The fill's shared state, as the recursive description passes it by reference.
struct FillParams {
    int32_t starNo;      // the number given to every pixel taken
    float siki;          // threshold above background
    float sikiTop;       // upper threshold
    int32_t baseNo;      // only pixels holding this number are taken (0: unassigned pixels)
    form::Canvas* draw;  // the cluster layer, or null for no drawing
    // With the detection filter: the smoothed residual (0-based like BackLevel); a pixel is
    // then bright when its smoothed residual > siki (Singles) or Level > sikiTop.
    const core::Array2D<float>* smoothed = nullptr;
    // Without the filter, the same test's answers for every pixel, when known: bit x - 1 of the
    // `brightWords` words of row y (1-based x, y) is set for a bright pixel.
    const uint64_t* bright = nullptr;
    int brightWords = 0;
};

// Grows cluster p.starNo from pixel (x, y) (already labelled) over 4-connected pixels labelled
// p.baseNo that are bright: Level > BackLevel + siki (in double), or with p.smoothed its value >
// siki, or Level > sikiTop. The pixels
// are visited in exactly the order of the recursive fill (neighbours up, left, right, down are
// labelled first, then entered in that order) and the nesting depth is counted as it counts:
// a call entered deeper than FillDepthLimit is abandoned and clears fillOK. Uses an explicit
// stack, so no picture can overflow the program's stack. Draws each entered pixel in the
// cluster's colour and pumps the host after each when drawing.
void OV_FindStar(form::Ctx& ctx, int x, int y, const FillParams& p, int16_t& fillOK);

// Makes pixel (x, y) the seed of cluster p.starNo (StartX, StartY, Siki = p.siki), fills the
// cluster from it with OV_FindStar and records whether the fill completed (FillOK).
void seedCluster(form::Ctx& ctx, int x, int y, const FillParams& p);

// The colour of a cluster number: by number Mod 4, red, green, blue, white.
form::Rgb OV_GetClasterColor(int32_t starNo);

// Re-creates ClusterMap and labels the 3 x 3 block around every cluster's centroid.
void OV_SetStarNo(core::Workspace& ws);

}  // namespace orv::extract
