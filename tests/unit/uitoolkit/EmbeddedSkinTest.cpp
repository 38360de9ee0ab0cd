#include <gtest/gtest.h>

#include "platform/EmbeddedResources.h"
#include "uitoolkit/MarkupDoc.h"
#include "uitoolkit/SkinArchive.h"

namespace {

TEST(EmbeddedSkinTest, ConfigurationParsesFromTheLinkedArchive) {
    const auto archive = platform::EmbeddedSkinArchive();
    ASSERT_FALSE(archive.empty());
    ASSERT_TRUE(DuiLib::CSkinArchive::OpenFromMemory(archive.data(), archive.size()));
    // Handing the same archive over again does nothing.
    EXPECT_TRUE(DuiLib::CSkinArchive::OpenFromMemory(archive.data(), archive.size()));

    DuiLib::CMarkupDoc doc;
    ASSERT_TRUE(doc.LoadFromFile("configure\\configure.xml"))
        << doc.GetLastErrorMessage() << " at " << doc.GetLastErrorLocation();
    const DuiLib::CMarkupElem root = doc.GetRoot();
    EXPECT_EQ(root.GetName(), "VerticalLayout");
    const DuiLib::CMarkupElem config = root.GetChild();
    EXPECT_EQ(config.GetAttributeValue("name"), "Product_config");
    EXPECT_EQ(config.GetChild().GetAttributeValue("name"), "Downloader_id");
    DuiLib::CSkinArchive::Close();
}

}  // namespace
