#include "edit/manual_edit.h"

#include "core/numeric.h"
#include "edit/pointer.h"
#include "edit/star_info.h"
#include "edit/undo.h"
#include "extract/analysis.h"
#include "extract/records.h"
#include "form/class_colours.h"
#include "form/message_log.h"
#include "view/overlay.h"

namespace orv::edit {

using form::Ctx;

namespace {

// Adds `delta` to a count or an edit state, as the program's whole-number arithmetic does.
void add(int32_t& value, int delta) {
    value = core::CLng(static_cast<double>(value) + delta);
}
void add(int16_t& value, int delta) {
    value = core::CInt(static_cast<double>(value) + delta);
}

bool isClass(int atr) {
    return atr >= extract::kAtrNoise && atr <= extract::kAtrNoiseReleased;
}

void refuse(Ctx& ctx, const char* message) {
    ctx.host.msgBox(message, form::MsgButtons::Ok);
}

void logEdit(Ctx& ctx, const char* what, int32_t n) {
    form::OV_Logout(ctx, std::string(what) + core::signPositionForm(int64_t{n}) + ")");
}

// An edit made: the results hold unsaved hand work, and the screen marks of n follow it.
void edited(Ctx& ctx, int32_t n) {
    ctx.ws.Unsaved.handWork = true;
    view::markEdit(ctx, n, false);
}

// The counts and the panel after every edit, refused ones included.
void refresh(Ctx& ctx) {
    view::OV_DispResultNo(ctx);
    OV_DispStarInfo(ctx, ctx.ws.SelStarNo);
}

}  // namespace

bool hasShownSelection(const Ctx& ctx) {
    return ctx.frm.fraStarInfo.Visible && isResultNo(ctx.ws, ctx.ws.SelStarNo);
}

void cmdEdit_Click(Ctx& ctx) {
    auto& frame = ctx.frm.fraEdit;
    frame.Left = 30;
    frame.Top = 30;
    frame.Visible = true;
}

void cmdEditClose_Click(Ctx& ctx) {
    ctx.frm.fraEdit.Visible = false;
}

void cmdEditDelete_Click(Ctx& ctx) {
    auto& ws = ctx.ws;
    const int32_t n = ws.SelStarNo;
    if (!isResultNo(ws, n)) return;
    auto& c = ws.Clusters[n];
    if (c.EditAtr & extract::kEditDeleted) {
        refuse(ctx, "すでに削除されています。");
        return refresh(ctx);
    }
    const core::EditSnapshot before = snapshotOf(ctx, n);
    add(c.EditAtr, 1);
    add(ws.StarAtrNo[1][1], 1);
    extract::drawResult(ctx, n, form::kColourDeleted, true);
    if (isClass(c.Atr)) add(ws.StarAtrNo[0][c.Atr], -1);
    if (c.EditAtr & extract::kEditAdded) add(ws.StarAtrNo[1][2], -1);
    logEdit(ctx, "・削除指定　(", n);
    edited(ctx, n);
    refresh(ctx);
    recordEdit(ctx, core::EditKind::Delete, n, before);
}

void cmdEditUnDelete_Click(Ctx& ctx) {
    auto& ws = ctx.ws;
    const int32_t n = ws.SelStarNo;
    if (!isResultNo(ws, n)) return;
    auto& c = ws.Clusters[n];
    if (!(c.EditAtr & extract::kEditDeleted)) {
        refuse(ctx, "削除されていません。");
        return refresh(ctx);
    }
    const core::EditSnapshot before = snapshotOf(ctx, n);
    add(c.EditAtr, -1);
    add(ws.StarAtrNo[1][1], -1);
    if (isClass(c.Atr)) {
        add(ws.StarAtrNo[0][c.Atr], 1);
        extract::drawResult(ctx, n, form::atrColour(c.Atr), true);
    }
    if (c.EditAtr & extract::kEditAdded) {
        add(ws.StarAtrNo[1][2], 1);
        extract::drawResult(ctx, n, form::kColourAdded, true);
    }
    logEdit(ctx, "・削除解除　(", n);
    edited(ctx, n);
    refresh(ctx);
    recordEdit(ctx, core::EditKind::Restore, n, before);
}

void cmdEditUnNoize_Click(Ctx& ctx, int index) {
    auto& ws = ctx.ws;
    const int32_t n = ws.SelStarNo;
    if (!isResultNo(ws, n)) return;
    auto& c = ws.Clusters[n];
    if (index == 0) {
        if (c.Atr != extract::kAtrNoise) {
            refuse(ctx, "ノイズではありません。");
            return refresh(ctx);
        }
        const core::EditSnapshot before = snapshotOf(ctx, n);
        c.Atr = extract::kAtrNoiseReleased;
        extract::drawResult(ctx, n, form::kColourNoiseReleased, true);
        add(ws.StarAtrNo[0][1], -1);
        add(ws.StarAtrNo[0][5], 1);
        logEdit(ctx, "・ノイズ解除　(", n);
        edited(ctx, n);
        refresh(ctx);
        return recordEdit(ctx, core::EditKind::NoiseRelease, n, before);
    } else if (index == 1) {
        if (c.Atr != extract::kAtrNoiseReleased) {
            refuse(ctx, "ノイズ解除の対象ではありません。");
            return refresh(ctx);
        }
        const core::EditSnapshot before = snapshotOf(ctx, n);
        c.Atr = extract::kAtrNoise;
        extract::drawResult(ctx, n, form::kColourNoise, true);
        add(ws.StarAtrNo[0][1], 1);
        add(ws.StarAtrNo[0][5], -1);
        logEdit(ctx, "・ノイズ設定　(", n);
        edited(ctx, n);
        refresh(ctx);
        return recordEdit(ctx, core::EditKind::Renoise, n, before);
    }
    refresh(ctx);
}

void txtStarNote_Change(Ctx& ctx) {
    auto& ws = ctx.ws;
    if (!isResultNo(ws, ws.SelStarNo)) return;
    auto& note = ws.Clusters[ws.SelStarNo].Note;
    // The panel writes the same text back when it shows a result: only a new text is work.
    if (note == ctx.frm.txtStarNote.Text) return;
    const core::EditSnapshot before = snapshotOf(ctx, ws.SelStarNo);
    note = ctx.frm.txtStarNote.Text;
    ws.Unsaved.handWork = true;
    recordEdit(ctx, core::EditKind::Note, ws.SelStarNo, before);
}

}  // namespace orv::edit
