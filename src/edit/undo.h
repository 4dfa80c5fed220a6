#pragma once
// Undo and redo of the hand edits: 削除, 復活, ノイズ解除, 再ノイズ, the Shift-click toggle, a
// point added with Ctrl-click, and a note. Each edit procedure records a step (the state it
// touched before and after, core/edit_history.h); undo puts the before-state back and redo the
// after-state: the records, the counts, MaxStarNo, the pixel of an added point, the dot on the
// marked star layer, its screen mark, the selection and the panel. The processing log stays a
// true history: undo and redo append the line of the edit they amount to ("・削除解除　( n)" for
// an undone 削除); an edit that writes no line (Shift-click, Ctrl-click, a note) gets none when
// it is undone or redone either.

#include <cstdint>

#include "core/edit_history.h"
#include "form/context.h"

namespace orv::edit {

// The state of result n now, its dot taken around picture position (cx, cy); mapX, mapY name
// the ClusterMap element an added point takes (0: none).
core::EditSnapshot snapshotOf(const form::Ctx& ctx, int32_t n, float cx, float cy, int mapX = 0,
                              int mapY = 0);
core::EditSnapshot snapshotOf(const form::Ctx& ctx, int32_t n);
// An edit of result n was made: the step from `before` to the state now is the last to undo,
// and what was undone before can no longer be redone. A note changed again right after its
// last change stays one step.
void recordEdit(form::Ctx& ctx, core::EditKind kind, int32_t n, const core::EditSnapshot& before,
                int mapX = 0, int mapY = 0);

// Ctrl+Z: the last edit undone; Ctrl+Shift+Z and Ctrl+Y: the last undone edit made again. Each
// says on the message line what it did, or that there is nothing to do. Returns whether a step
// was replayed.
bool undoEdit(form::Ctx& ctx);
bool redoEdit(form::Ctx& ctx);

// The name of an edit kind on the message line ("削除", "メモ", ...).
const char* editName(core::EditKind kind);

}  // namespace orv::edit
