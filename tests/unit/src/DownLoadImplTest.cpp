// The download facade against the devserver, one test per way a download
// ends, and the MD5 check with its marker file.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "CTaskFileSaver.h"
#include "DownLoadImpl.h"
#include "EnumErrorCode.h"
#include "IDownloadProgressTarget.h"
#include "support/DevServerSuite.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

using testsupport::DevServer;
using testsupport::LogCapture;
using testsupport::ReadFile;
using testsupport::TempDir;

namespace {

constexpr std::int64_t kMiB = 1048576;

int Code(EnumErrorCode code) { return static_cast<int>(code); }

class RecordingTarget : public IDownloadProgressTarget {
public:
    void OnDownloadProgress(std::int64_t downloaded, std::int64_t total) override {
        std::lock_guard guard(lock_);
        calls_.emplace_back(downloaded, total);
    }
    std::vector<std::pair<std::int64_t, std::int64_t>> Calls() {
        std::lock_guard guard(lock_);
        return calls_;
    }

private:
    std::mutex lock_;
    std::vector<std::pair<std::int64_t, std::int64_t>> calls_;
};

class SuperDownloadFileTest : public testsupport::DevServerSuite {
protected:
    static void SetUpTestSuite() { StartServer(DevServer::Options{false, ""}); }
    void SetUp() override {
        DevServerSuite::SetUp();
        if (HasFatalFailure()) return;
        package_ = dir_.str() + "/package.exe";
        CDownLoadImpl::settings() = CDownLoadImpl::Settings{};
        // The machine under test may have no network interface but loopback.
        CDownLoadImpl::SetNetworkCheck([] { return true; });
        CDownLoadImpl::SetProgressTarget(&target_);
    }
    void TearDown() override {
        CDownLoadImpl::SetProgressTarget(nullptr);
        CDownLoadImpl::SetNetworkCheck(nullptr);
        CDownLoadImpl::settings() = CDownLoadImpl::Settings{};
        CTaskFileSaver::GetInstance().Wait(package_ + ".xml");
    }

    // A package at a path of its own: the length cache is process-wide.
    std::string Serve(std::int64_t size, const std::string& extension = ".exe") {
        const std::string path = "/dl/" + std::to_string(++served_) + extension;
        server_->AddPatternFile(path, static_cast<std::uint64_t>(size));
        return path;
    }
    int Download(const std::string& url, bool main = true) {
        return CDownLoadImpl::SuperDownloadFile(url, package_, report_, main);
    }
    std::vector<std::string> RangesAsked(const std::string& path) const {
        std::vector<std::string> ranges;
        for (const auto& record : server_->RecordsFor(path)) {
            if (record.method == "GET") ranges.push_back(record.Header("Range"));
        }
        return ranges;
    }
    bool PackageMatches(std::int64_t size) const {
        return ReadFile(package_) == DevServer::PatternBytes(0, static_cast<std::uint64_t>(size));
    }

    static int served_;
    TempDir dir_;
    std::string package_;
    std::string report_;
    RecordingTarget target_;
};

int SuperDownloadFileTest::served_ = 0;

TEST_F(SuperDownloadFileTest, DownloadsThePackageAndReportsItsProgress) {
    const std::int64_t size = 10 * kMiB + 12345;
    const std::string path = Serve(size);
    LogCapture log;
    EXPECT_EQ(Download(server_->BaseUrl() + path), Code(EnumErrorCode::Success));
    EXPECT_TRUE(PackageMatches(size));
    EXPECT_TRUE(log.Contains(" Average speed: "));
    EXPECT_TRUE(log.Contains(" Download speed range "));
    EXPECT_TRUE(log.Contains(" Request Range: (1, ")) << "the product package logs its ranges";
    EXPECT_EQ(report_, "");
    for (const auto& [downloaded, total] : target_.Calls()) {
        EXPECT_EQ(total, size);
        EXPECT_LE(downloaded, size + 3);
    }
    // The last report is the whole package, made before the call returns.
    ASSERT_FALSE(target_.Calls().empty());
    EXPECT_EQ(target_.Calls().back(), std::make_pair(size, size));
    const std::string taskFile = ReadFile(package_ + ".xml");
    EXPECT_EQ(taskFile.find("<TaskStatus>0</TaskStatus>"), std::string::npos);
    EXPECT_NE(taskFile.find("<TaskStatus>1</TaskStatus>"), std::string::npos);
}

TEST_F(SuperDownloadFileTest, PackageCompleteBeforeTheCallIsNotFetchedAgain) {
    const std::int64_t size = 6 * kMiB;
    const std::string path = Serve(size);
    ASSERT_EQ(Download(server_->BaseUrl() + path), Code(EnumErrorCode::Success));
    CTaskFileSaver::GetInstance().Wait(package_ + ".xml");
    server_->ClearRecords();

    RecordingTarget second;
    CDownLoadImpl::SetProgressTarget(&second);
    LogCapture log;
    EXPECT_EQ(Download(server_->BaseUrl() + path), Code(EnumErrorCode::Success));
    EXPECT_TRUE(RangesAsked(path).empty());
    EXPECT_TRUE(log.Contains(" Load tasks from file success!"));
    EXPECT_FALSE(log.Contains(" Average speed: "));
    ASSERT_FALSE(second.Calls().empty());
    EXPECT_EQ(second.Calls().back(), std::make_pair(size, size));
    EXPECT_TRUE(PackageMatches(size));
}

TEST_F(SuperDownloadFileTest, AuxiliaryFilesSkipTheHookAndTheSizeCheck) {
    const std::string path = Serve(3000, ".png");
    LogCapture log;
    EXPECT_EQ(Download(server_->BaseUrl() + path, false), Code(EnumErrorCode::Success));
    EXPECT_TRUE(PackageMatches(3000));
    EXPECT_TRUE(target_.Calls().empty());
    EXPECT_FALSE(log.Contains(" Request Range: ("));
}

TEST_F(SuperDownloadFileTest, ErrorPageSavedAsThePackageIsTooSmall) {
    const std::string path = "/dl/portal.html";
    server_->SetRule(R"({"path": ")" + path + R"(", "status": 200, "body": ")" + std::string(200, 'e') + R"("})");
    EXPECT_EQ(Download(server_->BaseUrl() + path), Code(EnumErrorCode::FileTooSmall));
    EXPECT_EQ(ReadFile(package_), std::string(200, 'e'));
}

TEST_F(SuperDownloadFileTest, PreparationFailuresAreReturnedAsTheyAre) {
    EXPECT_EQ(Download(server_->BaseUrl() + "/dl/missing.exe"), Code(EnumErrorCode::GetContentLengthFailed));
    EXPECT_EQ(report_, "");

    server_->SetRule(R"({"path": "/dl/loop.exe", "redirectLoop": true})");
    EXPECT_EQ(Download(server_->BaseUrl() + "/dl/loop.exe"), Code(EnumErrorCode::TooManyRedirects));

    const std::string path = Serve(2 * kMiB);
    package_ = dir_.str() + "/no/such/folder/package.exe";
    EXPECT_EQ(Download(server_->BaseUrl() + path), Code(EnumErrorCode::OpenLocalFileFailed));
    CTaskFileSaver::GetInstance().Wait(package_ + ".xml");

    package_ = dir_.str() + "/package.exe";
    CDownLoadImpl::settings().threadCount = 0;
    LogCapture log;
    EXPECT_EQ(Download(server_->BaseUrl() + path), Code(EnumErrorCode::NoDownloadThread));
    EXPECT_TRUE(log.Contains(" [Error]:  createThreads is empty"));
}

TEST_F(SuperDownloadFileTest, LostNetworkEndsTheDownload) {
    const std::string path = Serve(8 * kMiB);
    CDownLoadImpl::settings().networkLossPauseMs = 0;
    CDownLoadImpl::SetNetworkCheck([] { return false; });
    LogCapture log;
    EXPECT_EQ(Download(server_->BaseUrl() + path), Code(EnumErrorCode::NetworkNotAlive));
    EXPECT_TRUE(log.Contains("network is  no  alive"));

    // Lost while the ranges are being fetched.
    server_->SetRule(R"({"path": ")" + path + R"(", "rateBytesPerSecond": 1048576})");
    std::atomic<int> checks{0};
    CDownLoadImpl::SetNetworkCheck([&] { return ++checks < 4; });
    EXPECT_EQ(Download(server_->BaseUrl() + path), Code(EnumErrorCode::NetworkNotAlive));
    EXPECT_GE(checks, 4);
}

TEST_F(SuperDownloadFileTest, ServerThatStopsSendingEndsTheCallAndTheNextOneContinues) {
    const std::int64_t size = 10 * kMiB;
    const std::string path = Serve(size);
    server_->SetRule(R"({"path": ")" + path + R"(", "stallAfterBytes": 1000000, "stallMs": 600000})");
    CDownLoadImpl::settings().stallMs = 1500;
    LogCapture log;
    EXPECT_EQ(Download(server_->BaseUrl() + path), Code(EnumErrorCode::NoSpeedTimeout));
    EXPECT_TRUE(log.Contains("too long no speed:"));
    CTaskFileSaver::GetInstance().Wait(package_ + ".xml");
    const auto firstRanges = RangesAsked(path);

    server_->ClearRules();
    server_->ClearRecords();
    EXPECT_EQ(Download(server_->BaseUrl() + path), Code(EnumErrorCode::Success));
    EXPECT_TRUE(PackageMatches(size));
    // Every range starts where the stalled one left off, not at its start.
    for (const auto& range : RangesAsked(path)) {
        for (const auto& earlier : firstRanges) EXPECT_NE(range, earlier) << "asked again from the same byte";
    }
}

TEST_F(SuperDownloadFileTest, ServerThatStopsSendingForAMinuteRealTime) {
    const std::string path = Serve(2 * kMiB);
    server_->SetRule(R"({"path": ")" + path + R"(", "method": "GET", "stallAfterBytes": 0, "stallMs": 600000})");
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Download(server_->BaseUrl() + path), Code(EnumErrorCode::NoSpeedTimeout));
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
}

TEST_F(SuperDownloadFileTest, SurplusBytesDoNotSpoilThePackage) {
    const std::int64_t size = 10 * kMiB;
    const std::string path = Serve(size);
    server_->SetRule(R"({"path": ")" + path + R"(", "method": "GET", "surplusBytes": 1000})");
    EXPECT_EQ(Download(server_->BaseUrl() + path), Code(EnumErrorCode::Success));
    EXPECT_TRUE(PackageMatches(size));
}

TEST_F(SuperDownloadFileTest, DroppedConnectionIsTakenUpAgainInTheSameCall) {
    const std::int64_t size = 10 * kMiB;
    const std::string path = Serve(size);
    server_->SetRule(R"({"path": ")" + path + R"(", "method": "GET", "times": 2, "dropAfterBytes": 700000})");
    EXPECT_EQ(Download(server_->BaseUrl() + path), Code(EnumErrorCode::Success));
    EXPECT_TRUE(PackageMatches(size));
}

TEST_F(SuperDownloadFileTest, WholeBodyInsteadOfARangeIsRefused) {
    const std::string path = Serve(10 * kMiB);
    server_->SetRule(R"({"path": ")" + path + R"(", "method": "GET", "ignoreRange": true})");
    LogCapture log;
    // Ranges that cannot be fetched end the call as a stall does, without waiting for it.
    EXPECT_EQ(Download(server_->BaseUrl() + path), Code(EnumErrorCode::NoSpeedTimeout));
    EXPECT_TRUE(log.Contains(" HeaderCallback error0: http_code is 200"));
    EXPECT_TRUE(log.Contains("too long no speed: every missing range failed 4 times"));
    // Each range is tried four times (alone or with its neighbour), then left for the next call.
    EXPECT_GE(RangesAsked(path).size(), 4u);
    EXPECT_LE(RangesAsked(path).size(), 8u);
}

TEST_F(SuperDownloadFileTest, WrongTotalInTheReplyIsRefused) {
    const std::string path = Serve(10 * kMiB, ".bin");
    server_->SetRule(R"({"path": ")" + path + R"(", "method": "GET", "contentRangeTotal": 999})");
    LogCapture log;
    EXPECT_EQ(Download(server_->BaseUrl() + path), Code(EnumErrorCode::NoSpeedTimeout));
    EXPECT_TRUE(log.Contains(" HeaderCallback error1: 10485760 != "));
}

TEST_F(SuperDownloadFileTest, CdnFailuresAreCountedOnACdnAddress) {
    const std::string path = Serve(10 * kMiB);
    server_->SetRule(R"({"path": ")" + path + R"(", "method": "GET", "status": 503})");
    LogCapture log;
    const std::string url = "http://cdn.localhost:" + std::to_string(server_->HttpPort()) + path;
    EXPECT_EQ(Download(url), Code(EnumErrorCode::CdnFailed));
    EXPECT_TRUE(log.Contains(" ---cdn fail:"));
    EXPECT_TRUE(log.Contains(" > 3 * 2"));
}

TEST(ThreadCountTest, EightFifthsOfTheProcessorsAndAtLeastFour) {
    EXPECT_EQ(CDownLoadImpl::ThreadCountFor(1), 4);
    EXPECT_EQ(CDownLoadImpl::ThreadCountFor(2), 4);
    EXPECT_EQ(CDownLoadImpl::ThreadCountFor(3), 4);
    EXPECT_EQ(CDownLoadImpl::ThreadCountFor(8), 12);
    EXPECT_EQ(CDownLoadImpl::ThreadCountFor(16), 25);
}

class CheckMd5Test : public ::testing::Test {
protected:
    TempDir dir_;
};

TEST_F(CheckMd5Test, DigestMatchesExactlyAndLeavesTheMarker) {
    const std::string path = dir_.WriteFile("package.exe", "The quick brown fox jumps over the lazy dog");
    LogCapture log;
    EXPECT_EQ(CDownLoadImpl::checkMD5(path, "9e107d9d372bb6826bd81d3542a419d6", "", "2.9.0.0"), 1);
    EXPECT_EQ(ReadFile(path + ".db"), "2.9.0.0###9e107d9d372bb6826bd81d3542a419d6");
    EXPECT_TRUE(log.Contains(" MD5 of file " + path + " is 9e107d9d372bb6826bd81d3542a419d6"));
    EXPECT_EQ(CDownLoadImpl::checkMD5(path, "other", "9e107d9d372bb6826bd81d3542a419d6", "2.9.0.0"), 1);
    EXPECT_EQ(CDownLoadImpl::checkMD5(path, "9E107D9D372BB6826BD81D3542A419D6", "", "2.9.0.0"), 0)
        << "the comparison is case-sensitive";
}

TEST_F(CheckMd5Test, MissingFileIsDigestedAsEmptyInput) {
    const std::string path = dir_.str() + "/missing.exe";
    EXPECT_EQ(CDownLoadImpl::checkMD5(path, "9e107d9d372bb6826bd81d3542a419d6", "", "1.0"), 0);
    EXPECT_EQ(ReadFile(path + ".db"), "1.0###d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(CDownLoadImpl::checkMD5(path, "", "d41d8cd98f00b204e9800998ecf8427e", "1.0"), 1);
}

TEST_F(CheckMd5Test, LargeFileAcrossManyPieces) {
    // 3.5 MiB of a repeating pattern, read in 1 MiB pieces.
    std::string content;
    for (int i = 0; i < 3670016; ++i) content += static_cast<char>(i % 251);
    const std::string path = dir_.WriteFile("big.bin", content);
    EXPECT_EQ(CDownLoadImpl::FileMd5(path), "771576527179badc08293786725fd4e7");
}

}  // namespace
