// The console's requests against an in-process server: every operation's
// success and refusal, the shapes of the list replies, the encrypted fields
// and the audit trail.
#include "tests/server/ServerFixture.h"

#include "cache/TextCipher.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zyr::server::test {
namespace {

using zyr::cipher::Encrypt;

std::string Plain(const std::string& encrypted)
{
    std::string plain;
    EXPECT_TRUE(zyr::cipher::Decrypt(encrypted, plain)) << encrypted;
    return plain;
}

std::string HeaderOf(const HttpReply& reply, const std::string& name)
{
    for (const auto& [n, v] : reply.headers) {
        if (n == name) {
            return v;
        }
    }
    return {};
}

const std::string kAppl = "{6B29FC40-CA47-1067-B31D-00DD010662DA}";
const std::string kGroup = "{6B29FC40-CA47-1067-B31D-00DD010662DB}";
const std::string kObject = "{6B29FC40-CA47-1067-B31D-00DD010662DC}";
const std::string kRole = "{3f2504e0-4f89-11d3-9a0c-0305e82c3301}";
const std::string kPerms = "Read:0x00000001;Write:0x00000002;Execute:0x00000004;";

class CatalogueTest : public BackendTest {
protected:
    void AddApplication(const std::string& name = "Plant Ops", const std::string& dn = kAppl)
    {
        HttpReply r = f.Get("Object=Appl&Operation=Add&Appl=" + name + "&DN=" + dn +
                            "&Desc=North%20plant&Perm=" + Encrypt(kPerms) + "&ACL=" + kTrailer);
        ASSERT_EQ(r.body, "OK");
    }
    void AddGroupAndObject()
    {
        ASSERT_EQ(f.Get("Object=SecGroup&Operation=Add&Appl=" + kAppl + "&Group=Line%201&DN=" + kGroup +
                        "&Desc=&ACL=" + kTrailer + "&ApplName=Plant%20Ops")
                      .body,
                  "OK");
        ASSERT_EQ(f.Get("Object=SecObj&Operation=Add&CN=Valve%207&DN=" + kObject + "&Appl=" + kAppl +
                        "&Group=" + kGroup + "&Desc=Feed&ACL=&QName=&QType=&QOper=&QValue=&UseQ=0" +
                        kTrailer + "&ApplName=Plant%20Ops&GroupName=Line%201")
                      .body,
                  "OK");
    }
    std::vector<pugi::xml_node> Applications(pugi::xml_document& doc)
    {
        HttpReply r = f.Get("Object=Appl&Operation=GetAll");
        EXPECT_EQ(r.contentType, "text/xml");
        body = r.body;
        return f.Records(doc, body, "KVTAPPLS");
    }

    ServerFixture f{GetParam()};
    std::string body;
};

TEST_P(CatalogueTest, ApplicationAddUpdateDeleteWithAuditTrail)
{
    AddApplication();
    pugi::xml_document doc;
    auto apps = Applications(doc);
    ASSERT_EQ(apps.size(), 1u);
    auto fields = f.Texts(apps[0]);
    ASSERT_EQ(fields.size(), 6u); // five fields, no group, the trailing element
    EXPECT_EQ(fields[0], kAppl);
    EXPECT_EQ(fields[1], "Plant Ops");
    EXPECT_EQ(fields[2], "North plant");
    EXPECT_EQ(Plain(fields[3]), kPerms);
    EXPECT_EQ(fields[4], "");
    EXPECT_EQ(std::string(apps[0].first_child().next_sibling().name()).substr(4), "NAME");

    // A mask with bit 31 set travels as a negative number and comes back as sent.
    std::string acl = "Operators:5;Admins:-2147483641;";
    std::string audit =
        "OldValue=" + Encrypt("<OldValue><Description><Value>North plant</Value></Description></OldValue>") +
        "&NewValue=" + Encrypt("<NewValue><Description><Value>a&amp;b</Value></Description></NewValue>");
    HttpReply r = f.Post("Object=Appl&Operation=Update&CN=Plant%20Ops&DN=" + kAppl +
                             "&Desc=a%26b&Perm=" + Encrypt(kPerms + "Purge:0x80000000;") + kTrailer,
                         audit + "&ACL=" + Encrypt(acl));
    ASSERT_EQ(r.body, "OK");
    apps = Applications(doc);
    fields = f.Texts(apps.at(0));
    EXPECT_EQ(fields[2], "a&b");
    EXPECT_NE(body.find("<DESCRIPTION>a&amp;b</DESCRIPTION>"), std::string::npos);
    EXPECT_EQ(Plain(fields[3]), kPerms + "Purge:0x80000000;");
    EXPECT_EQ(Plain(fields[4]), acl);

    ASSERT_EQ(f.Get("Object=Appl&Operation=Delete&DN=" + kAppl + kTrailer + "&Appl=Plant%20Ops").body, "OK");
    EXPECT_TRUE(Applications(doc).empty());

    auto trail = f.AuditTrail();
    ASSERT_EQ(trail.size(), 3u);
    EXPECT_EQ(trail[2].operation, "Add");
    EXPECT_EQ(trail[1].operation, "Update");
    EXPECT_EQ(trail[0].operation, "Delete");
    EXPECT_EQ(trail[1].user, "CORP\\jdoe");
    EXPECT_EQ(trail[1].computer, "PC01");
    EXPECT_EQ(trail[1].identity, kAppl);
    EXPECT_EQ(trail[1].oldValue,
              "<OldValue><Description><Value>North plant</Value></Description></OldValue>");
    EXPECT_EQ(trail[1].newValue, "<NewValue><Description><Value>a&amp;b</Value></Description></NewValue>");
}

TEST_P(CatalogueTest, RefusedApplicationChangesLeaveNothingBehind)
{
    AddApplication();
    const std::string add = "Object=Appl&Operation=Add&Desc=&ACL=" + kTrailer;
    std::vector<std::string> refused = {
        // The same name in other letter case, and the same identity.
        add + "&Appl=PLANT%20OPS&DN={11111111-1111-1111-1111-111111111111}&Perm=",
        add + "&Appl=Other&DN=" + kAppl + "&Perm=",
        // A reserved character, a missing name, an identity too long for the console.
        add + "&Appl=A%2FB&DN={22222222-2222-2222-2222-222222222222}&Perm=",
        add + "&Appl=&DN={22222222-2222-2222-2222-222222222222}&Perm=",
        add + "&Appl=Long&DN={22222222-2222-2222-2222-222222222222}XY&Perm=",
        // An encrypted field that is not the cipher's base 64 ("+" is not in it).
        add + "&Appl=Other&DN={33333333-3333-3333-3333-333333333333}&Perm=ab+d",
        "Object=Appl&Operation=Delete&DN={44444444-4444-4444-4444-444444444444}" + kTrailer + "&Appl=None",
    };
    for (const auto& query : refused) {
        HttpReply r = f.Get(query);
        EXPECT_EQ(r.status, 200) << query;
        EXPECT_EQ(r.body.rfind("Error: ", 0), 0u) << query << " -> " << r.body;
    }
    // Updates: unknown identity, an access-control list without masks, one that does not decode.
    for (const auto& body :
         {"&ACL=" + Encrypt("Operators"), std::string("&ACL=%%%"), "&ACL=" + Encrypt("Operators:five;")}) {
        HttpReply r = f.Post(
            "Object=Appl&Operation=Update&CN=Plant%20Ops&DN=" + kAppl + "&Desc=&Perm=" + kTrailer, body);
        EXPECT_TRUE(r.body.rfind("Error: ", 0) == 0 || r.status == 400) << body << " -> " << r.body;
    }
    HttpReply unknown = f.Post(
        "Object=Appl&Operation=Update&CN=X&DN={55555555-5555-5555-5555-555555555555}&Desc=&Perm=" + kTrailer,
        "&ACL=");
    EXPECT_EQ(unknown.body, "Error: no application has this identity");

    pugi::xml_document doc;
    auto apps = Applications(doc);
    ASSERT_EQ(apps.size(), 1u);
    EXPECT_EQ(f.Texts(apps[0])[4], "");
    EXPECT_EQ(f.AuditTrail().size(), 1u); // the Add alone
}

TEST_P(CatalogueTest, GroupsAndObjectsSitAtTheirPositions)
{
    AddApplication();
    AddGroupAndObject();
    pugi::xml_document doc;
    auto apps = Applications(doc);
    ASSERT_EQ(apps.size(), 1u);
    std::vector<pugi::xml_node> appChildren(apps[0].begin(), apps[0].end());
    ASSERT_EQ(appChildren.size(), 7u); // five fields, one group, the trailing element
    pugi::xml_node group = appChildren[5];
    std::vector<pugi::xml_node> groupChildren(group.begin(), group.end());
    ASSERT_EQ(groupChildren.size(), 6u); // four fields, one object, the trailing element
    EXPECT_EQ(std::string(groupChildren[0].child_value()), kGroup);
    EXPECT_EQ(std::string(groupChildren[1].child_value()), "Line 1");
    EXPECT_EQ(std::string(groupChildren[3].child_value()), "");
    auto object = f.Texts(groupChildren[4]);
    ASSERT_EQ(object.size(), 4u);
    EXPECT_EQ(object[0], kObject);
    EXPECT_EQ(object[1], "Valve 7");
    EXPECT_EQ(object[2], "Feed");
    // The name look-up reads the name after the identity: "NAME>" must follow it.
    size_t at = body.find(kObject);
    EXPECT_EQ(body.substr(body.find("NAME>", at) + 5, 7), "Valve 7");
    EXPECT_NE(body.find("<ACL></ACL>"), std::string::npos);

    // The object's qualifier is stored though never listed.
    HttpReply r =
        f.Post("Object=SecObj&Operation=Update&CN=Valve%207&DN=" + kObject + "&Appl=" + kAppl +
                   "&Group=" + kGroup + "&Desc=Feed&QName=Level&QType=Integer&QOper=>=&QValue=5&UseQ=1" +
                   kTrailer + "&ApplName=Plant%20Ops&GroupName=Line%201",
               "&ACL=" + Encrypt("  Operators:3; "));
    ASSERT_EQ(r.body, "OK");
    ObjectRecord stored;
    ASSERT_TRUE(f.store->FindObject(kObject, stored));
    EXPECT_EQ(stored.useQualifier, 1);
    EXPECT_EQ(stored.qualifierOperator, ">=");
    EXPECT_EQ(stored.qualifierType, "Integer");
    EXPECT_EQ(stored.qualifierValue, "5");

    // Deleting the group takes its objects.
    ASSERT_EQ(
        f.Get("Object=SecGroup&Operation=Delete&DN=" + kGroup + kTrailer + "&Appl=Plant%20Ops&Group=Line%201")
            .body,
        "OK");
    EXPECT_FALSE(f.store->FindObject(kObject, stored));
}

TEST_P(CatalogueTest, GroupAndObjectRefusals)
{
    AddApplication();
    AddApplication("Other", "{6B29FC40-CA47-1067-B31D-00DD01066200}");
    AddGroupAndObject();
    std::vector<std::string> refused = {
        // Group in an unknown application; same group name again in the application.
        "Object=SecGroup&Operation=Add&Appl={00000000-0000-0000-0000-000000000000}&Group=G&DN={10000000-0000-"
        "0000-"
        "0000-000000000000}&Desc=&ACL=" +
            kTrailer,
        "Object=SecGroup&Operation=Add&Appl=" + kAppl +
            "&Group=LINE%201&DN={10000000-0000-0000-0000-000000000001}&Desc=&ACL=" + kTrailer,
        // Object in an unknown group, in a group of another application, with a name already there.
        "Object=SecObj&Operation=Add&CN=V&DN=X1&Appl=" + kAppl + "&Group=NoSuchGroup&Desc=&ACL=&UseQ=0" +
            kTrailer,
        "Object=SecObj&Operation=Add&CN=V&DN=X2&Appl={6B29FC40-CA47-1067-B31D-00DD01066200}&Group=" + kGroup +
            "&Desc=&ACL=&UseQ=0" + kTrailer,
        "Object=SecObj&Operation=Add&CN=valve%207&DN=X3&Appl=" + kAppl + "&Group=" + kGroup +
            "&Desc=&ACL=&UseQ=0" + kTrailer,
        // A qualifier operator the console does not offer.
        "Object=SecObj&Operation=Add&CN=V&DN=X4&Appl=" + kAppl + "&Group=" + kGroup +
            "&Desc=&ACL=&QOper=!=&UseQ=1" + kTrailer,
        "Object=SecObj&Operation=Delete&DN=X5" + kTrailer + "&Appl=A&Group=G&CN=V",
    };
    for (const auto& query : refused) {
        EXPECT_EQ(f.Get(query).body.rfind("Error: ", 0), 0u) << query;
    }
    // The same group name in another application is fine.
    EXPECT_EQ(
        f.Get("Object=SecGroup&Operation=Add&Appl={6B29FC40-CA47-1067-B31D-00DD01066200}&Group=Line%201&DN={"
              "10000000-0000-0000-0000-000000000002}&Desc=&ACL=" +
              kTrailer)
            .body,
        "OK");
}

TEST_P(CatalogueTest, RoleMembersTravelEncryptedAndComeBackInPlace)
{
    ASSERT_EQ(f.Get("Object=Role&Operation=Add&CN=Plant%20Ops&DN=" + kRole +
                    "&Desc=Operators&MemeberUser=&MemberGroup=" + kTrailer)
                  .body,
              "OK");
    std::string audit = "OldValue=" + Encrypt("<OldValue><Users></Users></OldValue>") +
                        "&NewValue=" + Encrypt("<NewValue><Users><Value>CORP\\a</Value></Users></NewValue>");
    HttpReply r =
        f.Post("Object=Role&Operation=Update&CN=Plant%20Ops&DN=" + kRole + "&Desc=Operators" + kTrailer,
               "MemberUser=" + Encrypt("CORP\\a;CORP\\b;") +
                   "&MemberGroup=" + Encrypt("CORP\\ops;;Everyone;") + "&" + audit);
    ASSERT_EQ(r.body, "OK");

    pugi::xml_document doc;
    std::string list = f.Get("Object=Role&Operation=Get").body;
    auto roles = f.Records(doc, list, "KVTROLES");
    ASSERT_EQ(roles.size(), 1u);
    auto fields = f.Texts(roles[0]);
    ASSERT_EQ(fields.size(), 5u);
    EXPECT_EQ(fields[0], kRole);
    EXPECT_EQ(fields[1], "Plant Ops");
    EXPECT_EQ(Plain(fields[3]), "CORP\\ops;Everyone;"); // groups fourth, users fifth
    EXPECT_EQ(Plain(fields[4]), "CORP\\a;CORP\\b;");
    EXPECT_EQ(f.AuditTrail().at(0).newValue, "<NewValue><Users><Value>CORP\\a</Value></Users></NewValue>");

    // An undecodable member list or audit value refuses the whole update.
    EXPECT_EQ(f.Post("Object=Role&Operation=Update&CN=Plant%20Ops&DN=" + kRole + "&Desc=" + kTrailer,
                     "MemberUser=***&MemberGroup=&")
                  .body.rfind("Error: ", 0),
              0u);
    EXPECT_EQ(f.Post("Object=Role&Operation=Update&CN=Plant%20Ops&DN=" + kRole + "&Desc=" + kTrailer,
                     "MemberUser=&MemberGroup=&OldValue=!!&NewValue=")
                  .body.rfind("Error: ", 0),
              0u);
    list = f.Get("Object=Role&Operation=Get").body;
    roles = f.Records(doc, list, "KVTROLES");
    EXPECT_EQ(Plain(f.Texts(roles.at(0))[4]), "CORP\\a;CORP\\b;");

    EXPECT_EQ(
        f.Get("Object=Role&Operation=Add&CN=plant%20ops&DN={x}&Desc=&MemeberUser=&MemberGroup=" + kTrailer)
            .body.rfind("Error: ", 0),
        0u);
    EXPECT_EQ(f.Get("Object=Role&Operation=Delete&DN=" + kRole + kTrailer + "&CN=Plant%20Ops").body, "OK");
    EXPECT_EQ(f.Get("Object=Role&Operation=Delete&DN=" + kRole + kTrailer + "&CN=Plant%20Ops").body,
              "Error: no role has this identity");
}

TEST_P(CatalogueTest, DeletingARoleTakesItsEntriesOutOfEveryList)
{
    const std::string other = "{3f2504e0-4f89-11d3-9a0c-0305e82c3302}";
    for (const auto& [name, dn] : {std::pair{"Plant%20Ops", kRole}, std::pair{"Fitters", other}}) {
        ASSERT_EQ(f.Get("Object=Role&Operation=Add&CN=" + std::string(name) + "&DN=" + dn +
                        "&Desc=&MemeberUser=&MemberGroup=" + kTrailer)
                      .body,
                  "OK");
    }
    ASSERT_EQ(f.Get("Object=Appl&Operation=Add&Appl=Plant%20Ops&DN=" + kAppl +
                    "&Desc=&Perm=" + Encrypt(kPerms) + "&ACL=" + Encrypt("Fitters:1;PLANT OPS:3;") + kTrailer)
                  .body,
              "OK");
    ASSERT_EQ(f.Get("Object=SecGroup&Operation=Add&Appl=" + kAppl + "&Group=Line%201&DN=" + kGroup +
                    "&Desc=&ACL=" + Encrypt("plant ops:1;Fitters:4294967295;Plant Ops:4;") + kTrailer +
                    "&ApplName=Plant%20Ops")
                  .body,
              "OK");
    ASSERT_EQ(f.Get("Object=SecObj&Operation=Add&CN=Valve%207&DN=" + kObject + "&Appl=" + kAppl +
                    "&Group=" + kGroup + "&Desc=&ACL=" + Encrypt("Plant Ops:7;") +
                    "&QName=&QType=&QOper=&QValue=&UseQ=0" + kTrailer +
                    "&ApplName=Plant%20Ops&GroupName=Line%201")
                  .body,
              "OK");
    pugi::xml_document doc;
    ASSERT_EQ(Applications(doc).size(), 1u); // the reply is now kept

    ASSERT_EQ(f.Get("Object=Role&Operation=Delete&DN=" + kRole + kTrailer + "&CN=Plant%20Ops").body, "OK");
    // The deletion, then one record per list it changed, with the old and the new list.
    auto trail = f.AuditTrail();
    ASSERT_GE(trail.size(), 4u);
    EXPECT_EQ(trail[0].operation, "Delete");
    std::vector<std::string> changed;
    for (size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(trail[i].operation, "Update");
        EXPECT_EQ(trail[i].user, "CORP\\jdoe");
        changed.push_back(trail[i].object + " " + trail[i].identity + " " + trail[i].oldValue + " > " +
                          trail[i].newValue);
    }
    std::sort(changed.begin(), changed.end());
    EXPECT_EQ(changed,
              (std::vector<std::string>{
                  "Appl " + kAppl + " Fitters:1;PLANT OPS:3; > Fitters:1;",
                  "SecGroup " + kGroup + " plant ops:1;Fitters:4294967295;Plant Ops:4; > Fitters:4294967295;",
                  "SecObj " + kObject + " Plant Ops:7; > ",
              }));

    auto check = [&] {
        auto apps = Applications(doc);
        ASSERT_EQ(apps.size(), 1u);
        EXPECT_EQ(Plain(f.Texts(apps[0])[4]), "Fitters:1;");
        std::vector<ApplicationRecord> stored;
        ASSERT_TRUE(f.store->ListApplications(stored));
        EXPECT_EQ(stored.at(0).aclPlain, "Fitters:1;");
        EXPECT_EQ(stored.at(0).aclEncrypted, Encrypt("Fitters:1;"));
        GroupRecord group;
        ASSERT_TRUE(f.store->FindGroup(kGroup, group));
        EXPECT_EQ(group.aclPlain, "Fitters:4294967295;"); // the other role's text as it was sent
        EXPECT_EQ(Plain(group.aclEncrypted), group.aclPlain);
        ObjectRecord object;
        ASSERT_TRUE(f.store->FindObject(kObject, object));
        EXPECT_EQ(object.aclPlain, "");
        EXPECT_EQ(object.aclEncrypted, Encrypt(""));
    };
    check();
    // A role made again under the name finds no grants waiting.
    ASSERT_EQ(
        f.Get("Object=Role&Operation=Add&CN=plant%20ops&DN={x}&Desc=&MemeberUser=&MemberGroup=" + kTrailer)
            .body,
        "OK");
    check();
}

std::string ExportFile(const std::string& name, const std::string& id, const std::string& perms)
{
    return "<?xml version=\"1.0\"?><ZYR><ApplName>" + name + "</ApplName><ApplID>" + id +
           "</ApplID><Description>Imported</Description><KVTPerm>" + perms +
           "</KVTPerm><GroupCount>2</GroupCount>"
           "<GROUP0><GROUPNAME>First</GROUPNAME><GROUPID>{A0000000-0000-0000-0000-000000000000}</GROUPID>"
           "<Description>first group</Description><SECOBJECTCOUNT>0</SECOBJECTCOUNT></GROUP0>"
           "<GROUP1><GROUPNAME>Second</GROUPNAME><GROUPID>{A1000000-0000-0000-0000-000000000000}</GROUPID>"
           "<Description></Description><SECOBJECTCOUNT>3</SECOBJECTCOUNT>"
           "<SECOBJ0><SECOBJNAME>O0</SECOBJNAME><SECOBJID>{B0000000-0000-0000-0000-000000000000}</SECOBJID>"
           "<DESCRIPTION>zero</DESCRIPTION></SECOBJ0>"
           "<SECOBJ1><SECOBJNAME>O1</SECOBJNAME><SECOBJID>{B1000000-0000-0000-0000-000000000000}</SECOBJID>"
           "<DESCRIPTION></DESCRIPTION></SECOBJ1>"
           "<SECOBJ2><SECOBJNAME>O2</SECOBJNAME><SECOBJID>{B2000000-0000-0000-0000-000000000000}</SECOBJID>"
           "<DESCRIPTION></DESCRIPTION></SECOBJ2></GROUP1></ZYR>";
}

TEST_P(CatalogueTest, ImportKeepsTheFileIdentitiesAndRefusesWithTheErrorHeader)
{
    const std::string id = "{C0000000-0000-0000-0000-000000000000}";
    HttpReply r =
        f.Post("Object=KVTAPI&Operation=ApplImp" + kTrailer, ExportFile("Imported", id, kPerms + "Tail:0x8"));
    ASSERT_EQ(r.body, "OK");
    EXPECT_TRUE(HeaderOf(r, "ZYR Error").empty());

    pugi::xml_document doc;
    auto apps = Applications(doc);
    ASSERT_EQ(apps.size(), 1u);
    auto fields = f.Texts(apps[0]);
    EXPECT_EQ(fields[0], id);
    EXPECT_EQ(Plain(fields[3]), kPerms); // the item after the last ";" is not part of the list
    std::vector<pugi::xml_node> children(apps[0].begin(), apps[0].end());
    ASSERT_EQ(children.size(), 8u);
    EXPECT_EQ(f.Texts(children[5])[2], "first group");
    std::vector<pugi::xml_node> second(children[6].begin(), children[6].end());
    ASSERT_EQ(second.size(), 8u);
    EXPECT_EQ(f.Texts(second[6])[0], "{B2000000-0000-0000-0000-000000000000}");

    // The same file again, a file naming an existing identity, and a broken file.
    for (const auto& file : {ExportFile("Imported", "{C1000000-0000-0000-0000-000000000000}", ""),
                             ExportFile("Another", id, ""), std::string("<ZYR><ApplName>X</ApplName>"),
                             ExportFile("Bad/Name", "{C2000000-0000-0000-0000-000000000000}", "")}) {
        HttpReply refused = f.Post("Object=KVTAPI&Operation=ApplImp" + kTrailer, file);
        EXPECT_EQ(refused.body.rfind("Error: ", 0), 0u) << refused.body;
        EXPECT_FALSE(HeaderOf(refused, "ZYR Error").empty());
    }
    EXPECT_EQ(Applications(doc).size(), 1u);
}

TEST_P(CatalogueTest, ComplianceModeRefusesChangesWhoseAuditCannotBeSent)
{
    EXPECT_EQ(f.Post("Object=KVTAPI&Operation=Get21CFR11Flag", "Junk=Junk").body, "false");
    // Before compliance mode a failing audit component does not stop changes.
    ASSERT_EQ(f.Post("Object=Test&Operation=Fault", "Kind=TavosSendFailed&Value=1").body, "OK");
    AddApplication();
    // The activation event cannot be passed on while the component fails.
    const std::string activation =
        "Application=Morvel%20Framework&User=CORP%5Cjdoe&Computer=PC01&Message=The%20"
        "compliance-enabling%20features%20have%20been%20activated%20by%20CORP%5Cjdoe%20at%"
        "20PC01";
    EXPECT_EQ(f.Post("Object=Audit&Operation=Send", activation).body, "TAVOS_Send_Failed");
    EXPECT_EQ(f.Post("Object=KVTAPI&Operation=Get21CFR11Flag", "Junk=Junk").body, "false");

    ASSERT_EQ(f.Post("Object=Test&Operation=Fault", "Kind=TavosSendFailed&Value=0").body, "OK");
    EXPECT_EQ(f.Post("Object=Audit&Operation=Send", activation).body, "OK");
    EXPECT_EQ(f.Post("Object=KVTAPI&Operation=Get21CFR11Flag", "Junk=Junk").body, "true");

    ASSERT_EQ(f.Post("Object=Test&Operation=Fault", "Kind=TavosSendFailed&Value=1").body, "OK");
    size_t audits = f.AuditTrail().size();
    EXPECT_EQ(f.Get("Object=Appl&Operation=Delete&DN=" + kAppl + kTrailer + "&Appl=Plant%20Ops").body,
              "TAVOS_Send_Failed");
    EXPECT_EQ(
        f.Post("Object=Appl&Operation=Update&CN=Plant%20Ops&DN=" + kAppl + "&Desc=&Perm=" + kTrailer, "&ACL=")
            .body,
        "TAVOS_Send_Failed");
    EXPECT_EQ(f.AuditTrail().size(), audits);
    pugi::xml_document doc;
    EXPECT_EQ(Applications(doc).size(), 1u);

    // The probe and the changes of one computer only.
    ASSERT_EQ(f.Post("Object=Test&Operation=Fault", "Kind=Clear").body, "OK");
    ASSERT_EQ(f.Post("Object=Test&Operation=Fault", "Kind=AuditNotFunctional&Computer=pc01&Value=1").body,
              "OK");
    EXPECT_EQ(f.Post("Computer=PC01", "Junk=Junk").body, "TAVOS_Not_Functional");
    EXPECT_EQ(f.Post("Computer=PC02", "Junk=Junk").body, "OK");
    EXPECT_EQ(f.Get("Object=Appl&Operation=Delete&DN=" + kAppl + kTrailer).body, "TAVOS_Send_Failed");
    EXPECT_EQ(f.Get("Object=Appl&Operation=Delete&DN=" + kAppl + "&User=u&Computer=PC02").body, "OK");

    // The flag survives a restart of the service.
    AuditGate gate;
    SecurityService again(*f.store, gate);
    std::string reason;
    ASSERT_TRUE(again.Start(reason));
    EXPECT_TRUE(again.ComplianceOn());
}

TEST_P(CatalogueTest, LogPagesRangesAndDeletionsInTheConsoleFormats)
{
    auto bulk = f.store->BeginBulk();
    for (int day = 4; day <= 6; ++day) {
        for (int i = 0; i < 30; ++i) {
            char time[32];
            std::snprintf(time, sizeof time, "2007-02-%02d 13:04:%02d", day, i % 10);
            ASSERT_TRUE(
                bulk->Log({time, "CORP\\u" + std::to_string(i), "Logon", i ? "Success" : "Failed", "PC"}));
        }
    }
    ASSERT_TRUE(bulk->Commit());
    pugi::xml_document doc;
    auto page = [&](const std::string& query) {
        HttpReply r = f.Get("Object=Log&Operation=Get&" + query);
        body = r.body;
        return f.Records(doc, body, "KVTLOGS");
    };
    auto first = page("DisplaySet=0");
    ASSERT_EQ(first.size(), 50u);
    auto entry = f.Texts(first[0]);
    ASSERT_EQ(entry.size(), 4u);
    EXPECT_EQ(entry[0], "2007-02-06 13:04:09");
    EXPECT_EQ(page("DisplaySet=1").size(), 40u);
    EXPECT_TRUE(page("DisplaySet=2").empty());
    // From inclusive, To exclusive; an empty end is open.
    EXPECT_EQ(page("FromDate=2/5/2007&ToDate=2/6/2007&DisplaySet=0").size(), 30u);
    EXPECT_EQ(page("FromDate=&ToDate=2/6/2007&DisplaySet=1").size(), 10u);
    EXPECT_EQ(page("FromDate=2/7/2007&ToDate=&DisplaySet=0").size(), 0u);
    for (const char* bad : {"DisplaySet=-1", "DisplaySet=x", "FromDate=2/30/2007&ToDate=&DisplaySet=0",
                            "FromDate=2007-02-05&ToDate=&DisplaySet=0"}) {
        EXPECT_EQ(f.Get(std::string("Object=Log&Operation=Get&") + bad).body.rfind("Error: ", 0), 0u) << bad;
    }

    // A single delete takes every entry of its second (three per day here).
    EXPECT_EQ(f.Get("Object=Log&Operation=Del&Date=2/5/2007%2013:4:9&User=CORP%5Cjdoe&Computer=PC01").body,
              "OK");
    EXPECT_EQ(page("FromDate=2/5/2007&ToDate=2/6/2007&DisplaySet=0").size(), 27u);
    EXPECT_EQ(f.Get("Object=Log&Operation=Del&Date=2/5/2007&User=u").body.rfind("Error: ", 0), 0u);
    EXPECT_EQ(f.Get("Object=Log&Operation=Del&FromDate=2/4/2007&ToDate=2/5/2007&User=CORP%5Cjdoe").body,
              "OK");
    EXPECT_EQ(page("DisplaySet=0").size(), 50u);
    EXPECT_EQ(page("DisplaySet=1").size(), 7u);
    EXPECT_EQ(f.Get("Object=Log&Operation=Del").body, "OK");
    EXPECT_TRUE(page("DisplaySet=0").empty());

    // The authentication components add entries with the server's time.
    EXPECT_EQ(
        f.Post("Object=Log&Operation=Add", "User=CORP%5Cjdoe&Action=Logon&Status=Failed&Computer=PC01").body,
        "OK");
    EXPECT_EQ(f.Post("Object=Log&Operation=Add", "User=u&Action=AVeryLongActionName&Status=x")
                  .body.rfind("Error: ", 0),
              0u);
    auto added = page("DisplaySet=0");
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(f.Texts(added[0])[3], "Failed");

    // The deletions are in the audit trail, newest first.
    std::string audit = f.Get("Object=Audit&Operation=Get&DisplaySet=0").body;
    auto records = f.Records(doc, audit, "KVTAUDIT");
    ASSERT_EQ(records.size(), 3u);
    auto last = f.Texts(records[0]);
    ASSERT_EQ(last.size(), 9u);
    EXPECT_EQ(last[3], "Log");
    EXPECT_EQ(last[4], "Del");
    EXPECT_EQ(last[5], "all");
    EXPECT_EQ(f.Texts(records[2])[5], "2007-02-05 13:04:09");
    EXPECT_EQ(f.Texts(records[2])[1], "CORP\\jdoe");
}

TEST_P(CatalogueTest, RequestPageBasicsAndTestControls)
{
    EXPECT_EQ(f.router->Handle("GET", "/zyr/security", {}).body, "ZYR Security Server");
    EXPECT_EQ(f.router->Handle("GET", "/other?Object=Appl&Operation=GetAll", {}).status, 404);
    EXPECT_EQ(f.router->Handle("PUT", "/zyr/security?Object=Appl&Operation=GetAll", {}).status, 405);
    EXPECT_EQ(f.Get("Object=Appl&Operation=Add&Appl=%zz").status, 400);
    EXPECT_EQ(f.Get("Object=Appl&Operation=Add&Appl=%4").status, 400);
    EXPECT_EQ(f.Get("Object=Appl&Operation=Add&Appl=a%00b").status, 400);
    EXPECT_EQ(f.Get("Object=Nothing&Operation=Get").status, 400);
    EXPECT_EQ(f.Get("Object=Role&Operation=Nothing").status, 400);
    EXPECT_EQ(f.Get("Object=role&Operation=GET").contentType, "text/xml"); // names compare without case
    EXPECT_EQ(f.Post("Object=Role&Operation=Update" + kTrailer, "DN=%zz").body,
              "Bad Request: malformed form body");
    EXPECT_EQ(f.Post("Operation=GetServerVersion", "Junk=Junk").body, "2.3");

    auto fault = [&](const std::string& form) {
        EXPECT_EQ(f.Post("Object=Test&Operation=Fault", form).body, "OK");
    };
    fault("Kind=ErrorReply&Object=Role&Operation=Get&Count=2");
    EXPECT_EQ(f.Get("Object=Role&Operation=Get").body, "Error: injected");
    EXPECT_EQ(f.Get("Object=Role&Operation=Get").body, "Error: injected");
    EXPECT_EQ(f.Get("Object=Role&Operation=Get").contentType, "text/xml");
    fault("Kind=EmptyReply&Object=&Operation=GetServerVersion&Value=1");
    HttpReply empty = f.Post("Operation=GetServerVersion", "Junk=Junk");
    EXPECT_EQ(empty.status, 200);
    EXPECT_EQ(empty.body, "");
    fault("Kind=Status&Object=Appl&Operation=GetAll&Code=500");
    EXPECT_EQ(f.Get("Object=Appl&Operation=GetAll").status, 500);
    fault("Kind=Redirect&Object=Log&Operation=Get&Code=302&Location=http://127.0.0.1:1/zyr/security");
    HttpReply moved = f.Get("Object=Log&Operation=Get&DisplaySet=0");
    EXPECT_EQ(moved.status, 302);
    EXPECT_EQ(HeaderOf(moved, "Location"), "http://127.0.0.1:1/zyr/security");
    EXPECT_EQ(f.Get("Object=Log&Operation=Get&DisplaySet=0").status, 200); // a redirect fires once
    fault("Kind=ZyrErrorHeader&Object=KVTAPI&Operation=ApplImp&Text=broken");
    EXPECT_EQ(HeaderOf(f.Post("Object=KVTAPI&Operation=ApplImp" + kTrailer, ExportFile("Z", "{Z}", "")),
                       "ZYR Error"),
              "broken");
    fault("Kind=Drop&Object=Role&Operation=Get");
    EXPECT_TRUE(f.Get("Object=Role&Operation=Get").drop);
    fault("Kind=Delay&Object=Role&Operation=Add&Ms=250");
    EXPECT_EQ(f.Get("Object=Role&Operation=Add").delayMs, 250);
    fault("Kind=Clear");
    EXPECT_EQ(f.Get("Object=Appl&Operation=GetAll").status, 200);
    EXPECT_FALSE(f.Get("Object=Role&Operation=Get").drop);
    EXPECT_EQ(f.Post("Object=Test&Operation=Fault", "Kind=Bogus").body.rfind("Error: ", 0), 0u);

    ServerFixture closed(GetParam(), false);
    EXPECT_EQ(closed.Post("Object=Test&Operation=Fault", "Kind=Clear").status, 404);
}

ZYR_ON_BOTH_BACKENDS(CatalogueTest);

} // namespace
} // namespace zyr::server::test
