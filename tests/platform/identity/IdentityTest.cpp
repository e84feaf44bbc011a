#include "platform/identity/Identity.h"

#include <gtest/gtest.h>

#include <map>

using namespace zyr::identity;

namespace {

// Queries that answer from the fields of the test; an empty text fails.
class IdentityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InstallOsQueries({[this](std::string& name) { return Answer(host, name); },
                          [this](std::string& name) { return Answer(account, name); },
                          [this](std::string& name) { return Answer(login, name); },
                          [this](const char* name) -> std::optional<std::string> {
                              auto it = environment.find(name);
                              if (it == environment.end()) {
                                  return std::nullopt;
                              }
                              return it->second;
                          }});
    }
    void TearDown() override { ResetOsQueries(); }

    static bool Answer(const std::string& value, std::string& out)
    {
        out = value;
        return !value.empty();
    }

    std::string host = "build-07.plant.example";
    std::string account;
    std::string login;
    std::map<std::string, std::string> environment;
};

} // namespace

TEST_F(IdentityTest, ComputerNameIsTheShortHostNameInUpperCaseUpToFifteenCharacters)
{
    char buffer[16];
    DWORD size = sizeof(buffer);
    ASSERT_EQ(GetComputerNameA(buffer, &size), ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "BUILD-07");
    EXPECT_EQ(size, 8u);

    host = "abcdefghijklmno"; // 15 characters
    size = sizeof(buffer);
    ASSERT_EQ(GetComputerNameA(buffer, &size), ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "ABCDEFGHIJKLMNO");

    host = "abcdefghijklmnop.example"; // 16 characters: no NetBIOS name, whatever the buffer
    char large[64];
    size = sizeof(large);
    EXPECT_EQ(GetComputerNameA(large, &size), ERROR_BUFFER_OVERFLOW);

    host = "plc";
    char small[3];
    size = sizeof(small);
    EXPECT_EQ(GetComputerNameA(small, &size), ERROR_BUFFER_OVERFLOW);
    EXPECT_EQ(size, 4u);

    host.clear();
    size = sizeof(buffer);
    EXPECT_NE(GetComputerNameA(buffer, &size), ERROR_SUCCESS);
}

TEST_F(IdentityTest, EffectiveAccountCarriesItsDomain)
{
    std::string domain;
    std::string user;
    EXPECT_FALSE(LookupEffectiveAccount(domain, user));

    account = "operator";
    ASSERT_TRUE(LookupEffectiveAccount(domain, user));
    EXPECT_EQ(domain, "BUILD-07");
    EXPECT_EQ(user, "operator");

    account = "jdoe@PLANT.EXAMPLE";
    ASSERT_TRUE(LookupEffectiveAccount(domain, user));
    EXPECT_EQ(domain, "PLANT.EXAMPLE");
    EXPECT_EQ(user, "jdoe");

    account = "PLANT\\jdoe";
    ASSERT_TRUE(LookupEffectiveAccount(domain, user));
    EXPECT_EQ(domain, "PLANT");
    EXPECT_EQ(user, "jdoe");

    // Separators at an end split nothing.
    account = "jdoe@";
    ASSERT_TRUE(LookupEffectiveAccount(domain, user));
    EXPECT_EQ(domain, "BUILD-07");
    EXPECT_EQ(user, "jdoe@");
}

TEST_F(IdentityTest, LoginNameAndEnvironmentAreTheLaterFallbacks)
{
    std::string domain = "stale";
    std::string user;
    EXPECT_FALSE(LookupLoginUser(domain, user));
    login = "console";
    ASSERT_TRUE(LookupLoginUser(domain, user));
    EXPECT_EQ(domain, "");
    EXPECT_EQ(user, "console");

    char name[8];
    DWORD size = sizeof(name);
    EXPECT_EQ(GetUserNameA(name, &size), ERROR_ENVVAR_NOT_FOUND);
    environment["LOGNAME"] = "logname";
    size = sizeof(name);
    ASSERT_EQ(GetUserNameA(name, &size), ERROR_SUCCESS);
    EXPECT_STREQ(name, "logname");
    environment["USER"] = "username";
    size = sizeof(name);
    EXPECT_EQ(GetUserNameA(name, &size), ERROR_INSUFFICIENT_BUFFER); // 8 characters and the terminator
    EXPECT_EQ(size, 9u);
}
