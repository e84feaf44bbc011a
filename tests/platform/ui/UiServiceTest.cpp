#include "platform/ui/UiService.h"

#include <gtest/gtest.h>

using namespace zyr::ui;

TEST(UiService, RecorderAnswersFromScriptThenWithDefaultButton)
{
    ScopedRecordingUi ui;
    ui.recorder.answers = {IDNO};
    EXPECT_EQ(Ui().MessageBox(nullptr, "Delete?", "Caption", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(Ui().MessageBox(nullptr, "Again?", "Caption", MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(Ui().MessageBox(nullptr, "Failed", "Caption", MB_OK | MB_ICONERROR), IDOK);
    ASSERT_EQ(ui.recorder.boxes.size(), 3u);
    EXPECT_EQ(ui.recorder.boxes[2].text, "Failed");
    EXPECT_EQ(ui.recorder.boxes[2].style & MB_ICONMASK, MB_ICONERROR);
}

TEST(UiService, FileDialogsCancelWithoutScriptedPath)
{
    ScopedRecordingUi ui;
    std::string path;
    EXPECT_FALSE(Ui().GetSaveFileName(nullptr, {}, path));
    ui.recorder.savePaths = {"/tmp/x.xml"};
    EXPECT_TRUE(Ui().GetSaveFileName(nullptr, {}, path));
    EXPECT_EQ(path, "/tmp/x.xml");
    EXPECT_EQ(ui.recorder.saveDialogs.size(), 2u);
}
