// zyrsec end to end against the reference security server: each command's
// success and refusals, its exit status, its --json answer parsed back, and
// the audit trail that its changes leave.
#include "common/ServerSettings.h"
#include "tests/tools/zyrsec/ZyrsecFixture.h"

#include <algorithm>
#include <iterator>

namespace {

using zyr::testing::ToolRun;
using zyr::testing::Tree;

class ZyrsecServerTest : public zyr::testing::ZyrsecFixture {};

using zyr::testing::Contains;

TEST_F(ZyrsecServerTest, ReadsTheDemoDatabase)
{
    ToolRun tree = Zyrsec({"--json", "tree"});
    ASSERT_EQ(tree.status, 0) << tree.err;
    Tree json = tree.Json();
    EXPECT_EQ(json.get<std::string>("ok"), "true");
    const Tree& applications = json.get_child("applications");
    ASSERT_FALSE(applications.empty());
    const Tree& framework = applications.begin()->second;
    EXPECT_EQ(framework.get<std::string>("name"), "Morvel Framework");
    EXPECT_EQ(framework.get<std::string>("groups..name"), "Security Manager");
    EXPECT_EQ(framework.get<std::string>("id").size(), 38u);
    EXPECT_EQ(json.get_child("roles").size(), 5u);

    ToolRun plain = Zyrsec({"app", "show", "batch control"});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_TRUE(Contains(plain.out, "Name:        Batch Control\n")) << plain.out;
    EXPECT_TRUE(Contains(plain.out, "Mixer M-101")) << plain.out;

    ToolRun roles = Zyrsec({"--json", "role", "show", "Security Administrators"});
    ASSERT_EQ(roles.status, 0) << roles.err;
    EXPECT_EQ(roles.Json().get_child("role.users").size(), 1u);

    ToolRun missing = Zyrsec({"app", "show", "No Such Application"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(Contains(missing.err, "There is no application 'No Such Application'."));

    // The seed's administrator is the account running the tests.
    ToolRun find = Zyrsec({"--json", "find-user"});
    ASSERT_EQ(find.status, 0) << find.err;
    EXPECT_EQ(find.Json().get_child("roles").begin()->second.data(), "Security Administrators");
    ToolRun domainOnly = Zyrsec({"find-user", "CORP\\"});
    EXPECT_EQ(domainOnly.status, 1);
    EXPECT_TRUE(Contains(domainOnly.err, "Please enter an User Name"));

    ToolRun logs = Zyrsec({"--json", "logs", "--page", "0"});
    ASSERT_EQ(logs.status, 0) << logs.err;
    EXPECT_EQ(logs.Json().get_child("entries").size(), 50u);

    ToolRun status = Zyrsec({"--json", "compliance", "status"});
    ASSERT_EQ(status.status, 0) << status.err;
    EXPECT_EQ(status.Json().get<std::string>("compliance"), "false");
    EXPECT_EQ(status.Json().get<std::string>("audit_functional"), "true");
}

TEST_F(ZyrsecServerTest, RolesAndMembersLeaveThePagesAuditTrail)
{
    ToolRun added = Zyrsec({"--json", "role", "add", "  Night Shift ", "--description", "Nights"});
    ASSERT_EQ(added.status, 0) << added.err;
    const std::string id = added.Json().get<std::string>("role.id");
    EXPECT_EQ(added.Json().get<std::string>("role.name"), "Night Shift");
    ASSERT_EQ(id.size(), 38u);
    EXPECT_EQ(id.find_first_of("ABCDEF"), std::string::npos) << id;

    // Refusals, each with the console's message and nothing sent.
    ToolRun duplicate = Zyrsec({"role", "add", "NIGHT SHIFT"});
    EXPECT_EQ(duplicate.status, 1);
    EXPECT_TRUE(Contains(duplicate.err, "Role 'Night Shift' Already Exists.")) << duplicate.err;
    ToolRun reserved = Zyrsec({"role", "add", "Ops", "--description", "50%"});
    EXPECT_EQ(reserved.status, 1);
    EXPECT_TRUE(
        Contains(reserved.err, "The name or description cannot contain any of the following characters:"));
    ToolRun shortName = Zyrsec({"role", "add", " x "});
    EXPECT_EQ(shortName.status, 1);
    EXPECT_TRUE(
        Contains(shortName.err, "You must enter a Role Name consisting of at least 2 characters/digits."));
    ToolRun empty = Zyrsec({"role", "add", "   "});
    EXPECT_EQ(empty.status, 1);
    EXPECT_TRUE(Contains(empty.err, "Empty Role Name Field"));

    ASSERT_EQ(Zyrsec({"role", "describe", "night shift", "Night crew"}).status, 0);
    Tree record = NewestAudit();
    EXPECT_EQ(record.get<std::string>("operation"), "Update");
    EXPECT_EQ(record.get<std::string>("old_value"),
              "<OldValue><Description><Value>Nights</Value></Description></OldValue>");
    EXPECT_EQ(record.get<std::string>("new_value"),
              "<NewValue><Description><Value>Night crew</Value></Description></NewValue>");
    ToolRun same = Zyrsec({"--json", "role", "describe", "Night Shift", "Night crew"});
    EXPECT_EQ(same.status, 0);
    EXPECT_EQ(same.Json().get<std::string>("changed"), "false");

    ASSERT_EQ(Zyrsec({"member", "add", "Night Shift", "--user", "CORP\\bob"}).status, 0);
    ASSERT_EQ(Zyrsec({"member", "add", "Night Shift", "--group", "CORP\\Operators"}).status, 0);
    record = NewestAudit();
    EXPECT_EQ(
        record.get<std::string>("new_value"),
        "<NewValue><MemberUsers></MemberUsers><MemberGroups><Value>CORP\\Operators</Value></MemberGroups>"
        "</NewValue>");
    // Already a member in another letter case: nothing is sent.
    ToolRun again = Zyrsec({"--json", "member", "add", "Night Shift", "--user", "corp\\BOB"});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.Json().get<std::string>("changed"), "false");
    ASSERT_EQ(Zyrsec({"member", "remove", "Night Shift", "--user", "corp\\bob"}).status, 0);
    record = NewestAudit();
    EXPECT_EQ(record.get<std::string>("old_value"), "<OldValue><MemberUsers><Value>CORP\\bob</Value></"
                                                    "MemberUsers><MemberGroups></MemberGroups></OldValue>");
    ToolRun shown = Zyrsec({"--json", "role", "show", "Night Shift"});
    EXPECT_EQ(shown.Json().get_child("role.users").size(), 0u);
    EXPECT_EQ(shown.Json().get_child("role.groups").size(), 1u);
    ToolRun badMember = Zyrsec({"member", "add", "Night Shift", "--user", "a;b"});
    EXPECT_EQ(badMember.status, 1);

    // A deletion asks first: a script without --yes is refused.
    ToolRun unasked = Zyrsec({"role", "delete", "Night Shift"});
    EXPECT_EQ(unasked.status, 1);
    EXPECT_TRUE(Contains(unasked.err, "Are you sure you want to delete the role Night Shift?"));
    EXPECT_EQ(Zyrsec({"role", "show", "Night Shift"}).status, 0);
    // Its grants go with it: none is left to name the role.
    ASSERT_EQ(Zyrsec({"acl", "grant", "Night Shift", "Read", "--app", "Batch Control"}).status, 0);
    ToolRun deleted = Zyrsec({"--json", "--yes", "role", "delete", "Night Shift"});
    EXPECT_EQ(deleted.status, 0) << deleted.err;
    EXPECT_EQ(deleted.Json().get<std::string>("acl_entries_naming_role"), "0");
    EXPECT_FALSE(Contains(Zyrsec({"app", "show", "Batch Control"}).out, "Night Shift"));
    EXPECT_EQ(Zyrsec({"role", "show", "Night Shift"}).status, 1);
}

TEST_F(ZyrsecServerTest, AuditTrailNarrowedAndWrittenAsCsv)
{
    ASSERT_EQ(Zyrsec({"role", "add", "Night Shift", "--description", "Nights"}).status, 0);
    ASSERT_EQ(Zyrsec({"role", "describe", "Night Shift", "Night crew"}).status, 0);
    ASSERT_EQ(Zyrsec({"member", "add", "Night Shift", "--user", "CORP\\bob"}).status, 0);

    ToolRun roles =
        Zyrsec({"--json", "audit", "--object", "role", "--name", "night", "--from", "2000-01-01"});
    ASSERT_EQ(roles.status, 0) << roles.err;
    const Tree json = roles.Json();
    const Tree& records = json.get_child("records");
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records.begin()->second.get<std::string>("change"), "Members: + CORP\\bob");
    EXPECT_EQ(std::next(records.begin())->second.get<std::string>("change"),
              "Description: 'Nights' \u2192 'Night crew'");
    EXPECT_EQ(records.rbegin()->second.get<std::string>("operation"), "Add");

    ToolRun csv = Zyrsec({"audit", "--csv", "--object", "Role", "--name", "Night Shift"});
    ASSERT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(csv.out.rfind("Time,User,Computer,Object,Operation,Name,Change\n", 0), 0u) << csv.out;
    EXPECT_TRUE(Contains(csv.out, ",Role,Update,Night Shift,Members: + CORP\\bob\n")) << csv.out;
    EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 4);

    ToolRun nobody = Zyrsec({"--json", "audit", "--user", "NOBODY\\x"});
    ASSERT_EQ(nobody.status, 0) << nobody.err;
    EXPECT_TRUE(nobody.Json().get_child("records").empty());
    // A time that is no time: refused before sending, or by the server's calendar.
    EXPECT_EQ(Zyrsec({"audit", "--from", "yesterday"}).status, 2);
    ToolRun february = Zyrsec({"audit", "--to", "2026-02-30"});
    EXPECT_EQ(february.status, 1);
    EXPECT_TRUE(Contains(february.err, "ToTime is not a time")) << february.err;
}

TEST_F(ZyrsecServerTest, ApplicationsGroupsObjectsAndTheirAccess)
{
    ToolRun app = Zyrsec({"--json", "app", "add", "Packaging", "--description", "Line 4"});
    ASSERT_EQ(app.status, 0) << app.err;
    EXPECT_EQ(app.Json().get<std::string>("application.id").size(), 38u);
    ToolRun duplicate = Zyrsec({"app", "add", "packaging"});
    EXPECT_EQ(duplicate.status, 1);
    EXPECT_TRUE(Contains(duplicate.err, "Application 'Packaging' Already Exists"));
    ToolRun slash = Zyrsec({"app", "add", "A/B"});
    EXPECT_EQ(slash.status, 1);

    ASSERT_EQ(Zyrsec({"group", "add", "Packaging", "Cartoners"}).status, 0);
    ToolRun groupTwice = Zyrsec({"group", "add", "Packaging", "CARTONERS"});
    EXPECT_EQ(groupTwice.status, 1);
    EXPECT_TRUE(Contains(groupTwice.err, "Securable Group 'Cartoners' Already Exists"));
    ASSERT_EQ(Zyrsec({"object", "add", "Packaging", "Cartoners", "Cartoner C-1"}).status, 0);
    ToolRun objectTwice = Zyrsec({"object", "add", "Packaging", "Cartoners", "cartoner c-1"});
    EXPECT_EQ(objectTwice.status, 1);
    EXPECT_TRUE(Contains(objectTwice.err, "Securable Object 'Cartoner C-1' Already Exists"));

    // The access page's audit text: the role's granted names before and after.
    ASSERT_EQ(Zyrsec({"acl", "grant", "Operators", "Read,Execute", "--app", "Packaging", "--group",
                      "Cartoners", "--object", "Cartoner C-1"})
                  .status,
              0);
    Tree record = NewestAudit();
    EXPECT_EQ(record.get<std::string>("object"), "SecObj");
    EXPECT_EQ(record.get<std::string>("old_value"),
              "<OldValue><ACE><Value>Operators:</Value></ACE></OldValue>");
    EXPECT_EQ(record.get<std::string>("new_value"),
              "<NewValue><ACE><Value>Operators:Read,Execute</Value></ACE></NewValue>");
    ASSERT_EQ(Zyrsec({"acl", "revoke", "Operators", "Read", "--app", "Packaging", "--group", "Cartoners",
                      "--object", "Cartoner C-1"})
                  .status,
              0);
    record = NewestAudit();
    EXPECT_EQ(record.get<std::string>("new_value"),
              "<NewValue><ACE><Value>Operators:Execute</Value></ACE></NewValue>");
    ToolRun unknownPermission = Zyrsec({"acl", "grant", "Operators", "Fly", "--app", "Packaging"});
    EXPECT_EQ(unknownPermission.status, 1);
    ToolRun unknownRole = Zyrsec({"acl", "grant", "Nobody", "Read", "--app", "Packaging"});
    EXPECT_EQ(unknownRole.status, 1);

    ASSERT_EQ(Zyrsec({"group", "describe", "Packaging", "Cartoners", "Carton machines"}).status, 0);
    record = NewestAudit();
    EXPECT_EQ(record.get<std::string>("new_value"),
              "<NewValue><Description><Value>Carton machines</Value></Description><ACE></ACE></NewValue>");

    // Permissions: the lowest free bit, renames, and the question before
    // deleting a bit that an object still grants.
    ToolRun perm = Zyrsec({"--json", "perm", "add", "Packaging", "Seal"});
    ASSERT_EQ(perm.status, 0) << perm.err;
    EXPECT_EQ(perm.Json().get<std::string>("permission.id"), "0x00000008");
    record = NewestAudit();
    EXPECT_EQ(record.get<std::string>("new_value"),
              "<NewValue><PermNamesList><Value>Seal:0x00000008</Value></PermNamesList></NewValue>");
    ToolRun permTwice = Zyrsec({"perm", "add", "Packaging", "SEAL"});
    EXPECT_EQ(permTwice.status, 1);
    EXPECT_TRUE(Contains(permTwice.err, "Permission 'SEAL' Already Exists. Please use another Name."));
    ToolRun taken = Zyrsec({"perm", "add", "Packaging", "Glue", "--value", "0x00000001"});
    EXPECT_EQ(taken.status, 1);
    EXPECT_EQ(Zyrsec({"perm", "add", "Packaging", "Glue", "--value", "1x2"}).status, 1);
    EXPECT_EQ(Zyrsec({"perm", "add", "Packaging", "Glue", "--value", "0x80000000"}).status, 1);
    ToolRun chosen = Zyrsec({"--json", "perm", "add", "Packaging", "Glue", "--value", "0x100"});
    ASSERT_EQ(chosen.status, 0) << chosen.err;
    EXPECT_EQ(chosen.Json().get<std::string>("permission.id"), "0x00000100");
    ASSERT_EQ(Zyrsec({"perm", "rename", "Packaging", "Write", "Modify"}).status, 0);
    record = NewestAudit();
    EXPECT_EQ(record.get<std::string>("old_value"),
              "<OldValue><PermNamesList><Value>Write:0x00000002</Value></PermNamesList></OldValue>");
    EXPECT_EQ(record.get<std::string>("new_value"),
              "<NewValue><PermNamesList><Value>Modify:0x00000002</Value></PermNamesList></NewValue>");
    ToolRun granted = Zyrsec({"perm", "delete", "Packaging", "Execute"});
    EXPECT_EQ(granted.status, 1);
    EXPECT_TRUE(Contains(granted.err, "Please uncheck this permission"));
    EXPECT_EQ(Zyrsec({"--yes", "perm", "delete", "Packaging", "Execute"}).status, 0);

    ASSERT_EQ(Zyrsec({"--yes", "object", "delete", "Packaging", "Cartoners", "Cartoner C-1"}).status, 0);
    ASSERT_EQ(Zyrsec({"--yes", "group", "delete", "Packaging", "Cartoners"}).status, 0);
    ToolRun shown = Zyrsec({"--json", "app", "show", "Packaging"});
    EXPECT_EQ(shown.Json().get_child("application.groups").size(), 0u);
    ASSERT_EQ(Zyrsec({"--yes", "app", "delete", "Packaging"}).status, 0);
    EXPECT_EQ(Zyrsec({"app", "show", "Packaging"}).status, 1);
}

TEST_F(ZyrsecServerTest, ExportedApplicationComesBackWithItsIdentities)
{
    const std::string file = (dir_ / "batch.xml").string();
    ToolRun before = Zyrsec({"--json", "app", "show", "Batch Control"});
    ASSERT_EQ(Zyrsec({"export", "Batch Control", file}).status, 0);
    ToolRun refused = Zyrsec({"import", file});
    EXPECT_EQ(refused.status, 1);
    ASSERT_EQ(Zyrsec({"--yes", "app", "delete", "Batch Control"}).status, 0);
    ToolRun imported = Zyrsec({"--json", "import", file});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.Json().get<std::string>("application.id"),
              before.Json().get<std::string>("application.id"));
    ToolRun after = Zyrsec({"--json", "app", "show", "Batch Control"});
    EXPECT_EQ(after.Json().get_child("application.groups").size(),
              before.Json().get_child("application.groups").size());
    EXPECT_EQ(Zyrsec({"import", (dir_ / "missing.xml").string()}).status, 1);
}

TEST_F(ZyrsecServerTest, LogsOfARangeAreDeletedAfterTheQuestion)
{
    ToolRun unasked = Zyrsec({"logs", "delete", "--from", "1/1/2000", "--to", "1/2/2000"});
    EXPECT_EQ(unasked.status, 1);
    EXPECT_TRUE(Contains(unasked.err, "Are you sure you want to delete all logs from 1/1/2000  To 1/3/2000"));
    ToolRun inverted = Zyrsec({"logs", "--from", "2/1/2000", "--to", "1/1/2000"});
    EXPECT_EQ(inverted.status, 1);
    ToolRun all = Zyrsec({"--yes", "logs", "delete"});
    ASSERT_EQ(all.status, 0) << all.err;
    ToolRun logs = Zyrsec({"--json", "logs"});
    ASSERT_EQ(logs.status, 0);
    // Only the sign-ins since the deletion remain.
    EXPECT_LT(logs.Json().get_child("entries").size(), 10u);
}

TEST_F(ZyrsecServerTest, ComplianceModeRefusesChangesWhileTheAuditPathFails)
{
    ToolRun unasked = Zyrsec({"compliance", "activate"});
    EXPECT_EQ(unasked.status, 1);
    ToolRun activated = Zyrsec({"--yes", "compliance", "activate"});
    ASSERT_EQ(activated.status, 0) << activated.err;
    ToolRun status = Zyrsec({"--json", "compliance", "status"});
    EXPECT_EQ(status.Json().get<std::string>("compliance"), "true");

    // The probe says the audit component cannot take events from here.
    ASSERT_EQ(Fault("Kind=AuditNotFunctional&Computer=" + GetLocalComputerName() + "&Value=1"), "OK");
    ToolRun refused = Zyrsec({"--json", "role", "add", "Auditors"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(Contains(refused.err, "Could not create one of the Alarm and Events components."))
        << refused.err;
    EXPECT_EQ(refused.Json().get<std::string>("ok"), "false");
    EXPECT_EQ(refused.Json().get<std::string>("exit"), "1");
    EXPECT_EQ(Zyrsec({"app", "describe", "Batch Control", "x"}).status, 1);

    // The probe passes but the send fails: the server answers TAVOS_Send_Failed.
    ASSERT_EQ(Fault("Kind=AuditNotFunctional&Computer=" + GetLocalComputerName() + "&Value=0"), "OK");
    ASSERT_EQ(Fault("Kind=TavosSendFailed&Value=1"), "OK");
    ToolRun sendFailed = Zyrsec({"role", "add", "Auditors"});
    EXPECT_EQ(sendFailed.status, 1);
    EXPECT_TRUE(Contains(sendFailed.err, "The Send function on the Alarm and Event component failed."))
        << sendFailed.err;
    ToolRun describeFailed = Zyrsec({"role", "describe", "Operators", "Shift crews"});
    EXPECT_EQ(describeFailed.status, 1);
    ASSERT_EQ(Fault("Kind=TavosSendFailed&Value=0"), "OK");
    EXPECT_EQ(Zyrsec({"role", "add", "Auditors"}).status, 0);
}

TEST_F(ZyrsecServerTest, ChangesThatWouldLockEveryoneOutAreRefusedBeforeSending)
{
    const std::string lockout = "this change would leave no account able to open the security console";
    ToolRun admins = Zyrsec({"--json", "role", "show", "Security Administrators"});
    ASSERT_EQ(admins.status, 0) << admins.err;
    const std::string admin = admins.Json().get_child("role.users").begin()->second.data();
    const std::vector<std::vector<std::string>> refused = {
        {"--yes", "role", "delete", "Security Administrators"},
        {"member", "remove", "Security Administrators", "--user", admin},
        {"acl", "revoke", "Security Administrators", "Open", "--app", "Morvel Framework", "--group",
         "Security Manager", "--object", "ZyrSnap-In"},
        {"--yes", "object", "delete", "Morvel Framework", "Security Manager", "ZyrSnap-In"},
        {"--yes", "app", "delete", "Morvel Framework"},
    };
    for (const auto& arguments : refused) {
        ToolRun run = Zyrsec(arguments);
        EXPECT_EQ(run.status, 1) << arguments[2];
        EXPECT_TRUE(Contains(run.err, lockout)) << run.err;
    }
    // Nothing was sent: the grant is still there, and a second grant lets the first go.
    ToolRun tree = Zyrsec({"app", "show", "Morvel Framework"});
    EXPECT_TRUE(Contains(tree.out, "ZyrSnap-In")) << tree.out;
    ASSERT_EQ(Zyrsec({"acl", "grant", "Operators", "Open", "--app", "Morvel Framework", "--group",
                      "Security Manager", "--object", "ZyrSnap-In"})
                  .status,
              0);
    EXPECT_EQ(Zyrsec({"member", "remove", "Security Administrators", "--user", admin}).status, 0);
}

TEST_F(ZyrsecServerTest, UsageErrorsAndSignInRefusals)
{
    ToolRun usage = Zyrsec({"--json", "role", "add"});
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(usage.Json().get<std::string>("exit"), "2");
    EXPECT_EQ(Zyrsec({"frobnicate"}).status, 2);
    EXPECT_EQ(Zyrsec({"logs", "--from", "2/30/2024", "--to", "3/1/2024"}).status, 2);
    ToolRun help = Zyrsec({"member", "add", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(Contains(help.out, "usage: zyrsec member add ROLE (--user NAME | --group NAME)"));

    // A named account without a domain never reaches the authentication.
    ToolRun noDomain = Zyrsec({"--user", "someone", "apps"}, "secret\n");
    EXPECT_EQ(noDomain.status, 1);
    EXPECT_TRUE(Contains(noDomain.err, "Invalid Entry.  Please enter again."));
    // A server that does not answer.
    ToolRun down = Zyrsec({"--server", "http://127.0.0.1:9/zyr/security", "apps"});
    EXPECT_EQ(down.status, 1);
    EXPECT_TRUE(Contains(down.err, "Could not connect to ZYR Security Server \"127.0.0.1\"")) << down.err;
    ToolRun noCa = Zyrsec({"--cacert", "/nonexistent/ca.pem", "apps"});
    EXPECT_EQ(noCa.status, 1);
    EXPECT_TRUE(Contains(noCa.err, "The certificate file '/nonexistent/ca.pem' cannot be read.")) << noCa.err;
}

TEST_F(ZyrsecServerTest, AListThatCannotBeReadFailsTheCommand)
{
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"Kind=Status&Object=Appl&Operation=GetAll&Code=500", {"--json", "apps"}},
        {"Kind=ErrorReply&Object=Appl&Operation=GetAll&Count=9", {"--json", "tree"}},
        {"Kind=EmptyReply&Object=Appl&Operation=GetAll&Value=1", {"--json", "apps"}},
        {"Kind=EmptyReply&Object=Role&Operation=Get&Value=1", {"--json", "roles"}},
        {"Kind=Status&Object=Role&Operation=Get&Code=503", {"--json", "tree"}},
    };
    ASSERT_EQ(Zyrsec({"apps"}).status, 0); // the sign-in's cache files
    for (const auto& [fault, arguments] : cases) {
        ASSERT_EQ(Fault(fault), "OK");
        ToolRun run = Zyrsec(arguments);
        EXPECT_EQ(run.status, 1) << fault << "\n" << run.out;
        EXPECT_EQ(run.Json().get<std::string>("ok"), "false") << fault;
        EXPECT_TRUE(Contains(run.err, "The security server could not be read")) << fault << "\n" << run.err;
        ASSERT_EQ(Fault("Kind=Clear"), "OK");
    }
}

TEST_F(ZyrsecServerTest, EveryStepOfARunUsesTheServerItWasPointedAt)
{
    // The configured server does not answer: the sign-in, its log entries and
    // the change all go to the server of --server.
    SetMachineText("URL", "http://127.0.0.1:9/zyr/security");
    ToolRun run = Zyrsec({"--server", url_, "--json", "role", "add", "Night Shift"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(run.Json().get_child_optional("messages")) << run.out; // no "not secured"
}

} // namespace

TEST_F(ZyrsecServerTest, AChangeWithoutAnAnswerIsReadBack)
{
    const std::filesystem::path file = dir_ / "late.xml";
    std::ofstream(file) << "<?xml version=\"1.0\"?><ZYR><ApplName>Late "
                           "Line</ApplName><ApplID>{C2000000-0000-0000-0000-000000000000}</ApplID>"
                           "<Description></Description><KVTPerm></KVTPerm><GroupCount>0</GroupCount></ZYR>";
    struct Case {
        const char* fault;
        std::vector<std::string> arguments;
        bool made;
    };
    const Case cases[] = {
        // Carried out, the reply empty (a GET change) or cut (a POST change).
        {"Kind=EmptyReply&Object=Role&Operation=Add&Served=1", {"role", "add", "Late Shift"}, true},
        {"Kind=Drop&Object=Role&Operation=Update&Served=1",
         {"role", "describe", "Late Shift", "Lates"},
         true},
        // Not carried out: the empty reply that the wire rules count as
        // success, and a connection cut before the request was served.
        {"Kind=EmptyReply&Object=Role&Operation=Update", {"role", "describe", "Late Shift", "Never"}, false},
        {"Kind=Drop&Object=Role&Operation=Delete", {"--yes", "role", "delete", "Late Shift"}, false},
        {"Kind=Drop&Object=KVTAPI&Operation=ApplImp&Served=1", {"import", file.string()}, true},
    };
    for (const auto& [fault, arguments, made] : cases) {
        ASSERT_EQ(Fault(fault), "OK");
        ToolRun run = Zyrsec(arguments);
        ASSERT_EQ(Fault("Kind=Clear"), "OK");
        EXPECT_EQ(run.status, made ? 0 : 1) << fault << "\n" << run.err;
        const std::string verdict =
            made ? "the change is in the database" : "the change is not in the database";
        EXPECT_TRUE(Contains(run.err, "The security server gave no answer; " + verdict)) << fault << "\n"
                                                                                         << run.err;
    }
    ToolRun shown = Zyrsec({"--json", "role", "show", "Late Shift"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(shown.Json().get<std::string>("role.description"), "Lates");
}
