#include "edit/undo.h"

#include <cmath>
#include <string>

#include "core/numeric.h"
#include "edit/pointer.h"
#include "edit/star_info.h"
#include "extract/outline_fill.h"
#include "extract/records.h"
#include "form/class_colours.h"
#include "form/message_log.h"
#include "view/overlay.h"

// A step is replayed by putting one of its snapshots back whole:
//   records of n, MaxStarNo and the free-number hint              -> as they were
//   StarAtrNo                                                     -> changed by the edit's
//       difference (a redisplay in between counts afresh)
//   ClusterMap pixel of an added point                            -> its value then
//   dot on picHSC(4)                                              -> its 3 x 3 pixels then, or,
//       when the layer was drawn whole since, the dot the result's state now asks for
//   screen mark, selection, panel, counts                         -> shown as they were

namespace orv::edit {

using core::EditKind;
using core::EditSnapshot;
using core::EditStep;
using form::Ctx;

namespace {

// The top-left pixel (0-based) of the 3 x 3 around the dot at (cx, cy).
void dotCorner(float cx, float cy, int& x0, int& y0) {
    x0 = std::isfinite(cx) ? static_cast<int>(std::floor(cx)) - 1 : -10;
    y0 = std::isfinite(cy) ? static_cast<int>(std::floor(cy)) - 1 : -10;
}

void takeDot(const Ctx& ctx, float cx, float cy, EditSnapshot& s) {
    const form::Canvas& canvas = ctx.frm.picHSC[4].canvas;
    s.layerGeneration = ctx.frm.editMarks.generation;
    s.hasDot = !canvas.isNull();
    if (!s.hasDot) return;
    int x0 = 0, y0 = 0;
    dotCorner(cx, cy, x0, y0);
    for (int k = 0; k < 9; ++k) s.dot[k] = canvas.pixel(x0 + k % 3, y0 + k / 3);
}

// The dot of result n as the snapshot saw it; when the layer was drawn whole since, the dot its
// state asks for now (its mark's colour, or the plain picture where it has none).
void putDot(Ctx& ctx, int32_t n, const EditSnapshot& s, float cx, float cy) {
    form::Canvas& canvas = ctx.frm.picHSC[4].canvas;
    if (canvas.isNull()) return;
    int x0 = 0, y0 = 0;
    dotCorner(cx, cy, x0, y0);
    if (s.hasDot && s.layerGeneration == ctx.frm.editMarks.generation) {
        for (int k = 0; k < 9; ++k) canvas.setPixel(x0 + k % 3, y0 + k / 3, s.dot[k]);
        return;
    }
    using view::Mark;
    const Mark mark = isResultNo(ctx.ws, n) ? view::markOf(ctx, n) : Mark::None;
    if (mark == Mark::None) {
        const form::Canvas& plain = ctx.frm.picHSC[3].canvas;
        if (plain.isNull()) return;
        for (int k = 0; k < 9; ++k)
            canvas.setPixel(x0 + k % 3, y0 + k / 3, plain.pixel(x0 + k % 3, y0 + k / 3));
        return;
    }
    const form::Rgb colour = mark == Mark::Added     ? form::kColourAdded
                             : mark == Mark::Deleted ? form::kColourDeleted
                                                     : form::atrColour(ctx.ws.Clusters[n].Atr);
    canvas.circle(cx, cy, 0.5, colour, true);
}

// Puts snapshot s back over `now`, the snapshot in effect. The counts change by the edit's own
// difference, so that a redisplay in between (which counts afresh) keeps its counts right.
void put(Ctx& ctx, const EditStep& step, const EditSnapshot& s, const EditSnapshot& now) {
    auto& ws = ctx.ws;
    const int32_t n = step.n;
    if (static_cast<size_t>(n) >= ws.Clusters.size()) ws.Clusters.resize(n + 1);
    if (static_cast<size_t>(n) >= ws.Stars.size()) ws.Stars.resize(n + 1);
    ws.Clusters[n] = s.cluster;
    ws.Stars[n] = s.star;
    for (size_t i = 0; i < ws.StarAtrNo.size(); ++i)
        for (size_t j = 0; j < ws.StarAtrNo[i].size(); ++j)
            ws.StarAtrNo[i][j] = core::CLng(static_cast<double>(ws.StarAtrNo[i][j]) +
                                            s.counts[i][j] - now.counts[i][j]);
    ws.MaxStarNo = s.maxStarNo;
    ws.FreeStarNoHint = s.freeStarNoHint;
    if (step.mapX != 0 && ws.ClusterMapFromRead && ws.ReadMapGeneration != step.readMapGeneration) {
        // The map of results read back was rebuilt since the point was added (輪郭選択
        // switched): rebuilt again, it holds what the results now ask for, and no element
        // keeps the number of a point no longer there. Every later undo or redo of the step
        // rebuilds it too, the element the edit took being no longer the point's own.
        extract::rebuildReadMap(ws);
    } else if (step.mapX != 0 && ws.ClusterMap.contains(step.mapX, step.mapY)) {
        ws.ClusterMap(step.mapX, step.mapY) = s.mapValue;
    }
    // The dot sits where the result is after the edit (a point added by hand has no place
    // before it).
    const auto& at = step.after.star;
    putDot(ctx, n, s, at.CenterX, at.CenterY);
    if (s.marked && isResultNo(ws, n))
        view::markEdit(ctx, n, s.rim);
    else
        ctx.frm.editMarks.erase(n);
    ws.Unsaved.handWork = true;
    view::OV_DispResultNo(ctx);
    ws.SelStarNo = s.selStarNo;
    if (s.panelShown && isResultNo(ws, s.selStarNo)) {
        OV_DispStarInfo(ctx, s.selStarNo);
        placeCursors(ctx, s.selStarNo);
    } else {
        hideSelection(ctx);
    }
}

// The log line of the edit a replay amounts to: undoing an edit is its reverse.
const char* logLine(EditKind kind, bool undo) {
    switch (kind) {
        case EditKind::Delete:
            return undo ? "・削除解除　(" : "・削除指定　(";
        case EditKind::Restore:
            return undo ? "・削除指定　(" : "・削除解除　(";
        case EditKind::NoiseRelease:
            return undo ? "・ノイズ設定　(" : "・ノイズ解除　(";
        case EditKind::Renoise:
            return undo ? "・ノイズ解除　(" : "・ノイズ設定　(";
        default:
            return nullptr;
    }
}

void said(Ctx& ctx, const char* what, const EditStep& step) {
    form::OV_DispMsg(
        ctx, std::string(what) + "：" + editName(step.kind) + "（" + std::to_string(step.n) + "）");
}

}  // namespace

const char* editName(EditKind kind) {
    switch (kind) {
        case EditKind::Delete:
            return "削除";
        case EditKind::Restore:
            return "復活";
        case EditKind::NoiseRelease:
            return "ノイズ解除";
        case EditKind::Renoise:
            return "再ノイズ";
        case EditKind::ShiftToggle:
            return "削除切替";
        case EditKind::Add:
            return "追加";
        case EditKind::Note:
            return "メモ";
    }
    return "";
}

EditSnapshot snapshotOf(const Ctx& ctx, int32_t n, float cx, float cy, int mapX, int mapY) {
    const auto& ws = ctx.ws;
    EditSnapshot s;
    if (n >= 0 && static_cast<size_t>(n) < ws.Clusters.size()) s.cluster = ws.Clusters[n];
    if (n >= 0 && static_cast<size_t>(n) < ws.Stars.size()) s.star = ws.Stars[n];
    s.counts = ws.StarAtrNo;
    s.maxStarNo = ws.MaxStarNo;
    s.freeStarNoHint = ws.FreeStarNoHint;
    s.selStarNo = ws.SelStarNo;
    s.panelShown = ctx.frm.fraStarInfo.Visible;
    if (mapX != 0 && ws.ClusterMap.contains(mapX, mapY)) s.mapValue = ws.ClusterMap(mapX, mapY);
    const auto mark = ctx.frm.editMarks.byResult.find(n);
    s.marked = mark != ctx.frm.editMarks.byResult.end();
    s.rim = s.marked && mark->second.rim;
    takeDot(ctx, cx, cy, s);
    return s;
}

EditSnapshot snapshotOf(const Ctx& ctx, int32_t n) {
    const auto& ws = ctx.ws;
    const bool known = n >= 0 && static_cast<size_t>(n) < ws.Stars.size();
    return snapshotOf(ctx, n, known ? ws.Stars[n].CenterX : NAN, known ? ws.Stars[n].CenterY : NAN);
}

void recordEdit(Ctx& ctx, EditKind kind, int32_t n, const EditSnapshot& before, int mapX,
                int mapY) {
    auto& h = ctx.ws.edits;
    h.undone.clear();
    const auto& s = ctx.ws.Stars[n];
    EditSnapshot after = snapshotOf(ctx, n, s.CenterX, s.CenterY, mapX, mapY);
    if (kind == EditKind::Note && !h.done.empty() && h.done.back().kind == EditKind::Note &&
        h.done.back().n == n) {
        h.done.back().after = std::move(after);
        return;
    }
    EditStep step;
    step.kind = kind;
    step.n = n;
    step.mapX = mapX;
    step.mapY = mapY;
    step.readMapGeneration = ctx.ws.ReadMapGeneration;
    step.before = before;
    step.after = std::move(after);
    // The dot of the before-state was taken where the result is after the edit.
    if (kind == EditKind::Add) takeDot(ctx, s.CenterX, s.CenterY, step.before);
    h.done.push_back(std::move(step));
}

bool undoEdit(Ctx& ctx) {
    auto& h = ctx.ws.edits;
    if (h.done.empty()) {
        form::OV_DispMsg(ctx, "元に戻す編集はありません。");
        return false;
    }
    EditStep step = std::move(h.done.back());
    h.done.pop_back();
    put(ctx, step, step.before, step.after);
    if (const char* line = logLine(step.kind, true))
        form::OV_Logout(ctx, std::string(line) + core::signPositionForm(int64_t{step.n}) + ")");
    said(ctx, "元に戻しました", step);
    h.undone.push_back(std::move(step));
    return true;
}

bool redoEdit(Ctx& ctx) {
    auto& h = ctx.ws.edits;
    if (h.undone.empty()) {
        form::OV_DispMsg(ctx, "やり直す編集はありません。");
        return false;
    }
    EditStep step = std::move(h.undone.back());
    h.undone.pop_back();
    put(ctx, step, step.after, step.before);
    if (const char* line = logLine(step.kind, false))
        form::OV_Logout(ctx, std::string(line) + core::signPositionForm(int64_t{step.n}) + ")");
    said(ctx, "やり直しました", step);
    h.done.push_back(std::move(step));
    return true;
}

}  // namespace orv::edit
