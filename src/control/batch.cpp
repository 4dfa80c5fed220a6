#include "control/batch.h"

#include <filesystem>
#include <new>

#include "control/pipeline.h"
#include "core/numeric.h"
#include "core/paths.h"
#include "core/text.h"
#include "core/text_file.h"
#include "extract/table_full.h"
#include "form/message_log.h"
#include "form/stage.h"
#include "input/image_load.h"
#include "results/data_files.h"

// The batch run: for each record of the list, load the picture, run the one-click pipeline
// and save the results, logging the start and end of each into "<list>.log" beside the list.
// A stop requested with the Cancel button takes effect after the loading or the pipeline of
// the current record. A record that cannot be loaded, that a run-time error ends, or whose
// results cannot be saved is logged and the run goes on with the next record without any box
// (nobody is watching); the closing box counts them, so a run with failures never ends with
// the success message.

namespace orv::control {

using form::Ctx;

std::string batchStartText(int count, const std::string& name) {
    return core::Format(count, "000") + " " + name + " 処理開始";
}
std::string batchEndText(const std::string& picture) {
    return picture + " 処理終了";
}
std::string batchLoadErrorText(const std::string& picture, const std::string& reason) {
    return picture + " 読込エラー" + (reason.empty() ? "" : ": " + reason);
}
std::string batchSaveErrorText(const std::string& picture) {
    return picture + " 保存エラー";
}
std::string batchFaultText(const std::string& picture, const std::string& reason) {
    return picture + " 処理エラー: " + reason;
}
std::string batchRefusedText(const std::string& picture, const std::string& reason) {
    return picture + " 読込エラー: " + reason;
}
std::string batchIncompleteText(const std::string& picture, const std::string& what) {
    return picture + " 結果が不完全: " + what;
}
std::string batchFinishedText(bool cancelled, int failed) {
    std::string text = cancelled ? "バッチ処理中止" : "バッチ処理終了";
    if (failed > 0) text += " (" + std::to_string(failed) + " 件失敗)";
    return text;
}

std::string batchClosingMessage(bool cancelled, const BatchTally& t, const std::string& log) {
    std::string text = cancelled ? "処理が中止されました。" : "";
    if (t.failed() > 0) {
        text += std::string(cancelled ? "" : "処理が終了しましたが、") +
                std::to_string(t.failed()) + " 件の画像を処理できませんでした (読込 " +
                std::to_string(t.loadFailed) + " 件、処理 " + std::to_string(t.processFailed) +
                " 件、保存 " + std::to_string(t.saveFailed) + " 件)。";
    }
    if (t.incomplete > 0)
        text += std::string(text.empty() ? "処理が終了しましたが、" : "") +
                std::to_string(t.incomplete) +
                " 件の画像はクラスタ数が上限に達し、結果が不完全です。";
    if (!t.logError.empty()) text += "バッチログを書き込めませんでした: " + t.logError;
    if (text.empty()) return "処理が正常に終了しました。";
    if (t.failed() > 0 || t.incomplete > 0)
        text += "\n詳しくはバッチログ " + log + " をご覧ください。";
    return text;
}

BatchRecord parseBatchLine(const std::string& line) {
    const auto fields = core::splitCommaFields(line);
    BatchRecord r;
    r.folder = fields[0];
    if (fields.size() > 1) r.name = fields[1];
    return r;
}

namespace {

// Absolute on this system, or in a form only another system reads ("D:\sky", "\\server").
bool isAbsoluteFolder(const std::string& folder) {
    return folder[0] == '/' || folder[0] == '\\' || (folder.size() >= 2 && folder[1] == ':');
}

}  // namespace

BatchRecord resolveBatchRecord(BatchRecord r, const std::string& listFolder) {
    if (r.folder == "clipboard") {
        r.refused =
            "clipboard はクリップボードの画像の印で、画像ファイルのフォルダーではありません";
        return r;
    }
    if (r.name.empty()) {
        r.refused = "ファイル名がありません";
        return r;
    }
    if (r.folder.empty() || !isAbsoluteFolder(r.folder))
        r.folder =
            std::filesystem::path(core::joinPath(listFolder, r.folder.empty() ? "." : r.folder))
                .lexically_normal()
                .string();
    while (r.folder.size() > 1 && r.folder.back() == '/') r.folder.pop_back();
    return r;
}

core::Result<std::vector<BatchRecord>> readBatchList(const std::string& path) {
    auto lines = core::readTextLines(path);
    if (!lines) return core::Error{lines.error()};
    const std::string listFolder = core::GetFolderName(path);
    std::vector<BatchRecord> records;
    for (const auto& line : lines.value())
        if (!core::trimSpaces(line).empty())
            records.push_back(resolveBatchRecord(parseBatchLine(line), listFolder));
    return records;
}

void cmdBachDo_Click(Ctx& ctx) {
    auto& ws = ctx.ws;
    auto& f = ctx.frm;
    // The list and the confirmation come first: declining either leaves the picture, its
    // results and the stage as they were.
    auto chosen = ctx.host.openFileDialog(ws.settings.WorkPath, "バッチファイル(*.txt)|*.txt");
    if (!chosen || !core::fileExists(*chosen)) return;
    if (ctx.host.msgBox(
            "現在の「処理画像」「検出設定」の設定に基づきバッチ処理を実行します。よろしいですか？",
            form::MsgButtons::OkCancel) != form::MsgAnswer::Ok)
        return;

    form::setStage(ctx, core::kStageBatch);
    // 中止 stays shown between the steps of the whole run, until a stop is confirmed ("中止します"
    // then), and both go when the run has ended.
    struct CancelShown {
        form::FrmOrvandel& f;
        explicit CancelShown(form::FrmOrvandel& frm) : f(frm) { f.KeepCancelShown = true; }
        ~CancelShown() {
            f.KeepCancelShown = false;
            f.hideStepProgress();
        }
    } cancelShown(f);
    auto finish = [&] { form::setStage(ctx, core::kStageIdle); };

    ws.CancelRequested = 0;
    f.cmdCancel.Visible = true;
    f.lblStop.Visible = false;
    ws.BatchFolder = core::GetFolderName(*chosen);
    ws.BatchFileName = core::fileNameOf(*chosen);
    const std::string batchLog = core::joinPath(ws.BatchFolder, ws.BatchFileName + ".log");
    BatchTally tally;
    auto log = [&](const std::string& text) {
        auto written = core::appendLine(batchLog, form::logLine(ctx, text));
        if (!written && tally.logError.empty()) tally.logError = written.error();
    };

    // A run-time error ends its record only (the step stops where it was); the run goes on.
    auto faulted = [&](const std::string& picture, const std::string& reason) {
        log(batchFaultText(picture, reason));
        tally.processFailed += 1;
        ctx.host.setBusy(false);
        f.hideStepProgress();
    };

    auto records = readBatchList(*chosen);
    if (!records) {
        ctx.host.msgBox("バッチファイルを読めません。\n" + records.error(), form::MsgButtons::Ok);
        return finish();
    }
    const int total = static_cast<int>(records->size());
    for (int count = 1; count <= total; ++count) {
        const BatchRecord& record = records.value()[count - 1];
        f.lblBachProgress.Caption = std::to_string(count) + "/" + std::to_string(total);
        ws.DoFilePath = record.folder;
        ws.DoFileName = record.name;
        const std::string picture = core::joinPath(ws.DoFilePath, ws.DoFileName);
        form::OV_DispMsg(ctx, picture + " を処理します。");
        log(batchStartText(count, ws.DoFileName));
        if (!record.refused.empty()) {
            log(batchRefusedText(picture, record.refused));
            tally.loadFailed += 1;
            continue;
        }
        ctx.host.sleepMs(1000);
        try {
            const bool loaded = input::cmdDataIn_Click(ctx, input::kSourceNamed);
            if (!loaded) {
                log(batchLoadErrorText(picture, ws.lastLoadError));
                tally.loadFailed += 1;
            }
            if (ws.CancelRequested) break;
            if (!loaded) continue;
            cmdDoAll_Click(ctx);
            if (ws.CancelRequested) break;
            if (!results::OV_SaveData(ctx)) {
                log(batchSaveErrorText(picture));
                tally.saveFailed += 1;
                continue;
            }
            log(batchEndText(picture));
            if (const std::string undone = extract::tableFullMessage(ws); !undone.empty()) {
                log(batchIncompleteText(picture, undone));
                tally.incomplete += 1;
            }
        } catch (const core::ArithmeticFault& e) {
            faulted(picture, std::string("実行時エラー: ") + e.what());
        } catch (const std::bad_alloc&) {
            faulted(picture, "メモリーが足りません。");
        }
        if (ws.CancelRequested) break;
    }

    form::OV_DispMsg(ctx, "");
    const bool cancelled = ws.CancelRequested != 0;
    ctx.host.msgBox(batchClosingMessage(cancelled, tally, batchLog), form::MsgButtons::Ok);
    log(batchFinishedText(cancelled, tally.failed()));
    finish();
}

}  // namespace orv::control
