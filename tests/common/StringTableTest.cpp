#include "common/StringTable.h"

#include "platform/text/CodePage.h"

#include <gtest/gtest.h>

TEST(StringTable, TextsByIdAndNothingForAnUnknownId)
{
    EXPECT_EQ(LoadStringResource(zyr::IDS_PROJNAME), u"ZYR Security Manager");
    std::optional<std::u16string> sendFailed = LoadStringResource(zyr::IDS_AUDIT_SEND_FAILED);
    ASSERT_TRUE(sendFailed);
    EXPECT_TRUE(sendFailed->ends_with(
        u"\n\nMore details:\nThe Send function on the Alarm and Event component failed.\n"));
    EXPECT_EQ(zyr::LoadStringAnsi(zyr::IDS_ROLE_NAME_TOO_SHORT),
              "You must enter a Role Name consisting of at least 2 characters/digits. ");
    EXPECT_NE(
        zyr::LoadStringAnsi(zyr::IDS_ADD_ROLE_FAILED).find("on \\Tarnwick\\Local Security\\Access97 folder"),
        std::string::npos);

    EXPECT_FALSE(LoadStringResource(32768)); // a command without a status-bar text
    EXPECT_EQ(zyr::LoadStringAnsi(0), "");
}
