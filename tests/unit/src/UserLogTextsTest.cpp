#include <gtest/gtest.h>

#include "UserLogTexts.h"

TEST(UserLogTextsTest, CrossEndIdOfTheProgramFileName) {
    EXPECT_EQ(UserLogTexts::CrossEndIdOfFileName("setup_1234.exe"), "1234");
    EXPECT_EQ(UserLogTexts::CrossEndIdOfFileName("set.up_1234"), "1234");
    EXPECT_EQ(UserLogTexts::CrossEndIdOfFileName("setup.exe"), "");
    EXPECT_EQ(UserLogTexts::CrossEndIdOfFileName("setup_1234"), "");
}

TEST(UserLogTextsTest, LanguageNameSplitsAtTheFirstUnderscore) {
    EXPECT_EQ(UserLogTexts::LanguageAndCountry("Spanish_Spain (Traditional sort)"),
              std::make_pair(std::string("Spanish"), std::string("Spain (Traditional sort)")));
    EXPECT_EQ(UserLogTexts::LanguageAndCountry("0x1234_0x1234"),
              std::make_pair(std::string("0x1234"), std::string("0x1234")));
    EXPECT_EQ(UserLogTexts::LanguageAndCountry(""), std::make_pair(std::string("Unknown"), std::string("Unknown")));
    EXPECT_EQ(UserLogTexts::OsText("Debian 12", false), "Debian 12 32bit");
}

TEST(UserLogTextsTest, ElapsedBucketsAreThreeSecondsWide) {
    EXPECT_EQ(UserLogTexts::ElapsedBucket(7), "[6~9]s");
    EXPECT_EQ(UserLogTexts::ElapsedBucket(0), "[0~3]s");
    EXPECT_EQ(UserLogTexts::ElapsedBucket(3), "[3~6]s");
}

TEST(UserLogTextsTest, LongLabelsAreShortenedSoTheTailKeepsItsKeysWithinTheBuffer) {
    UserLogTexts::Ga4Dimensions dimensions;
    dimensions.measurementId = "G-ZM7Q2K9R4X";
    const std::string shortTail = UserLogTexts::Ga4Tail(dimensions, "Other", "CDNInfor", "abc");
    std::string label;
    while (label.size() < 5000) label += "\xE6\x97\xA5";  // a three-byte character
    const std::string tail = UserLogTexts::Ga4Tail(dimensions, "Other", "CDNInfor", label);
    EXPECT_LE(tail.size(), UserLogTexts::kTailBuffer - 1);
    EXPECT_GE(tail.size(), UserLogTexts::kTailBuffer - 3);
    EXPECT_NE(tail.find("&en=CDNInfor&ep.cd1="), std::string::npos);
    EXPECT_NE(tail.find("&ep.cd8=1"), std::string::npos);
    const std::string kept = tail.substr(tail.find("&ep.qk_label=") + 13);
    EXPECT_EQ(kept.substr(0, kept.find("&en=")).size() % 3, 0u);
    EXPECT_EQ(shortTail.find("&ep.qk_label=abc&en=CDNInfor"), shortTail.find("&ep.qk_label="));
}
