// The compact bounded field: the same cutting rules as the fixed one.
#include "platform/text/BoundedText.h"

#include <gtest/gtest.h>

namespace {

TEST(CompactBoundedTextTest, CutsOnACharacterBoundaryAndCopiesApart)
{
    zyr::text::SetActiveCodePage(zyr::text::CP_UTF8);
    zyr::text::CompactBoundedText<6> field;
    EXPECT_TRUE(field.empty());
    EXPECT_STREQ(field.c_str(), "");
    EXPECT_TRUE(field.Assign("abcde"));
    EXPECT_FALSE(field.Assign("abcd\xc3\xa9")); // the two-byte character does not fit
    EXPECT_EQ(field.view(), "abcd");
    zyr::text::CompactBoundedText<6> copy = field;
    field = "x";
    EXPECT_EQ(copy.view(), "abcd");
    EXPECT_EQ(field.view(), "x");
    EXPECT_TRUE(field.Assign(""));
    EXPECT_TRUE(field.empty());
    zyr::text::ResetCodePage();
}

TEST(CaseFoldKeyTest, EqualKeysExactlyForNamesEqualWithoutRegardToCase)
{
    zyr::text::SetActiveCodePage(zyr::text::CP_UTF8);
    EXPECT_EQ(zyr::text::CaseFoldKey("PLANT\\Alice"), zyr::text::CaseFoldKey("plant\\ALICE"));
    EXPECT_EQ(zyr::text::CaseFoldKey("\xc3\x89VA"), zyr::text::CaseFoldKey("\xc3\xa9va")); // É and é
    EXPECT_NE(zyr::text::CaseFoldKey("alice"), zyr::text::CaseFoldKey("alice "));
    zyr::text::ResetCodePage();
}

} // namespace
