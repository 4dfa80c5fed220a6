#pragma once
// The message line (lblMsg) and the processing log of the current picture: a text file in
// the picture's result folder to which every finished step and every manual edit appends
// "YYYY/MM/DD HH:MM:SS text".

#include <string>

#include "core/picture_folder.h"
#include "form/context.h"

namespace orv::form {

// Sets the message line and yields so that it is painted before long work. "" clears it.
void OV_DispMsg(Ctx& ctx, const std::string& msg);

// "YYYY/MM/DD HH:MM:SS " & msg, from the host's clock.
std::string logLine(Ctx& ctx, const std::string& msg);

// Appends a line to the processing log when the picture came from a file whose folder still
// exists; creates the result folder first. Silent on every failure.
void OV_Logout(Ctx& ctx, const std::string& msg);

// Button "ログ出力": asks for a line and logs it.
void cmdEditLog_Click(Ctx& ctx);
// Button "ログ表示": opens the log in the text editor without waiting.
void cmdShowLog_Click(Ctx& ctx);
// Opens a file in the text editor without waiting; when no editor can be started, a message
// box names the file.
void startEditorOrSay(Ctx& ctx, const std::string& path);

}  // namespace orv::form
