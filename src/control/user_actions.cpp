#include "control/user_actions.h"

#include <filesystem>

#include "control/batch.h"
#include "control/pipeline.h"
#include "core/paths.h"
#include "extract/analysis.h"
#include "input/background.h"
#include "input/clusters.h"
#include "input/image_load.h"
#include "results/data_files.h"

namespace orv::control {

using form::Ctx;

namespace {

constexpr const char* kProgramTitle = "Orvandel";
constexpr const char* kHandWorkWords = "手動編集（削除・追加・メモ・ノイズ解除）";

}  // namespace

bool resultsSavable(const Ctx& ctx) {
    const int16_t s = ctx.ws.ProcStage;
    return s == core::kStageAnalysed || s == core::kStageSaved || s == core::kStageRead;
}

bool hasUnsavedWork(const Ctx& ctx, Discards what) {
    if (!resultsSavable(ctx)) return false;
    return what == Discards::HandWork ? ctx.ws.Unsaved.handWork : ctx.ws.Unsaved.any();
}

std::string unsavedQuestion(const Ctx& ctx, Discards what) {
    const std::string name = "「" + ctx.ws.DoFileName + "」の";
    if (what == Discards::HandWork)
        return name + kHandWorkWords +
               "はまだ保存されていません。\n処理をやり直すと失われます。保存しますか？";
    const std::string work =
        ctx.ws.Unsaved.handWork ? std::string("抽出結果と") + kHandWorkWords : "抽出結果";
    return name + work + "はまだ保存されていません。\n保存しますか？";
}

bool OV_ConfirmDiscard(Ctx& ctx, Discards what) {
    if (!hasUnsavedWork(ctx, what)) return true;
    switch (ctx.host.msgBox(unsavedQuestion(ctx, what), form::MsgButtons::SaveDiscardCancel)) {
        case form::MsgAnswer::Save:
            // As the button saves; the save procedures mark the results saved, so a save that
            // failed (or was declined) leaves them unsaved and the action does not go on.
            results::cmdSaveData_Click(ctx);
            return !ctx.ws.Unsaved.any();
        case form::MsgAnswer::Discard:
            return true;
        default:
            return false;
    }
}

void onDataIn(Ctx& ctx, int index) {
    if (OV_ConfirmDiscard(ctx, Discards::Results)) input::cmdDataIn_Click(ctx, index);
}

void onReadData(Ctx& ctx) {
    if (OV_ConfirmDiscard(ctx, Discards::Results)) results::cmdReadData_Click(ctx);
}

void onBachDo(Ctx& ctx) {
    if (OV_ConfirmDiscard(ctx, Discards::Results)) cmdBachDo_Click(ctx);
}

void onStep(Ctx& ctx, Step step) {
    if (!OV_ConfirmDiscard(ctx, Discards::HandWork)) return;
    switch (step) {
        case Step::Background:
            return input::cmdIdoHeikin_Click(ctx);
        case Step::Clusters:
            return input::cmdPickup_Click(ctx);
        case Step::Stars:
            return extract::cmdCenterCal_Click(ctx);
        case Step::All:
            return cmdDoAll_Click(ctx);
    }
}

bool onClose(Ctx& ctx) {
    return OV_ConfirmDiscard(ctx, Discards::Results);
}

bool openPictureFile(Ctx& ctx, const std::string& path) {
    if (!ctx.frm.cmdDataIn[input::kSourceFile].Enabled) return false;
    std::error_code ec;
    const std::string full = std::filesystem::absolute(path, ec).lexically_normal().string();
    if (ec || !core::fileExists(full)) {
        ctx.host.msgBox("ファイルが見つかりません: " + path, form::MsgButtons::Ok);
        return false;
    }
    if (!OV_ConfirmDiscard(ctx, Discards::Results)) return false;
    ctx.ws.DoFilePath = core::GetFolderName(full);
    ctx.ws.DoFileName = core::fileNameOf(full);
    return input::cmdDataIn_Click(ctx, input::kSourceNamed);
}

void OV_DispCaption(Ctx& ctx) {
    const auto& ws = ctx.ws;
    std::string caption = kProgramTitle;
    if (ws.ProcStage != core::kStageIdle && !ws.DoFileName.empty())
        caption = (hasUnsavedWork(ctx) ? "*" : "") + ws.DoFileName + " - " + caption;
    ctx.frm.Caption = caption;
}

}  // namespace orv::control
