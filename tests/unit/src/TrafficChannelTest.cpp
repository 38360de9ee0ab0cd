#include <gtest/gtest.h>

#include "Common/EmbeddedLabels.h"
#include "TrafficChannel.h"

namespace {

TEST(TrafficClassTest, BySiteId) {
    for (const int id : {2, 8, 74, 84, 206, 293, 305, 338}) EXPECT_EQ(TrafficClassOf(id), "PPC") << id;
    for (const int id : {54, 93, 290, 354}) EXPECT_EQ(TrafficClassOf(id), "CN") << id;
    for (const int id : {0, 1, 6, 412, -5, 360}) EXPECT_EQ(TrafficClassOf(id), "SEO") << id;
}

TEST(ChannelNameTest, SitesWithoutARowGiveTheirNumber) {
    EXPECT_EQ(ChannelNameOf(412, "https://x/any_bing_thing.exe"), "412");
    EXPECT_EQ(TrafficClassOf(412), "SEO");
    EXPECT_EQ(ChannelNameOf(-3, ""), "-3");
}

TEST(ChannelNameTest, GenericRowsAndTheTableSize) {
    EXPECT_EQ(ChannelNameOf(6, "u"), "Tool");
    EXPECT_EQ(ChannelNameOf(14, "u"), "Card");
    EXPECT_EQ(ChannelNameOf(54, "u"), "ZHCN");
    EXPECT_EQ(TrafficClassOf(54), "CN");
    EXPECT_EQ(ChannelNameOf(118, "u"), "ZHCN");
    EXPECT_EQ(DefaultChannelTable().rows.size(), 29u);
}

class BrandedChannelTest : public ::testing::Test {
protected:
    ChannelTable table_ = ChannelTableFromConfiguration(EmbeddedConfigLabels(LabelList{
        {"Channel_name_2", "Acme"}, {"Channel_name_8", "AcmeAds"}, {"Channel_name_61", "Acme"},
        {"Channel_name_66", "Acme"}, {"Channel_name_74", "Acme"}, {"Channel_name_84", "Acme"},
        {"Channel_name_206", "Partner"}, {"Channel_name_6", "not a brand row"}, {"Channel_name_9999", "ignored"},
        {"Channel_brand_word_66", "AcMe"}, {"Channel_brand_word_84", "acme"}, {"Channel_brand_word_2", "ignored"}}));
    std::string Name(int siteId, const std::string& url) const { return ChannelNameIn(table_, siteId, url); }
};

TEST_F(BrandedChannelTest, OnlyBrandRowsTakeConfiguredData) {
    EXPECT_EQ(Name(6, "u"), "Tool");
    EXPECT_EQ(Name(9999, "u"), "9999");
    EXPECT_EQ(Name(2, "https://h/p/zm_ignoredfree.exe"), "Acme");
    EXPECT_EQ(Name(1, "u"), "Channel1") << "a brand row without its label keeps its neutral name";
}

TEST_F(BrandedChannelTest, SearchEngineMarkersBingFirst) {
    EXPECT_EQ(Name(74, "https://dl.example.com/setup_Bing_x.exe"), "Acme-Bing");  // lower-cased first
    EXPECT_EQ(Name(74, "https://h/p/zm_yahoo.exe?x_bing_1"), "Acme-Bing");
    EXPECT_EQ(Name(2, "https://h/p/zm_YAHOO_.exe"), "Acme-Yahoo");
    EXPECT_EQ(Name(206, "https://h/p/zm_bing.exe"), "Partner-Bing");
    EXPECT_EQ(Name(2, "https://h/p/zmbing.exe"), "Acme");
    // Site 8 knows Bing only.
    EXPECT_EQ(Name(8, "https://h/p/zm_yahoo_.exe"), "AcmeAds");
    EXPECT_EQ(Name(8, "https://h/p/zm_bing_.exe"), "AcmeAds-Bing");
}

TEST_F(BrandedChannelTest, OnlineFreeAndNetRules) {
    EXPECT_EQ(Name(61, "https://h/p/zm_online.exe"), "AcmeOnline");
    EXPECT_EQ(Name(61, "https://h/p/zm_onlinesetup.exe"), "AcmeOnline");
    EXPECT_EQ(Name(61, "https://h/p/zm-online.exe"), "Acme");

    EXPECT_EQ(Name(66, "https://h/p/zm_ACMEfree.exe"), "AcmeFree");
    EXPECT_EQ(Name(66, "https://h/p/zm_acmefreebie.exe"), "Acme");
    EXPECT_EQ(Name(66, "https://h/p/zm_otherfree.exe"), "Acme");

    EXPECT_EQ(Name(84, "https://h/p/zm_bing.exe"), "AcmeNet-Bing");
    EXPECT_EQ(Name(84, "https://h/p/zm_acmebing.exe"), "AcmeNet-Bing");
    EXPECT_EQ(Name(84, "https://h/p/zm_bing_x.exe"), "AcmeNet");
    EXPECT_EQ(Name(84, "https://h/p/zm.exe"), "AcmeNet");
}

TEST(ChannelNameTest, WithoutBrandDataTheRulesStillWork) {
    EXPECT_EQ(ChannelNameIn(DefaultChannelTable(), 74, "https://h/p/zm_bing_.exe"), "Channel74-Bing");
    // No brand word: the row's own marker cannot match.
    EXPECT_EQ(ChannelNameIn(DefaultChannelTable(), 66, "https://h/p/zm_free."), "Channel66");
    EXPECT_EQ(ChannelNameIn(DefaultChannelTable(), 84, "https://h/p/zm_bing.exe"), "Channel84Net-Bing");
}

TEST(ChannelNameTest, InstalledTableIsUsedEverywhere) {
    SetChannelTable(ChannelTableFromConfiguration(EmbeddedConfigLabels(LabelList{{"Channel_name_1", "Home"}})));
    EXPECT_EQ(ChannelNameOf(1, "u"), "Home");
    UseConfiguredChannelTable();
    EXPECT_EQ(ChannelNameOf(1, "u"), "Channel1");
}

}  // namespace
