#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <unistd.h>

#include "platform/Folders.h"
#include "support/TempDir.h"

using testsupport::ReadFile;
using testsupport::ScopedEnv;
using testsupport::TempDir;

TEST(FoldersTest, AppDataPrefersAppDataThenXdgDataHome) {
    ScopedEnv xdg("XDG_DATA_HOME", "/xdg/data");
    {
        ScopedEnv appData("APPDATA", "/custom/appdata");
        EXPECT_EQ(platform::AppDataDir(), "/custom/appdata");
    }
    ScopedEnv emptyAppData("APPDATA", "");
    EXPECT_EQ(platform::AppDataDir(), "/xdg/data");
}

TEST(FoldersTest, WorkRootIsRedirectableAndEndsWithSlash) {
    ScopedEnv root("ZEMBRA_WORK_ROOT", "/tmp/work-root");
    EXPECT_EQ(platform::WorkRootDir(), "/tmp/work-root/");
}

TEST(FoldersTest, WorkRootWithoutOverrideIsAWritableFolder) {
    ScopedEnv root("ZEMBRA_WORK_ROOT", "");
    const std::string workRoot = platform::WorkRootDir();
    ASSERT_FALSE(workRoot.empty());
    EXPECT_EQ(workRoot.back(), '/');
}

TEST(FoldersTest, DrivesAreMountPointsWithTrailingSlash) {
    for (const auto& drive : platform::ListDrives()) {
        ASSERT_FALSE(drive.mountPoint.empty());
        EXPECT_EQ(drive.mountPoint.back(), '/');
        EXPECT_EQ(drive.device.rfind("/dev/", 0), 0u);
    }
    EXPECT_EQ(platform::DriveRootOf("/"), "/");
    EXPECT_TRUE(platform::SameDrive("/tmp", "/tmp/does/not/exist/yet"));
}

TEST(FoldersTest, CreateDirectoryTreeMakesEveryParent) {
    TempDir dir;
    const std::string deep = dir.str() + "/a/b/c/d";
    EXPECT_EQ(platform::CreateDirectoryTree(deep), 0);
    EXPECT_TRUE(std::filesystem::is_directory(deep));
    EXPECT_EQ(platform::CreateDirectoryTree(deep + "/"), 0) << "existing folders are fine";
    dir.WriteFile("file", "x");
    EXPECT_NE(platform::CreateDirectoryTree(dir.str() + "/file/below"), 0) << "a file in the way is an error";
}

TEST(FoldersTest, AtomicWriteReplacesWholeFileAndLeavesNoTemporary) {
    TempDir dir;
    const std::string path = dir.str() + "/state.json";
    ASSERT_TRUE(platform::WriteFileAtomically(path, "first version, longer"));
    ASSERT_TRUE(platform::WriteFileAtomically(path, "second"));
    EXPECT_EQ(ReadFile(path), "second");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    const platform::SysStatus failed = platform::WriteFileAtomically(dir.str() + "/missing/folder/file", "x");
    EXPECT_FALSE(failed);
    EXPECT_STREQ(failed.step(), "open");
    EXPECT_EQ(failed.error(), ENOENT);
}

TEST(FoldersTest, ConcurrentAtomicWritersNeverLeaveAMixedFile) {
    TempDir dir;
    const std::string path = dir.str() + "/shared";
    std::vector<std::thread> writers;
    for (int w = 0; w < 4; ++w) {
        writers.emplace_back([&path, w] {
            const std::string content(4096, static_cast<char>('a' + w));
            for (int i = 0; i < 50; ++i) platform::WriteFileAtomically(path, content);
        });
    }
    for (auto& writer : writers) writer.join();
    const std::string content = ReadFile(path);
    ASSERT_EQ(content.size(), 4096u);
    EXPECT_EQ(content.find_first_not_of(content[0]), std::string::npos);
}

TEST(FoldersTest, FreeSpaceOfAFolderNotYetMadeIsItsParentsAndUnreachableIsUnknown) {
    TempDir dir;
    EXPECT_TRUE(platform::FreeBytesAvailable(dir.str() + "/not/yet/made").has_value());
    if (geteuid() == 0) GTEST_SKIP() << "root reaches every folder";
    const std::string locked = dir.str() + "/locked";
    std::filesystem::create_directory(locked);
    std::filesystem::permissions(locked, std::filesystem::perms::none);
    EXPECT_FALSE(platform::FreeBytesAvailable(locked + "/inside").has_value()) << "unknown, not 0";
    std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
}
