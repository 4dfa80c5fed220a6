// A source that offers nothing to load leaves the window as it was; a real failure does not.

#include <gtest/gtest.h>

#include "control/pipeline.h"
#include "control/startup.h"
#include "input/image_load.h"
#include "support/pictures.h"
#include "view/view_switch.h"

namespace orv::input {
namespace {

using test::TestApp;

// A detected picture, viewed as clusters.
struct Detected : TestApp {
    Detected() {
        control::Form_Load(ctx);
        test::typicalSettings(ws.settings);
        EXPECT_TRUE(test::loadPicture(
            *this, test::textPicture({"........", "..##....", "..##....", "........"}, 200, 10)));
        control::cmdDoAll_Click(ctx);
        EXPECT_EQ(ws.ProcStage, core::kStageAnalysed);
        view::showViewOption(ctx, 1);
    }
};

TEST(LoadNothing, ACancelledDialogOrAnEmptyClipboardKeepsEverything) {
    for (int source : {kSourceFile, kSourceClipboard}) {
        SCOPED_TRACE(source);
        Detected app;
        const int32_t results = app.ws.MaxStarNo;
        const form::Rgb pixel = app.frm.picHSC[0].canvas.pixel(2, 1);
        app.host.clipboard = [] { return core::Result<form::Picture>(core::Error{"none"}); };
        EXPECT_FALSE(cmdDataIn_Click(app.ctx, source));
        EXPECT_EQ(app.ws.ProcStage, core::kStageAnalysed);
        EXPECT_TRUE(app.frm.optFrame[1].Value);
        EXPECT_TRUE(app.frm.picHSC[2].Visible);
        EXPECT_FALSE(app.frm.picHSC[0].Visible);
        EXPECT_TRUE(app.frm.imgHSC.Visible);
        EXPECT_TRUE(app.frm.cmdSaveData.Enabled);
        EXPECT_EQ(app.ws.MaxStarNo, results);
        EXPECT_EQ(app.ws.DoFileName, "test.bmp");
        EXPECT_EQ(app.frm.picHSC[0].canvas.pixel(2, 1), pixel);
        EXPECT_NE(app.frm.lblMsg.Caption.find("何も読み込みませんでした"), std::string::npos);
        EXPECT_TRUE(app.host.messages.empty());
    }
}

TEST(LoadNothing, AFileThatCannotBeDecodedIsStillAFailure) {
    Detected app;
    app.host.fileAnswers.push_back(app.dir.file("test.bmp"));
    app.host.decoder = [](const std::string&) {
        return core::Result<form::Picture>(core::Error{"broken"});
    };
    EXPECT_FALSE(cmdDataIn_Click(app.ctx, kSourceFile));
    ASSERT_EQ(app.host.messages.size(), 1u);
    EXPECT_EQ(app.host.messages[0].text, "Error!");
    EXPECT_EQ(app.ws.ProcStage, core::kStageIdle);
}

}  // namespace
}  // namespace orv::input
