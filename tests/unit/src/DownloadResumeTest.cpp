// A download killed with SIGKILL at different moments: the next call loads
// the task file, asks only for bytes the file does not claim, and ends with
// the right package.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
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

}  // namespace
