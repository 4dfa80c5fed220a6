#pragma once
// What the user's own clicks and keys start in the main window, each behind the unsaved-work
// guard: results or hand work that 保存 could still save are never discarded without asking.
//
//   action                                        asks when unsaved
//   ファイル, clipboard, 分割画像単独入力          results or hand work
//   ３．結果読込・編集, ２．ﾊﾞｯﾁ処理実行, closing   results or hand work
//   恒星位置抽出, 背景, クラ, 恒星 (again)        hand work only: automatic results come back
//                                                 by running again
//
// The question offers 保存 (save as the button does, then go on; a save that fails or is
// refused goes no further), 破棄 (go on; nothing is thrown away before the action replaces
// it) and キャンセル (nothing changes). The guard belongs to these entry points only: the
// batch run, the read-back and the pipeline call the steps themselves and are never asked.

#include <string>

#include "form/context.h"

namespace orv::control {

// What an action would discard.
enum class Discards { Results, HandWork };

// Whether the current stage holds results that 保存 can save (stages 10, 12 and 14).
bool resultsSavable(const form::Ctx& ctx);
// Whether `what` holds unsaved work that 保存 could still save.
bool hasUnsavedWork(const form::Ctx& ctx, Discards what = Discards::Results);
// The guard: true when the action may go on (nothing unsaved, or 保存 succeeded, or 破棄);
// false after キャンセル or a save that did not happen, with everything as it was.
bool OV_ConfirmDiscard(form::Ctx& ctx, Discards what);
// The question the guard asks.
std::string unsavedQuestion(const form::Ctx& ctx, Discards what);

// cmdDataIn(index) as the user clicks it.
void onDataIn(form::Ctx& ctx, int index);
// "３．結果読込・編集", "２．ﾊﾞｯﾁ処理実行".
void onReadData(form::Ctx& ctx);
void onBachDo(form::Ctx& ctx);
// The single steps and the one-click run: 0 背景, 1 クラ, 2 恒星, 3 恒星位置抽出.
enum class Step { Background = 0, Clusters = 1, Stars = 2, All = 3 };
void onStep(form::Ctx& ctx, Step step);
// Closing the window: true when it may close.
bool onClose(form::Ctx& ctx);
// A picture named on the command line or by a file manager, loaded as ファイル loads the
// chosen file. A missing file is said in a message box and changes nothing. False when
// nothing was loaded.
bool openPictureFile(form::Ctx& ctx, const std::string& path);

// The title bar: "NAME - Orvandel" while a picture is loaded, "*NAME - Orvandel" while it
// has unsaved work, "Orvandel" without a picture. Sets frm.Caption.
void OV_DispCaption(form::Ctx& ctx);

}  // namespace orv::control
