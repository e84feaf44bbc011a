// A clean process for the audit tests: settings, registry and identity of
// their own, a scripted security server that the configuration points at,
// and the compliance state, the operator and the audit records forgotten.
#pragma once

#include "audit/AuditValueRecord.h"
#include "audit/ComplianceFlag.h"
#include "common/RequestFrame.h"
#include "tests/common/SettingsFixture.h"
#include "tests/support/ScriptedHttpServer.h"

#include <map>
#include <string>

namespace zyr::testing {

class AuditFixture : public SettingsFixture {
protected:
    void SetUp() override
    {
        SettingsFixture::SetUp();
        zyr::audit::ResetComplianceState();
        zyr::audit::ResetAuditValueRecords();
        zyr::ResetRequestIdentity();
        serverUrl = server.Url("/zyr/sec.asp");
        TempRegistry::SetText(HKEY_LOCAL_MACHINE, kFrameworkKey, "URL", serverUrl);
        // Replies by the query that follows the page; unknown queries get an empty body.
        server.SetHandler([this](const zyr::test::RecordedRequest& request) {
            std::string query = request.target.substr(request.target.find('?') == std::string::npos
                                                          ? request.target.size()
                                                          : request.target.find('?'));
            auto it = replies.find(query);
            return zyr::test::ScriptedReply{.status = 200, .body = it == replies.end() ? "" : it->second};
        });
    }
    void TearDown() override
    {
        zyr::audit::ResetComplianceState();
        zyr::audit::ResetAuditValueRecords();
        zyr::ResetRequestIdentity();
        SettingsFixture::TearDown();
    }

    // The query parts of the requests received, in order.
    std::vector<std::string> Queries() const { return server.Queries(); }

    static constexpr const char* kFlagQuery = "?Object=KVTAPI&Operation=Get21CFR11Flag";
    static constexpr const char* kVersionQuery = "?Operation=GetServerVersion";

    zyr::test::ScriptedHttpServer server;
    std::string serverUrl;
    std::map<std::string, std::string> replies; // query -> body
};

} // namespace zyr::testing
