#pragma once
// The gourd-shape split: a cluster whose roundness lies between Sinendo and SinendoMax is
// re-filled at a threshold raised by one step at a time until its brighter cores separate;
// each core becomes a new cluster and is classified (and split again when still not round).

#include <cstdint>

#include "form/context.h"

namespace orv::extract {

// Splits cluster starNo at thresholds baseSiki + k (k = 1..10). When the clusters were
// extracted with the detection filter, the split steps through the smoothed residual instead,
// whose noise is a fraction of a level: baseSiki + k x Workspace::FilterSplitStep (0.2 levels;
// docs/QUALITY.md says how it was chosen). True ("Done") when the cluster was replaced by
// parts; false when no pixel rose above any raised threshold.
bool OV_Hyotanjima(form::Ctx& ctx, int32_t starNo, float baseSiki);

}  // namespace orv::extract
