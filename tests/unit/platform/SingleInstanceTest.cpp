#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/SingleInstance.h"
#include "support/TempDir.h"

using platform::InstanceBeacon;
using platform::InstanceLock;
using testsupport::ScopedEnv;
using testsupport::TempDir;

class SingleInstanceTest : public ::testing::Test {
protected:
    TempDir dir;
    ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.str()};
};

TEST_F(SingleInstanceTest, SecondHolderIsRefusedUntilRelease) {
    InstanceLock first;
    InstanceLock second;
    ASSERT_TRUE(first.Acquire("TVS_Downloader_499"));
    EXPECT_FALSE(second.Acquire("TVS_Downloader_499"));
    EXPECT_TRUE(second.Acquire("TVS_Downloader_500")) << "another downloader id is another lock";
    first.Release();
    InstanceLock third;
    EXPECT_TRUE(third.Acquire("TVS_Downloader_499"));
}

TEST_F(SingleInstanceTest, LockIsVisibleToOtherProcessesAndDiesWithItsHolder) {
    InstanceLock lock;
    ASSERT_TRUE(lock.Acquire("TVS_Downloader_7"));
    const pid_t child = fork();
    if (child == 0) {
        InstanceLock mine;
        _exit(mine.Acquire("TVS_Downloader_7") ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child must not get the lock while we hold it";

    // A holder that dies without releasing leaves the lock free.
    lock.Release();
    const pid_t holder = fork();
    if (holder == 0) {
        InstanceLock mine;
        mine.Acquire("TVS_Downloader_7");
        _exit(0);
    }
    waitpid(holder, &status, 0);
    InstanceLock after;
    EXPECT_TRUE(after.Acquire("TVS_Downloader_7"));
}

TEST_F(SingleInstanceTest, BeaconAnswersPresenceAndDeliversShowRequests) {
    const std::string windowClass = "QK_UI_Frame_test_" + std::to_string(getpid());
    EXPECT_FALSE(InstanceBeacon::FindInstance(windowClass, true));

    std::atomic<int> showRequests{0};
    InstanceBeacon beacon;
    ASSERT_TRUE(beacon.Listen(windowClass, [&] { ++showRequests; }));
    EXPECT_TRUE(InstanceBeacon::FindInstance(windowClass, false));
    EXPECT_TRUE(InstanceBeacon::FindInstance(windowClass, true));

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (showRequests == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(showRequests, 1) << "a presence probe must not raise the window";

    {
        TempDir otherSession;
        ScopedEnv elsewhere("XDG_RUNTIME_DIR", otherSession.str());
        EXPECT_FALSE(InstanceBeacon::FindInstance(windowClass, false)) << "another session has its own windows";
    }
    beacon.Stop();
    EXPECT_FALSE(InstanceBeacon::FindInstance(windowClass, false));
}

namespace {

constexpr uid_t kNobody = 65534;

bool RunningAsRoot() { return geteuid() == 0; }

sockaddr_un AbstractAddress(const std::string& name, socklen_t& length) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return address;
}

}  // namespace

TEST_F(SingleInstanceTest, PlantedLockFilesNeverBlockOrRedirectTheLock) {
    TempDir temp;
    ScopedEnv tmpdir{"TMPDIR", temp.str()};
    const std::string target = dir.str() + "/target";
    ASSERT_EQ(symlink(target.c_str(), (dir.str() + "/TVS_Downloader_8.lock").c_str()), 0);
    InstanceLock throughLink;
    EXPECT_TRUE(throughLink.Acquire("TVS_Downloader_8"));
    EXPECT_FALSE(std::filesystem::exists(target)) << "the link must not be followed";
    EXPECT_NE(throughLink.Problem().find("symbolic link"), std::string::npos) << throughLink.Problem();
    EXPECT_EQ(throughLink.Path().rfind(temp.str() + "/zembra-", 0), 0u) << throughLink.Path();

    if (!RunningAsRoot()) GTEST_SKIP() << "a file of another user needs root to make";
    // Another user's lock file, held by them, would have made every start end.
    const std::string planted = dir.str() + "/TVS_Downloader_9.lock";
    const int fd = open(planted.c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(fchown(fd, kNobody, kNobody), 0);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    InstanceLock mine;
    EXPECT_TRUE(mine.Acquire("TVS_Downloader_9"));
    EXPECT_NE(mine.Path(), planted);
    EXPECT_FALSE(mine.Problem().empty());
    close(fd);
}

TEST_F(SingleInstanceTest, RuntimeFolderOthersCanChangeIsNotUsed) {
    TempDir temp;
    ScopedEnv tmpdir{"TMPDIR", temp.str()};
    std::vector<std::string> folders = {dir.str() + "/missing", dir.str() + "/open"};
    std::filesystem::create_directory(folders[1]);
    chmod(folders[1].c_str(), 0777);
    if (RunningAsRoot()) {
        folders.push_back(dir.str() + "/foreign");
        std::filesystem::create_directory(folders.back());
        ASSERT_EQ(chown(folders.back().c_str(), kNobody, kNobody), 0);
    }
    for (const std::string& folder : folders) {
        ScopedEnv runtime{"XDG_RUNTIME_DIR", folder};
        InstanceLock lock;
        EXPECT_TRUE(lock.Acquire("TVS_Downloader_10")) << folder;
        EXPECT_EQ(lock.Path(), temp.str() + "/zembra-" + std::to_string(geteuid()) + "/TVS_Downloader_10.lock");
        EXPECT_TRUE(lock.Problem().empty()) << lock.Problem();
        struct stat info {};
        ASSERT_EQ(stat(lock.Path().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
    }
}

TEST_F(SingleInstanceTest, BeaconOfAnotherUserIsNeitherObeyedNorAnswered) {
    if (!RunningAsRoot()) GTEST_SKIP() << "another user's process needs root to make";
    const std::string windowClass = "QK_UI_Frame_peer_" + std::to_string(getpid());
    socklen_t length = 0;
    const sockaddr_un address = AbstractAddress(InstanceBeacon::SocketName(windowClass), length);

    // Another user listens under our name first: not our window.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t squatter = fork();
    if (squatter == 0) {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 || seteuid(kNobody) != 0 ||
            listen(fd, 4) != 0)
            _exit(1);
        [[maybe_unused]] const ssize_t sent = write(ready[1], "r", 1);
        pause();
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    std::string foreign;
    EXPECT_FALSE(InstanceBeacon::FindInstance(windowClass, true, &foreign));
    EXPECT_EQ(foreign, "uid 65534");
    std::atomic<int> showRequests{0};
    InstanceBeacon mine;
    EXPECT_TRUE(mine.Listen(windowClass, [&] { ++showRequests; }));
    EXPECT_FALSE(mine.Problem().empty()) << "the taken name is reported";
    kill(squatter, SIGKILL);
    waitpid(squatter, nullptr, 0);
    mine.Stop();

    // Our listener, asked by another user, neither acknowledges nor shows.
    ASSERT_TRUE(mine.Listen(windowClass, [&] { ++showRequests; }));
    const pid_t asker = fork();
    if (asker == 0) {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        if (seteuid(kNobody) != 0 || connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0)
            _exit(2);
        char reply = 0;
        _exit(write(fd, "S", 1) == 1 && read(fd, &reply, 1) == 1 ? 1 : 0);
    }
    int status = 0;
    waitpid(asker, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "another user's request was answered";
    EXPECT_TRUE(InstanceBeacon::FindInstance(windowClass, true));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (showRequests == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(showRequests, 1) << "only our own request shows the window";
}
