// The private Kerberos realm that scripts/test starts (scripts/test-kdc,
// ZYR_TEST_KRB5): PLANT.TEST, alice with her ticket, and the keytabs of
// HTTP/localhost (http.keytab, and an older key in stale.keytab).
#pragma once

#include <cstdlib>
#include <string>

namespace zyr::test {

inline constexpr const char* kNoTestRealm = "ZYR_TEST_KRB5 is not set (scripts/test starts the test realm)";

// The realm's folder, with its configuration and alice's ticket made this
// process's and its children's (again, after a test that changed them);
// empty when no realm runs.
inline std::string TestRealm()
{
    const char* dir = std::getenv("ZYR_TEST_KRB5");
    if (dir == nullptr || *dir == '\0') {
        return {};
    }
    std::string realm = dir;
    ::setenv("KRB5_CONFIG", (realm + "/krb5.conf").c_str(), 1);
    ::setenv("KRB5CCNAME", ("FILE:" + realm + "/ccache").c_str(), 1);
    ::setenv("KRB5RCACHETYPE", "none", 1);
    return realm;
}

} // namespace zyr::test
