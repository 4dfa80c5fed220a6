#include "core/star_records.h"

namespace orv::core {

std::vector<ClusterRec> newClusterTable() {
    return std::vector<ClusterRec>(kMaxStarNo + 1);
}

std::vector<StarRec> newStarTable() {
    return std::vector<StarRec>(kMaxStarNo + 1);
}

}  // namespace orv::core
