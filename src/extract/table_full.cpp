#include "extract/table_full.h"

#include "core/numeric.h"
#include "extract/records.h"

namespace orv::extract {

namespace {

constexpr const char* kRemedy = "閾値を上げるか、分割画像で処理してください。";

std::string extractionFact(const core::Workspace& ws) {
    if (ws.tableFull.stoppedAtRow <= 0) return "";
    return "クラスタが上限の " + std::to_string(kMaxStarNo) + " 個に達したため、" +
           std::to_string(ws.tableFull.stoppedAtRow) + " 行目から下は抽出されていません。";
}

std::string splitFact(const core::Workspace& ws) {
    if (ws.tableFull.splitsCutShort <= 0) return "";
    return "ひょうたん型の分離でクラスタが上限の " + std::to_string(kMaxStarNo) + " 個に達し、" +
           std::to_string(ws.tableFull.splitsCutShort) +
           " 個のクラスタの一部または全部が結果から外れました。";
}

// With the threshold the picture's noise suggests, when it is above the one used.
std::string withRemedy(const core::Workspace& ws, const std::string& facts) {
    if (facts.empty()) return "";
    if (ws.SuggestedSiki > ws.settings.Siki)
        return facts + "クラスタ閾値を推奨の " + core::generalForm(ws.SuggestedSiki) +
               " に上げるか、分割画像で処理してください。";
    return facts + kRemedy;
}

}  // namespace

std::string extractionTableFullMessage(const core::Workspace& ws) {
    return withRemedy(ws, extractionFact(ws));
}

std::string splitTableFullMessage(const core::Workspace& ws) {
    return withRemedy(ws, splitFact(ws));
}

std::string tableFullMessage(const core::Workspace& ws) {
    return withRemedy(ws, extractionFact(ws) + splitFact(ws));
}

}  // namespace orv::extract
