// The identity and query components as the console creates them: through
// the classes their module registers.
#include "audit/ComponentModules.h"
#include "common/DirectoryClientComponents.h"
#include "common/DirectoryClientIdentity.h"
#include "platform/com/ClassTable.h"
#include "tests/signin/directory/DirectoryFixture.h"

#include <gmock/gmock.h>

using namespace zyr::testing;
using ::testing::HasSubstr;
using zyr::com::ComPtr;

class DirectoryClientModuleTest : public SettingsFixture {
protected:
    void SetUp() override
    {
        SettingsFixture::SetUp();
        ASSERT_EQ(S_OK, zyr::audit::RegisterComponentModule(ZYR_DIRECTORY_CLIENT_MODULE));
    }

    template <typename I>
    ComPtr<I> Create(const CLSID& clsid)
    {
        ComPtr<I> object;
        EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_ALL, I::InterfaceId(),
                                         reinterpret_cast<void**>(object.Put())));
        return object;
    }
};

TEST_F(DirectoryClientModuleTest, TheLogonAccountNamesTheOperator)
{
    ZYR_NEEDS_TEST_DIRECTORY();
    ConfigureTestDirectory();
    environment["USER"] = "bob";
    std::string domain, user;
    EXPECT_EQ(S_OK, GetLogonUser(domain, user));
    EXPECT_EQ("bob", user);
    EXPECT_EQ("ou=Line 1,ou=Operators,dc=plant,dc=test", domain);

    zyr::ResetServerSettings();
    environment["USER"] = "nobody-here";
    EXPECT_TRUE(FAILED(GetLogonUser(domain, user)));
    EXPECT_EQ("", user);
}

TEST_F(DirectoryClientModuleTest, QueryAnswersMemberTextsOrFails)
{
    ZYR_NEEDS_TEST_DIRECTORY();
    ConfigureTestDirectory();
    auto query = Create<IDirectoryClientQuery>(CLSID_DirectoryClientQuery);
    ASSERT_TRUE(query);
    std::u16string text;
    EXPECT_EQ(S_OK, query->LookupUser(u"uid=alice,ou=Operators,dc=plant,dc=test", &text));
    EXPECT_EQ(u"ou=Operators,dc=plant,dc=test\\alice", text);
    EXPECT_TRUE(FAILED(query->LookupUser(u"Supervisors", &text)));
    EXPECT_EQ(u"", text);
    EXPECT_EQ(S_OK, query->LookupGroup(u"Supervisors", &text));
    EXPECT_EQ(u"ou=Groups,dc=plant,dc=test\\Supervisors", text);
    EXPECT_TRUE(FAILED(query->LookupGroup(std::u16string(u"Supervisors\0*", 13), &text)));
}

TEST_F(DirectoryClientModuleTest, AnUnreachableDirectorySaysSo)
{
    ConfigureTestDirectory("ldap://127.0.0.1:1/");
    auto query = Create<IDirectoryClientQuery>(CLSID_DirectoryClientQuery);
    ASSERT_TRUE(query);
    std::u16string text;
    EXPECT_EQ(kDirectoryUnreachable, query->LookupUser(u"alice", &text));
    ASSERT_EQ(S_OK, query->GetErrorText(&text));
    EXPECT_THAT(zyr::text::Narrow(text), HasSubstr("could not be reached"));
}
