// The role side's tests: the records fixture's settings, registry, operator
// and servers, and the console's resources, clipboard formats, a scripted
// console and the role windows' hooks put back afterwards.
#pragma once

#include "audit/AuditValueRecord.h"
#include "console/framework/AuditGuard.h"
#include "console/framework/ClipboardFormats.h"
#include "console/framework/Resources.h"
#include "console/framework/RoleUi.h"
#include "console/framework/SnapInObjectRoot.h"
#include "console/framework/StartupHooks.h"
#include "module/resources/ModuleResources.h"
#include "records/Application.h"
#include "tests/roles/RecordsFixture.h"
#include "tests/support/ScriptedConsole.h"

#include <map>
#include <string>

namespace zyr::testing {

class RoleFixture : public RecordsFixture {
protected:
    // A snap-in object of a view with the scripted console, for commands.
    struct View : CSnapInObjectRootBase {
        explicit View(IConsole* c) : CSnapInObjectRootBase(kComponent), console(c) {}
        IConsole* ObjectConsole() const override { return console; }
        IConsole* console;
    };

    void SetUp() override
    {
        RecordsFixture::SetUp();
        console::InstallResources(&module::ModuleResourceSet());
        console::RegisterClipboardFormats();
        mmc = com::ComPtr<ScriptedConsole>::Attach(new ScriptedConsole);
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
        console::ResetResources();
        console::ResetAuditCheck();
        console::ResetStartupState();
        zyr::records::ResetCurrentApplList();
        zyr::audit::ResetAuditValueRecords();
        RecordsFixture::TearDown();
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
    std::vector<std::string> Queries() const
    {
        std::vector<std::string> out;
        for (const auto& request : scripted.Requests()) {
            size_t mark = request.target.find('?');
            out.push_back(mark == std::string::npos ? std::string() : request.target.substr(mark));
        }
        return out;
    }

    // The console (the HTTP server is the records fixture's "scripted").
    com::ComPtr<ScriptedConsole> mmc;
    // Operation text in the query ("Operation=Delete") -> reply body.
    std::map<std::string, std::string> replies;
};

} // namespace zyr::testing
