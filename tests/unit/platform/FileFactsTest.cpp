#include <gtest/gtest.h>

#include "platform/FileFacts.h"
#include "support/TempDir.h"

using testsupport::TempDir;

TEST(FileFactsTest, MissingFileIsAnErrorAndAnEmptyFileIsZero) {
    TempDir dir;
    const auto missing = platform::FileSize(dir.str() + "/none");
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.error(), ENOENT);
    const auto empty = platform::FileSize(dir.WriteFile("empty", ""));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty.value(), 0);
    EXPECT_EQ(platform::FileSize(dir.WriteFile("five", "12345")).value(), 5);
}

TEST(FileFactsTest, CapacityOfAFolderThatCannotBeReached) {
    TempDir dir;
    EXPECT_GT(platform::FileSystemCapacity(dir.str() + "/package.exe").value(), 0);
    const auto unknown = platform::FileSystemCapacity(dir.str() + "/no/such/folder/package.exe");
    EXPECT_FALSE(unknown);
    EXPECT_EQ(unknown.error(), ENOENT);
    EXPECT_EQ(platform::ParentFolder("package.exe"), ".");
    EXPECT_EQ(platform::ParentFolder("/package.exe"), "/");
}
