#pragma once
// The edit frame fraEdit of the information panel: the user overrules the classification of
// the selected result (SelStarNo). Every edit changes the record and the counts StarAtrNo,
// redraws the result's dot on layer 4, refreshes the count labels and the panel, and writes
// one line to the processing log; a refused edit shows why and changes nothing. The edits
// reach disk with the results (保存).
//
//   削除        EditAtr + 1 (value-1 bit)  StarAtrNo(1,1) + 1, (0,Atr) - 1, (1,2) - 1 if added
//               grey dot                   "・削除指定　( n)"
//   復活        EditAtr - 1                the reverse; dot in its class colour, green if added
//               "・削除解除　( n)"
//   ノイズ解除  Atr 1 -> 5                 (0,1) - 1, (0,5) + 1; cyan dot  "・ノイズ解除　( n)"
//   再ノイズ    Atr 5 -> 1                 (0,1) + 1, (0,5) - 1; blue dot  "・ノイズ設定　( n)"
//
// Arithmetic that leaves the range of a count or of EditAtr raises core::ArithmeticFault.

#include "form/context.h"

namespace orv::edit {

// "編集": shows the edit frame in the panel. "OK": hides it.
void cmdEdit_Click(form::Ctx& ctx);
void cmdEditClose_Click(form::Ctx& ctx);
void cmdEditDelete_Click(form::Ctx& ctx);
void cmdEditUnDelete_Click(form::Ctx& ctx);
// 0 "ノイズ解除", 1 "再ノイズ"; any other index only refreshes the counts and the panel.
void cmdEditUnNoize_Click(form::Ctx& ctx, int index);
// Every change of txtStarNote's text is the selected result's note at once.
void txtStarNote_Change(form::Ctx& ctx);

// Whether a result is selected and shown in the panel (what the edit keys need).
bool hasShownSelection(const form::Ctx& ctx);

}  // namespace orv::edit
