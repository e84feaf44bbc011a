// A clean process for the sign-in tests: settings, registry and identity of
// their own (the operator is BUILD-07\operator), a scripted security server,
// a cache folder with the two cache files written by the test, and the
// authentication and authorization modules registered in the registry store.
#pragma once

#include "audit/ComponentModules.h"
#include "cache/CacheFiles.h"
#include "cache/TextCipher.h"
#include "common/RequestFrame.h"
#include "platform/com/ClassTable.h"
#include "tests/common/SettingsFixture.h"
#include "tests/support/ScriptedHttpServer.h"
#include "web/ServerConnection.h"

#include <filesystem>
#include <string>
#include <vector>

namespace zyr::testing {

struct TestRole {
    std::string name;
    std::vector<std::string> users;
    std::vector<std::string> groups;
};

class SigninFixture : public SettingsFixture {
protected:
    void SetUp() override
    {
        SettingsFixture::SetUp();
        zyr::cache::ResetCacheFiles();
        zyr::ResetRequestIdentity();
        cacheDir = registry.Root() / "cache";
        std::filesystem::create_directories(cacheDir);
        serverUrl = server.Url("/zyr/sec.asp");
        TempRegistry::SetText(HKEY_LOCAL_MACHINE, kFrameworkKey, "URL", serverUrl);
        TempRegistry::SetText(HKEY_LOCAL_MACHINE, kFrameworkKey, "CachePath", cacheDir.string());
        server.SetDefaultReply({.status = 200, .body = "ZYR Security Server"});
        RegisterModule(ZYR_AUTHENTICATION_MODULE);
        RegisterModule(ZYR_AUTHORIZATION_MODULE);
    }
    void TearDown() override
    {
        zyr::web::ClearServerCredentials();
        zyr::cache::ResetCacheFiles();
        zyr::ResetRequestIdentity();
        SettingsFixture::TearDown();
    }

    static void RegisterModule(const char* path)
    {
        ASSERT_EQ(zyr::audit::RegisterComponentModule(path), S_OK);
    }

    static std::string Members(const std::vector<std::string>& names)
    {
        std::string plain;
        for (const auto& name : names) {
            plain += name + ";";
        }
        return zyr::cipher::Encrypt(plain);
    }

    void WriteRoleCache(const std::vector<TestRole>& roles)
    {
        std::string xml = "<?xml version=\"1.0\"?><DOCUMENT><KVTROLES>";
        int n = 0;
        for (const auto& role : roles) {
            xml += "<ROLE><ROLEDN>{role-" + std::to_string(++n) + "}</ROLEDN><ROLENAME>" + role.name +
                   "</ROLENAME><DESCRIPTION></DESCRIPTION><MEMBERGROUP>" + Members(role.groups) +
                   "</MEMBERGROUP><MEMBERUSER>" + Members(role.users) + "</MEMBERUSER></ROLE>";
        }
        xml += "<ROLECOUNT>" + std::to_string(roles.size()) + "</ROLECOUNT></KVTROLES></DOCUMENT>";
        ASSERT_EQ(KvtEncryptBufferAndPersistInFile(xml, (cacheDir / "rolecache.xml").string()), S_OK);
    }

    // The framework application with the console's object, whose list is
    // objectAcl (plain, "role:mask;"); the object is left out when absent.
    static std::string ApplicationsXml(const std::string& objectAcl, bool withConsoleObject = true)
    {
        std::string xml =
            "<?xml version=\"1.0\"?><DOCUMENT><KVTAPPLS><APPL><APPLDN>{APPL-1}</APPLDN>"
            "<APPLNAME>Morvel Framework</APPLNAME><DESCRIPTION></DESCRIPTION><PERM></PERM>"
            "<ACL>" +
            zyr::cipher::Encrypt("Security Administrators:3;") +
            "</ACL><SECGROUP><GROUPDN>{GROUP-1}</GROUPDN><GROUPNAME>Security Manager</GROUPNAME>"
            "<DESCRIPTION></DESCRIPTION><ACL></ACL>";
        if (withConsoleObject) {
            xml += "<SECOBJ><SECOBJDN>{OBJECT-1}</SECOBJDN><SECOBJNAME>ZyrSnap-In</SECOBJNAME>"
                   "<DESCRIPTION></DESCRIPTION><ACL>" +
                   zyr::cipher::Encrypt(objectAcl) + "</ACL></SECOBJ>";
        }
        xml += "<SECOBJCOUNT>1</SECOBJCOUNT></SECGROUP><GROUPCOUNT>1</GROUPCOUNT></APPL>"
               "<APPLCOUNT>1</APPLCOUNT></KVTAPPLS></DOCUMENT>";
        return xml;
    }

    void WriteApplCache(const std::string& xml)
    {
        ASSERT_EQ(KvtEncryptBufferAndPersistInFile(xml, (cacheDir / "ApplCache.xml").string()), S_OK);
    }

    // The log entries the components added, as the server received them.
    std::vector<std::string> LogBodies() const
    {
        std::vector<std::string> out;
        for (const auto& request : server.Requests()) {
            if (request.target.find("?Object=Log&Operation=Add") != std::string::npos) {
                out.push_back(request.body);
            }
        }
        return out;
    }

    zyr::test::ScriptedHttpServer server;
    std::string serverUrl;
    std::filesystem::path cacheDir;
};

} // namespace zyr::testing
