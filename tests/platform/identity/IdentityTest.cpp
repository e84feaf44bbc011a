#include "platform/identity/Identity.h"

#include <gtest/gtest.h>

using namespace zyr::identity;

// The fallbacks from one query to the next are driven through GetLogonUser in
// the settings tests; these cover the account forms and the buffer rules.

TEST(Identity, AccountsOfDirectoryServicesCarryTheirDomain)
{
    std::string domain;
    std::string user;
    SplitAccount("operator", "BUILD-07", domain, user);
    EXPECT_EQ(domain + "|" + user, "BUILD-07|operator");
    SplitAccount("jdoe@PLANT.EXAMPLE", "BUILD-07", domain, user);
    EXPECT_EQ(domain + "|" + user, "PLANT.EXAMPLE|jdoe");
    SplitAccount("PLANT\\jdoe", "BUILD-07", domain, user);
    EXPECT_EQ(domain + "|" + user, "PLANT|jdoe");
    // A separator at an end splits nothing.
    SplitAccount("jdoe@", "BUILD-07", domain, user);
    EXPECT_EQ(domain + "|" + user, "BUILD-07|jdoe@");
    SplitAccount("\\jdoe", "BUILD-07", domain, user);
    EXPECT_EQ(domain + "|" + user, "BUILD-07|\\jdoe");
}

TEST(Identity, NamesThatDoNotFitTheBufferReportTheSizeNeeded)
{
    InstallOsQueries({[](std::string& name) {
                          name = "plc.plant.example";
                          return true;
                      },
                      nullptr, nullptr,
                      [](const char* name) -> std::optional<std::string> {
                          return std::string(name) == "LOGNAME" ? std::optional<std::string>("username")
                                                                : std::nullopt;
                      }});
    char small[3];
    DWORD size = sizeof(small);
    EXPECT_EQ(GetComputerNameA(small, &size), ERROR_BUFFER_OVERFLOW);
    EXPECT_EQ(size, 4u);
    char buffer[16];
    size = sizeof(buffer);
    ASSERT_EQ(GetComputerNameA(buffer, &size), ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "PLC");
    EXPECT_EQ(size, 3u);

    char name[8];
    size = sizeof(name);
    EXPECT_EQ(GetUserNameA(name, &size), ERROR_INSUFFICIENT_BUFFER); // 8 characters and the terminator
    EXPECT_EQ(size, 9u);

    // Queries left out fail.
    std::string domain;
    std::string user;
    EXPECT_FALSE(LookupEffectiveAccount(domain, user));
    EXPECT_FALSE(LookupLoginUser(domain, user));
    ResetOsQueries();
}
