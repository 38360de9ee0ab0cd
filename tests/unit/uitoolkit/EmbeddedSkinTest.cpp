#include <gtest/gtest.h>

#include "platform/EmbeddedResources.h"
#include "uitoolkit/markup/MarkupDoc.h"
#include "uitoolkit/markup/SkinArchive.h"

namespace {

TEST(EmbeddedSkinTest, ConfigurationParsesFromTheLinkedArchive) {
    const auto archive = platform::EmbeddedSkinArchive();
    ASSERT_FALSE(archive.empty());
    ASSERT_TRUE(ZembraUI::CSkinArchive::OpenFromMemory(archive.data(), archive.size()));
    // Handing the same archive over again does nothing.
    EXPECT_TRUE(ZembraUI::CSkinArchive::OpenFromMemory(archive.data(), archive.size()));

    ZembraUI::CMarkupDoc doc;
    ASSERT_TRUE(doc.LoadFromFile("configure\\configure.xml"))
        << doc.GetLastErrorMessage() << " at " << doc.GetLastErrorLocation();
    const ZembraUI::CMarkupElem root = doc.GetRoot();
    EXPECT_EQ(root.GetName(), "VerticalLayout");
    const ZembraUI::CMarkupElem config = root.GetChild();
    EXPECT_EQ(config.GetAttributeValue("name"), "Product_config");
    EXPECT_EQ(config.GetChild().GetAttributeValue("name"), "Downloader_id");
    ZembraUI::CSkinArchive::Close();
}

}  // namespace
