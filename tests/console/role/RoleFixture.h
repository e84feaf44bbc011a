// The role side's tests: the records fixture's settings, registry, operator
// and servers, and the console's resources, clipboard formats, a scripted
// console and the role windows' hooks put back afterwards.
#pragma once

#include "audit/AuditValueRecord.h"
#include "console/framework/AuditGuard.h"
#include "console/framework/RoleUi.h"
#include "console/framework/StartupHooks.h"
#include "records/Application.h"
#include "tests/console/ConsoleRecordsFixture.h"

#include <map>
#include <string>

namespace zyr::testing {

class RoleFixture : public ConsoleRecordsFixture {
protected:
    void SetUp() override
    {
        ConsoleRecordsFixture::SetUp();
        console::SetAuditCheck([] { return false; });
        zyr::records::ResetCurrentApplList();
        zyr::audit::ResetAuditValueRecords();
        UseScripted();
        // Replies by operation; anything else answers "OK".
        scripted.SetHandler([this](const zyr::test::RecordedRequest& request) {
            for (const auto& [operation, body] : replies) {
                if (request.target.find(operation) != std::string::npos) {
                    return zyr::test::ScriptedReply{.body = body};
                }
            }
            return zyr::test::ScriptedReply{.body = "OK"};
        });
    }
    void TearDown() override
    {
        console::ResetRoleUi();
        console::ResetAuditCheck();
        console::ResetStartupState();
        zyr::records::ResetCurrentApplList();
        zyr::audit::ResetAuditValueRecords();
        ConsoleRecordsFixture::TearDown();
    }

    // A role of the list as the server sent it.
    CKVTRole& AddRole(CKVTRoleList& list, const std::string& dn, const std::string& name,
                      const std::string& description = "")
    {
        auto role = std::make_unique<CKVTRole>();
        role->DN = dn;
        role->CN = name;
        role->Description = description;
        return list.Append(std::move(role));
    }

    // The query parts of the requests the scripted server received.
    std::vector<std::string> Queries() const { return scripted.Queries(); }

    // Operation text in the query ("Operation=Delete") -> reply body.
    std::map<std::string, std::string> replies;
};

} // namespace zyr::testing
