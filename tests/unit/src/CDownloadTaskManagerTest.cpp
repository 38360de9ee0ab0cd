// Cutting a package into ranges, the length probe and the task file: its
// layout, loading, checks and what happens to files that do not fit.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include "CDownloadTaskManager.h"
#include "CTask.h"
#include "CTaskFileSaver.h"
#include "SingleUserLog.h"
#include "SteadyTicks.h"
#include "support/DevServerSuite.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

using testsupport::DevServer;
using testsupport::LogCapture;
using testsupport::ReadFile;
using testsupport::TempDir;

namespace {

constexpr std::int64_t kMiB = 1048576;

// The slice settings are process-wide; every test leaves them as it found them.
class SliceSettings {
public:
    SliceSettings(int sliceNum, int sliceSize) {
        CSingleUserLog::GetInstance().sliceNum = sliceNum;
        CSingleUserLog::GetInstance().sliceSize = sliceSize;
    }
    ~SliceSettings() {
        CSingleUserLog::GetInstance().sliceNum = 0;
        CSingleUserLog::GetInstance().sliceSize = 0;
    }
};

struct Range {
    std::int64_t start, end;
};

std::vector<Range> RangesOf(const CDownloadTaskManager& manager) {
    std::vector<Range> ranges;
    for (const CTask* task : manager.allTasks()) ranges.push_back({task->StartPos, task->EndPos});
    return ranges;
}

bool operator==(const Range& a, const Range& b) { return a.start == b.start && a.end == b.end; }
std::ostream& operator<<(std::ostream& out, const Range& range) { return out << range.start << "-" << range.end; }

// One <Task> of a hand-written task file.
struct StoredTask {
    std::int64_t start, end, downloaded;
    int status, id;
};

std::string TaskFileText(std::int64_t contentLength, const std::vector<StoredTask>& tasks, const std::string& url,
                         const std::string& local) {
    std::ostringstream text;
    text << "<TaskInfo>\r\n    <TasksCount>" << tasks.size() << "</TasksCount>\r\n    <ContentLength>"
         << contentLength << "</ContentLength>\r\n    <DownloadTime>1234</DownloadTime>\r\n";
    for (const auto& task : tasks) {
        text << "    <Task>\r\n        <StartPos>" << task.start << "</StartPos>\r\n        <EndPos>" << task.end
             << "</EndPos>\r\n        <DownloadedPos>" << task.downloaded
             << "</DownloadedPos>\r\n        <RemotePath>" << url << "</RemotePath>\r\n        <LocalPath>" << local
             << "</LocalPath>\r\n        <TaskStatus>" << task.status << "</TaskStatus>\r\n        <TaskId>" << task.id
             << "</TaskId>\r\n        <RequestTimes>3</RequestTimes>\r\n    </Task>\r\n";
    }
    text << "</TaskInfo>\r\n";
    return text.str();
}

TEST(CutPackageTest, DefaultRangesFoldTheRemainderIntoTheLastOne) {
    const TaskCut cut = CDownloadTaskManager::CutPackage(10485760, 0, 0);
    EXPECT_EQ(cut.rangeSize, 4194304);
    EXPECT_EQ(cut.count, 2);
    EXPECT_EQ(CDownloadTaskManager::CutPackage(100, 0, 0).count, 1) << "shorter than one range";
    EXPECT_EQ(CDownloadTaskManager::CutPackage(8388608, 0, 1048576).count, 8);
    EXPECT_EQ(CDownloadTaskManager::CutPackage(8388608, 0, 1048576).rangeSize, 1048576);
}

TEST(CutPackageTest, SliceCountWinsOverSliceSize) {
    const TaskCut cut = CDownloadTaskManager::CutPackage(100, 3, 1048576);
    EXPECT_EQ(cut.rangeSize, 33);
    EXPECT_EQ(cut.count, 3);
}

TEST(CutPackageTest, AbsurdSettingsAreBounded) {
    // More slices than bytes, or than ranges that can be kept, fall back to
    // ranges of at least the default size.
    EXPECT_EQ(CDownloadTaskManager::CutPackage(100, 1000, 0).count, 1);
    const TaskCut tiny = CDownloadTaskManager::CutPackage(1LL << 40, 0, 1);
    EXPECT_LE(tiny.count, CDownloadTaskManager::kMaxTasks);
    EXPECT_GE(tiny.rangeSize * tiny.count, (1LL << 40) - tiny.rangeSize);
    const TaskCut negative = CDownloadTaskManager::CutPackage(10485760, -3, -5);
    EXPECT_EQ(negative.rangeSize, 4194304);
    EXPECT_EQ(CDownloadTaskManager::CutPackage(10485760, 100000000, 0).count, 2);
}

class TaskManagerTest : public testsupport::DevServerSuite {
protected:
    static void SetUpTestSuite() { StartServer(DevServer::Options{false, ""}); }
    void SetUp() override {
        DevServerSuite::SetUp();
        if (HasFatalFailure()) return;
        package_ = dir_.str() + "/package.bin";
        taskFile_ = package_ + ".xml";
    }
    void TearDown() override { CTaskFileSaver::GetInstance().Wait(taskFile_); }

    // A package at a path no other test uses: the length cache is process-wide.
    std::string Serve(std::int64_t size) {
        const std::string path = "/tm/" + std::to_string(++served_) + "/" +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".bin";
        server_->AddPatternFile(path, static_cast<std::uint64_t>(size));
        return path;
    }
    std::unique_ptr<CDownloadTaskManager> Manager(const std::string& urlPath) {
        return std::make_unique<CDownloadTaskManager>(server_->BaseUrl() + urlPath, package_, taskFile_);
    }
    void WritePackage(std::int64_t size) const {
        std::ofstream(package_, std::ios::binary) << std::string(static_cast<std::size_t>(size), 'x');
    }
    bool PackageExists() const {
        struct stat facts {};
        return stat(package_.c_str(), &facts) == 0;
    }

    static int served_;
    TempDir dir_;
    std::string package_;
    std::string taskFile_;
};

int TaskManagerTest::served_ = 0;

TEST_F(TaskManagerTest, GenerationCutsTheProbedLength) {
    LogCapture log;
    const std::string path = Serve(10485760);
    auto manager = Manager(path);
    ASSERT_EQ(manager->loadDownloadTask(false, "Download", 1), EnumErrorCode::Success);
    EXPECT_EQ(manager->ContentLength, 10485760);
    EXPECT_EQ(manager->TasksCount, 2);
    EXPECT_EQ(RangesOf(*manager), (std::vector<Range>{{0, 4194303}, {4194304, 10485760}}));
    for (const CTask* task : manager->allTasks()) {
        EXPECT_EQ(task->DownloadedPos, task->StartPos);
        EXPECT_EQ(task->Status, TaskNew);
        EXPECT_EQ(task->LocalPath, package_);
        EXPECT_EQ(task->ContentLength, 10485760);
        EXPECT_EQ(task->Verbose, 1);
    }
    EXPECT_EQ(manager->allTasks()[1]->TaskId, 2);
    EXPECT_TRUE(log.Contains(" Get Contentlength = 10485760"));
    EXPECT_TRUE(log.Contains(" GetSize: Download, Success/Null/Null/Null/Null/Null/Null/Null/Null/Null"));
    EXPECT_TRUE(log.Contains(" Tasks info, generate ok, total 2, todo 2, complete 0"));
}

TEST_F(TaskManagerTest, SliceSettingsCutTheRanges) {
    const std::string path = Serve(100);
    SliceSettings slices(3, 0);
    auto manager = Manager(path);
    ASSERT_EQ(manager->loadDownloadTask(false, "Download", 0), EnumErrorCode::Success);
    EXPECT_EQ(RangesOf(*manager), (std::vector<Range>{{0, 32}, {33, 65}, {66, 100}}));
}

TEST_F(TaskManagerTest, RedirectedProbeLeavesTheTasksOnTheFinalAddress) {
    const std::string target = Serve(5 * kMiB);
    server_->SetRule(R"({"path": "/tm/moved.bin", "redirect": ")" + target + R"("})");
    auto manager = Manager("/tm/moved.bin");
    ASSERT_EQ(manager->loadDownloadTask(false, "Download", 0), EnumErrorCode::Success);
    EXPECT_EQ(manager->remoteUrl(), server_->BaseUrl() + target);
    for (const CTask* task : manager->allTasks()) EXPECT_EQ(task->RemotePath, server_->BaseUrl() + target);
    EXPECT_GE(server_->RecordsFor(target).size(), 1u) << "probed again at its Location";
}

TEST_F(TaskManagerTest, ProbeReadsTheCdnHeadersIntoEveryTask) {
    const std::string path = Serve(5 * kMiB);
    server_->SetRule(R"({"path": ")" + path +
                     R"(", "headers": {"CF-RAY": "8a1b2c3d4e5f6a7b-LAX", "CF-Cache-Status": "HIT"}})");
    LogCapture log;
    auto manager = Manager(path);
    ASSERT_EQ(manager->loadDownloadTask(false, "Download", 0), EnumErrorCode::Success);
    for (const CTask* task : manager->allTasks()) EXPECT_EQ(task->CdnProbe, "LAX/ HIT");
    EXPECT_TRUE(log.Contains(" Cdn result:  HIT, LAX"));

    const std::string other = Serve(5 * kMiB);
    server_->SetRule(R"({"path": ")" + other + R"(", "headers": {"X-Cache": "TCP_HIT from edge"}})");
    auto second = Manager(other);
    ASSERT_EQ(second->loadDownloadTask(false, "Download", 0), EnumErrorCode::Success);
    EXPECT_EQ(second->allTasks()[0]->CdnProbe, "TCP_HIT from edge");
}

TEST_F(TaskManagerTest, TenFailedProbesNameEveryAttempt) {
    LogCapture log;
    const std::string path = Serve(5 * kMiB);
    server_->SetRule(R"({"path": ")" + path + R"(", "times": 2, "status": 503})");
    auto manager = Manager(path);
    ASSERT_EQ(manager->loadDownloadTask(false, "Download", 0), EnumErrorCode::Success);
    EXPECT_TRUE(log.Contains(" GetSize: Download, error:0/error:0/Success/Null/Null/Null/Null/Null/Null/Null"));

    auto refused = std::make_unique<CDownloadTaskManager>("http://127.0.0.1:1/tm/none.bin", package_, taskFile_);
    EXPECT_EQ(refused->loadDownloadTask(false, "Download", 0), EnumErrorCode::GetContentLengthFailed);
    EXPECT_TRUE(log.Contains(" GetSize: Download, error:7/error:7/error:7/error:7/error:7/error:7/error:7/error:7/"
                             "error:7/error:7"));
    EXPECT_TRUE(log.Contains(" [Error]: Get ContentLength Fail, tried 5 times"));
    EXPECT_TRUE(refused->allTasks().empty());
}

TEST_F(TaskManagerTest, RedirectLoopsAndEndlessLocationsAreBounded) {
    server_->SetRule(R"({"path": "/tm/loop.bin", "redirectLoop": true})");
    auto looping = Manager("/tm/loop.bin");
    EXPECT_EQ(looping->loadDownloadTask(false, "Download", 0), EnumErrorCode::TooManyRedirects);

    // A 200 reply that keeps naming another address is not a redirect
    // libcurl follows; the probe stops after a bounded number of requests.
    const std::string path = Serve(5 * kMiB);
    server_->SetRule(R"({"path": ")" + path + R"(", "headers": {"Location": ")" + path + R"("}})");
    auto endless = Manager(path);
    EXPECT_EQ(endless->loadDownloadTask(false, "", 0), EnumErrorCode::TooManyRedirects);
    EXPECT_EQ(server_->RecordsFor(path).size(),
              static_cast<std::size_t>(10 * CDownloadTaskManager::kMaxProbeRequests));
}

TEST_F(TaskManagerTest, ImpossibleLengthsAreNotTrusted) {
    const std::string negative = Serve(5 * kMiB);
    server_->SetRule(R"({"path": ")" + negative +
                     R"(", "method": "HEAD", "headers": {"Content-Range": "bytes */-5"}})");
    EXPECT_EQ(Manager(negative)->loadDownloadTask(false, "", 0), EnumErrorCode::GetContentLengthFailed);

    const std::string huge = Serve(5 * kMiB);
    server_->SetRule(R"({"path": ")" + huge +
                     R"(", "method": "HEAD", "headers": {"Content-Range": "bytes */900000000000000000"}})");
    EXPECT_EQ(Manager(huge)->loadDownloadTask(false, "", 0), EnumErrorCode::GetContentLengthFailed);
}

TEST_F(TaskManagerTest, TaskFileHasItsExactLayout) {
    const std::string path = Serve(10485760);
    auto manager = Manager(path);
    ASSERT_EQ(manager->loadDownloadTask(false, "Download", 0), EnumErrorCode::Success);
    manager->allTasks()[0]->DownloadedPos = 1000;
    manager->DownloadTime = 77;
    manager->saveTaskFile();
    manager->flushTaskFile();
    const std::string url = server_->BaseUrl() + path;
    const std::string expected =
        "<TaskInfo>\r\n"
        "    <TasksCount>2</TasksCount>\r\n"
        "    <ContentLength>10485760</ContentLength>\r\n"
        "    <DownloadTime>77</DownloadTime>\r\n"
        "    <Task>\r\n"
        "        <StartPos>0</StartPos>\r\n"
        "        <EndPos>4194303</EndPos>\r\n"
        "        <DownloadedPos>1000</DownloadedPos>\r\n"
        "        <RemotePath>" + url + "</RemotePath>\r\n"
        "        <LocalPath>" + package_ + "</LocalPath>\r\n"
        "        <TaskStatus>0</TaskStatus>\r\n"
        "        <TaskId>1</TaskId>\r\n"
        "        <RequestTimes>0</RequestTimes>\r\n"
        "    </Task>\r\n"
        "    <Task>\r\n"
        "        <StartPos>4194304</StartPos>\r\n"
        "        <EndPos>10485760</EndPos>\r\n"
        "        <DownloadedPos>4194304</DownloadedPos>\r\n"
        "        <RemotePath>" + url + "</RemotePath>\r\n"
        "        <LocalPath>" + package_ + "</LocalPath>\r\n"
        "        <TaskStatus>0</TaskStatus>\r\n"
        "        <TaskId>2</TaskId>\r\n"
        "        <RequestTimes>0</RequestTimes>\r\n"
        "    </Task>\r\n"
        "</TaskInfo>\r\n";
    EXPECT_EQ(ReadFile(taskFile_), expected);
}

TEST_F(TaskManagerTest, UnfinishedRangeNeverClaimsItsLastByte) {
    // The transfer moves a range's position to EndPos before the byte at
    // EndPos has arrived; only a finished range may claim EndPos.
    const std::string path = Serve(10485760);
    auto manager = Manager(path);
    ASSERT_EQ(manager->loadDownloadTask(false, "Download", 0), EnumErrorCode::Success);
    CTask& first = *manager->allTasks()[0];
    first.DownloadedPos = first.EndPos;
    first.Status = TaskRunning;
    manager->saveTaskFile();
    manager->flushTaskFile();
    EXPECT_NE(ReadFile(taskFile_).find("<DownloadedPos>4194302</DownloadedPos>"), std::string::npos);
    first.Status = TaskDone;
    manager->saveTaskFile();
    manager->flushTaskFile();
    EXPECT_NE(ReadFile(taskFile_).find("<DownloadedPos>4194303</DownloadedPos>"), std::string::npos);
}

TEST_F(TaskManagerTest, SavedTasksLoadBackAndResume) {
    LogCapture log;
    const std::string path = Serve(10485760);
    const std::string url = server_->BaseUrl() + path;
    WritePackage(10485760);
    std::ofstream(taskFile_, std::ios::binary)
        << TaskFileText(10485760, {{0, 4194303, 4194303, 1, 1}, {4194304, 10485760, 5000000, 2, 2}}, url, package_);
    auto manager = Manager(path);
    ASSERT_EQ(manager->loadDownloadTask(false, "Download", 1), EnumErrorCode::Success);
    EXPECT_TRUE(log.Contains(" Tasks info, load ok, total 2, todo 1, complete 1"));
    EXPECT_TRUE(log.Contains(" Load tasks from file success!"));
    EXPECT_EQ(manager->DownloadTime, 1234);
    EXPECT_EQ(manager->allTasks()[1]->DownloadedPos, 5000000);
    EXPECT_EQ(manager->allTasks()[1]->RequestTimes, 0) << "the stored count is not read back";
    EXPECT_EQ(server_->RecordsFor(path).size(), 0u) << "the stored length is trusted for its own address";
    EXPECT_TRUE(PackageExists());

    CTask* next = manager->takeTodoTask();
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->TaskId, 2);
    EXPECT_EQ(next->Status, TaskRunning);
    EXPECT_EQ(manager->takeTodoTask(), nullptr);
}

TEST_F(TaskManagerTest, FilesThatDoNotTileThePackageAreRegenerated) {
    const std::int64_t length = 10485760;
    struct Case {
        const char* name;
        std::int64_t contentLength;
        std::vector<StoredTask> tasks;
    };
    const std::vector<Case> cases = {
        {"gap", length, {{0, 4194303, 0, 0, 1}, {4194305, length, 4194305, 0, 2}}},
        {"out of order", length, {{4194304, length, 4194304, 0, 2}, {0, 4194303, 0, 0, 1}}},
        {"another range size", length,
         {{0, 1048575, 0, 0, 1}, {1048576, 2097151, 1048576, 0, 2}, {2097152, length, 2097152, 0, 3}}},
        {"short of the length", length, {{0, 4194303, 0, 0, 1}}},
        {"overlapping", length, {{0, 4194303, 0, 0, 1}, {4194300, length, 4194300, 0, 2}}},
        {"negative positions", length, {{-4194304, -1, -4194304, 0, 0}, {0, length, 0, 0, 1}}},
        {"position outside its range", length, {{0, 4194303, 9000000, 0, 1}, {4194304, length, 4194304, 0, 2}}},
        {"done but short", length, {{0, 4194303, 100, 1, 1}, {4194304, length, 4194304, 0, 2}}},
        {"unknown status", length, {{0, 4194303, 0, 7, 1}, {4194304, length, 4194304, 0, 2}}},
        {"length no disk holds", 900000000000000000LL, {{0, 900000000000000000LL, 0, 0, 1}}},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        const std::string path = Serve(length);
        const std::string url = server_->BaseUrl() + path;
        WritePackage(5000000);
        std::ofstream(taskFile_, std::ios::binary)
            << TaskFileText(testCase.contentLength, testCase.tasks, url, package_);
        LogCapture log;
        auto manager = Manager(path);
        ASSERT_EQ(manager->loadDownloadTask(false, "Download", 0), EnumErrorCode::Success);
        EXPECT_TRUE(log.Contains(" taskinfo file error"));
        EXPECT_FALSE(PackageExists()) << "the partial package goes with its task file";
        EXPECT_EQ(RangesOf(*manager), (std::vector<Range>{{0, 4194303}, {4194304, length}}));
        EXPECT_EQ(manager->DownloadTime, 0);
    }
}

TEST_F(TaskManagerTest, FuzzCorpusLoadsWithoutHarm) {
    // The task-file fuzzer's seeds, among them numbers no package has:
    // refused before any arithmetic could overflow on them.
    const std::map<std::string, int> expectedCheck = {
        {"resume.xml", 1},          {"all-done.xml", 1},      {"downloadtime-largest.xml", 1},
        {"endpos-largest.xml", 3},  {"taskid-largest.xml", 3}, {"endpos-largest-no-length.xml", 3},
    };
    const char* source = std::getenv("ZEMBRA_SOURCE_DIR");
    const std::filesystem::path corpus = std::string(source ? source : ".") + "/tests/fuzz/corpus/taskfile";
    WritePackage(10485760);
    std::size_t seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        std::ofstream(taskFile_, std::ios::binary) << ReadFile(entry.path().string());
        CDownloadTaskManager manager("http://127.0.0.1:1/package.exe", package_, taskFile_);
        manager.loadTaskFromFile(0);
        const auto expected = expectedCheck.find(name);
        ASSERT_NE(expected, expectedCheck.end()) << "a seed without an expectation";
        EXPECT_EQ(manager.checkTaskRanges(0), expected->second);
        EXPECT_GE(manager.DownloadTime, 0);
        EXPECT_LE(manager.DownloadTime, 1234) << "a time no download took starts again at 0";
        ++seen;
    }
    EXPECT_EQ(seen, expectedCheck.size());
}

TEST_F(TaskManagerTest, PackageThatLostItsTailKeepsTheRangesItStillHolds) {
    const std::int64_t length = 10485760;
    const std::string path = Serve(length);
    const std::string stored = TaskFileText(length, {{0, 4194303, 4194303, 1, 1}, {4194304, length, length, 1, 2}},
                                            server_->BaseUrl() + path, package_);
    WritePackage(5000000);
    std::ofstream(taskFile_, std::ios::binary) << stored;
    LogCapture log;
    auto manager = Manager(path);
    ASSERT_EQ(manager->loadDownloadTask(false, "Download", 0), EnumErrorCode::Success);
    EXPECT_TRUE(log.Contains(" Load tasks from file success!"));
    EXPECT_TRUE(PackageExists());
    CTask& first = *manager->allTasks()[0];
    CTask& second = *manager->allTasks()[1];
    EXPECT_EQ(first.Status, TaskDone);
    EXPECT_EQ(second.Status, TaskNew);
    EXPECT_EQ(second.DownloadedPos, 5000000) << "fetched again from the first byte that is gone";
    EXPECT_EQ(manager->takeTodoTask(), &second);

    // Only the last byte of the first range is gone: that range resumes
    // one byte early, as it never rests unfinished at its inclusive end.
    WritePackage(4194303);
    std::ofstream(taskFile_, std::ios::binary) << stored;
    auto again = Manager(path);
    ASSERT_EQ(again->loadDownloadTask(false, "Download", 0), EnumErrorCode::Success);
    EXPECT_EQ(again->allTasks()[0]->Status, TaskNew);
    EXPECT_EQ(again->allTasks()[0]->DownloadedPos, 4194302);
    EXPECT_EQ(again->allTasks()[1]->DownloadedPos, 4194304);
}

TEST_F(TaskManagerTest, FileCutWithTheCurrentSliceSizeIsKept) {
    SliceSettings slices(0, 1048576);
    const std::string path = Serve(3 * kMiB);
    const std::string url = server_->BaseUrl() + path;
    WritePackage(3 * kMiB);
    std::ofstream(taskFile_, std::ios::binary) << TaskFileText(
        3 * kMiB,
        {{0, kMiB - 1, kMiB - 1, 1, 1}, {kMiB, 2 * kMiB - 1, kMiB, 0, 2}, {2 * kMiB, 3 * kMiB, 2 * kMiB, 0, 3}}, url,
        package_);
    LogCapture log;
    auto manager = Manager(path);
    ASSERT_EQ(manager->loadDownloadTask(false, "Download", 0), EnumErrorCode::Success);
    EXPECT_TRUE(log.Contains(" Load tasks from file success!"));
    EXPECT_EQ(manager->allTasks()[0]->Status, TaskDone);
}

TEST_F(TaskManagerTest, ChangedRemoteLengthDiscardsTheFile) {
    // Tasks stored for another address (as after a redirect) are checked
    // against the server.
    const std::string path = Serve(8 * kMiB);
    WritePackage(4 * kMiB);
    std::ofstream(taskFile_, std::ios::binary)
        << TaskFileText(10485760, {{0, 4194303, 4194303, 1, 1}, {4194304, 10485760, 4194304, 0, 2}},
                        "http://127.0.0.1:1/tm/elsewhere.bin", package_);
    LogCapture log;
    auto manager = Manager(path);
    ASSERT_EQ(manager->loadDownloadTask(false, "Download", 0), EnumErrorCode::Success);
    EXPECT_TRUE(log.Contains(" taskinfo file error"));
    EXPECT_EQ(manager->ContentLength, 8 * kMiB);
    EXPECT_FALSE(PackageExists());
}

TEST_F(TaskManagerTest, UnreachableServerDoesNotCostTheStoredRanges) {
    WritePackage(10485760);
    std::ofstream(taskFile_, std::ios::binary)
        << TaskFileText(10485760, {{0, 4194303, 4194303, 1, 1}, {4194304, 10485760, 4194304, 0, 2}},
                        "http://127.0.0.1:1/tm/stored.bin", package_);
    auto manager = std::make_unique<CDownloadTaskManager>("http://127.0.0.1:1/tm/other.bin", package_, taskFile_);
    ASSERT_EQ(manager->loadDownloadTask(false, "Download", 0), EnumErrorCode::Success);
    EXPECT_EQ(manager->allTasks().size(), 2u);
    EXPECT_EQ(manager->allTasks()[0]->Status, TaskDone);
    EXPECT_TRUE(PackageExists());
}

TEST_F(TaskManagerTest, UnreadableFilesAreRegeneratedWithoutHarm) {
    const std::vector<std::string> contents = {
        "",
        "\x01\x02\xff garbage \x00\x7f",
        "<TaskInfo>",
        "<TaskInfo></TaskInfo>",
        "<TaskInfo><TasksCount>2000000000</TasksCount><ContentLength>x</ContentLength><Task><StartPos>nope</StartPos>"
        "</Task></TaskInfo>",
    };
    for (const auto& content : contents) {
        const std::string path = Serve(5 * kMiB);
        std::ofstream(taskFile_, std::ios::binary) << content;
        auto manager = Manager(path);
        ASSERT_EQ(manager->loadDownloadTask(false, "Download", 0), EnumErrorCode::Success);
        EXPECT_EQ(manager->ContentLength, 5 * kMiB);
        EXPECT_EQ(manager->allTasks().size(), 1u);
    }
}

TEST_F(TaskManagerTest, AbsurdTaskCountsAreNotLoaded) {
    const std::string path = Serve(5 * kMiB);
    {
        std::ofstream out(taskFile_, std::ios::binary);
        out << "<TaskInfo><ContentLength>" << 5 * kMiB << "</ContentLength>";
        for (int i = 0; i <= CDownloadTaskManager::kMaxTasks; ++i) out << "<Task><TaskId>1</TaskId></Task>";
        out << "</TaskInfo>";
    }
    LogCapture log;
    auto manager = Manager(path);
    ASSERT_EQ(manager->loadDownloadTask(false, "Download", 0), EnumErrorCode::Success);
    EXPECT_TRUE(log.Contains(" taskinfo file error"));
    EXPECT_EQ(manager->allTasks().size(), 1u);
}

TEST_F(TaskManagerTest, HandsOutFreeRangesInPackageOrder) {
    const std::string path = Serve(64 * kMiB);
    auto manager = Manager(path);
    ASSERT_EQ(manager->loadDownloadTask(false, "Download", 0), EnumErrorCode::Success);
    ASSERT_EQ(manager->allTasks().size(), 16u);
    EXPECT_EQ(manager->takeTodoTask()->TaskId, 1);

    // Ranges a connection claimed for its request are skipped and counted as handed out.
    manager->allTasks()[1]->Claimed = true;
    manager->allTasks()[2]->Claimed = true;
    EXPECT_EQ(manager->todoCount(), 13u);
    EXPECT_EQ(manager->handedOutTasks().size(), 3u);
    EXPECT_EQ(manager->takeTodoTask()->TaskId, 4);

    // A range given back unreached is to do again.
    manager->allTasks()[2]->Claimed = false;
    EXPECT_EQ(manager->todoCount(), 13u);
    EXPECT_EQ(manager->takeTodoTask()->TaskId, 3);

    // A failed range comes back once its pause is over.
    CTask* failed = manager->allTasks()[0];
    failed->Status = TaskFailed;
    manager->retryTask(failed, SteadyTickMs() + 3600000);
    EXPECT_EQ(manager->takeTodoTask()->TaskId, 5);
    manager->retryTask(failed, 0);
    EXPECT_EQ(manager->takeTodoTask(), failed);
    EXPECT_EQ(failed->Status, TaskRunning);
}

}  // namespace
