// The process's account for the security server: held whole or not at all.
#include "platform/identity/ServerCredentials.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Held()
{
    std::string held = "none";
    zyr::identity::UseServerCredentials(
        [&](const char* user, const char* password) { held = std::string(user) + ":" + password; });
    return held;
}

TEST(ServerCredentialsTest, HeldUntilClearedAndAnUnusableAccountWipesTheOneInForce)
{
    ASSERT_TRUE(zyr::identity::SetServerCredentials("jdoe", "secret"));
    EXPECT_EQ(Held(), "jdoe:secret");
    EXPECT_FALSE(zyr::identity::SetServerCredentials("jdoe", std::string(256, 'p')));
    EXPECT_EQ(Held(), "none");
    EXPECT_FALSE(zyr::identity::SetServerCredentials("", "secret"));
    ASSERT_TRUE(zyr::identity::SetServerCredentials("ann", ""));
    EXPECT_EQ(Held(), "ann:");
    zyr::identity::ClearServerCredentials();
    EXPECT_EQ(Held(), "none");
}

} // namespace
