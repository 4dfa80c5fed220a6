#include "form/message_log.h"

#include "core/paths.h"
#include "core/text_file.h"

namespace orv::form {

using core::appendLine;
using core::createFolder;
using core::folderExists;
using core::hasPictureFile;
using core::isClipboardPicture;
using core::logFilePath;
using core::resultFolder;

void OV_DispMsg(Ctx& ctx, const std::string& msg) {
    ctx.frm.lblMsg.Caption = msg;
    ctx.host.pump();
}

std::string logLine(Ctx& ctx, const std::string& msg) {
    return formatDateTime(ctx.host.now()) + " " + msg;
}

void OV_Logout(Ctx& ctx, const std::string& msg) {
    const core::Workspace& ws = ctx.ws;
    if (!ws.logEnabled || !hasPictureFile(ws)) return;
    if (!folderExists(ws.DoFilePath)) return;
    std::string folder = resultFolder(ws);
    if (!folderExists(folder) && !createFolder(folder)) return;
    appendLine(logFilePath(ws), logLine(ctx, msg));  // failures are ignored
}

void cmdEditLog_Click(Ctx& ctx) {
    if (isClipboardPicture(ctx.ws)) {
        ctx.host.msgBox("クリップボードから読み込んだ画像を処理する時は、ログは記録できません。",
                        MsgButtons::Ok);
        return;
    }
    if (!hasPictureFile(ctx.ws)) return;
    auto text = ctx.host.inputBox("ログに記録するメッセージを入力してください。", "ログ記録", "");
    if (text && !text->empty()) OV_Logout(ctx, *text);
}

void cmdShowLog_Click(Ctx& ctx) {
    if (!hasPictureFile(ctx.ws)) return;
    startEditorOrSay(ctx, logFilePath(ctx.ws));
}

void startEditorOrSay(Ctx& ctx, const std::string& path) {
    if (ctx.host.startEditor(path)) return;
    ctx.host.msgBox(
        "テキストエディターを起動できませんでした。\n次のファイルをお使いのエディターで開いてくださ"
        "い:\n" +
            path,
        MsgButtons::Ok);
}

}  // namespace orv::form
