#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/DesktopUserFiles.h"
#include "platform/FileLock.h"
#include "platform/Folders.h"
#include "support/TempDir.h"

using testsupport::ScopedEnv;
namespace fs = std::filesystem;

namespace {

constexpr uid_t kNobody = 65534;

uid_t OwnerOf(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 ? info.st_uid : static_cast<uid_t>(-1);
}

TEST(DesktopUserFilesTest, WhatARootRunMakesInTheUsersFoldersIsTheirs) {
    if (geteuid() != 0) GTEST_SKIP() << "only a root process hands files over";
    testsupport::TempDir temp;
    const std::string users = temp.str() + "/home";
    const std::string roots = temp.str() + "/system";
    fs::create_directories(users);
    fs::create_directories(roots);
    ASSERT_EQ(chown(users.c_str(), kNobody, kNobody), 0);
    ScopedEnv pkexec("PKEXEC_UID", "");
    ScopedEnv sudo("SUDO_UID", std::to_string(kNobody));

    for (const std::string& base : {users, roots}) {
        ASSERT_EQ(platform::CreateDirectoryTree(base + "/logs/run"), 0);
        ASSERT_TRUE(platform::WriteFileAtomically(base + "/logs/run/galog.json", "{}"));
        platform::FileLock lock(base + "/logs/history.lock");
        ASSERT_TRUE(lock.Lock(true, false));
        const uid_t expected = base == users ? kNobody : 0;
        for (const char* made : {"/logs", "/logs/run", "/logs/run/galog.json", "/logs/history.lock"})
            EXPECT_EQ(OwnerOf(base + made), expected) << base + made;
    }

    // Only what root itself made there, never through a link or another name.
    const std::string target = roots + "/secret";
    temp.WriteFile("system/secret", "x");
    fs::create_symlink(target, users + "/link");
    ASSERT_EQ(link(target.c_str(), (users + "/hardlink").c_str()), 0);
    EXPECT_FALSE(platform::HandToDesktopUser(users + "/link"));
    EXPECT_FALSE(platform::HandToDesktopUser(users + "/hardlink"));
    EXPECT_EQ(OwnerOf(target), 0u);
}

}  // namespace
