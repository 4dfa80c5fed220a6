#pragma once
// Bringing one picture into the working state: decoding (through the host), splitting every
// pixel into R, G, B and the luminance Y, choosing the processing channel, drawing the grey
// picture, and the stage changes around it.

#include <string>

#include "form/context.h"

namespace orv::input {

// Picture sources (cmdDataIn index).
enum Source { kSourceClipboard = 0, kSourceFile = 1, kSourceTile = 2, kSourceNamed = 3 };

// cmdDataIn(index): 0 clipboard, 1 file chosen in the open dialog, 2 the tile shown in the
// division window (when none is ready, the steps run again on the picture already loaded), 3
// the file DoFilePath / DoFileName set by the caller. Pictures deeper than 8 bits (FITS,
// 16-bit PNG or TIFF) are stretched to 8-bit levels with the stretch setting, which is logged
// and kept in the working state (StretchUsed). True when a picture was loaded. On a failure
// the message box "Error!" is shown (not during a batch run, where the caller reports it) and
// the stage becomes 0. When the source offers nothing (the dialog is cancelled, the clipboard
// holds no picture), the message line says so and the stage, the views, the picture and the
// results stay as they were.
bool cmdDataIn_Click(form::Ctx& ctx, int index);

// Y = CLng(0.59 G + 0.30 R + 0.11 B) in double precision, ties to even.
int luminanceY(int r, int g, int b);

// Fills PixelLevel (R, G, B, Y planes with the zero border, Level = `channel`) and MaxLevelY
// for row y (1..H) of the picture; PixelLevel must have been created at the picture's size.
// Every row must be filled: creating PixelLevel only clears its border.
void fillPixelRow(core::Workspace& ws, const form::Picture& picture, int y);

// The channel chosen in optChannel (tested in the order 0, 1, 2, otherwise 3).
int selectedChannel(const form::FrmOrvandel& frm);

// The processing log's line for the stretch of the current deep picture:
// "＞ストレッチ percentile:0.1,99.9 黒 4821 白 38112".
std::string stretchLogText(const core::Workspace& ws);

}  // namespace orv::input
