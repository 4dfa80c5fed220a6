#include "view/view_switch.h"

#include <algorithm>

#include "view/navigation.h"

namespace orv::view {

void optFrame_Click(form::Ctx& ctx, int index) {
    auto& pic = ctx.frm.picHSC;
    for (auto& p : pic) p.Visible = false;
    switch (index) {
        case 0:
            pic[ctx.frm.chkCircle.Value == 1 ? 4 : 3].Visible = true;
            break;
        case 1:
            pic[2].Visible = true;
            break;
        case 2:
            pic[1].Visible = true;
            break;
        case 3:
            pic[0].Visible = true;
            break;
        default:
            break;
    }
}

void selectOptFrame(form::Ctx& ctx, int index) {
    if (ctx.frm.optFrame[index].Value) return;
    for (int i = 0; i < 4; ++i) ctx.frm.optFrame[i].Value = i == index;
    optFrame_Click(ctx, index);
}

void showViewOption(form::Ctx& ctx, int index) {
    optFrame_Click(ctx, index);
    selectOptFrame(ctx, index);
}

ShownViews shownViews(const form::Ctx& ctx) {
    ShownViews v;
    for (int i = 0; i < 5; ++i) v.layers[i] = ctx.frm.picHSC[i].Visible;
    v.thumbnail = ctx.frm.imgHSC.Visible;
    for (int i = 0; i < 4; ++i) v.options[i] = ctx.frm.optFrame[i].Value;
    return v;
}

void restoreViews(form::Ctx& ctx, const ShownViews& v) {
    for (int i = 0; i < 5; ++i) ctx.frm.picHSC[i].Visible = v.layers[i];
    ctx.frm.imgHSC.Visible = v.thumbnail;
    for (int i = 0; i < 4; ++i) ctx.frm.optFrame[i].Value = v.options[i];
}

void chkCircle_Click(form::Ctx& ctx) {
    bool marks = ctx.frm.chkCircle.Value == 1;
    ctx.frm.picHSC[3].Visible = !marks;
    ctx.frm.picHSC[4].Visible = marks;
    ctx.host.pump();
}

void chkFlicker_Click(form::Ctx& ctx) {
    auto& timer = ctx.frm.tmrFlicker;
    timer.Interval = 500;
    if (ctx.frm.chkFlicker.Value == 1) {
        timer.Enabled = true;
        return;
    }
    timer.Enabled = false;
    ctx.frm.chkCircle.Value = 1;
    chkCircle_Click(ctx);
}

void tmrFlicker_Timer(form::Ctx& ctx) {
    auto& pic = ctx.frm.picHSC;
    bool marksShown = pic[4].Visible;
    pic[4].Visible = !marksShown;
    pic[3].Visible = marksShown;
}

void Form_Resize(form::Ctx& ctx, double outerWidthPx, double clientWidth, double clientHeight) {
    if (outerWidthPx < 200) return;
    auto& v = ctx.frm.fraPickUp;
    v.Left = 320;
    v.Top = 40;
    v.Width = std::max(0.0, clientWidth - 325);
    v.Height = std::max(0.0, clientHeight - 50);
    // The navigator shows the viewport's new extent.
    if (ctx.frm.shpZoomArea.Visible) placeZoomArea(ctx);
}

}  // namespace orv::view
