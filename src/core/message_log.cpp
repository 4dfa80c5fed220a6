#include "core/message_log.h"

#include "core/paths.h"
#include "core/text_file.h"

namespace orv::core {

void OV_DispMsg(Ctx& ctx, const std::string& msg) {
    ctx.frm.lblMsg.Caption = msg;
    ctx.host.pump();
}

std::string resultFolder(const Workspace& ws) {
    return joinPath(ws.DoFilePath, ws.DoFileName + ".dir");
}

std::string logFilePath(const Workspace& ws) {
    return joinPath(resultFolder(ws), ws.DoFileName + ".log");
}

bool isClipboardPicture(const Workspace& ws) {
    return ws.DoFilePath == "clipboard";
}

std::string logLine(Ctx& ctx, const std::string& msg) {
    return ui::formatDateTime(ctx.host.now()) + " " + msg;
}

void OV_Logout(Ctx& ctx, const std::string& msg) {
    const Workspace& ws = ctx.ws;
    if (isClipboardPicture(ws) || ws.DoFileName.empty() || ws.DoFilePath.empty()) return;
    if (!folderExists(ws.DoFilePath)) return;
    std::string folder = resultFolder(ws);
    if (!folderExists(folder) && !createFolder(folder)) return;
    appendLine(logFilePath(ws), logLine(ctx, msg));  // failures are ignored
}

void cmdEditLog_Click(Ctx& ctx) {
    if (isClipboardPicture(ctx.ws)) {
        ctx.host.msgBox("クリップボードから読み込んだ画像を処理する時は、ログは記録できません。",
                        ui::MsgButtons::Ok);
        return;
    }
    if (ctx.ws.DoFileName.empty() || ctx.ws.DoFilePath.empty()) return;
    auto text = ctx.host.inputBox("ログに記録するメッセージを入力してください。", "ログ記録", "");
    if (text && !text->empty()) OV_Logout(ctx, *text);
}

void cmdShowLog_Click(Ctx& ctx) {
    if (isClipboardPicture(ctx.ws) || ctx.ws.DoFileName.empty() || ctx.ws.DoFilePath.empty())
        return;
    startEditorOrSay(ctx, logFilePath(ctx.ws));
}

void startEditorOrSay(Ctx& ctx, const std::string& path) {
    if (ctx.host.startEditor(path)) return;
    ctx.host.msgBox(
        "テキストエディターを起動できませんでした。\n次のファイルをお使いのエディターで開いてくださ"
        "い:\n" +
            path,
        ui::MsgButtons::Ok);
}

}  // namespace orv::core
