#include "edit/review.h"

#include <vector>

#include "edit/pointer.h"
#include "edit/star_info.h"
#include "form/message_log.h"
#include "view/navigation.h"
#include "view/overlay.h"

namespace orv::edit {

using form::Ctx;

namespace {

const char* className(int atr) {
    static constexpr const char* kNames[6] = {"全結果",   "ノイズ",   "面積天体",
                                              "円状天体", "横長天体", "ノイズ解除"};
    return atr >= 0 && atr <= 5 ? kNames[atr] : kNames[0];
}

}  // namespace

bool inReviewQueue(const Ctx& ctx, int32_t n, int atr) {
    if (!isResultNo(ctx.ws, n)) return false;
    if (atr != 0 && ctx.ws.Clusters[n].Atr != atr) return false;
    return view::markOf(ctx, n) != view::Mark::None;
}

void selectAndCentre(Ctx& ctx, int32_t n) {
    if (!isResultNo(ctx.ws, n)) return;
    OV_DispStarInfo(ctx, n);
    placeCursors(ctx, n);
    view::centreOn(ctx, ctx.ws.Stars[n].CenterX, ctx.ws.Stars[n].CenterY);
}

void reviewStep(Ctx& ctx, int direction) {
    auto& ws = ctx.ws;
    const int atr = ws.ReviewClass;
    std::vector<int32_t> queue;
    for (int32_t n = 1; n <= ws.MaxStarNo; ++n)
        if (inReviewQueue(ctx, n, atr)) queue.push_back(n);
    if (queue.empty()) {
        form::OV_DispMsg(ctx, std::string(className(atr)) + "はありません。");
        return;
    }
    // The first after the selection, or the last before it; round at the ends.
    size_t at = direction > 0 ? 0 : queue.size() - 1;
    if (direction > 0) {
        for (size_t i = 0; i < queue.size(); ++i)
            if (queue[i] > ws.SelStarNo) {
                at = i;
                break;
            }
    } else {
        for (size_t i = queue.size(); i-- > 0;)
            if (queue[i] < ws.SelStarNo) {
                at = i;
                break;
            }
    }
    selectAndCentre(ctx, queue[at]);
    form::OV_DispMsg(ctx, std::string(className(atr)) + " " + std::to_string(at + 1) + " / " +
                              std::to_string(queue.size()));
}

void reviewClass(Ctx& ctx, int atr) {
    if (atr < 0 || atr > 5) return;
    ctx.ws.ReviewClass = static_cast<int16_t>(atr);
    reviewStep(ctx, 1);
}

}  // namespace orv::edit
