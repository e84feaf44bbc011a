// The authentication component for directory-client operators: a password is
// checked by a bind as the account found in its context.
#include "platform/com/ClassTable.h"
#include "signin/components/AuthInterfaces.h"
#include "tests/signin/SigninFixture.h"
#include "tests/signin/directory/DirectoryFixture.h"

#include <gtest/gtest.h>

using namespace zyr::testing;
using zyr::com::ComPtr;

class DirectorySignInTest : public SigninFixture {};

TEST_F(DirectorySignInTest, PasswordsOfDirectoryAccounts)
{
    ZYR_NEEDS_TEST_DIRECTORY();
    ConfigureTestDirectory();
    ComPtr<IKvtAuthenticate> authenticate;
    ASSERT_EQ(S_OK,
              CoCreateInstance(CLSID_KvtAuthenticate, nullptr, CLSCTX_ALL, IKvtAuthenticate::InterfaceId(),
                               reinterpret_cast<void**>(authenticate.Put())));
    const char16_t* context = u"ou=Line 1,ou=Operators,dc=plant,dc=test";
    EXPECT_EQ(S_OK, authenticate->Authenticate(context, u"bob", u"bob-secret"));
    EXPECT_TRUE(FAILED(authenticate->Authenticate(context, u"bob", u"alice-secret")));
    EXPECT_TRUE(FAILED(authenticate->Authenticate(context, u"bob", u"")));
    EXPECT_TRUE(FAILED(authenticate->Authenticate(u"ou=Operators,dc=plant,dc=test", u"bob", u"bob-secret")))
        << "another container";
    EXPECT_TRUE(FAILED(authenticate->Authenticate(context, u"*", u"bob-secret")));
    ASSERT_EQ(5u, LogBodies().size());
    EXPECT_NE(std::string::npos, LogBodies()[0].find("Status=Success"));
    EXPECT_NE(std::string::npos, LogBodies()[1].find("Status=Failed"));
}
