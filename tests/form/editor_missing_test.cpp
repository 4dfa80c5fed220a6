// Without a text editor, "ログ表示" and the title's double-click say so and name the file.

#include <gtest/gtest.h>

#include "control/startup.h"
#include "core/settings.h"
#include "form/message_log.h"
#include "form/settings_boxes.h"
#include "support/test_app.h"

namespace orv::form {
using namespace core;
namespace {

TEST(EditorMissing, TheMessageNamesTheFile) {
    test::TestApp app;
    control::Form_Load(app.ctx);
    app.ws.DoFilePath = app.dir.path();
    app.ws.DoFileName = "m42.bmp";
    app.host.editorAvailable = false;
    cmdShowLog_Click(app.ctx);
    Label1_DblClick(app.ctx, 0);
    ASSERT_EQ(app.host.messages.size(), 2u);
    EXPECT_NE(app.host.messages[0].text.find(logFilePath(app.ws)), std::string::npos);
    EXPECT_NE(app.host.messages[1].text.find(app.ws.folders.settingsFileToRead()),
              std::string::npos);
    app.host.editorAvailable = true;
    cmdShowLog_Click(app.ctx);
    EXPECT_EQ(app.host.messages.size(), 2u);
    EXPECT_EQ(app.host.editorsStarted.size(), 1u);
}

}  // namespace
}  // namespace orv::form
