#include "edit/manual_edit.h"

#include <gtest/gtest.h>

#include "edit/pointer.h"
#include "edit/review.h"
#include "edit/scene.h"
#include "edit/star_info.h"
#include "results/data_files.h"

namespace orv::edit {
namespace {

using test::Scene;

std::vector<std::string> captions(const Scene& s) {
    std::vector<std::string> out;
    for (const auto& l : s.frm.lblStarInfoData) out.push_back(l.Caption);
    return out;
}

TEST(StarInfo, ValuesWordsAndButtonsFollowTheRecord) {
    Scene s;
    auto& star = s.ws.Stars[3];
    star.CenterX = 1234.56f;
    star.CenterY = 0.04f;
    star.SumLevel = 12345.5f;
    star.SinendoRatio = 1.25f;
    star.HankeiAve = 2.35f;
    star.HankeiMin = 2;
    star.HankeiMax = 2.5f;
    star.HankeiSD = 0.816f;
    s.ws.Clusters[3].Siki = 4.5f;
    s.ws.Clusters[3].Note = "double, \"star\"";
    OV_DispStarInfo(s.ctx, 3);
    EXPECT_EQ(s.ws.SelStarNo, 3);
    EXPECT_EQ(captions(s),
              (std::vector<std::string>{"1234.6", ".0", "4.5", "9", "1.3", "2.4", "2.0", "2.5",
                                        "12346", "0.82", "120", "3", "円状天体", "自動抽出"}));
    EXPECT_EQ(s.frm.txtStarNote.Text, "double, \"star\"");
    EXPECT_TRUE(s.frm.cmdEditDelete.Visible && s.frm.shpEditDelete.Visible);
    EXPECT_FALSE(s.frm.cmdEditUnDelete.Visible);
    EXPECT_FALSE(s.frm.cmdEditUnNoize[0].Visible || s.frm.cmdEditUnNoize[1].Visible);

    // By class: the words, which noise button is offered, and no outline figures but for
    // circular and elongated results.
    const struct {
        int n;
        const char *atr, *edit, *ratio;
        bool release, renoise, deletable;
    } cases[] = {
        {1, "ノイズ", "自動抽出", "-", true, false, true},
        {2, "面積天体", "自動抽出", "-", false, false, true},
        {4, "横長天体", "自動抽出", ".0", false, false, true},
        {5, "ノイズ解除", "自動抽出", "-", false, true, true},
        {6, "-", "手動追加", "-", false, false, true},
        {7, "円状天体", "手動削除", ".0", false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.n);
        OV_DispStarInfo(s.ctx, c.n);
        EXPECT_EQ(s.info(12), c.atr);
        EXPECT_EQ(s.info(13), c.edit);
        EXPECT_EQ(s.info(4), c.ratio);
        EXPECT_EQ(s.frm.cmdEditUnNoize[0].Visible, c.release);
        EXPECT_EQ(s.frm.shpEditUnNoize[0].Visible, c.release);
        EXPECT_EQ(s.frm.cmdEditUnNoize[1].Visible, c.renoise);
        EXPECT_EQ(s.frm.cmdEditDelete.Visible, c.deletable);
        EXPECT_EQ(s.frm.cmdEditUnDelete.Visible, !c.deletable);
    }
    // The spread always shows two decimals ("#0.00"): 0.1 is 0.10.
    s.ws.Stars[4].HankeiSD = 0.1f;
    OV_DispStarInfo(s.ctx, 4);
    EXPECT_EQ(s.info(9), "0.10");
    // A hand-added point: area 0, empty sums.
    OV_DispStarInfo(s.ctx, 6);
    EXPECT_EQ(s.info(0), "6.3");
    EXPECT_EQ(s.info(3), "0");
    EXPECT_EQ(s.info(8), "");
    EXPECT_EQ(s.info(10), "");
    // An edit state beyond 3 leaves its word and the delete buttons as they were.
    s.ws.Clusters[6].EditAtr = 4;
    OV_DispStarInfo(s.ctx, 7);
    OV_DispStarInfo(s.ctx, 6);
    EXPECT_EQ(s.info(13), "-");
    EXPECT_TRUE(s.frm.cmdEditUnDelete.Visible);
}

TEST(ManualEdit, DeleteAndRestoreKeepTheCountsAndTheLog) {
    Scene s;
    const auto before = s.counts();
    OV_DispStarInfo(s.ctx, 3);
    cmdEditDelete_Click(s.ctx);
    EXPECT_EQ(s.ws.Clusters[3].EditAtr, 1);
    auto deleted = before;
    deleted[2] -= 1;
    deleted[5] += 1;
    EXPECT_EQ(s.counts(), deleted);
    EXPECT_EQ(s.dot(3), form::kColourDeleted);
    EXPECT_EQ(s.info(13), "手動削除");
    EXPECT_TRUE(s.frm.cmdEditUnDelete.Visible);
    EXPECT_EQ(s.frm.lblStarAtr[2].Caption, std::to_string(deleted[2]));

    cmdEditDelete_Click(s.ctx);  // refused
    EXPECT_EQ(s.host.messages.back().text, "すでに削除されています。");
    EXPECT_EQ(s.host.messages.back().buttons, form::MsgButtons::Ok);
    EXPECT_EQ(s.counts(), deleted);

    cmdEditUnDelete_Click(s.ctx);
    EXPECT_EQ(s.ws.Clusters[3].EditAtr, 0);
    EXPECT_EQ(s.counts(), before);
    EXPECT_EQ(s.dot(3), form::kColourCircular);
    cmdEditUnDelete_Click(s.ctx);
    EXPECT_EQ(s.host.messages.back().text, "削除されていません。");

    // A hand-added point: its added count goes, no class count changes; back to green.
    OV_DispStarInfo(s.ctx, 6);
    cmdEditDelete_Click(s.ctx);
    EXPECT_EQ(s.ws.Clusters[6].EditAtr, 3);
    auto addedDeleted = before;
    addedDeleted[5] += 1;
    addedDeleted[6] -= 1;
    EXPECT_EQ(s.counts(), addedDeleted);
    cmdEditUnDelete_Click(s.ctx);
    EXPECT_EQ(s.dot(6), form::kColourAdded);
    EXPECT_EQ(s.counts(), before);

    EXPECT_EQ(s.logTexts(), (std::vector<std::string>{"・削除指定　( 3)", "・削除解除　( 3)",
                                                      "・削除指定　( 6)", "・削除解除　( 6)"}));
    EXPECT_EQ(s.host.messages.size(), 2u);
}

TEST(ManualEdit, NoiseReleaseAndBack) {
    Scene s;
    const auto before = s.counts();
    OV_DispStarInfo(s.ctx, 2);
    cmdEditUnNoize_Click(s.ctx, 0);
    EXPECT_EQ(s.host.messages.back().text, "ノイズではありません。");
    cmdEditUnNoize_Click(s.ctx, 1);
    EXPECT_EQ(s.host.messages.back().text, "ノイズ解除の対象ではありません。");
    EXPECT_EQ(s.ws.Clusters[2].Atr, 2);

    OV_DispStarInfo(s.ctx, 1);
    cmdEditUnNoize_Click(s.ctx, 0);
    EXPECT_EQ(s.ws.Clusters[1].Atr, 5);
    EXPECT_EQ(s.dot(1), form::kColourNoiseReleased);
    EXPECT_EQ(s.ws.StarAtrNo[0][1], before[0] - 1);
    EXPECT_EQ(s.ws.StarAtrNo[0][5], before[4] + 1);
    EXPECT_EQ(s.info(12), "ノイズ解除");
    EXPECT_TRUE(s.frm.cmdEditUnNoize[1].Visible);
    cmdEditUnNoize_Click(s.ctx, 1);
    EXPECT_EQ(s.ws.Clusters[1].Atr, 1);
    EXPECT_EQ(s.dot(1), form::kColourNoise);
    EXPECT_EQ(s.counts(), before);
    EXPECT_EQ(s.logTexts(), (std::vector<std::string>{"・ノイズ解除　( 1)", "・ノイズ設定　( 1)"}));

    // The frame and the note box.
    cmdEdit_Click(s.ctx);
    EXPECT_TRUE(s.frm.fraEdit.Visible);
    EXPECT_EQ(s.frm.fraEdit.Left, 30);
    s.frm.txtStarNote.Text = "ノ";
    txtStarNote_Change(s.ctx);
    EXPECT_EQ(s.ws.Clusters[1].Note, "ノ");
    cmdEditClose_Click(s.ctx);
    EXPECT_FALSE(s.frm.fraEdit.Visible);
}

TEST(ManualEdit, EditsAndNotesComeBackFromTheResultFiles) {
    Scene s;
    OV_DispStarInfo(s.ctx, 3);
    cmdEditDelete_Click(s.ctx);
    OV_DispStarInfo(s.ctx, 1);
    cmdEditUnNoize_Click(s.ctx, 0);
    s.frm.txtStarNote.Text = "released, \"by eye\"";
    txtStarNote_Change(s.ctx);
    picHSC_MouseDown(s.ctx, 4, 1, kCtrlKey, 17.5f, 8.5f);
    results::cmdSaveData_Click(s.ctx);
    ASSERT_EQ(s.ws.ProcStage, core::kStageSaved);
    const auto saved = s.counts();

    s.ws.MaxStarNo = 0;
    extract::resetTables(s.ws);
    s.host.fileAnswers.push_back(s.dir.file("test.bmp.dir/test.bmp.dat"));
    results::cmdReadData_Click(s.ctx);
    ASSERT_EQ(s.ws.ProcStage, core::kStageRead);
    EXPECT_EQ(s.ws.Clusters[3].EditAtr, 1);
    EXPECT_EQ(s.ws.Clusters[1].Atr, 5);
    EXPECT_EQ(s.ws.Clusters[1].Note, "released, \"by eye\"");
    EXPECT_EQ(s.ws.Clusters[8].EditAtr, 2);
    EXPECT_EQ(s.ws.Stars[8].CenterX, 17.5f);
    EXPECT_EQ(s.counts(), saved);
    EXPECT_EQ(s.dot(1), form::kColourNoiseReleased);
    EXPECT_EQ(s.dot(3), form::kColourDeleted);
    EXPECT_EQ(s.dot(8), form::kColourAdded);
}

TEST(Review, StepsThroughTheShownResultsOfAClass) {
    Scene s;
    s.frm.fraPickUp.Width = 400;
    s.frm.fraPickUp.Height = 300;
    std::vector<int> seen;
    for (int i = 0; i < 8; ++i) {
        reviewStep(s.ctx, 1);
        seen.push_back(s.ws.SelStarNo);
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 1}));
    EXPECT_EQ(s.frm.lblMsg.Caption, "全結果 1 / 7");
    EXPECT_TRUE(s.frm.fraStarInfo.Visible);
    EXPECT_TRUE(s.frm.shpStarCursol[0].Visible);
    // Centred: the result's picture point lies in the middle of the viewport.
    EXPECT_EQ(s.frm.picHSC[3].Left, 200 * 15 - 2.5 * 15);

    reviewClass(s.ctx, 3);  // circular: 3 and the deleted 7
    EXPECT_EQ(s.ws.SelStarNo, 3);
    EXPECT_EQ(s.frm.lblMsg.Caption, "円状天体 1 / 2");
    reviewStep(s.ctx, 1);
    EXPECT_EQ(s.frm.lblMsg.Caption, "円状天体 2 / 2");
    s.frm.chkDisp[2].Value = 0;  // deleted results hidden: out of the queue
    reviewStep(s.ctx, -1);
    EXPECT_EQ(s.ws.SelStarNo, 3);
    EXPECT_EQ(s.frm.lblMsg.Caption, "円状天体 1 / 1");
    reviewStep(s.ctx, -1);
    EXPECT_EQ(s.ws.SelStarNo, 3);

    s.frm.chkDisp[0].Value = 0;
    reviewClass(s.ctx, 1);
    EXPECT_EQ(s.frm.lblMsg.Caption, "ノイズはありません。");
    EXPECT_EQ(s.ws.SelStarNo, 3);
}

}  // namespace
}  // namespace orv::edit
