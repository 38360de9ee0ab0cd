#include <gtest/gtest.h>

#include "uitoolkit/markup/AttributeList.h"
#include "uitoolkit/markup/ColorValue.h"
#include "uitoolkit/markup/NumberList.h"

namespace {

using namespace ZembraUI;

TEST(ColorValueTest, ReadsHexadecimalAarrggbb) {
    EXPECT_EQ(ParseColorValue("#FF333333"), 0xFF333333u);
    // Six digits leave alpha at 0: such a fill is not painted.
    EXPECT_EQ(ParseColorValue("#333333"), 0x00333333u);
    EXPECT_EQ(ParseColorValue("#333333") >> 24, 0u);
    EXPECT_EQ(ParseColorValue("ff00ff00"), 0xFF00FF00u);
    EXPECT_EQ(ParseColorValue("#0xFFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseColorValue("# 1a2B"), 0x1A2Bu);
}

TEST(ColorValueTest, FollowsStrtoulForOddText) {
    EXPECT_EQ(ParseColorValue("#COLOR"), 0xCu);  // the leading C is a digit
    EXPECT_EQ(ParseColorValue("#text"), 0u);
    EXPECT_EQ(ParseColorValue(""), 0u);
    EXPECT_EQ(ParseColorValue("#"), 0u);
    EXPECT_EQ(ParseColorValue("#12zz"), 0x12u);
    EXPECT_EQ(ParseColorValue("#0x"), 0u);
    EXPECT_EQ(ParseColorValue("#1FFFFFFFF"), 0xFFFFFFFFu);  // overflow saturates
    EXPECT_EQ(ParseColorValue("#-1"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseColorValue("#-2"), 0xFFFFFFFEu);
}

TEST(NumberListTest, ReadsValuesSeparatedByOneCharacter) {
    EXPECT_EQ(ParseSizeValue("650,360"), (UISize{650, 360}));
    EXPECT_EQ(ParseRectValue("1,2,3,4"), (UIRect{1, 2, 3, 4}));
    EXPECT_EQ(ParsePointValue("-3,+7"), (UIPoint{-3, 7}));
    EXPECT_EQ(ParseRectValue("1 2;3x4"), (UIRect{1, 2, 3, 4}));
    EXPECT_EQ(ParseRectValue("1, 2, 3, 4"), (UIRect{1, 2, 3, 4}));  // blanks before a number are skipped
}

TEST(NumberListTest, MissingAndBrokenValues) {
    EXPECT_EQ(ParseRectValue("5,6"), (UIRect{5, 6, 0, 0}));
    EXPECT_EQ(ParseRectValue(""), (UIRect{}));
    // Two separators in a row: the second reads as 0 and is then skipped as
    // that value's separator.
    EXPECT_EQ(ParseRectValue("1,,3,4"), (UIRect{1, 0, 3, 4}));
    EXPECT_EQ(ParseRectValue("1,,,3,4"), (UIRect{1, 0, 0, 3}));
    // No digits: 0, and only the one separator character is skipped.
    EXPECT_EQ(ParseSizeValue("a,5"), (UISize{0, 0}));
    EXPECT_EQ(ParseSizeValue("10"), (UISize{10, 0}));
    EXPECT_EQ(ParseSizeValue("99999999999,-99999999999"), (UISize{2147483647, -2147483647 - 1}));
    EXPECT_EQ(ParseNumberList("7", 0).size(), 0u);
}

TEST(AttributeListTest, ReadsPairsSeparatedByOneSpace) {
    const AttributeList pairs = ParseAttributeList(
        "width=\"8\" bkimage=\"file='skin\\bar.png' corner='2,2,2,2'\" text=\"\" tooltip=\"a b\"");
    ASSERT_EQ(pairs.size(), 4u);
    EXPECT_EQ(pairs[0], (std::pair<std::string, std::string>{"width", "8"}));
    EXPECT_EQ(pairs[1].second, "file='skin\\bar.png' corner='2,2,2,2'");
    EXPECT_EQ(pairs[2], (std::pair<std::string, std::string>{"text", ""}));
    EXPECT_EQ(pairs[3].second, "a b");
}

TEST(AttributeListTest, StopsAtTheFirstBrokenPair) {
    EXPECT_EQ(ParseAttributeList("a=\"1\"  b=\"2\"").size(), 1u);  // two spaces
    EXPECT_EQ(ParseAttributeList("a=\"1\"b=\"2\"").size(), 1u);    // no space
    EXPECT_EQ(ParseAttributeList("a=\"1\" b='2' c=\"3\"").size(), 1u);
    EXPECT_EQ(ParseAttributeList("a=\"1\" b=\"2").size(), 1u);
    EXPECT_EQ(ParseAttributeList("a=\"1\" b").size(), 1u);
    EXPECT_EQ(ParseAttributeList("a=\"1\" ").size(), 1u);
    EXPECT_TRUE(ParseAttributeList("").empty());
    EXPECT_TRUE(ParseAttributeList("a = \"1\"").empty());
}

}  // namespace
