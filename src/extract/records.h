#pragma once
// The cluster and star records as the extraction names them. They live with the working state
// in core (core/star_records.h), which holds the tables.

#include "core/star_records.h"

namespace orv::extract {

using core::Atr;
using core::ClusterRec;
using core::kAtrArea;
using core::kAtrCircular;
using core::kAtrElongated;
using core::kAtrNoise;
using core::kAtrNoiseReleased;
using core::kAtrNone;
using core::kEditAdded;
using core::kEditDeleted;
using core::kMaxStarNo;
using core::newClusterTable;
using core::newStarTable;
using core::StarAtrTable;
using core::StarRec;
using core::TableFull;

}  // namespace orv::extract
