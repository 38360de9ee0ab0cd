#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/PrivateFolder.h"
#include "support/TempDir.h"

using testsupport::ScopedEnv;
using testsupport::TempDir;
namespace fs = std::filesystem;

namespace {

fs::perms Permissions(const std::string& path) { return fs::symlink_status(path).permissions(); }

class PrivateFolderTest : public ::testing::Test {
protected:
    std::string PrivateTemp() const { return temp.str() + "/zembra-" + std::to_string(geteuid()); }

    TempDir root;
    TempDir temp;
    ScopedEnv workRoot{"ZEMBRA_WORK_ROOT", root.str()};
    ScopedEnv tmpdir{"TMPDIR", temp.str()};
};

TEST_F(PrivateFolderTest, WorkFolderIsMadeForThisUserAlone) {
    fs::create_directory(root.str() + "/QKDownloader");
    fs::permissions(root.str() + "/QKDownloader", fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    const platform::FolderChoice choice = platform::ChooseWorkFolder("QKDownloader/run");
    EXPECT_EQ(choice.path, root.str() + "/QKDownloader/run");
    EXPECT_TRUE(choice.refused.empty()) << choice.problem;
    EXPECT_EQ(Permissions(root.str() + "/QKDownloader"), fs::perms::owner_all) << "an older folder of ours is closed";
    EXPECT_EQ(Permissions(choice.path), fs::perms::owner_all);
}

TEST_F(PrivateFolderTest, WorkFolderOthersCouldChangeIsNotUsed) {
    const std::string shared = root.str() + "/QKDownloader";
    auto groupWritable = [&] {
        fs::create_directory(shared);
        fs::permissions(shared, fs::perms::owner_all | fs::perms::group_all);
    };
    auto symbolicLink = [&] {
        fs::create_directory(root.str() + "/elsewhere");
        fs::create_directory_symlink(root.str() + "/elsewhere", shared);
    };
    auto foreign = [&] {
        fs::create_directories(shared + "/run");
        ASSERT_EQ(chown((shared + "/run").c_str(), 65534, 65534), 0);
    };
    std::vector<std::pair<const char*, std::function<void()>>> cases = {
        {"writable by group or others", groupWritable}, {"a symbolic link", symbolicLink}};
    if (geteuid() == 0) cases.emplace_back("owned by uid 65534", foreign);
    for (const auto& [problem, plant] : cases) {
        fs::remove_all(shared);
        plant();
        const platform::FolderChoice choice = platform::ChooseWorkFolder("QKDownloader/run");
        EXPECT_NE(choice.problem.find(problem), std::string::npos) << choice.problem;
        EXPECT_EQ(choice.path, PrivateTemp() + "/QKDownloader/run");
        EXPECT_EQ(Permissions(PrivateTemp()), fs::perms::owner_all);
    }
}

TEST_F(PrivateFolderTest, TakenTemporaryNameGivesAFreshPrivateFolder) {
    if (geteuid() != 0) GTEST_SKIP() << "a folder of another user needs root to make";
    fs::create_directory(PrivateTemp());
    ASSERT_EQ(chown(PrivateTemp().c_str(), 65534, 65534), 0);
    const std::string chosen = platform::PrivateTempFolder();
    EXPECT_EQ(chosen.rfind(PrivateTemp() + "-", 0), 0u) << chosen;
    EXPECT_EQ(Permissions(chosen), fs::perms::owner_all);
    EXPECT_EQ(platform::PrivateTempFolder(), chosen) << "chosen once";
}

}  // namespace
