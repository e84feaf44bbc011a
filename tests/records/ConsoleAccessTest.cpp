// The lockout guard's judgement of a change to the console object's grants.
#include "records/ConsoleAccess.h"

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
