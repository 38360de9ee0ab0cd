#include <gtest/gtest.h>

#include "Common/EmbeddedLabels.h"
#include "Common/wWndMain.h"
#include "platform/EmbeddedResources.h"
#include "uitoolkit/SkinArchive.h"

class EmbeddedLabelsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto archive = platform::EmbeddedSkinArchive();
        ASSERT_FALSE(archive.empty());
        ASSERT_TRUE(DuiLib::CSkinArchive::OpenFromMemory(archive.data(), archive.size()));
    }
    void TearDown() override { DuiLib::CSkinArchive::Close(); }
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

TEST(EmbeddedLabelsWithoutSkinTest, MissingSkinGivesNoLabels) {
    DuiLib::CSkinArchive::Close();
    DuiLib::CSkinArchive::SetResourceFolder("/nonexistent-skin-folder");
    EXPECT_TRUE(ReadEmbeddedConfigureLabels().empty());
    EXPECT_FALSE(EmbeddedConfigLabels().LabelText("Downloader_id").has_value());
    DuiLib::CSkinArchive::SetResourceFolder("");
}
