#include "form/message_log.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/paths.h"
#include "support/test_app.h"

namespace orv::form {
using namespace core;
namespace {

using test::readFile;
using test::TestApp;

TEST(MessageLine, SetsTheCaptionAndYields) {
    TestApp app;
    OV_DispMsg(app.ctx, "画像データを読み込んでいます。");
    EXPECT_EQ(app.frm.lblMsg.Caption, "画像データを読み込んでいます。");
    EXPECT_EQ(app.host.pumps, 1);
    OV_DispMsg(app.ctx, "");
    EXPECT_EQ(app.frm.lblMsg.Caption, "");
}

TEST(ProcessingLog, FirstLineCreatesTheResultFolder) {
    TestApp app;
    app.ws.DoFilePath = app.dir.path();
    app.ws.DoFileName = "m42.bmp";
    OV_Logout(app.ctx, "＞背景処理完了");
    app.host.fixedTime = {2015, 9, 7, 1, 2, 3};
    OV_Logout(app.ctx, "a, \"quoted\" text");
    EXPECT_EQ(logFilePath(app.ws), app.dir.path() + "/m42.bmp.dir/m42.bmp.log");
    EXPECT_EQ(readFile(logFilePath(app.ws)),
              "2015/09/27 21:03:05 ＞背景処理完了\r\n2015/09/07 01:02:03 a, \"quoted\" text\r\n");
}

TEST(ProcessingLog, WritesNothingForClipboardMissingOrVanishedFolders) {
    TestApp app;
    app.ws.DoFilePath = "clipboard";
    app.ws.DoFileName = "clipboard";
    OV_Logout(app.ctx, "x");
    cmdEditLog_Click(app.ctx);
    EXPECT_EQ(app.host.messages.back().text,
              "クリップボードから読み込んだ画像を処理する時は、ログは記録できません。");
    EXPECT_FALSE(std::filesystem::exists("clipboard"));

    app.ws.DoFilePath = app.dir.file("gone");
    app.ws.DoFileName = "a.bmp";
    OV_Logout(app.ctx, "x");  // no error, no folder
    EXPECT_FALSE(std::filesystem::exists(app.dir.file("gone")));

    app.ws.DoFilePath = "";
    OV_Logout(app.ctx, "x");
}

TEST(ProcessingLog, WritesNothingWhenTheRunKeepsNoFiles) {
    TestApp app;
    app.ws.DoFilePath = app.dir.path();
    app.ws.DoFileName = "m42.bmp";
    app.ws.logEnabled = false;
    OV_Logout(app.ctx, "＞背景処理完了");
    EXPECT_FALSE(std::filesystem::exists(app.dir.file("m42.bmp.dir")));
}

TEST(ProcessingLog, EditLogAsksAndWritesOnlyANonEmptyAnswer) {
    TestApp app;
    app.ws.DoFilePath = app.dir.path();
    app.ws.DoFileName = "a.bmp";
    app.host.inputAnswers = {std::string("雲が出た, \"薄い\""), std::string(""), std::nullopt};
    cmdEditLog_Click(app.ctx);
    cmdEditLog_Click(app.ctx);
    cmdEditLog_Click(app.ctx);
    EXPECT_EQ(readFile(logFilePath(app.ws)), "2015/09/27 21:03:05 雲が出た, \"薄い\"\r\n");
    cmdShowLog_Click(app.ctx);
    EXPECT_EQ(app.host.editorsStarted, std::vector<std::string>{logFilePath(app.ws)});
}

}  // namespace
}  // namespace orv::form
