// The application-side pages over a scripted security server: an operator, a
// role list, an application with groups and objects, the audit check and the
// console's change reports recorded, and the audit texts of the updates sent
// read back in plain text.
#pragma once

#include "cache/TextCipher.h"
#include "common/RequestFrame.h"
#include "console/framework/AuditGuard.h"
#include "platform/mmc/ConsoleInterfaces.h"
#include "platform/ui/UiService.h"
#include "records/Application.h"
#include "roles/RoleList.h"
#include "tests/audit/AuditFixture.h"
#include "tests/pages/QtTestApp.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace zyr::testing {

// The plain texts of one update's body: "OldValue=", "&NewValue=", "&ACL=".
struct SentUpdate {
    std::string query;
    std::string oldValues;
    std::string newValues;
    std::string acl;
};

class ApplicationPagesFixture : public AuditFixture {
protected:
    void SetUp() override
    {
        AuditFixture::SetUp();
        QtTestApp();
        zyr::SetCurrentUserName("PLANT\\engineer");
        zyr::console::SetAuditCheck([] { return false; });
        changeReports().clear();
        InstallPropertyChangeHandler(&RecordChange);
    }
    void TearDown() override
    {
        InstallPropertyChangeHandler(nullptr);
        zyr::console::ResetAuditCheck();
        application.reset();
        roles.reset();
        AuditFixture::TearDown();
    }

    void MakeRoles(std::initializer_list<const char*> names)
    {
        roles = std::make_unique<CKVTRoleList>();
        for (const char* name : names) {
            roles->Append(std::make_unique<CKVTRole>(name, ""));
        }
    }

    // "Plant Ops" with Read, Write, Execute, a group "Line 1" and in it an
    // object "Valve 7".
    void MakeApplication(std::string_view dn = "{0A1B2C3D-0000-4000-8000-00000000ABCD}")
    {
        application = std::make_unique<CKVTAppl>("Plant Ops", "Line control", true);
        application->DN.Assign(dn);
        auto group = std::make_unique<CKVTSecGroup>("Line 1", "Plant Ops", dn, "First line");
        group->Objects.push_back(
            std::make_unique<CKVTApplSecObj>("Valve 7", group->DN.view(), dn, "Inlet valve"));
        application->Groups.push_back(std::move(group));
    }
    CKVTSecGroup& Group() { return *application->Groups.at(0); }
    CKVTApplSecObj& Object() { return *Group().Objects.at(0); }

    // The updates (POST requests) the server received, in order.
    std::vector<SentUpdate> Updates() const
    {
        std::vector<SentUpdate> updates;
        for (const auto& request : server.Requests()) {
            if (request.method != "POST") {
                continue;
            }
            SentUpdate update;
            update.query = request.target.substr(request.target.find('?'));
            std::string body = request.body;
            while (!body.empty() && body.back() == '\0') {
                body.pop_back();
            }
            size_t newAt = body.find("&NewValue=");
            size_t aclAt = body.find("&ACL=");
            EXPECT_EQ(body.rfind("OldValue=", 0), 0u) << body;
            if (newAt == std::string::npos || aclAt == std::string::npos) {
                ADD_FAILURE() << "no audit text in " << body;
                continue;
            }
            EXPECT_TRUE(zyr::cipher::Decrypt(body.substr(9, newAt - 9), update.oldValues));
            EXPECT_TRUE(zyr::cipher::Decrypt(body.substr(newAt + 10, aclAt - newAt - 10), update.newValues));
            EXPECT_TRUE(zyr::cipher::Decrypt(body.substr(aclAt + 5), update.acl));
            updates.push_back(update);
        }
        return updates;
    }

    static std::vector<LPARAM>& changeReports()
    {
        static std::vector<LPARAM> reports;
        return reports;
    }
    static HRESULT RecordChange(LONG_PTR notifyHandle, LPARAM param)
    {
        EXPECT_EQ(notifyHandle, kNotifyHandle);
        changeReports().push_back(param);
        return S_OK;
    }

    static constexpr LONG_PTR kNotifyHandle = 0x4D;

    zyr::ui::ScopedRecordingUi ui;
    std::unique_ptr<CKVTRoleList> roles;
    std::unique_ptr<CKVTAppl> application;
};

// Records the page-changed reports of a page.
struct RecordingSheetSite : IPropertySheetSite {
    void PageChanged(IPropertyPage*) override { ++changed; }
    HWND SheetWindow() override { return nullptr; }
    int changed = 0;
};

} // namespace zyr::testing
