// A download killed with SIGKILL at different moments: the next call loads
// the task file, asks only for bytes the file does not claim, and ends with
// the right package.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include <tinyxml2.h>

#include "CTaskFileSaver.h"
#include "DownLoadImpl.h"
#include "EnumErrorCode.h"
#include "platform/Process.h"
#include "support/DevServer.h"
#include "support/TempDir.h"

using testsupport::DevServer;
using testsupport::ReadFile;
using testsupport::TempDir;

namespace {

constexpr std::int64_t kMiB = 1048576;
constexpr std::int64_t kSize = 24 * kMiB + 777;

// Bytes [first, end) a task file says are in the package.
struct Claim {
    std::int64_t first, end;
};

// doneTasks is -1 while there is no task file.
std::vector<Claim> ClaimsOf(const std::string& taskFileText, int* doneTasks) {
    std::vector<Claim> claims;
    *doneTasks = -1;
    tinyxml2::XMLDocument document;
    if (taskFileText.empty() || document.Parse(taskFileText.c_str()) != tinyxml2::XML_SUCCESS) return claims;
    *doneTasks = 0;
    const tinyxml2::XMLElement* root = document.FirstChildElement("TaskInfo");
    std::int64_t length = 0;
    root->FirstChildElement("ContentLength")->QueryInt64Text(&length);
    for (const auto* task = root->FirstChildElement("Task"); task; task = task->NextSiblingElement("Task")) {
        std::int64_t start = 0, end = 0, position = 0;
        int status = 0;
        task->FirstChildElement("StartPos")->QueryInt64Text(&start);
        task->FirstChildElement("EndPos")->QueryInt64Text(&end);
        task->FirstChildElement("DownloadedPos")->QueryInt64Text(&position);
        task->FirstChildElement("TaskStatus")->QueryIntText(&status);
        if (status == 1) {
            ++*doneTasks;
            claims.push_back({start, end >= length ? length : end + 1});
        } else if (position > start) {
            claims.push_back({start, position});
        }
    }
    return claims;
}

std::string DriverPath() {
    const char* bin = std::getenv("ZEMBRA_BIN_DIR");
    return (bin != nullptr ? std::string(bin) + "/" : platform::CurrentExecutableDir()) + "zembra-download";
}

// The driver's exit code, or -1 when it did not end in time.
int RunToTheEnd(const std::vector<std::string>& argv) {
    const pid_t child = platform::SpawnProcess(argv);
    if (child <= 0) return -1;
    const auto waited = platform::WaitForProcess(child, 120000);
    if (!waited.exited) platform::TerminateProcess(child);
    return waited.exited ? waited.exitCode : -1;
}

// Every byte a task file claims is in the package, as the server has it.
void ExpectClaimsHeld(const std::vector<Claim>& claims, const std::string& package) {
    const std::string bytes = ReadFile(package);
    for (const Claim& claim : claims) {
        ASSERT_LE(claim.end, static_cast<std::int64_t>(bytes.size())) << "claims bytes the package does not hold";
        const auto length = static_cast<std::size_t>(claim.end - claim.first);
        EXPECT_TRUE(bytes.compare(static_cast<std::size_t>(claim.first), length,
                                  DevServer::PatternBytes(static_cast<std::uint64_t>(claim.first), length)) == 0)
            << "bytes " << claim.first << "-" << claim.end - 1 << " are claimed but wrong";
    }
}

class DownloadResumeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Started());
        server_.AddPatternFile(kPath, kSize);
        CDownLoadImpl::SetNetworkCheck([] { return true; });
    }
    void TearDown() override { CDownLoadImpl::SetNetworkCheck(nullptr); }

    // Starts a download in a process of its own and kills it once its task
    // file claims minimumDoneTasks finished ranges (-1: at once) and
    // extraDelayMs have passed; returns the claims of the file it left.
    std::vector<Claim> KillDownloadWhen(const std::string& package, int minimumDoneTasks, int extraDelayMs) {
        server_.SetRule(R"({"path": ")" + std::string(kPath) + R"(", "method": "GET", "rateBytesPerSecond": 2097152})");
        const pid_t child =
            platform::SpawnProcess({DriverPath(), "--any-network", server_.BaseUrl() + kPath, package});
        EXPECT_GT(child, 0);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        int done = -1;
        while (minimumDoneTasks >= 0 && std::chrono::steady_clock::now() < deadline) {
            ClaimsOf(ReadFile(package + ".xml"), &done);
            if (done >= minimumDoneTasks) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(extraDelayMs));
        platform::TerminateProcess(child);
        const auto waited = platform::WaitForProcess(child, 30000);
        EXPECT_TRUE(waited.exited);
        EXPECT_EQ(waited.exitCode, 128 + SIGKILL) << "the download had ended before it was killed";
        server_.ClearRules();
        server_.ClearRecords();
        return ClaimsOf(ReadFile(package + ".xml"), &done);
    }

    // Slow enough for ranges to finish, and be saved, one after the other.
    void SlowDown() const {
        server_.SetRule(R"({"path": ")" + std::string(kPath) + R"(", "method": "GET", "rateBytesPerSecond": 8388608})");
    }

    static constexpr const char* kPath = "/resume/package.exe";
    DevServer server_{DevServer::Options{false, ""}};
    TempDir dir_;
};

TEST_F(DownloadResumeTest, KilledDownloadAsksOnlyForWhatWasMissing) {
    struct Moment {
        int doneTasks;
        int delayMs;
    };
    // Before anything was saved, at the first saved file, right after a
    // range was claimed, and in between saves.
    const std::vector<Moment> moments = {{-1, 0}, {0, 0}, {1, 0}, {2, 170}};
    for (std::size_t i = 0; i < moments.size(); ++i) {
        SCOPED_TRACE("moment " + std::to_string(i));
        const std::string package = dir_.str() + "/package" + std::to_string(i) + ".exe";
        const std::vector<Claim> claims = KillDownloadWhen(package, moments[i].doneTasks, moments[i].delayMs);

        std::string report;
        EXPECT_EQ(CDownLoadImpl::SuperDownloadFile(server_.BaseUrl() + kPath, package, report, true),
                  static_cast<int>(EnumErrorCode::Success));
        CTaskFileSaver::GetInstance().Wait(package + ".xml");
        EXPECT_TRUE(ReadFile(package) == DevServer::PatternBytes(0, kSize)) << "package differs";

        std::size_t requests = 0;
        for (const auto& record : server_.RecordsFor(kPath)) {
            if (record.method != "GET") continue;
            ++requests;
            const std::string range = record.Header("Range");
            const auto dash = range.find('-');
            ASSERT_NE(dash, std::string::npos) << range;
            const std::int64_t first = std::stoll(range.substr(6, dash - 6));
            const std::int64_t last = std::min<std::int64_t>(std::stoll(range.substr(dash + 1)), kSize - 1);
            for (const Claim& claim : claims) {
                EXPECT_TRUE(last < claim.first || first >= claim.end)
                    << range << " asks again for bytes " << claim.first << "-" << claim.end - 1;
            }
        }
        EXPECT_GT(requests, 0u);
    }
}

TEST_F(DownloadResumeTest, DownloadThatExitsAtOnceHasSavedEveryRange) {
    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        const std::string package = dir_.str() + "/exits" + std::to_string(run) + ".exe";
        ASSERT_EQ(RunToTheEnd({DriverPath(), "--any-network", server_.BaseUrl() + kPath, package}), 0);
        int done = 0;
        ClaimsOf(ReadFile(package + ".xml"), &done);
        EXPECT_EQ(done, static_cast<int>(kSize / (4 * kMiB))) << "the last save was lost at exit";

        server_.ClearRecords();
        ASSERT_EQ(RunToTheEnd({DriverPath(), "--any-network", server_.BaseUrl() + kPath, package}), 0);
        for (const auto& record : server_.RecordsFor(kPath)) {
            EXPECT_NE(record.method, "GET") << "fetched again: " << record.Header("Range");
        }
    }
}

TEST_F(DownloadResumeTest, FullDiskNeverGetsARangeMarkedDoneWithoutItsBytes) {
    // A tmpfs of 32 MiB, 16 MiB of it taken (a package longer than the
    // disk would not even be started), in a mount namespace of the driver's
    // own; what it holds is copied out before the namespace goes away.
    const std::string disk = dir_.str() + "/disk";
    const std::string copy = dir_.str() + "/copy";
    std::filesystem::create_directories(disk);
    std::filesystem::create_directories(copy);
    const char* script =
        "mount -t tmpfs -o size=32m tmpfs \"$1\" || exit 201\n"
        "head -c 16777216 /dev/zero >\"$1/taken\" || exit 202\n"
        "\"$2\" --any-network \"$3\" \"$1/package.exe\"; result=$?\n"
        "cp \"$1\"/package.exe* \"$4\"/ 2>/dev/null\n"
        "exit $result\n";
    SlowDown();
    const int result = RunToTheEnd({"/usr/bin/unshare", "-rm", "/bin/sh", "-c", script, "sh", disk, DriverPath(),
                                    server_.BaseUrl() + kPath, copy});
    if (result == 1 || result == 201) GTEST_SKIP() << "no private tmpfs here (user namespaces not allowed)";
    EXPECT_EQ(result, static_cast<int>(EnumErrorCode::NoSpeedTimeout)) << "ranges that cannot be written";
    int done = 0;
    const std::vector<Claim> claims = ClaimsOf(ReadFile(copy + "/package.exe.xml"), &done);
    EXPECT_FALSE(claims.empty()) << "ranges finished before the disk was full";
    ExpectClaimsHeld(claims, copy + "/package.exe");
}

TEST_F(DownloadResumeTest, PackageThatStopsTakingWritesNeverGetsARangeMarkedDoneWithoutItsBytes) {
    // Writes past 12 MiB fail (file size limit, its signal ignored).
    const std::string package = dir_.str() + "/limited.exe";
    SlowDown();
    const int result = RunToTheEnd({"/bin/sh", "-c", "trap '' XFSZ; exec prlimit --fsize=12582912 -- \"$@\"", "sh",
                                    DriverPath(), "--any-network", server_.BaseUrl() + kPath, package});
    EXPECT_EQ(result, static_cast<int>(EnumErrorCode::NoSpeedTimeout));
    int done = 0;
    const std::vector<Claim> claims = ClaimsOf(ReadFile(package + ".xml"), &done);
    EXPECT_FALSE(claims.empty());
    ExpectClaimsHeld(claims, package);
    for (const Claim& claim : claims) EXPECT_LE(claim.end, 12582912);
}

}  // namespace
