#include "signin/directory/LdapDirectory.h"
#include "signin/directory/DirectoryNames.h"
#include "tests/signin/directory/DirectoryFixture.h"

#include <gmock/gmock.h>

#include <algorithm>

using namespace zyr::directory;
using namespace zyr::testing;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;

TEST(DirectoryNamesTest, FilterValuesAndDnParts)
{
    EXPECT_EQ("a\\2a\\28b\\29\\5c\\00c", EscapeFilterValue(std::string("a*(b)\\\0c", 8)));
    EXPECT_EQ("plain name", EscapeFilterValue("plain name"));
    EXPECT_EQ("ou=Ops\\2C East,dc=x", ContainerOf("cn=Smith\\, J,ou=Ops\\2C East,dc=x"));
    EXPECT_EQ("Smith, J", FirstRdnValue("cn=Smith\\, J,ou=Ops,dc=x"));
    EXPECT_EQ("", ContainerOf("dc=x"));
    EXPECT_FALSE(IsDn("alice"));
    EXPECT_FALSE(IsDn(std::string("uid=a\0,dc=x", 11)));
}

class LdapDirectoryTest : public SettingsFixture {
protected:
    void SetUp() override
    {
        SettingsFixture::SetUp();
        ZYR_NEEDS_TEST_DIRECTORY();
        ConfigureTestDirectory();
        directory = LdapDirectory::Open(error);
        ASSERT_NE(nullptr, directory) << error;
    }

    std::string Find(EntryKind kind, const std::string& name)
    {
        DirectoryAccount account;
        return directory->FindAccount(kind, name, account, error) ? account.memberText : "<none>";
    }

    std::string error;
    std::unique_ptr<LdapDirectory> directory;
};

TEST_F(LdapDirectoryTest, AccountsByNameCnOrDn)
{
    const std::string alice = std::string(kOperators) + "\\alice";
    EXPECT_EQ(alice, Find(EntryKind::User, "alice"));
    EXPECT_EQ(alice, Find(EntryKind::User, "Alice Ames"));
    EXPECT_EQ(alice, Find(EntryKind::User, "uid=alice,ou=Operators,dc=plant,dc=test"));
    EXPECT_EQ("ou=Line 1," + std::string(kOperators) + "\\bob", Find(EntryKind::User, "bob"));
    EXPECT_EQ(std::string(kGroups) + "\\Shift A", Find(EntryKind::Group, "Shift A"));
    EXPECT_EQ("<none>", Find(EntryKind::Group, "alice")) << "a user is no group";
    EXPECT_EQ("<none>", Find(EntryKind::User, "Shift A"));
    EXPECT_EQ("User or Group must be specified.", error);
}

// Names that would widen or rewrite the filter match only themselves.
TEST_F(LdapDirectoryTest, HostileNamesMatchOnlyThemselves)
{
    EXPECT_EQ("<none>", Find(EntryKind::User, "a*"));
    EXPECT_EQ("<none>", Find(EntryKind::User, "*"));
    EXPECT_EQ("<none>", Find(EntryKind::User, "*)(uid=*"));
    EXPECT_EQ("<none>", Find(EntryKind::User, "alice)(|(uid=*"));
    EXPECT_EQ("<none>", Find(EntryKind::User, std::string("alice\0", 6)));
    EXPECT_EQ("<none>", Find(EntryKind::User, std::string("al\0ice", 6)));
    EXPECT_EQ(std::string(kOperators) + "\\star*", Find(EntryKind::User, "star*"));
    EXPECT_EQ(std::string(kOperators) + "\\star*", Find(EntryKind::User, "Night (Shift) \\ Lead"));

    std::vector<DirectoryEntry> found;
    ASSERT_TRUE(directory->SearchAccounts("star*", 50, found, error)) << error;
    ASSERT_EQ(1u, found.size());
    EXPECT_EQ("star*", found[0].name);
    ASSERT_TRUE(directory->SearchAccounts("(", 50, found, error)) << error;
    ASSERT_EQ(1u, found.size()) << "only the cn with a parenthesis";
}

TEST_F(LdapDirectoryTest, TreeBelowTheBaseContainersFirst)
{
    std::vector<DirectoryEntry> children;
    ASSERT_TRUE(directory->Children(kPlantBase, children, error)) << error;
    std::vector<std::string> names;
    for (const auto& entry : children) {
        names.push_back(entry.name);
        EXPECT_EQ(EntryKind::Container, entry.kind);
    }
    EXPECT_THAT(names, ElementsAre("Groups", "Operators"));

    ASSERT_TRUE(directory->Children(kOperators, children, error)) << error;
    ASSERT_FALSE(children.empty());
    EXPECT_EQ("Line 1", children[0].name);
    EXPECT_EQ(EntryKind::Container, children[0].kind);
    EXPECT_EQ(EntryKind::User, children.back().kind);
    EXPECT_EQ(5u, children.size());

    ASSERT_TRUE(directory->Children("ou=Gone,dc=plant,dc=test", children, error));
    EXPECT_TRUE(children.empty());
}

TEST_F(LdapDirectoryTest, GroupsDirectNestedAndPosix)
{
    DirectoryAccount alice, bob;
    ASSERT_TRUE(directory->FindAccount(EntryKind::User, "alice", alice, error));
    ASSERT_TRUE(directory->FindAccount(EntryKind::User, "bob", bob, error));
    std::vector<std::string> groups;
    ASSERT_TRUE(directory->GroupsOf(alice, groups, error)) << error;
    EXPECT_THAT(groups, UnorderedElementsAre(std::string(kGroups) + "\\Shift A",
                                             std::string(kGroups) + "\\Supervisors"));
    ASSERT_TRUE(directory->GroupsOf(bob, groups, error)) << error;
    EXPECT_THAT(groups, ElementsAre(std::string(kGroups) + "\\line1"));
}

TEST_F(LdapDirectoryTest, PasswordsAreCheckedByABindAsTheAccount)
{
    const std::string dn = "uid=alice,ou=Operators,dc=plant,dc=test";
    EXPECT_TRUE(directory->CheckPassword(dn, "alice-secret", error)) << error;
    EXPECT_FALSE(directory->CheckPassword(dn, "wrong", error));
    EXPECT_EQ("Invalid User Name or Password", error);
    // An empty password would make an unauthenticated bind, which succeeds.
    EXPECT_FALSE(directory->CheckPassword(dn, "", error));
}

TEST(LdapDirectorySettingsTest, UnusableSettingsAndUnreachableDirectories)
{
    DirectorySettings settings;
    settings.base = kPlantBase;
    std::string error;
    settings.urls = "http://127.0.0.1:1/";
    EXPECT_EQ(nullptr, LdapDirectory::Open(settings, error));
    EXPECT_THAT(error, HasSubstr("is not an ldap:// or ldaps:// URL"));
    settings.urls = "ldap://127.0.0.1:1/";
    EXPECT_EQ(nullptr, LdapDirectory::Open(settings, error));
    EXPECT_THAT(error, HasSubstr("could not be reached"));
    settings.urls = "ldap://127.0.0.1:1/";
    settings.bind = BindMethod::Simple;
    settings.bindDn = "cn=console,dc=plant,dc=test";
    settings.bindPasswordFile = "/etc/passwd"; // readable by all
    EXPECT_EQ(nullptr, LdapDirectory::Open(settings, error));
    EXPECT_THAT(error, HasSubstr("0600"));
}

// With the test realm, the directory takes alice's ticket: she is the
// operator, found through the identity of the bind. Without a ticket the
// directory is not reached, and says so.
TEST(LdapDirectoryKerberosTest, TheTicketNamesTheOperator)
{
    const char* realm = std::getenv("ZYR_TEST_KRB5");
    if (TestDirectoryUrl().empty() || realm == nullptr) {
        GTEST_SKIP() << "ZYR_TEST_LDAP and ZYR_TEST_KRB5 are not set";
    }
    setenv("KRB5_CONFIG", (std::string(realm) + "/krb5.conf").c_str(), 1);
    setenv("KRB5CCNAME", ("FILE:" + std::string(realm) + "/ccache").c_str(), 1);
    DirectorySettings settings;
    // The service is ldap/localhost: the URL names the host so.
    settings.urls = TestDirectoryUrl();
    settings.urls.replace(settings.urls.find("127.0.0.1"), 9, "localhost");
    settings.base = kPlantBase;
    settings.bind = BindMethod::SaslGssapi;
    std::string error;
    auto directory = LdapDirectory::Open(settings, error);
    ASSERT_NE(nullptr, directory) << error;
    DirectoryAccount account;
    ASSERT_TRUE(directory->FindLogonAccount(account, error)) << error;
    EXPECT_EQ(std::string(kOperators) + "\\alice", account.memberText);

    setenv("KRB5CCNAME", ("FILE:" + std::string(realm) + "/no-ticket").c_str(), 1);
    EXPECT_EQ(nullptr, LdapDirectory::Open(settings, error));
    EXPECT_FALSE(error.empty());
    setenv("KRB5CCNAME", ("FILE:" + std::string(realm) + "/ccache").c_str(), 1);
}
