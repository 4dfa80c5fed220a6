#pragma once
// The pointer on the picture layers picHSC(0..4): selecting a result, toggling its deletion
// (Shift), adding a result by hand (Ctrl), the position line lblXY, the result under the
// pointer while Alt is held, the magnifier, and dragging the layers with the hand tool.
//
// Positions arrive in picture coordinates (one unit per picture pixel, y down); the pixel
// under (x, y) is element (Int(x) + 1, Int(y) + 1) of ClusterMap and PixelLevel. A position
// whose element lies outside those arrays (possible only while a press holds the pointer
// beyond the picture) reads nothing there: it finds no result and leaves lblXY as it was.
// Only layer 4, the marked star picture, accepts selections and edits. The mouse button is
// never looked at.

#include <cstdint>

#include "form/context.h"

namespace orv::edit {

// The shift state: a set of these bits.
enum ShiftBits : int { kShiftKey = 1, kCtrlKey = 2, kAltKey = 4 };

void picHSC_MouseDown(form::Ctx& ctx, int index, int button, int shift, float x, float y);
void picHSC_MouseMove(form::Ctx& ctx, int index, int button, int shift, float x, float y);
void picHSC_MouseUp(form::Ctx& ctx, int index, int button, int shift, float x, float y);
// The picture moved under a pointer that stayed where it was (a wheel zoom or pan): lblXY and
// the magnifier for the pointer's new picture position (x, y) over layer `index`.
void followPointer(form::Ctx& ctx, int index, float x, float y);

// The result whose pixel lies under picture position (x, y), 0 for none (also for a position
// outside the arrays or a number beyond the tables).
int32_t resultAt(const core::Workspace& ws, float x, float y);
// Whether the display options hide result n from the pointer: noise while "ノイズ" is off,
// deleted results while "手動削除点" is off, added ones while "手動追加点" is off.
bool isFilteredOut(const form::Ctx& ctx, int32_t n);
// Whether n numbers a record of the tables (1..MaxStarNo).
bool isResultNo(const core::Workspace& ws, int32_t n);

// Shows both cursors centred on result n.
void placeCursors(form::Ctx& ctx, int32_t n);
// Hides the information panel and both cursors (SelStarNo is left alone).
void hideSelection(form::Ctx& ctx);
// Hides the panel and the cursors and forgets the selection: the tables are about to change.
void clearSelection(form::Ctx& ctx);

}  // namespace orv::edit
