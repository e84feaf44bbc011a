// Names from identities: the lists in memory first, the cache texts without
// an application list, and the one fresh read of stale cache texts.
#include "records/NameLookup.h"

#include "records/Application.h"
#include "tests/roles/RecordsFixture.h"

#include <gtest/gtest.h>

namespace zyr::testing {
namespace {

class NameLookupTest : public RecordsFixture {
protected:
    void SetUp() override
    {
        RecordsFixture::SetUp();
        UseScripted();
    }
    void TearDown() override
    {
        zyr::records::ResetCurrentApplList();
        RecordsFixture::TearDown();
    }
    void WriteCache(const char* file, const std::string& plain)
    {
        ASSERT_EQ(KvtEncryptBufferAndPersistInFile(plain, (cacheDir / file).string()), S_OK);
    }
};

TEST_F(NameLookupTest, RolesComeFirstThenEveryRecordOfTheApplicationList)
{
    CKVTRoleList roles;
    CKVTRole& role = roles.Append(std::make_unique<CKVTRole>("Operators", ""));
    role.DN = "{R}";
    CKVTApplList list;
    CKVTAppl& appl = list.Append(std::make_unique<CKVTAppl>("Plant Ops", "", false));
    appl.DN = "{A}";
    auto& group = appl.Groups.emplace_back(std::make_unique<CKVTSecGroup>("Line 1", "Plant Ops", "{A}", ""));
    group->DN = "{G}";
    group->Objects.push_back(std::make_unique<CKVTApplSecObj>("Valve", "{G}", "{A}", ""));
    group->Objects.back()->DN = "{O}";
    group->Objects.push_back(std::make_unique<CKVTApplSecObj>("Valve again", "{G}", "{A}", ""));
    group->Objects.back()->DN = "{O}";
    WriteCache("ApplCache.xml", "<X><ID>{Z}</ID><NAME>Cached</NAME></X>");

    EXPECT_EQ(LookupNameByDN("{R}"), "Operators");
    EXPECT_EQ(LookupNameByDN("{A}"), "Plant Ops");
    EXPECT_EQ(LookupNameByDN("{G}"), "Line 1");
    EXPECT_EQ(LookupNameByDN("{O}"), "Valve again"); // the later match
    EXPECT_EQ(LookupNameByDN("{a}"), "");            // exact comparison
    EXPECT_EQ(LookupNameByDN("{Z}"), "");            // no cache with a list in memory
    EXPECT_EQ(LookupNameByDN(""), "");
}

TEST_F(NameLookupTest, WithoutAnApplicationListTheCacheTextsAnswer)
{
    WriteCache("ApplCache.xml", "<APPL><APPLDN>{A}</APPLDN><APPLNAME>Plant Ops</APPLNAME>"
                                "<GROUPDN>{G}</GROUPDN></APPL>");
    EXPECT_EQ(LookupNameByDN("{A}"), "Plant Ops");
    EXPECT_EQ(LookupNameByDN("{G}"), ""); // no "NAME>" after it
    EXPECT_EQ(LookupNameByDN("{Q}"), "");

    // A name added to the file later is found after one fresh read.
    WriteCache("rolecache.xml", "<ROLE><ROLEDN>{R}</ROLEDN><ROLENAME>Operators</ROLENAME></ROLE>");
    EXPECT_EQ(LookupNameByDN("{R}"), "Operators");
    EXPECT_FALSE(zyr::cache::RoleCacheText().empty());
}

TEST_F(NameLookupTest, AnIdentityInNeitherCacheTextIsEmptyAfterOneRetry)
{
    EXPECT_EQ(LookupNameByDN("{X}"), "");
    WriteCache("ApplCache.xml", "<A>{A}<NAME>One</NAME></A>");
    EXPECT_EQ(LookupNameByDN("{A}"), "One");
    WriteCache("ApplCache.xml", "<A>{A}<NAME>Two</NAME></A>");
    EXPECT_EQ(LookupNameByDN("{A}"), "One"); // found in the text already read
    EXPECT_EQ(LookupNameByDN("{B}"), "");    // not found: read again, still not there
    EXPECT_EQ(LookupNameByDN("{A}"), "Two");
}

} // namespace
} // namespace zyr::testing
