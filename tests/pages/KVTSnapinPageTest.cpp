#include "pages/KVTSnapinPage.h"
#include "audit/ComponentModules.h"
#include "common/RequestFrame.h"
#include "common/StringTable.h"
#include "console/framework/Resources.h"
#include "console/framework/StartupHooks.h"
#include "module/resources/ModuleResources.h"
#include "platform/ui/UiService.h"
#include "tests/audit/AuditFixture.h"
#include "tests/pages/QtTestApp.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>

namespace {

namespace ui = zyr::ui;

class KVTSnapinPageTest : public zyr::testing::AuditFixture {
protected:
    void SetUp() override
    {
        AuditFixture::SetUp();
        zyr::testing::QtTestApp();
        zyr::console::InstallResources(&zyr::module::ModuleResourceSet());
        zyr::console::SetSignedIn();
        zyr::SetCurrentUserName("BUILD-07\\operator");
        ASSERT_EQ(zyr::audit::RegisterComponentModule(ZYR_ALARM_EVENTS_MODULE), S_OK);
    }
    void TearDown() override
    {
        page.reset();
        zyr::console::ResetStartupState();
        zyr::console::ResetResources();
        AuditFixture::TearDown();
    }

    void Open()
    {
        page = std::make_unique<CKVTSnapinPage>(0x51);
        widget.reset(page->CreatePage(nullptr));
    }
    size_t Sends() const
    {
        size_t count = 0;
        for (const std::string& query : Queries()) {
            count += query == "?Object=Audit&Operation=Send";
        }
        return count;
    }

    ui::ScopedRecordingUi ui;
    std::unique_ptr<CKVTSnapinPage> page;
    std::unique_ptr<QWidget> widget;
};

TEST_F(KVTSnapinPageTest, AnActivatedServerShowsTheSwitchOnAndLocked)
{
    replies[kFlagQuery] = "true";
    Open();
    EXPECT_EQ(page->HostLabel()->text().toStdString(), serverUrl.substr(7, serverUrl.find('/', 7) - 7));
    EXPECT_TRUE(page->ComplianceBox()->isChecked());
    EXPECT_FALSE(page->ComplianceBox()->isEnabled());
    EXPECT_EQ(page->Apply(), 1);
    EXPECT_TRUE(ui.recorder.boxes.empty());
    EXPECT_EQ(Sends(), 0u);
}

TEST_F(KVTSnapinPageTest, ActivationAskesFirstAndSendsNothingOnNo)
{
    replies[kFlagQuery] = "false";
    Open();
    ASSERT_TRUE(page->ComplianceBox()->isEnabled()) << "the server is on this machine";
    EXPECT_FALSE(page->ComplianceBox()->isChecked());
    EXPECT_EQ(page->Apply(), 1) << "an unchecked switch applies nothing";
    EXPECT_TRUE(ui.recorder.boxes.empty());

    page->ComplianceBox()->setChecked(true);
    ui.recorder.answers.push_back(ui::IDNO);
    EXPECT_EQ(page->Apply(), 0);
    ASSERT_EQ(ui.recorder.boxes.size(), 1u);
    EXPECT_EQ(ui.recorder.boxes[0].style, ui::MB_ICONQUESTION | ui::MB_YESNO);
    EXPECT_EQ(ui.recorder.boxes[0].caption, "ZYR Security Manager");
    EXPECT_EQ(ui.recorder.boxes[0].text.substr(0, 40), "This action will activate the compliance");
    EXPECT_EQ(Sends(), 0u);

    replies["?Object=Audit&Operation=Send"] = "OK";
    EXPECT_EQ(page->Apply(), 1);
    EXPECT_EQ(Sends(), 1u);
    EXPECT_FALSE(page->ComplianceBox()->isEnabled()) << "activation cannot be undone";
}

TEST_F(KVTSnapinPageTest, AFailedActivationShowsTheSendFailureWithItsCode)
{
    replies[kFlagQuery] = "false";
    replies["?Object=Audit&Operation=Send"] = "TAVOS_Send_Failed";
    Open();
    page->ComplianceBox()->setChecked(true);
    EXPECT_EQ(page->Apply(), 0);
    ASSERT_EQ(ui.recorder.boxes.size(), 2u);
    const std::string& text = ui.recorder.boxes[1].text;
    EXPECT_EQ(ui.recorder.boxes[1].style, ui::MB_ICONERROR);
    EXPECT_EQ(text, zyr::LoadStringAnsi(zyr::IDS_AUDIT_SEND_FAILED) + " Error Code : -2147467259");
    EXPECT_TRUE(page->ComplianceBox()->isEnabled());
}

TEST_F(KVTSnapinPageTest, TheSwitchIsOfferedOnlyAfterASignInAndWhenTheFlagIsKnown)
{
    zyr::console::ResetStartupState(); // not signed in
    Open();
    EXPECT_TRUE(page->ComplianceBox()->isHidden());
    EXPECT_EQ(server.RequestCount(), 0u);

    zyr::console::SetSignedIn();
    replies[kVersionQuery] = "2.3"; // the flag is unreadable
    Open();
    EXPECT_FALSE(page->ComplianceBox()->isEnabled());

    RegDeleteTreeA(HKEY_LOCAL_MACHINE, zyr::testing::kFrameworkKey);
    zyr::ResetServerSettings();
    Open();
    EXPECT_EQ(page->HostLabel()->text(), "Error : Registry entry is not found");
}

TEST(ServerHostTest, TheHostIsTheTextAfterTheSchemeUpToTheNextSlash)
{
    EXPECT_EQ(zyr::pages::ServerHostText("http://sec01/zyr/security"), "sec01");
    EXPECT_EQ(zyr::pages::ServerHostText("https://sec01.plant.local:8443/zyr"), "sec01.plant.local:8443");
    EXPECT_EQ(zyr::pages::ServerHostText("http://"), "");
    EXPECT_EQ(zyr::pages::ServerHostText("http://" + std::string(300, 'h')).size(), 255u);
}

TEST(ServerHostTest, OnlyThisMachineIsOfferedTheSwitch)
{
    EXPECT_TRUE(zyr::pages::IsServerOnThisMachine("build-07", "build-07"));
    EXPECT_TRUE(zyr::pages::IsServerOnThisMachine("127.0.0.1:8780", "build-07"));
    EXPECT_TRUE(zyr::pages::IsServerOnThisMachine("localhost", "build-07"));
    EXPECT_TRUE(zyr::pages::IsServerOnThisMachine("other", "build-07")) << "a short name is not looked up";
    EXPECT_FALSE(zyr::pages::IsServerOnThisMachine("192.0.2.10", "localhost"));
    EXPECT_FALSE(zyr::pages::IsServerOnThisMachine("sec.example.invalid", "no-such-host.invalid"));
}

} // namespace
