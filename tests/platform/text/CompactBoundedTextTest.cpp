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

// Up to 14 bytes live in the field, longer texts on the heap: every way from
// one to the other, and a field assigned a part of its own text.
TEST(CompactBoundedTextTest, ShortTextsInlineLongOnTheHeapAndBackAgain)
{
    static_assert(sizeof(zyr::text::CompactBoundedText<792>) == 16);
    const std::string fourteen(14, 'a');
    const std::string fifteen(15, 'b');
    zyr::text::CompactBoundedText<40> field(fourteen);
    EXPECT_EQ(field.view(), fourteen);
    EXPECT_EQ(field.c_str()[14], '\0');
    field = fifteen;
    EXPECT_EQ(field.view(), fifteen);
    field = std::string(30, 'c'); // into the same block
    EXPECT_EQ(field.size(), 30u);
    field = field.view().substr(3, 20); // its own bytes, on the heap
    EXPECT_EQ(field.view(), std::string(20, 'c'));
    field = field.view().substr(0, 5); // from the heap to inline
    EXPECT_EQ(field.view(), "ccccc");
    field = field.view().substr(1); // its own inline bytes
    EXPECT_EQ(field.view(), "cccc");
    field = std::string(60, 'd'); // cut to the capacity
    EXPECT_EQ(field.view(), std::string(39, 'd'));

    zyr::text::CompactBoundedText<40> moved(std::move(field));
    EXPECT_EQ(moved.size(), 39u);
    EXPECT_TRUE(field.empty()); // NOLINT: a moved-from field is empty
    zyr::text::CompactBoundedText<40> other("short");
    other = std::move(moved);
    EXPECT_EQ(other.size(), 39u);
    other.Clear();
    EXPECT_STREQ(other.c_str(), "");
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
