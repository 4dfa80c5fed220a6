#pragma once
// Which picture layer is seen: the view options of "画像切替", the result marks on or off,
// the flicker between the marked and the plain star picture, and the viewport on resizing.
//
//   option 0 "恒星位置" -> layer 4 (marks) when chkCircle is on, else layer 3 (plain)
//   option 1 "クラスタ" -> layer 2      option 2 "背景画像" -> layer 1
//   option 3 "入力画像" -> layer 0

#include <array>

#include "form/context.h"

namespace orv::view {

// The view switch: hides all five layers, then shows the one of the option.
void optFrame_Click(form::Ctx& ctx, int index);
// Makes `index` the selected option; when that changes the selection, runs its view switch.
void selectOptFrame(form::Ctx& ctx, int index);
// Runs the view switch of `index` and leaves it selected (what the steps do at their end).
void showViewOption(form::Ctx& ctx, int index);

// What is on screen: which layers and whether the thumbnail are shown, and the selected view
// option; a step that ends without doing anything puts it back as it was.
struct ShownViews {
    std::array<bool, 5> layers{};
    bool thumbnail = false;
    std::array<bool, 4> options{};
};
ShownViews shownViews(const form::Ctx& ctx);
void restoreViews(form::Ctx& ctx, const ShownViews& views);

void chkCircle_Click(form::Ctx& ctx);
void chkFlicker_Click(form::Ctx& ctx);
void tmrFlicker_Timer(form::Ctx& ctx);
// outerWidthPx: the window's outer width; clientWidth/Height: its client area, in pixels.
void Form_Resize(form::Ctx& ctx, double outerWidthPx, double clientWidth, double clientHeight);

}  // namespace orv::view
