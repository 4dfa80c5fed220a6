#include "control/batch.h"

#include "control/pipeline.h"
#include "core/message_log.h"
#include "core/numeric.h"
#include "core/paths.h"
#include "core/startup.h"
#include "core/text_file.h"
#include "input/image_load.h"
#include "results/data_files.h"

// The batch run: for each record of the list, load the picture, run the one-click pipeline
// and save the results, logging the start and end of each into "<list>.log" beside the list.
// A stop requested with the Cancel button takes effect after the loading or the pipeline of
// the current record. A picture that cannot be loaded is logged and skipped, and the run goes
// on with the next record without any box (nobody is watching).

namespace orv::control {

using core::Ctx;

namespace {

std::string trimmed(const std::string& s) {
    size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

}  // namespace

std::string batchStartText(int count, const std::string& name) {
    return core::Format(count, "000") + " " + name + " 処理開始";
}
std::string batchEndText(const std::string& picture) {
    return picture + " 処理終了";
}
std::string batchLoadErrorText(const std::string& picture) {
    return picture + " 読込エラー";
}
std::string batchSaveErrorText(const std::string& picture) {
    return picture + " 保存エラー";
}
std::string batchFinishedText(bool cancelled) {
    return cancelled ? "バッチ処理中止" : "バッチ処理終了";
}

BatchRecord parseBatchLine(const std::string& line) {
    const auto fields = core::splitCommaFields(line);
    BatchRecord r;
    r.folder = fields[0];
    if (fields.size() > 1) r.name = fields[1];
    return r;
}

core::Result<std::vector<BatchRecord>> readBatchList(const std::string& path) {
    auto lines = core::readTextLines(path);
    if (!lines) return core::Error{lines.error()};
    std::vector<BatchRecord> records;
    for (const auto& line : lines.value())
        if (!trimmed(line).empty()) records.push_back(parseBatchLine(line));
    return records;
}

void cmdBachDo_Click(Ctx& ctx) {
    auto& ws = ctx.ws;
    auto& f = ctx.frm;
    core::setStage(ctx, core::kStageBatch);
    auto finish = [&] { core::setStage(ctx, core::kStageIdle); };

    auto chosen = ctx.host.openFileDialog(ws.settings.WorkPath, "バッチファイル(*.txt)|*.txt");
    if (!chosen || !core::fileExists(*chosen)) return finish();
    if (ctx.host.msgBox(
            "現在の「処理画像」「検出設定」の設定に基づきバッチ処理を実行します。よろしいですか？",
            ui::MsgButtons::OkCancel) != ui::MsgAnswer::Ok)
        return finish();

    ws.CancelRequested = 0;
    f.cmdCancel.Visible = true;
    f.lblStop.Visible = false;
    ws.BatchFolder = core::GetFolderName(*chosen);
    ws.BatchFileName = core::fileNameOf(*chosen);
    const std::string batchLog = core::joinPath(ws.BatchFolder, ws.BatchFileName + ".log");
    auto log = [&](const std::string& text) {
        core::appendLine(batchLog, core::logLine(ctx, text));
    };

    auto records = readBatchList(*chosen);
    if (!records) {
        ctx.host.msgBox("バッチファイルを読めません。\n" + records.error(), ui::MsgButtons::Ok);
        return finish();
    }
    const int total = static_cast<int>(records->size());
    for (int count = 1; count <= total; ++count) {
        f.lblBachProgress.Caption = std::to_string(count) + "/" + std::to_string(total);
        ws.DoFilePath = records.value()[count - 1].folder;
        ws.DoFileName = records.value()[count - 1].name;
        const std::string picture = core::joinPath(ws.DoFilePath, ws.DoFileName);
        core::OV_DispMsg(ctx, picture + " を処理します。");
        log(batchStartText(count, ws.DoFileName));
        ctx.host.sleepMs(1000);
        const bool loaded = input::cmdDataIn_Click(ctx, input::kSourceNamed);
        if (!loaded) log(batchLoadErrorText(picture));
        if (ws.CancelRequested) break;
        if (!loaded) continue;
        cmdDoAll_Click(ctx);
        if (ws.CancelRequested) break;
        if (!results::OV_SaveData(ctx)) {
            log(batchSaveErrorText(picture));
            continue;
        }
        log(batchEndText(picture));
    }

    core::OV_DispMsg(ctx, "");
    if (ws.CancelRequested) {
        ctx.host.msgBox("処理が中止されました。", ui::MsgButtons::Ok);
    } else {
        ctx.host.msgBox("処理が正常に終了しました。", ui::MsgButtons::Ok);
    }
    log(batchFinishedText(ws.CancelRequested != 0));
    finish();
}

}  // namespace orv::control
