// The lockout guard's judgement of a change to the console object's grants.
#include "records/ConsoleAccess.h"
#include "records/Application.h"
#include "roles/Role.h"
#include "tests/roles/RecordsFixture.h"

#include <gtest/gtest.h>

using namespace zyr::records;
using State = ConsoleAccess::State;

namespace {

// The console object granting "Open" to Admins (one member) and Read (2) to
// Operators (three members); Empty has no members.
ConsoleAccess Secured()
{
    ConsoleAccess access;
    access.present = true;
    access.entries = {AccessEntry("Admins", 3), AccessEntry("Operators", 2)};
    access.members = {{"Admins", 1}, {"Operators", 3}, {"Empty", 0}};
    return access;
}

TEST(ConsoleAccessTest, TheStateFollowsTheGrantsAndTheirMembers)
{
    ConsoleAccess access = Secured();
    EXPECT_EQ(access.Judge(), State::Granted);
    access.SetMemberCount("ADMINS", 0);
    EXPECT_EQ(access.Judge(), State::LockedOut);
    access.SetMask("Empty", 1);
    EXPECT_EQ(access.Judge(), State::LockedOut) << "a grant to a role without members opens nothing";
    access.SetMask("operators", 3);
    EXPECT_EQ(access.Judge(), State::Granted);
    access.entries.clear();
    EXPECT_EQ(access.Judge(), State::NotSecured);
    EXPECT_EQ(ConsoleAccess().Judge(), State::NotSecured);
}

TEST(ConsoleAccessTest, ChangesThatLeaveNobodyAreRefusedAndOthersPass)
{
    const ConsoleAccess before = Secured();
    auto refused = [&](auto change) {
        ConsoleAccess after = before;
        change(after);
        return WouldLockOut(before, after);
    };
    EXPECT_TRUE(refused([](ConsoleAccess& a) { a.DeleteRole("Admins"); }));
    EXPECT_TRUE(refused([](ConsoleAccess& a) { a.SetMemberCount("Admins", 0); }));
    EXPECT_TRUE(refused([](ConsoleAccess& a) { a.SetMask("Admins", 2); }));
    EXPECT_TRUE(refused([](ConsoleAccess& a) { a.ReplaceObject(false); }));
    EXPECT_TRUE(refused([](ConsoleAccess& a) { a.ReplaceObject(true, {AccessEntry("Admins", 2)}); }));
    // The only granting entry taken out with the rest leaves it open to all.
    EXPECT_TRUE(refused([](ConsoleAccess& a) { a.entries.clear(); }));

    EXPECT_FALSE(refused([](ConsoleAccess& a) { a.DeleteRole("Operators"); }));
    EXPECT_FALSE(refused([](ConsoleAccess& a) { a.SetMemberCount("Admins", 5); }));
    EXPECT_FALSE(refused([](ConsoleAccess& a) {
        a.SetMask("Operators", 1);
        a.SetMask("Admins", 0);
    }));

    // Not secured yet: a first entry must give someone "Open".
    ConsoleAccess open;
    open.present = true;
    open.members = before.members;
    ConsoleAccess readOnly = open;
    readOnly.SetMask("Operators", 2);
    EXPECT_TRUE(WouldLockOut(open, readOnly));
    readOnly.SetMask("Admins", 1);
    EXPECT_FALSE(WouldLockOut(open, readOnly));
    // Already locked out: a change cannot make it worse, and may mend it.
    ConsoleAccess locked = before;
    locked.SetMemberCount("Admins", 0);
    EXPECT_FALSE(WouldLockOut(locked, locked));
}

} // namespace

namespace zyr::testing {
namespace {

// The console's own check before it sends, on its current lists.
class ConsoleLockoutGuardTest : public RecordsFixture {};

TEST_F(ConsoleLockoutGuardTest, RefusesOnTheCurrentListsBeforeAnythingIsSent)
{
    UseServer("http://127.0.0.1:1/sec"); // nothing may be sent: nobody listens
    // Without the lists there is nothing to judge on: the server judges alone.
    EXPECT_TRUE(PassesLockoutGuard([](ConsoleAccess& access) { access.ReplaceObject(false); }));

    CKVTApplList applications;
    CKVTAppl& console = applications.Append(std::make_unique<CKVTAppl>("Morvel Framework", "", true));
    console.Groups.push_back(
        std::make_unique<CKVTSecGroup>("Security Manager", "Morvel Framework", "{A}", ""));
    CKVTSecGroup& group = *console.Groups.back();
    group.Objects.push_back(std::make_unique<CKVTApplSecObj>("ZyrSnap-In", "{G}", "{A}", ""));
    CKVTApplSecObj& object = *group.Objects.back();
    object.ACL = {AccessEntry("Admins", 1)};
    group.ACL = {AccessEntry("Admins", 1)};
    CKVTAppl& other = applications.Append(std::make_unique<CKVTAppl>("Batch Control", "", true));
    CKVTRoleList roles;
    roles.Roles().push_back(std::make_unique<CKVTRole>("Admins", ""));
    roles.Roles().back()->AddMemberUser("PLANT\\op one");

    EXPECT_FALSE(PassesDeleteLockoutGuard(console, &group, &object));
    EXPECT_FALSE(PassesDeleteLockoutGuard(console));
    EXPECT_TRUE(PassesDeleteLockoutGuard(other));
    EXPECT_FALSE(PassesLockoutGuard([](ConsoleAccess& access) { access.DeleteRole("ADMINS"); }));
    // A mask edit counts only on the console object's own list.
    const auto takeOpen = [](const std::vector<AccessEntry>& acl) {
        return [&acl](ConsoleAccess& access) {
            if (access.Holds(acl)) {
                access.SetMask("Admins", 2);
            }
        };
    };
    EXPECT_TRUE(PassesLockoutGuard(takeOpen(group.ACL)));
    EXPECT_FALSE(PassesLockoutGuard(takeOpen(object.ACL)));
    ASSERT_EQ(ui.boxes.size(), 4u);
    for (const auto& box : ui.boxes) {
        EXPECT_EQ(box.text, kLockoutMessage);
    }
    EXPECT_EQ(object.ACL.size(), 1u); // the lists themselves stay as they were
}

} // namespace
} // namespace zyr::testing
