#include <gtest/gtest.h>

#include "Common/install_ui_mainwnd/ContentReplies.h"
#include "Common/install_ui_mainwnd/RemoteContentFetcher.h"
#include "ContentQueries.h"

using namespace contentreply;

TEST(ContentQueriesTest, QueriesAreSignedWithTheSaltedMd5) {
    EXPECT_EQ(FuntionImpl::BannerQueryUrl("https://c.example", "en", 8656, 1700000000),
              "https://c.example/api/v1/banners?lang_code=en&parent_pid=8656&timestamp=1700000000&type=1"
              "&verify=d30fb0381bb5e39bc6f0c881a88b885b");
    EXPECT_EQ(FuntionImpl::PrivacyQueryUrl("http://h:1", 8656, 1700000000),
              "http://h:1/api/v1/user_privacy_info?parent_pid=8656&timestamp=1700000000"
              "&verify=39a385700ca90e6d2e5cb4ef2a550f9e");
}

TEST(ContentQueriesTest, TimingLabelsBucketWholeSecondsByThree) {
    EXPECT_EQ(FuntionImpl::TimingLabel(0), "[0~3]s");
    EXPECT_EQ(FuntionImpl::TimingLabel(2999), "[0~3]s");
    EXPECT_EQ(FuntionImpl::TimingLabel(4200), "[3~6]s");
    EXPECT_EQ(FuntionImpl::TimingLabel(7500), "[6~9]s");
    EXPECT_EQ(FuntionImpl::TimingLabel(-5), "[0~3]s") << "a clock that went back";
}

TEST(ContentRepliesTest, RepliesAreBoundedBeforeParsing) {
    EXPECT_TRUE(ParseReply(R"([{"sort": 1}])").ok);
    EXPECT_FALSE(ParseReply(std::string(kMaxReplyBytes + 1, ' ')).ok);
    EXPECT_FALSE(ParseReply(std::string(10000, '[') + std::string(10000, ']')).ok);
    EXPECT_TRUE(ParseReply(R"(["[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[["])").ok) << "brackets inside a string";
    EXPECT_FALSE(ParseReply("[1] trailing").ok);
    EXPECT_FALSE(ParseReply("").ok);
}

TEST(ContentRepliesTest, CodeMustBeTwoHundredWhenMentioned) {
    const auto accepted = [](const char* text) { return CodeAccepted(text, ParseReply(text).root); };
    EXPECT_TRUE(accepted("[]"));
    EXPECT_TRUE(accepted(R"({"code": 200})"));
    EXPECT_FALSE(accepted(R"({"code": 403})"));
    EXPECT_FALSE(accepted(R"({"code": "200"})"));
    EXPECT_FALSE(accepted(R"([{"code": 200}])"));
    EXPECT_TRUE(accepted(R"([{"lang_code": "en"}])"));
}

TEST(ContentRepliesTest, MembersOfTheWrongTypeReadAsMissing) {
    const auto banner = BannerEntryOf(ParseReply(R"({"banner_url": 5, "prompt": "caf\u00e9", "sort": "2"})").root);
    EXPECT_EQ(banner.bannerUrl, "");
    EXPECT_EQ(banner.prompt, "café");
    EXPECT_FALSE(banner.sortValid);
    EXPECT_FALSE(BannerEntryOf(ParseReply("[1]").root).sortValid);
    const auto links = LanguageLinksOf(ParseReply(R"({"lang_code": "fr", "urls": [7, {"field": "p", "url": "u"}]})").root);
    ASSERT_EQ(links.urls.size(), 2u);
    EXPECT_EQ(links.urls[0].field, "");
    EXPECT_EQ(links.urls[1].url, "u");
    EXPECT_TRUE(ElementsOf(ParseReply(R"({"a": [1]})").root).empty());
}

TEST(ContentRepliesTest, PictureFileNamesTakeOnlyAPlainExtension) {
    EXPECT_EQ(PictureExtension("https://cdn.example/b/2.png"), ".png");
    EXPECT_EQ(PictureExtension("https://cdn.example/b/2.JPG?size=large.x"), ".JPG");
    EXPECT_EQ(PictureExtension("https://cdn.example/b/picture"), "") << "the dot of the host is not an extension";
    EXPECT_EQ(PictureExtension("https://cdn.example"), "");
    EXPECT_EQ(PictureExtension("https://h/a.png/../../x"), "");
    EXPECT_EQ(PictureExtension("https://h/a.p/ng"), "");
    EXPECT_TRUE(IsWebAddress("HTTPS://h/"));
    EXPECT_FALSE(IsWebAddress("file:///etc/passwd"));
}

TEST(ContentRepliesTest, PictureLengthComesFromTheLastResponse) {
    EXPECT_EQ(StatedPictureLength("HTTP/1.1 302 Found\r\nContent-Length: 0\r\nLocation: /b\r\n\r\n"
                                  "HTTP/1.1 200 OK\r\ncontent-length: 4096\r\n\r\n"),
              4096);
    EXPECT_EQ(StatedPictureLength("HTTP/1.1 200 OK\r\nContent-Length: 2147483648\r\n\r\n"), 2147483648);
    EXPECT_EQ(StatedPictureLength("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\n"), -1);
    EXPECT_EQ(StatedPictureLength("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"), -1);
    EXPECT_EQ(StatedPictureLength(""), -1);
}
