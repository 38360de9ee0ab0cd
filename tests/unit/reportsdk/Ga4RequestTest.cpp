#include <gtest/gtest.h>

#include "reportsdk/Ga4Request.h"

TEST(Ga4RequestTest, PercentEncodingKeepsQueryPunctuationAndEncodesTheRestInLowerCase) {
    EXPECT_EQ(Ga4Request::PercentEncode("&ep.qk_label=a b"), "&ep.qk_label=a%20b");
    EXPECT_EQ(Ga4Request::PercentEncode("!'()*-._~"), "!'()*-._~");
    EXPECT_EQ(Ga4Request::PercentEncode("1.5MB/s"), "1.5MB%2fs");
    EXPECT_EQ(Ga4Request::PercentEncode("[6~9]s"), "%5b6~9%5ds");
    EXPECT_EQ(Ga4Request::PercentEncode("%+#?"), "%25%2b%23%3f");
    // UTF-8 text is encoded byte by byte.
    EXPECT_EQ(Ga4Request::PercentEncode("\xC3\xA9"), "%c3%a9");
    EXPECT_EQ(Ga4Request::PercentEncode(std::string("a\0b", 3)), "a%00b");
}

TEST(Ga4RequestTest, CategoryAndActionAreCutFromTheEncodedTail) {
    const std::string tail = Ga4Request::PercentEncode(
        "&tid=G-ABC&ep.qk_productname=Downloader&ep.qk_productversion=2.9.0.0&ep.qk_category=Other"
        "&ep.qk_action=Download Speed&ep.qk_label=1.5MB/s&en=Download Speed");
    EXPECT_EQ(Ga4Request::CategoryOfTail(tail), "Other");
    EXPECT_EQ(Ga4Request::ActionOfTail(tail), "Download%20Speed");
    EXPECT_EQ(Ga4Request::CategoryOfTail("&ep.qk_category=Other"), "");
    EXPECT_EQ(Ga4Request::ActionOfTail(""), "");
}
