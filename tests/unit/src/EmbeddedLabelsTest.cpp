#include <gtest/gtest.h>

#include "Common/EmbeddedLabels.h"
#include "Common/wWndMain.h"
#include "TrafficChannel.h"
#include "platform/EmbeddedResources.h"
#include "uitoolkit/markup/MarkupDoc.h"
#include "uitoolkit/markup/SkinArchive.h"

#include <map>

class EmbeddedLabelsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto archive = platform::EmbeddedSkinArchive();
        ASSERT_FALSE(archive.empty());
        ASSERT_TRUE(ZembraUI::CSkinArchive::OpenFromMemory(archive.data(), archive.size()));
    }
    void TearDown() override { ZembraUI::CSkinArchive::Close(); }
};

TEST_F(EmbeddedLabelsTest, StartupReadsTheShippedConfiguration) {
    const auto labels = startup::StartupLabelsFrom(ReadEmbeddedConfigureLabels());
    EXPECT_EQ(labels.downloaderIdText, "499");
    EXPECT_EQ(labels.siteId, 412);
    EXPECT_EQ(labels.mainPid, 8656);
    EXPECT_EQ(labels.softwareName, "Zembra Morvanta");
    EXPECT_EQ(labels.softwareVersion, "1.0.0.0");
    EXPECT_EQ(labels.support32System, "0");
    EXPECT_EQ(startup::RunNameOf(labels.startupDownloadUrl), "zembramorvanta_zembram");
}

TEST_F(EmbeddedLabelsTest, LabelsAreFoundByName) {
    const EmbeddedConfigLabels labels;
    EXPECT_EQ(labels.LabelText("InstallTimeout").value_or(""), "240");
    EXPECT_EQ(labels.LabelText("Md5").value_or("missing"), "");
    EXPECT_FALSE(labels.LabelText("product_url_arabic").has_value()) << "a label absent from the file";
}

TEST_F(EmbeddedLabelsTest, ShippedBrandDataIsNeutralPlaceholders) {
    UseConfiguredChannelTable();
    EXPECT_EQ(ChannelNameOf(2, "https://d.example/zm_bing_.exe"), "Channel2-Bing");
    EXPECT_EQ(ChannelNameOf(66, "https://d.example/zm_brandfree.exe"), "Channel66Free") << "read from the file";
    UseConfiguredChannelTable();
}

TEST(EmbeddedLabelsWithoutSkinTest, MissingSkinGivesNoLabels) {
    ZembraUI::CSkinArchive::Close();
    ZembraUI::CSkinArchive::SetResourceFolder("/nonexistent-skin-folder");
    EXPECT_TRUE(ReadEmbeddedConfigureLabels().empty());
    EXPECT_FALSE(EmbeddedConfigLabels().LabelText("Downloader_id").has_value());
    ZembraUI::CSkinArchive::SetResourceFolder("");
}

namespace {

// Text keys of one page of a language file: labels with name and text.
std::map<std::string, std::string> PageTexts(const ZembraUI::CMarkupElem& page) {
    std::map<std::string, std::string> texts;
    for (auto label = page.GetChild(); label.IsValid(); label = label.GetSibling())
        texts[label.GetAttributeValue("name")] = label.GetAttributeValue("text");
    return texts;
}

}  // namespace

TEST_F(EmbeddedLabelsTest, EnglishLanguageFileHoldsAllSixtyFourKeys) {
    ZembraUI::CMarkupDoc doc;
    ASSERT_TRUE(doc.LoadFromFile("language\\language_english.xml")) << doc.GetLastErrorMessage();
    const auto language = doc.GetRoot().GetChild();
    ASSERT_TRUE(language.IsValid());
    std::map<std::string, std::map<std::string, std::string>> pages;
    for (auto page = language.GetChild(); page.IsValid(); page = page.GetSibling())
        pages[page.GetAttributeValue("name")] = PageTexts(page);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages["install_page"].size() + pages["message_page"].size(), 64u);
    EXPECT_EQ(pages["install_page"]["install_btn"], "Install");
    EXPECT_EQ(pages["install_page"]["space_free"], "Space available : %.1fGB");
    EXPECT_EQ(pages["install_page"]["anima_text_10"], "");
    EXPECT_EQ(pages["message_page"]["AppExistDesText"],
              "{f 1}Zembra Morvanta is running now. If you want to re-install it\xEF\xBC\x8C please close it "
              "firstly!{/c}{/f}");
    EXPECT_EQ(pages["message_page"]["AgreeInstallText"], "Agree and Install");
}
