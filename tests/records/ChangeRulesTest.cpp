// The checks and texts of the console's changes that the command-line tool
// shares: New dialog names, duplicates, free permission bits.
#include "records/ChangeRules.h"

#include "common/StringTable.h"
#include "platform/ui/UiService.h"
#include "records/AclEditing.h"
#include "records/Application.h"
#include "tests/roles/RecordsFixture.h"

#include <gtest/gtest.h>

using namespace zyr::records;

namespace zyr::testing {
namespace {

class ChangeRulesTest : public RecordsFixture {};

TEST_F(ChangeRulesTest, NewNamesAreTrimmedAndRefusedInTheDialogsOrder)
{
    NewNameCheck check = CheckNewRecordName(NewRecordKind::Application, "  Plant Ops\t", "Line 4");
    EXPECT_TRUE(check.ok);
    EXPECT_EQ(check.name, "Plant Ops");

    struct Case {
        NewRecordKind kind;
        const char* name;
        UINT message;
        unsigned icon;
    };
    const Case refusals[] = {
        {NewRecordKind::Application, "   ", zyr::IDS_EMPTY_APPLICATION_NAME, zyr::ui::MB_ICONERROR},
        {NewRecordKind::Group, "", zyr::IDS_EMPTY_GROUP_NAME, zyr::ui::MB_ICONERROR},
        {NewRecordKind::Object, " ", zyr::IDS_EMPTY_SECURE_OBJECT_NAME, zyr::ui::MB_ICONERROR},
        {NewRecordKind::Role, "\t", zyr::IDS_EMPTY_ROLE_NAME, zyr::ui::MB_ICONERROR},
        // One byte is enough for everything but a role.
        {NewRecordKind::Role, " x ", zyr::IDS_ROLE_NAME_TOO_SHORT, zyr::ui::MB_ICONINFORMATION},
    };
    for (const Case& c : refusals) {
        check = CheckNewRecordName(c.kind, c.name, "");
        EXPECT_FALSE(check.ok) << c.name;
        EXPECT_EQ(check.messageId, c.message) << c.name;
        EXPECT_EQ(check.icon, c.icon) << c.name;
    }
    EXPECT_TRUE(CheckNewRecordName(NewRecordKind::Group, "x", "").ok);
    EXPECT_TRUE(ui.boxes.empty());

    // Reserved characters in name or description: IsValidNameText's own box.
    check = CheckNewRecordName(NewRecordKind::Role, "Ops", "50%");
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.messageId, 0u);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.rfind("The name or description cannot contain", 0), 0u);

    // The dialogs' edits hold 255 characters; more is refused before anything else.
    check = CheckNewRecordName(NewRecordKind::Role, std::string(256, 'a'), "");
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.messageId, zyr::IDS_ONLY_255_CHARACTERS);
    EXPECT_TRUE(CheckNewRecordName(NewRecordKind::Role, std::string(255, 'a'), std::string(255, 'd')).ok);
}

TEST_F(ChangeRulesTest, FreeBitsAreTheOffered31LowestFirst)
{
    CKVTAppl application("Plant", "", true); // Read, Write, Execute: bits 0 to 2
    EXPECT_EQ(FirstFreePermissionBit(application.Permissions), 0x8u);
    EXPECT_FALSE(IsFreePermissionBit(application.Permissions, 0x2u));
    EXPECT_FALSE(IsFreePermissionBit(application.Permissions, 0x80000000u)); // never offered
    EXPECT_FALSE(IsFreePermissionBit(application.Permissions, 0x30u));       // not one bit
    EXPECT_TRUE(IsFreePermissionBit(application.Permissions, 0x40000000u));
    // A permission of several bits takes none of the offered ones.
    application.Permissions.emplace_back("Both", "0x00000018");
    EXPECT_EQ(FirstFreePermissionBit(application.Permissions), 0x8u);

    application.Permissions.clear();
    for (uint32_t bit = 1; bit <= kHighestOfferedPermissionBit; bit <<= 1) {
        application.Permissions.emplace_back("P" + std::to_string(bit), PermissionValueText(bit));
    }
    EXPECT_EQ(application.Permissions.size(), 31u);
    EXPECT_EQ(FirstFreePermissionBit(application.Permissions), 0u);
    EXPECT_EQ(FindPermissionByName(application.Permissions, "p1")->Value.view(), "0x00000001");
    EXPECT_EQ(FindPermissionByName(application.Permissions, "P3"), nullptr);
}

TEST_F(ChangeRulesTest, DuplicatesAreFoundWithoutRegardToCaseAndNamedAsTheyAre)
{
    CKVTAppl application("Plant", "", true);
    application.Groups.push_back(std::make_unique<CKVTSecGroup>("Line 1", "Plant", "{A}", ""));
    application.Groups[0]->Objects.push_back(std::make_unique<CKVTApplSecObj>("Valve 7", "{G}", "{A}", ""));
    CKVTSecGroup* group = FindGroupByName(application, "LINE 1");
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(FindObjectByName(*group, "valve 7"), group->Objects[0].get());
    EXPECT_EQ(FindObjectByName(*group, "Valve"), nullptr);
    EXPECT_EQ(FormatWithName(kGroupExistsFormat, group->CN.view()),
              "Securable Group 'Line 1' Already Exists");
    EXPECT_EQ(FormatWithName(kDeleteRoleFormat, "100%s"), "Are you sure you want to delete the role 100%s?");
    EXPECT_EQ(TrimWhiteSpace(" \t a b \r\n"), "a b");
}

} // namespace
} // namespace zyr::testing
