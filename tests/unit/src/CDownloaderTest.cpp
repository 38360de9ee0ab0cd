// The worker pool and the downloader driver: handing out ranges, carrying a
// reply on into the following ranges, the package file, stopping, the
// progress figures and the CDN report.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "CDownloadThreadManager.h"
#include "CDownloader.h"
#include "CTask.h"
#include "CTaskFileSaver.h"
#include "CThread.h"
#include "platform/Process.h"
#include "support/DevServerSuite.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

using testsupport::DevServer;
using testsupport::LogCapture;
using testsupport::ReadFile;
using testsupport::TempDir;

namespace {

constexpr std::int64_t kMiB = 1048576;

// Polls until done() holds, for up to a generous deadline.
template <typename Predicate>
bool Eventually(Predicate done, int timeoutMs = 30000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Until the task file on disk holds the last save.
void CTaskFileSaverWait(const std::string& taskFile) { CTaskFileSaver::GetInstance().Wait(taskFile); }

std::unique_ptr<CTask> Task(int id, std::int64_t start, std::int64_t end, std::int64_t length, const std::string& url) {
    auto task = std::make_unique<CTask>();
    task->TaskId = id;
    task->StartPos = start;
    task->EndPos = end;
    task->DownloadedPos = start;
    task->ContentLength = length;
    task->RemotePath = url;
    return task;
}

TEST(SizeTextTest, LargestUnitWithATruncatedFraction) {
    EXPECT_EQ(CDownloader::SizeText(0), "0.00B");
    EXPECT_EQ(CDownloader::SizeText(512), "512B");
    EXPECT_EQ(CDownloader::SizeText(1024), "1024B") << "the unit comparisons are strict";
    EXPECT_EQ(CDownloader::SizeText(1536), "1.5K");
    EXPECT_EQ(CDownloader::SizeText(1048576), "1024K");
    EXPECT_EQ(CDownloader::SizeText(1048577), "1M") << "1M1B: no kilobytes, no fraction";
    EXPECT_EQ(CDownloader::SizeText(3670016), "3.5M");
    EXPECT_EQ(CDownloader::SizeText(2147483648), "2G");
    EXPECT_EQ(CDownloader::SizeText(1073741824LL + 1073741823LL), "1.99G") << "truncated, not rounded";
}

TEST(CdnReportTest, ProbeAndTracesOfTheHandedOutTasks) {
    CTask first, second, third;
    first.CdnProbe = second.CdnProbe = third.CdnProbe = "LAX/ HIT";
    EXPECT_EQ(CDownloader::CdnReportOf({&first, &second, &third}), "") << "probes alone make no report";
    first.CdnTrace = "LAX/HIT";
    third.CdnTrace = "SJC/MISS";
    EXPECT_EQ(CDownloader::CdnReportOf({&first, &second, &third}), "T(LAX/ HIT);C(LAX/HIT;SJC/MISS;)");
}

TEST(ThreadPoolTest, EveryThreadBusyMeansNoHandOut) {
    LogCapture log;
    CThreadManager pool;
    ASSERT_EQ(pool.createThreads(2), 2);
    CTask a, b, c;
    a.TaskId = 1;
    b.TaskId = 2;
    c.TaskId = 3;
    EXPECT_EQ(pool.giveTaskToAThreadTodo(&a), 1);
    EXPECT_EQ(pool.giveTaskToAThreadTodo(&b), 1);
    EXPECT_EQ(pool.giveTaskToAThreadTodo(&c), 0);
    EXPECT_TRUE(log.Contains("get free thread is null3"));
    EXPECT_TRUE(log.Contains("is no free threads"));

    std::vector<CTask*> finished;
    ASSERT_TRUE(Eventually([&] {
        for (CTask* task : pool.recycleThreads()) finished.push_back(task);
        return pool.busyEmpty();
    }));
    EXPECT_EQ(finished.size(), 2u);
    EXPECT_EQ(pool.giveTaskToAThreadTodo(&c), 1);
    ASSERT_TRUE(Eventually([&] {
        pool.recycleThreads();
        return pool.busyEmpty();
    }));
    EXPECT_EQ(pool.stopThreads(), 1);
    EXPECT_TRUE(log.Contains(" start wait threads exit"));
    EXPECT_TRUE(log.Contains(" end wait threads exit"));
}

class DownloadPoolTest : public testsupport::DevServerSuite {
protected:
    static void SetUpTestSuite() { StartServer(DevServer::Options{false, ""}); }
    void SetUp() override {
        DevServerSuite::SetUp();
        if (HasFatalFailure()) return;
        package_ = dir_.str() + "/package.bin";
    }
    void TearDown() override { CTaskFileSaverWait(package_ + ".xml"); }
    std::string Serve(std::int64_t size) {
        const std::string path = "/pool/" + std::to_string(++served_) + ".bin";
        server_->AddPatternFile(path, static_cast<std::uint64_t>(size));
        return path;
    }
    std::size_t RangeRequests(const std::string& path) const {
        std::size_t count = 0;
        for (const auto& record : server_->RecordsFor(path)) count += record.method == "GET" ? 1 : 0;
        return count;
    }

    static int served_;
    TempDir dir_;
    std::string package_;
};

int DownloadPoolTest::served_ = 0;

TEST_F(DownloadPoolTest, CompleteButUnmarkedRangeIsDoneWithoutARequest) {
    const std::string path = Serve(3 * kMiB);
    CDownloadThreadManager pool(package_);
    ASSERT_EQ(pool.createThreads(1), 1);
    auto task = Task(1, 0, 3 * kMiB, 3 * kMiB, server_->BaseUrl() + path);
    task->DownloadedPos = task->EndPos;
    ASSERT_EQ(pool.giveTaskToAThreadTodo(task.get()), 1);
    ASSERT_TRUE(Eventually([&] { return task->Status == TaskDone; }));
    EXPECT_EQ(RangeRequests(path), 0u);
    ASSERT_TRUE(Eventually([&] {
        pool.recycleThreads();
        return pool.busyEmpty();
    }));
    pool.stopThreads();
}

// Three adjacent ranges of one package at url, linked as the task manager links them.
struct ThreeRanges {
    ThreeRanges(std::int64_t length, const std::string& url)
        : first(Task(1, 0, kMiB - 1, length, url)),
          second(Task(2, kMiB, 2 * kMiB - 1, length, url)),
          third(Task(3, 2 * kMiB, length, length, url)) {
        first->Next = second.get();
        second->Next = third.get();
        first->Claimed = true;  // handed out by the driver
    }
    std::unique_ptr<CTask> first, second, third;
};

// Runs the first range on a one-thread pool until the thread is idle again.
void RunFirstRange(const std::string& package, ThreeRanges& ranges) {
    CDownloadThreadManager pool(package);
    ASSERT_EQ(pool.createThreads(1), 1);
    ASSERT_EQ(pool.giveTaskToAThreadTodo(ranges.first.get()), 1);
    ASSERT_TRUE(Eventually([&] {
        pool.recycleThreads();
        return pool.busyEmpty();
    }));
    pool.stopThreads();
}

TEST_F(DownloadPoolTest, OneRequestCoversTheFreeRangesThatFollow) {
    const std::string path = Serve(3 * kMiB + 5);
    ThreeRanges ranges(3 * kMiB + 5, server_->BaseUrl() + path);
    RunFirstRange(package_, ranges);
    for (const CTask* task : {ranges.first.get(), ranges.second.get(), ranges.third.get()}) {
        EXPECT_EQ(task->Status, TaskDone) << task->TaskId;
        EXPECT_EQ(task->DownloadedPos, task->EndPos) << task->TaskId;
        EXPECT_TRUE(task->Claimed) << task->TaskId;
    }
    const auto records = server_->RecordsFor(path);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Header("Range"), "bytes=0-3145733");
    EXPECT_EQ(ReadFile(package_), DevServer::PatternBytes(0, 3 * kMiB + 5));
}

TEST_F(DownloadPoolTest, RequestStopsBeforeARangeClaimedElsewhere) {
    const std::string path = Serve(3 * kMiB);
    ThreeRanges ranges(3 * kMiB, server_->BaseUrl() + path);
    ranges.third->Claimed = true;
    RunFirstRange(package_, ranges);
    EXPECT_EQ(ranges.first->Status, TaskDone);
    EXPECT_EQ(ranges.second->Status, TaskDone);
    EXPECT_EQ(ranges.second->RequestTimes, 0);
    EXPECT_EQ(ranges.third->DownloadedPos, ranges.third->StartPos) << "nothing written into the other range";
    EXPECT_EQ(server_->RecordsFor(path)[0].Header("Range"), "bytes=0-2097151");
}

TEST_F(DownloadPoolTest, RangesTheReplyNeverReachedAreGivenBack) {
    const std::string path = Serve(3 * kMiB);
    server_->SetRule(R"({"path": ")" + path + R"(", "times": 1, "dropAfterBytes": 500000})");
    ThreeRanges ranges(3 * kMiB, server_->BaseUrl() + path);
    RunFirstRange(package_, ranges);
    EXPECT_EQ(ranges.first->Status, TaskFailed);
    EXPECT_EQ(ranges.first->RequestTimes, 1);
    EXPECT_GT(ranges.first->DownloadedPos, 0);
    for (const CTask* task : {ranges.second.get(), ranges.third.get()}) {
        EXPECT_FALSE(task->Claimed) << task->TaskId;
        EXPECT_EQ(task->Status, TaskNew) << task->TaskId;
        EXPECT_EQ(task->DownloadedPos, task->StartPos) << task->TaskId;
    }
}

TEST(ClaimWindowTest, WindowEndsAtItsSizeAtATouchedRangeOrAtAnotherAddress) {
    std::vector<std::unique_ptr<CTask>> tasks;
    for (int i = 0; i < 12; ++i) {
        tasks.push_back(Task(i + 1, i * 4 * kMiB, (i + 1) * 4 * kMiB - 1, 48 * kMiB, "http://host/a.exe"));
        if (i > 0) tasks[i - 1]->Next = tasks[i].get();
    }
    EXPECT_EQ(CDownloadThread::ClaimWindow(*tasks[0], 32 * kMiB).size(), 7u) << "32 MiB from the first byte";
    EXPECT_TRUE(tasks[7]->Claimed);
    EXPECT_FALSE(tasks[8]->Claimed);

    tasks[10]->DownloadedPos = tasks[10]->StartPos + 1;
    EXPECT_EQ(CDownloadThread::ClaimWindow(*tasks[8], 32 * kMiB).size(), 1u) << "stops before a range begun elsewhere";
    EXPECT_TRUE(tasks[9]->Claimed);
    EXPECT_TRUE(CDownloadThread::ClaimWindow(*tasks[9], 32 * kMiB).empty());
    EXPECT_TRUE(CDownloadThread::ClaimWindow(*tasks[11], 32 * kMiB).empty()) << "the last range";
    tasks[5]->Claimed = false;
    tasks[6]->Claimed = false;
    EXPECT_EQ(CDownloadThread::ClaimWindow(*tasks[4], 8 * kMiB).size(), 1u) << "a smaller window near the end";

    std::vector<std::unique_ptr<CTask>> other;
    other.push_back(Task(1, 0, 99, 200, "http://host/a.exe"));
    other.push_back(Task(2, 100, 200, 200, "http://mirror/a.exe"));
    other[0]->Next = other[1].get();
    EXPECT_TRUE(CDownloadThread::ClaimWindow(*other[0], 32 * kMiB).empty());
}

TEST(WindowForTest, AShareOfWhatIsFreeUpToTheLargestRequest) {
    EXPECT_EQ(CDownloader::WindowFor(1LL << 30, 4), 32 * kMiB);
    EXPECT_EQ(CDownloader::WindowFor(40 * kMiB, 4), 10 * kMiB);
    EXPECT_EQ(CDownloader::WindowFor(0, 4), 0);
    EXPECT_EQ(CDownloader::WindowFor(8 * kMiB, 0), 8 * kMiB);
}

TEST_F(DownloadPoolTest, PackageIsOpenedOnceAndNeverTruncated) {
    std::ofstream(package_) << "partial download";
    CDownloadThreadManager pool(package_);
    EXPECT_EQ(pool.createThreads(0), 0);
    EXPECT_GE(pool.packageFile(), 0);
    EXPECT_EQ(ReadFile(package_), "partial download");

    LogCapture log;
    CDownloadThreadManager nowhere(dir_.str() + "/missing/folder/package.bin");
    EXPECT_EQ(nowhere.createThreads(4), -1);
    EXPECT_TRUE(log.Contains("local file is NULL error code = 2"));
    EXPECT_TRUE(log.Contains("after kill local file is NULL error code = 2"));
}

TEST_F(DownloadPoolTest, ProgramRunningFromThePackageIsEndedFirst) {
    std::filesystem::copy_file("/bin/sleep", package_);
    std::filesystem::permissions(package_, std::filesystem::perms::owner_all);
    const pid_t running = platform::SpawnProcess({package_, "60"});
    ASSERT_GT(running, 0);
    ASSERT_TRUE(Eventually([&] { return ::open(package_.c_str(), O_RDWR | O_CLOEXEC) < 0 && errno == ETXTBSY; }));

    LogCapture log;
    CDownloadThreadManager pool(package_);
    EXPECT_EQ(pool.createThreads(1), 1);
    EXPECT_TRUE(log.Contains("local file is NULL error code = 26"));
    EXPECT_FALSE(log.Contains("after kill"));
    const auto ended = platform::WaitForProcess(running, 30000);
    EXPECT_TRUE(ended.exited);
    EXPECT_EQ(ended.exitCode, 128 + 9);
    pool.stopThreads();
}

TEST_F(DownloadPoolTest, BusyPackageThatStaysBusyIsReported) {
    std::filesystem::copy_file("/bin/sleep", package_);
    std::filesystem::permissions(package_, std::filesystem::perms::owner_all);
    const pid_t running = platform::SpawnProcess({package_, "60"});
    ASSERT_GT(running, 0);
    ASSERT_TRUE(Eventually([&] { return ::open(package_.c_str(), O_RDWR | O_CLOEXEC) < 0 && errno == ETXTBSY; }));

    std::string asked;
    CDownloadThreadManager::SetBusyFileReleaser([&](const std::string& path) {
        asked = path;
        return -1;
    });
    LogCapture log;
    CDownloadThreadManager pool(package_);
    const int threads = pool.createThreads(1);
    CDownloadThreadManager::SetBusyFileReleaser({});
    platform::TerminateProcess(running);
    platform::WaitForProcess(running, 30000);
    EXPECT_EQ(threads, -1);
    EXPECT_EQ(asked, package_);
    EXPECT_TRUE(log.Contains("after kill local file is NULL error code = 26"));
}

class DownloaderTest : public DownloadPoolTest {};

TEST_F(DownloaderTest, PackageCompleteBeforeTheRunStopsWithoutWork) {
    const std::string path = Serve(10485760);
    const std::string url = server_->BaseUrl() + path;
    {
        CDownloader first(url, package_, package_ + ".xml", 4);
        ASSERT_EQ(first.downloadInit(false, "Download", 0), EnumErrorCode::Success);
        first.setState(DownloaderRun);
        ASSERT_TRUE(first.waitForDriver(60000));
        EXPECT_TRUE(first.allTasksDone());
        EXPECT_TRUE(first.started());
        first.close();
    }
    CTaskFileSaverWait(package_ + ".xml");
    server_->ClearRecords();

    CDownloader again(url, package_, package_ + ".xml", 4);
    ASSERT_EQ(again.downloadInit(false, "Download", 0), EnumErrorCode::Success);
    again.setState(DownloaderRun);
    ASSERT_TRUE(again.waitForDriver(60000));
    EXPECT_FALSE(again.started());
    EXPECT_TRUE(again.allTasksDone());
    EXPECT_EQ(again.progress().downloaded, 10485760 + 1) << "one byte per range beyond the end";
    EXPECT_EQ(RangeRequests(path), 0u);
    again.close();
}

TEST_F(DownloaderTest, StopWaitsForRunningRangesThenSavesWhatArrived) {
    const std::string path = Serve(12 * kMiB);
    server_->SetRule(R"({"path": ")" + path + R"(", "rateBytesPerSecond": 1048576})");
    LogCapture log;
    CDownloader downloader(server_->BaseUrl() + path, package_, package_ + ".xml", 3);
    ASSERT_EQ(downloader.downloadInit(false, "Download", 0), EnumErrorCode::Success);
    downloader.setState(DownloaderRun);
    ASSERT_TRUE(Eventually([&] { return downloader.progress().downloaded > 3 + 300000; }));
    downloader.setState(DownloaderStop);
    ASSERT_TRUE(downloader.waitForDriver(60000));
    EXPECT_TRUE(log.Contains(" Stopping Download,Mission Failed"));
    EXPECT_TRUE(log.Contains(" Stopping Download,Update DownloadInfo"));
    EXPECT_TRUE(log.Contains(" Download Stopped！"));
    const DownloadProgress progress = downloader.progress();
    downloader.close();

    CTaskFileSaverWait(package_ + ".xml");
    const std::string saved = ReadFile(package_ + ".xml");
    std::int64_t claimed = 0;
    for (std::size_t at = saved.find("<DownloadedPos>"); at != std::string::npos;
         at = saved.find("<DownloadedPos>", at + 1)) {
        claimed += std::stoll(saved.substr(at + 15));
    }
    // Each range claims at most what the driver last counted for it.
    EXPECT_GT(claimed, 0 + 4194304 + 8388608);
    EXPECT_LE(claimed, progress.downloaded - 3 + 0 + 4194304 + 8388608);
}

}  // namespace
