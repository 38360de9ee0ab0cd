#include <gtest/gtest.h>

#include "reportsdk/CommonFieldStore.h"
#include "support/TempDir.h"

TEST(CommonFieldsTest, CrossEndIdIsTheTextBetweenLastUnderscoreAndLastDot) {
    EXPECT_EQ(CommonFields::CrossEndIdOfName("setup_123456789012345678.exe"), "123456789012345678");
    EXPECT_EQ(CommonFields::CrossEndIdOfName("a_b_c.d.exe"), "c.d");
    EXPECT_EQ(CommonFields::CrossEndIdOfName("ZembraMorvantaSetup"), "");
    EXPECT_EQ(CommonFields::CrossEndIdOfName("setup_abc"), "");
    EXPECT_EQ(CommonFields::CrossEndIdOfName("set.up_abc"), "");
}

TEST(CommonFieldsTest, ProductsTakeTheCrossEndIdFromSpDat) {
    testsupport::TempDir dir;
    const std::string program = dir.str() + "/product";
    EXPECT_EQ(CommonFields::LookUpCrossEndId(1, program), "");
    dir.WriteFile("SP.dat", "\xEF\xBB\xBFshort\r\nno marker here\r\nsp_987654321098765432.dat\r\nother_1.x\r\n");
    EXPECT_EQ(CommonFields::LookUpCrossEndId(1, program), "987654321098765432");
    EXPECT_EQ(CommonFields::LookUpCrossEndId(2, dir.str() + "/setup_55.bin"), "55");
    EXPECT_EQ(CommonFields::LookUpCrossEndId(3, program), "");
}

TEST(CommonFieldsTest, ReservedNamesAreComparedInLowerCase) {
    Json::Value extra(Json::objectValue);
    extra["Channel"] = "c";
    extra["abc"] = 1;
    extra["TOOLS_LANG"] = "de";
    extra["site_id"] = 3;
    const Json::Value allowed = CommonFields::AllowedExtraMembers(extra);
    EXPECT_EQ(allowed.getMemberNames(), std::vector<std::string>{"abc"});
    EXPECT_TRUE(CommonFields::AllowedExtraMembers(Json::Value(5)).empty());
}
