#include "edit/undo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "edit/manual_edit.h"
#include "edit/pointer.h"
#include "edit/scene.h"
#include "edit/star_info.h"
#include "extract/outline_fill.h"
#include "results/data_files.h"

namespace orv::edit {
namespace {

using test::Scene;

// What an edit may change and a user can see or save: the counts, the selection and panel,
// the marked layer's pixels, the screen marks, and the result pair's bytes.
struct Seen {
    std::vector<int> counts;
    int32_t selected;
    bool panel;
    std::vector<std::string> captions;
    std::vector<form::Rgb> layer;
    std::vector<int32_t> marked;
    std::string ini, dat;
    bool operator==(const Seen&) const = default;
};

// Field by field, so that a difference says where it is.
void expectSame(const Seen& a, const Seen& b) {
    EXPECT_EQ(a.counts, b.counts);
    EXPECT_EQ(a.selected, b.selected);
    EXPECT_EQ(a.panel, b.panel);
    EXPECT_EQ(a.captions, b.captions);
    EXPECT_TRUE(a.layer == b.layer) << "the marked layer's pixels differ";
    EXPECT_EQ(a.marked, b.marked);
    EXPECT_EQ(a.ini, b.ini);
    EXPECT_EQ(a.dat, b.dat);
}

Seen seen(Scene& s) {
    Seen v{s.counts(), s.ws.SelStarNo, s.frm.fraStarInfo.Visible, {}, {}, {}, {}, {}};
    // The panel's values where it is shown.
    if (v.panel)
        for (const auto& l : s.frm.lblStarInfoData) v.captions.push_back(l.Caption);
    const auto& c = s.frm.picHSC[4].canvas;
    v.layer.assign(c.data(), c.data() + static_cast<size_t>(c.widthPx()) * c.heightPx());
    for (const auto& [n, m] : s.frm.editMarks.byResult) v.marked.push_back(n);
    EXPECT_TRUE(results::OV_SaveData(s.ctx));
    const auto paths = results::resultPaths(s.ws);
    v.ini = test::readFile(paths.iniFile);
    v.dat = test::readFile(paths.dataFile);
    return v;
}

// The log's lines after the first `from`.
std::vector<std::string> logSince(const Scene& s, size_t from) {
    auto all = s.logTexts();
    std::vector<std::string> out;
    for (size_t i = from; i < all.size(); ++i)
        if (all[i] != "■データ保存完了") out.push_back(all[i]);
    return out;
}

TEST(Undo, EveryEditUndoneLeavesWhatNeverEditingLeavesAndRedoMakesItAgain) {
    const struct {
        const char* name;
        int select;  // the result shown before the edit (0: none)
        std::function<void(Scene&)> edit;
        std::vector<std::string> log;  // edit, undo, redo
    } cases[] = {
        {"delete",
         3,
         [](Scene& s) { cmdEditDelete_Click(s.ctx); },
         {"・削除指定　( 3)", "・削除解除　( 3)", "・削除指定　( 3)"}},
        {"restore",
         7,
         [](Scene& s) { cmdEditUnDelete_Click(s.ctx); },
         {"・削除解除　( 7)", "・削除指定　( 7)", "・削除解除　( 7)"}},
        {"release",
         1,
         [](Scene& s) { cmdEditUnNoize_Click(s.ctx, 0); },
         {"・ノイズ解除　( 1)", "・ノイズ設定　( 1)", "・ノイズ解除　( 1)"}},
        {"renoise",
         5,
         [](Scene& s) { cmdEditUnNoize_Click(s.ctx, 1); },
         {"・ノイズ設定　( 5)", "・ノイズ解除　( 5)", "・ノイズ設定　( 5)"}},
        {"delete an added point",
         6,
         [](Scene& s) { cmdEditDelete_Click(s.ctx); },
         {"・削除指定　( 6)", "・削除解除　( 6)", "・削除指定　( 6)"}},
        {"shift-click",
         0,
         [](Scene& s) { picHSC_MouseDown(s.ctx, 4, 1, kShiftKey, 14.5f, 2.5f); },
         {}},
        {"ctrl-click",
         2,
         [](Scene& s) { picHSC_MouseDown(s.ctx, 4, 1, kCtrlKey, 17.5f, 8.5f); },
         {}},
        {"note",
         4,
         [](Scene& s) {
             for (const char* text : {"d", "do", "double"}) {
                 s.frm.txtStarNote.Text = text;
                 txtStarNote_Change(s.ctx);
             }
         },
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scene s;
        if (c.select) OV_DispStarInfo(s.ctx, c.select);
        const Seen before = seen(s);
        const size_t logged = s.logTexts().size();
        c.edit(s);
        const Seen after = seen(s);
        ASSERT_NE(after, before);

        ASSERT_TRUE(undoEdit(s.ctx));
        expectSame(seen(s), before);
        EXPECT_FALSE(undoEdit(s.ctx));  // one step only, the note's keystrokes included
        ASSERT_TRUE(redoEdit(s.ctx));
        expectSame(seen(s), after);
        EXPECT_FALSE(redoEdit(s.ctx));
        EXPECT_EQ(logSince(s, logged), c.log);
    }
}

// After results read back, a point added by hand and the map rebuilt (輪郭選択 switched) gave
// the point a block of its own: undoing the add leaves no element with its number, the map
// being what the results now ask for.
TEST(Undo, AnAddUndoneAfterTheReadMapWasRebuiltLeavesNoTraceInTheMap) {
    Scene s;
    extract::rebuildReadMap(s.ws);  // as after reading the results back
    picHSC_MouseDown(s.ctx, 4, 1, kCtrlKey, 17.5f, 8.5f);
    const int32_t added = s.ws.MaxStarNo;
    extract::setReadOutlineClick(s.ws, true);
    auto mapNow = [&s] {
        std::vector<int> v;
        for (int y = 1; y <= s.ws.ImageHeightP; ++y)
            for (int x = 1; x <= s.ws.ImageWidthP; ++x) v.push_back(s.ws.ClusterMap(x, y));
        return v;
    };
    auto holding = [&](int32_t n) {
        const auto v = mapNow();
        return std::count(v.begin(), v.end(), n);
    };
    ASSERT_GT(holding(added), 1);
    ASSERT_TRUE(undoEdit(s.ctx));
    EXPECT_EQ(holding(added), 0);
    const auto map = mapNow();
    extract::rebuildReadMap(s.ws);
    EXPECT_EQ(mapNow(), map);
    ASSERT_TRUE(redoEdit(s.ctx));  // the point takes its element again
    EXPECT_GE(holding(added), 1);
    // Undone and redone again straight away, the map is still what the results ask for.
    ASSERT_TRUE(undoEdit(s.ctx));
    EXPECT_EQ(holding(added), 0);
    ASSERT_TRUE(redoEdit(s.ctx));
    const auto redone = mapNow();
    extract::rebuildReadMap(s.ws);
    EXPECT_EQ(mapNow(), redone);
}

TEST(Undo, StepsGoBackInTurnAndANewEditEndsRedo) {
    Scene s;
    OV_DispStarInfo(s.ctx, 3);
    const auto start = s.counts();
    cmdEditDelete_Click(s.ctx);
    const auto one = s.counts();
    OV_DispStarInfo(s.ctx, 1);
    cmdEditUnNoize_Click(s.ctx, 0);
    ASSERT_TRUE(undoEdit(s.ctx));
    EXPECT_EQ(s.counts(), one);
    EXPECT_EQ(s.ws.Clusters[1].Atr, 1);
    ASSERT_TRUE(undoEdit(s.ctx));
    EXPECT_EQ(s.counts(), start);
    EXPECT_EQ(s.dot(3), form::kColourCircular);
    // A refused edit records nothing; a new edit drops what could be redone.
    OV_DispStarInfo(s.ctx, 4);
    cmdEditUnNoize_Click(s.ctx, 0);  // not noise
    EXPECT_EQ(s.ws.edits.done.size(), 0u);
    cmdEditDelete_Click(s.ctx);
    EXPECT_FALSE(redoEdit(s.ctx));
    EXPECT_EQ(s.frm.lblMsg.Caption, "やり直す編集はありません。");
}

TEST(Undo, AfterARedisplayTheDotAndCountsFollowTheStateUndone) {
    Scene s;
    const auto start = s.counts();
    OV_DispStarInfo(s.ctx, 3);
    cmdEditDelete_Click(s.ctx);
    OV_DispStarInfo(s.ctx, 1);
    cmdEditUnNoize_Click(s.ctx, 0);
    view::cmdReDisp_Click(s.ctx);  // the layer drawn whole, the counts made afresh
    ASSERT_TRUE(undoEdit(s.ctx));
    ASSERT_TRUE(undoEdit(s.ctx));
    EXPECT_EQ(s.counts(), start);
    EXPECT_EQ(s.dot(3), form::kColourCircular);
    EXPECT_EQ(s.dot(1), form::kColourNoise);
    // With noise hidden by the display options, an undone release leaves no dot.
    s.frm.chkDisp[0].Value = 0;
    OV_DispStarInfo(s.ctx, 1);
    cmdEditUnNoize_Click(s.ctx, 0);
    view::cmdReDisp_Click(s.ctx);
    ASSERT_TRUE(undoEdit(s.ctx));
    EXPECT_EQ(s.dot(1), s.frm.picHSC[3].canvas.pixel(2, 2));
}

TEST(Undo, ANewDetectionOrPictureForgetsTheHistory) {
    Scene s;
    OV_DispStarInfo(s.ctx, 3);
    cmdEditDelete_Click(s.ctx);
    form::setStage(s.ctx, core::kStageAnalysing);
    EXPECT_FALSE(undoEdit(s.ctx));
    form::setStage(s.ctx, core::kStageAnalysed);
    OV_DispStarInfo(s.ctx, 4);
    cmdEditDelete_Click(s.ctx);
    extract::resetTables(s.ws);
    EXPECT_FALSE(undoEdit(s.ctx));
}

}  // namespace
}  // namespace orv::edit
