#include "edit/pointer.h"

#include <gtest/gtest.h>

#include "edit/scene.h"
#include "extract/records.h"
#include "view/navigation.h"

namespace orv::edit {
namespace {

using test::Scene;

void down(Scene& s, int shift, float x, float y, int index = 4) {
    picHSC_MouseDown(s.ctx, index, 1, shift, x, y);
}
void move(Scene& s, int shift, float x, float y, int index = 4) {
    picHSC_MouseMove(s.ctx, index, 0, shift, x, y);
}

TEST(Pointer, AClickSelectsOrClearsAndTheFiltersHideResults) {
    Scene s;
    const auto before = s.counts();
    down(s, 0, 11.9f, 2.1f);  // the second pixel of result 3
    EXPECT_EQ(s.ws.SelStarNo, 3);
    EXPECT_TRUE(s.frm.fraStarInfo.Visible);
    for (const auto& cursor : s.frm.shpStarCursol) {
        EXPECT_TRUE(cursor.Visible);
        EXPECT_EQ(cursor.Left, 10.5 - 6);
        EXPECT_EQ(cursor.Top, 2.5 - 6);
    }
    // Hidden classes change nothing: noise, deleted and added results with their box off. The
    // added result 6, deleted by hand (EditAtr 3), hides with the deleted box alone.
    s.ws.Clusters[6].EditAtr = 3;
    const struct {
        int box;
        float x, y;
    } hidden[] = {{0, 2.5f, 2.5f}, {2, 10.5f, 6.5f}, {3, 6.5f, 6.5f}, {2, 6.5f, 6.5f}};
    for (const auto& h : hidden) {
        s.frm.chkDisp[h.box].Value = 0;
        down(s, 0, h.x, h.y);
        down(s, kShiftKey, h.x, h.y);
        move(s, kAltKey, h.x, h.y);
        EXPECT_EQ(s.ws.SelStarNo, 3);
        EXPECT_TRUE(s.frm.fraStarInfo.Visible);
        s.frm.chkDisp[h.box].Value = 1;
    }
    EXPECT_EQ(s.counts(), before);
    // The noise result with its box on; the right and middle buttons act as the left.
    picHSC_MouseDown(s.ctx, 4, 2, 0, 2.5f, 2.5f);
    EXPECT_EQ(s.ws.SelStarNo, 1);

    down(s, 0, 18.5f, 8.5f);  // no cluster there
    EXPECT_EQ(s.ws.SelStarNo, 0);
    EXPECT_FALSE(s.frm.fraStarInfo.Visible);
    EXPECT_FALSE(s.frm.shpStarCursol[0].Visible);

    down(s, 0, 10.5f, 2.5f);
    down(s, 0, 10.5f, 2.5f, 0);  // any other picture clears the selection
    EXPECT_EQ(s.ws.SelStarNo, 0);
    EXPECT_FALSE(s.frm.fraStarInfo.Visible);
}

TEST(Pointer, ShiftClickTogglesTheDeletionOnly) {
    Scene s;
    const auto before = s.counts();
    down(s, kShiftKey, 10.5f, 2.5f);
    EXPECT_EQ(s.ws.Clusters[3].EditAtr, 1);
    EXPECT_EQ(s.ws.StarAtrNo[1][1], before[5] + 1);
    EXPECT_EQ(s.ws.StarAtrNo[0][3], before[2]);  // the class count stays
    EXPECT_EQ(s.dot(3), form::kColourDeleted);
    EXPECT_EQ(s.info(13), "手動削除");
    EXPECT_EQ(s.frm.lblStarAtr1[0].Caption, std::to_string(before[5] + 1));
    down(s, kShiftKey, 10.5f, 2.5f);
    EXPECT_EQ(s.ws.Clusters[3].EditAtr, 0);
    EXPECT_EQ(s.counts(), before);
    EXPECT_EQ(s.dot(3), form::kColourCircular);

    // An added result: 2 -> 3 -> 2, green again. Shift with Ctrl toggles and adds nothing.
    down(s, kShiftKey | kCtrlKey, 6.5f, 6.5f);
    EXPECT_EQ(s.ws.Clusters[6].EditAtr, 3);
    EXPECT_EQ(s.info(13), "手動削除");
    EXPECT_EQ(s.ws.MaxStarNo, 7);
    down(s, kShiftKey, 6.5f, 6.5f);
    EXPECT_EQ(s.ws.Clusters[6].EditAtr, 2);
    EXPECT_EQ(s.dot(6), form::kColourAdded);
    EXPECT_EQ(s.counts(), before);
    EXPECT_TRUE(s.logTexts().empty());

    down(s, kShiftKey, 18.5f, 8.5f);  // nothing there
    EXPECT_EQ(s.ws.SelStarNo, 0);
}

TEST(Pointer, CtrlClickAddsAResultAtTheExactPosition) {
    Scene s;
    const form::Rgb under = s.frm.picHSC[4].canvas.pixel(15, 7);
    down(s, kCtrlKey, 15.3f, 7.8f);
    ASSERT_EQ(s.ws.MaxStarNo, 8);
    EXPECT_EQ(s.ws.SelStarNo, 8);
    EXPECT_EQ(s.ws.Stars[8].CenterX, 15.3f);
    EXPECT_EQ(s.ws.Stars[8].CenterY, 7.8f);
    EXPECT_EQ(s.ws.Clusters[8].EditAtr, 2);
    EXPECT_EQ(s.ws.Clusters[8].Atr, 0);
    EXPECT_EQ(s.ws.ClusterMap(16, 8), 8);
    EXPECT_EQ(s.ws.StarAtrNo[1][2], 2);
    EXPECT_EQ(s.frm.lblStarAtr1[1].Caption, "2");
    EXPECT_EQ(s.info(13), "手動追加");
    EXPECT_EQ(s.info(12), "-");
    EXPECT_EQ(s.frm.picHSC[4].canvas.pixel(15, 7), under);  // drawn at the next redisplay
    // Over another result the new one takes the pixel.
    down(s, kCtrlKey, 2.5f, 6.5f);
    EXPECT_EQ(s.ws.ClusterMap(3, 7), 9);

    // Only a pixel of the picture takes a result; a full table adds nothing.
    down(s, kCtrlKey, -0.5f, 3.0f);
    down(s, kCtrlKey, 20.0f, 3.0f);
    EXPECT_EQ(s.ws.MaxStarNo, 9);
    EXPECT_EQ(s.ws.ClusterMap(0, 4), 0);
    s.ws.MaxStarNo = extract::kMaxStarNo;
    extract::noteTableUse(s.ws);
    s.ws.FreeStarNoHint = extract::kMaxStarNo + 1;
    down(s, kCtrlKey, 12.5f, 8.5f);
    EXPECT_EQ(s.ws.ClusterMap(13, 9), 0);
    EXPECT_EQ(s.ws.StarAtrNo[1][2], 3);
}

TEST(Pointer, MovesShowThePositionAndAltShowsTheResultUnderThePointer) {
    Scene s;
    move(s, 0, 10.75f, 2.25f, 0);
    EXPECT_EQ(s.frm.lblXY.Caption, "X : 10  Y : 2  a : 60");
    EXPECT_FALSE(s.frm.fraStarInfo.Visible);  // without Alt only the position line
    move(s, kAltKey, 10.75f, 2.25f, 1);       // on any picture
    EXPECT_EQ(s.ws.SelStarNo, 3);
    EXPECT_TRUE(s.frm.fraStarInfo.Visible);
    move(s, kAltKey, 18.5f, 8.5f);
    EXPECT_FALSE(s.frm.fraStarInfo.Visible);
    EXPECT_FALSE(s.frm.shpStarCursol[1].Visible);
    EXPECT_EQ(s.ws.SelStarNo, 3);  // kept for the edit buttons
    // The border reads zero; beyond it nothing is read and the line stays.
    move(s, 0, -0.5f, 0.5f);
    EXPECT_EQ(s.frm.lblXY.Caption, "X : -1  Y : 0  a : 0");
    move(s, kAltKey, -3.5f, 99.0f);
    EXPECT_EQ(s.frm.lblXY.Caption, "X : -1  Y : 0  a : 0");
    // The magnifier follows while it is on.
    s.frm.chkMag.Value = 1;
    view::chkMag_Click(s.ctx);
    move(s, 0, 6.5f, 2.5f);
    EXPECT_EQ(s.frm.picMag.canvas.pixel(155, 155), form::kColourArea);
}

TEST(Pointer, TheHandToolDragsAllLayersAndNeverSelects) {
    Scene s;
    view::cmdZoom_Click(s.ctx, 0);  // scale 2: 30 layout units per picture pixel
    view::cmdZoom_Click(s.ctx, 3);
    ASSERT_EQ(s.ws.HandMode, -1);
    view::placeLayers(s.ctx, -100, -50);
    down(s, kCtrlKey | kShiftKey, 10.5f, 2.5f, 2);
    EXPECT_TRUE(s.ws.HandDragging);
    EXPECT_EQ(s.ws.SelStarNo, 0);
    EXPECT_EQ(s.ws.MaxStarNo, 7);
    EXPECT_EQ(s.ws.Clusters[3].EditAtr, 0);
    // The pointer moves 2 pixels right and 1 up; the picture follows it.
    move(s, 0, 12.5f, 1.5f, 2);
    for (const auto& p : s.frm.picHSC) {
        EXPECT_EQ(p.Left, -100 + 60);
        EXPECT_EQ(p.Top, -50 - 30);
    }
    // Under the pointer, which has not moved since, lies the same picture point.
    down(s, 0, 0, 0, 2);  // a second press while dragging is ignored
    move(s, 0, 10.5f, 2.5f, 2);
    EXPECT_EQ(s.frm.picHSC[0].Left, -40);
    picHSC_MouseUp(s.ctx, 2, 1, 0, 11.5f, 2.5f);
    EXPECT_FALSE(s.ws.HandDragging);
    EXPECT_EQ(s.frm.picHSC[4].Left, -10);
    EXPECT_EQ(s.frm.picHSC[4].Top, -80);
    move(s, 0, 0.5f, 0.5f, 2);  // no drag: nothing moves
    EXPECT_EQ(s.frm.picHSC[4].Left, -10);
}

}  // namespace
}  // namespace orv::edit
