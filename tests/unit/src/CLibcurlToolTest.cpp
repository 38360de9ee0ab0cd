// Range downloads, probes, GETs and POSTs of the transfer tool against the
// devserver on loopback, writing into real files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

#include "CLibcurlTool.h"
#include "CTask.h"
#include "IRangeDownloadThread.h"
#include "PackageWriter.h"
#include "support/DevServerSuite.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

using testsupport::DevServer;
using testsupport::LogCapture;
using testsupport::ReadFile;
using testsupport::TempDir;

namespace {

constexpr std::int64_t kRange = 4194304;
constexpr std::int64_t kPackageSize = 10485760;  // two full ranges and a remainder

// A download thread as the range download sees it: one task, a write mutex
// and a package file shared with any other such thread.
class PackageWriter : public IRangeDownloadThread {
public:
    PackageWriter(int fd, std::mutex& mutex) : package_(fd, ""), mutex_(mutex) {}
    CTask* CurrentTask() override { return &task; }
    std::mutex& WriteMutex() override { return mutex_; }
    CPackageWriter& Package() override { return package_; }

    CTask task;

private:
    CPackageWriter package_;
    std::mutex& mutex_;
};

// Compares byte strings without printing them: a mismatch names its first offset.
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
    const auto mismatch = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    if (actual.size() == expected.size() && mismatch.first == actual.end()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "sizes " << actual.size() << " and " << expected.size()
                                         << ", first difference at " << (mismatch.first - actual.begin());
}

class CLibcurlToolTest : public testsupport::DevServerSuite {
protected:
    static void SetUpTestSuite() {
        StartServer(DevServer::Options{});
        server_->AddPatternFile("/pkg/app.exe", kPackageSize);
        server_->AddPatternFile("/pkg/app.bin", kPackageSize);
    }

    void SetUp() override {
        DevServerSuite::SetUp();
        if (HasFatalFailure()) return;
        packagePath_ = dir_.str() + "/package";
        fd_ = ::open(packagePath_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd_, 0);
    }
    void TearDown() override { ::close(fd_); }

    std::unique_ptr<PackageWriter> Writer(const std::string& urlPath, std::int64_t start, std::int64_t end,
                                          std::int64_t contentLength = kPackageSize) {
        auto writer = std::make_unique<PackageWriter>(fd_, mutex_);
        CTask& task = writer->task;
        task.TaskId = static_cast<int>(start / kRange) + 1;
        task.RemotePath = server_->BaseUrl() + urlPath;
        task.StartPos = start;
        task.EndPos = end;
        task.DownloadedPos = start;
        task.ContentLength = contentLength;
        return writer;
    }

    CURLcode Download(PackageWriter& writer) {
        CTask& task = writer.task;
        return tool_.httpDownloadContent(task.RemotePath, task.DownloadedPos, task.EndPos, 0, &writer);
    }

    std::string PackageBytes(std::int64_t offset, std::int64_t length) const {
        return ReadFile(packagePath_).substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
    }

    TempDir dir_;
    // HTTPS requests trust the devserver's test CA.
    testsupport::ScopedEnv settings_{"ZEMBRA_SETTINGS_FILE",
                                     dir_.WriteFile("qk_downloader.cfg", server_->HostsSection())};
    std::string packagePath_;
    int fd_ = -1;
    std::mutex mutex_;
    CLibcurlTool tool_;
};

TEST_F(CLibcurlToolTest, ExactRangeLandsAtItsOffsetAndEndsAtEndPos) {
    auto second = Writer("/pkg/app.exe", kRange, 2 * kRange - 1);
    EXPECT_EQ(Download(*second), CURLE_OK);
    EXPECT_EQ(second->task.DownloadedPos, 2 * kRange - 1);
    EXPECT_TRUE(SameBytes(PackageBytes(kRange, kRange), DevServer::PatternBytes(kRange, kRange)));
    EXPECT_EQ(ReadFile(packagePath_).substr(0, 16), std::string(16, '\0')) << "nothing written before the range";

    const auto records = server_->RecordsFor("/pkg/app.exe");
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.back().Header("Range"), "bytes=4194304-8388607");
    EXPECT_EQ(records.back().Header("User-Agent"),
              "Mozilla/5.0 (Windows NT 6.1; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
              "Chrome/62.0.3202.75 Safari/537.36");
}

TEST_F(CLibcurlToolTest, LastRangeTakesTheRemainderWithoutGrowingThePackage) {
    auto last = Writer("/pkg/app.exe", kRange, kPackageSize);  // EndPos one past the last byte
    EXPECT_EQ(Download(*last), CURLE_OK);
    EXPECT_EQ(last->task.DownloadedPos, kPackageSize);
    EXPECT_EQ(ReadFile(packagePath_).size(), static_cast<std::size_t>(kPackageSize));
    const std::int64_t remainder = kPackageSize - kRange;
    EXPECT_TRUE(SameBytes(PackageBytes(kRange, remainder), DevServer::PatternBytes(kRange, remainder)));
}

TEST_F(CLibcurlToolTest, SurplusBytesFailTheTransferButCompleteTheRange) {
    server_->SetRule(R"({"path": "/pkg/app.exe", "surplusBytes": 1000})");
    LogCapture log;
    auto first = Writer("/pkg/app.exe", 0, kRange - 1);
    EXPECT_EQ(Download(*first), CURLE_WRITE_ERROR);
    EXPECT_EQ(first->task.DownloadedPos, kRange - 1);
    EXPECT_TRUE(SameBytes(ReadFile(packagePath_), DevServer::PatternBytes(0, kRange))) << "no byte past the range";
    EXPECT_TRUE(log.Contains(" Thread: 1 Write Error. Task id：1 Download to:4194303"));
    EXPECT_TRUE(log.Contains(" Task EndPos:4194303"));
    EXPECT_TRUE(log.Contains(" 接收数据错误"));

    // The package's last range has no byte at EndPos: surplus stops at the package's end.
    auto last = Writer("/pkg/app.exe", 2 * kRange, kPackageSize);
    EXPECT_EQ(Download(*last), CURLE_WRITE_ERROR);
    EXPECT_EQ(last->task.DownloadedPos, kPackageSize);
    EXPECT_EQ(ReadFile(packagePath_).size(), static_cast<std::size_t>(kPackageSize));
}

TEST_F(CLibcurlToolTest, ExeAnsweredWithoutPartialContentIsAbortedAtTheFirstHeader) {
    LogCapture log;
    server_->SetRule(R"({"path": "/pkg/app.exe", "ignoreRange": true})");
    auto whole = Writer("/pkg/app.exe", 0, kRange - 1);
    EXPECT_EQ(Download(*whole), CURLE_WRITE_ERROR);
    EXPECT_EQ(whole->task.DownloadedPos, 0);
    EXPECT_TRUE(log.Contains(" HeaderCallback error0: http_code is 200"));

    server_->ClearRules();
    server_->AddPatternFile("/pkg/moved.exe", kPackageSize);
    server_->SetRule(R"({"path": "/pkg/moved.exe", "redirect": "/pkg/app.exe"})");
    auto moved = Writer("/pkg/moved.exe", 0, kRange - 1);
    const auto before = server_->RecordsFor("/pkg/app.exe").size();
    EXPECT_EQ(Download(*moved), CURLE_WRITE_ERROR);
    EXPECT_TRUE(log.Contains(" HeaderCallback error0: http_code is 302"));
    EXPECT_EQ(server_->RecordsFor("/pkg/app.exe").size(), before) << "the redirect is not followed";
    EXPECT_EQ(ReadFile(packagePath_).size(), 0u);
}

TEST_F(CLibcurlToolTest, OtherUrlsAcceptAWholeBodyOnlyWhereItMatchesTheRange) {
    server_->SetRule(R"({"path": "/pkg/app.bin", "ignoreRange": true})");
    auto whole = Writer("/pkg/app.bin", 0, kPackageSize);  // the only range of the package
    EXPECT_EQ(Download(*whole), CURLE_OK);
    EXPECT_EQ(whole->task.DownloadedPos, kPackageSize);
    EXPECT_TRUE(SameBytes(ReadFile(packagePath_), DevServer::PatternBytes(0, kPackageSize)));

    // A whole body for a range that starts later would land at the wrong offset.
    LogCapture log;
    auto later = Writer("/pkg/app.bin", kRange, 2 * kRange - 1);
    EXPECT_EQ(Download(*later), CURLE_WRITE_ERROR);
    EXPECT_EQ(later->task.DownloadedPos, kRange);
    EXPECT_TRUE(log.Contains(" HeaderCallback error3: http_code is 200"));
}

TEST_F(CLibcurlToolTest, ErrorPagesAreNeverWrittenIntoThePackage) {
    server_->SetRule(R"({"path": "/pkg/app.bin", "status": 404, "body": "not here"})");
    auto range = Writer("/pkg/app.bin", 0, kRange - 1);
    EXPECT_EQ(Download(*range), CURLE_WRITE_ERROR);
    EXPECT_EQ(range->task.DownloadedPos, 0);
    EXPECT_EQ(ReadFile(packagePath_).size(), 0u);
}

TEST_F(CLibcurlToolTest, ContentRangeMustCarryThePackageLength) {
    LogCapture log;
    server_->SetRule(R"({"path": "/pkg/app.bin", "times": 1, "contentRangeTotal": 999})");
    auto wrongTotal = Writer("/pkg/app.bin", 0, kRange - 1);
    EXPECT_EQ(Download(*wrongTotal), CURLE_WRITE_ERROR);
    EXPECT_EQ(wrongTotal->task.DownloadedPos, 0);
    EXPECT_TRUE(log.Contains(" HeaderCallback error1: 10485760 != Content-Range: bytes 0-4194303/999"));

    server_->SetRule(R"({"path": "/pkg/app.bin", "times": 1, "contentRange": "bytes 0-4194303"})");
    auto noSlash = Writer("/pkg/app.bin", 0, kRange - 1);
    EXPECT_EQ(Download(*noSlash), CURLE_WRITE_ERROR);
    EXPECT_TRUE(log.Contains(" HeaderCallback error2: Content-Range: bytes 0-4194303"));

    // With the package length unknown, the header is not checked.
    server_->SetRule(R"({"path": "/pkg/app.bin", "times": 1, "contentRangeTotal": 999})");
    auto unknownLength = Writer("/pkg/app.bin", 0, kRange - 1, 0);
    EXPECT_EQ(Download(*unknownLength), CURLE_OK);
    EXPECT_EQ(unknownLength->task.DownloadedPos, kRange - 1);
}

TEST_F(CLibcurlToolTest, CdnHeadersBuildTheTraceUnlessItEqualsTheProbe) {
    server_->SetRule(R"({"path": "/pkg/app.exe",
                         "headers": {"CF-RAY": "8a1b2c3d4e5f6a7b-LAX", "CF-Cache-Status": "HIT"}})");
    auto traced = Writer("/pkg/app.exe", 0, kRange - 1);
    EXPECT_EQ(Download(*traced), CURLE_OK);
    EXPECT_EQ(traced->task.CdnTrace, "LAX/HIT");

    auto probed = Writer("/pkg/app.exe", 0, kRange - 1);
    probed->task.CdnProbe = "LAX/HIT";
    EXPECT_EQ(Download(*probed), CURLE_OK);
    EXPECT_EQ(probed->task.CdnTrace, "");

    auto unknownLength = Writer("/pkg/app.exe", 0, kRange - 1, 0);
    EXPECT_EQ(Download(*unknownLength), CURLE_OK);
    EXPECT_EQ(unknownLength->task.CdnTrace, "") << "no trace while the package length is unknown";
}

TEST_F(CLibcurlToolTest, DroppedConnectionKeepsWhatArrivedAndResumes) {
    server_->SetRule(R"({"path": "/pkg/app.exe", "times": 1, "dropAfterBytes": 1000000})");
    auto range = Writer("/pkg/app.exe", kRange, 2 * kRange - 1);
    EXPECT_EQ(Download(*range), CURLE_PARTIAL_FILE);
    EXPECT_EQ(range->task.DownloadedPos, kRange + 1000000);

    EXPECT_EQ(Download(*range), CURLE_OK);
    EXPECT_EQ(range->task.DownloadedPos, 2 * kRange - 1);
    EXPECT_TRUE(SameBytes(PackageBytes(kRange, kRange), DevServer::PatternBytes(kRange, kRange)));
}

TEST_F(CLibcurlToolTest, RangeCutOneByteShortIsNotTakenForComplete) {
    // All but the range's last byte arrive: the position must not rest at EndPos.
    server_->SetRule(R"({"path": "/pkg/app.exe", "times": 1, "dropAfterBytes": 4194303})");
    auto range = Writer("/pkg/app.exe", 0, kRange - 1);
    EXPECT_EQ(Download(*range), CURLE_PARTIAL_FILE);
    EXPECT_LT(range->task.DownloadedPos, range->task.EndPos);

    EXPECT_EQ(Download(*range), CURLE_OK);
    EXPECT_EQ(range->task.DownloadedPos, kRange - 1);
    EXPECT_TRUE(SameBytes(ReadFile(packagePath_), DevServer::PatternBytes(0, kRange)));
}

TEST_F(CLibcurlToolTest, FailedWriteDoesNotAdvanceThePosition) {
    const int readOnly = ::open(packagePath_.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(readOnly, 0);
    PackageWriter writer(readOnly, mutex_);
    writer.task.RemotePath = server_->BaseUrl() + "/pkg/app.exe";
    writer.task.EndPos = kRange - 1;
    writer.task.ContentLength = kPackageSize;
    EXPECT_EQ(tool_.httpDownloadContent(writer.task.RemotePath, 0, kRange - 1, 0, &writer), CURLE_WRITE_ERROR);
    EXPECT_EQ(writer.task.DownloadedPos, 0);
    ::close(readOnly);
}

TEST_F(CLibcurlToolTest, ParallelRangesShareOneFileAndMutex) {
    constexpr int kThreads = 4;
    std::vector<std::unique_ptr<PackageWriter>> writers;
    const std::int64_t rangeSize = kPackageSize / kThreads;
    for (int i = 0; i < kThreads; ++i) {
        const std::int64_t start = i * rangeSize;
        const std::int64_t end = i == kThreads - 1 ? kPackageSize : start + rangeSize - 1;
        writers.push_back(Writer("/pkg/app.exe", start, end));
    }
    std::vector<CURLcode> results(kThreads, CURLE_FAILED_INIT);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            CLibcurlTool tool;
            CTask& task = writers[i]->task;
            results[i] = tool.httpDownloadContent(task.RemotePath, task.StartPos, task.EndPos, 0, writers[i].get());
        });
    }
    for (auto& thread : threads) thread.join();
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_EQ(results[i], CURLE_OK) << "range " << i;
        EXPECT_EQ(writers[i]->task.DownloadedPos, writers[i]->task.EndPos) << "range " << i;
    }
    EXPECT_TRUE(SameBytes(ReadFile(packagePath_), DevServer::PatternBytes(0, kPackageSize)));
}

TEST_F(CLibcurlToolTest, RedirectLoopStopsAfterFiveRedirects) {
    LogCapture log;
    server_->SetRule(R"({"path": "/pkg/loop.bin", "redirectLoop": true})");
    auto looping = Writer("/pkg/loop.bin", 0, kRange - 1);
    EXPECT_EQ(Download(*looping), CURLE_TOO_MANY_REDIRECTS);
    EXPECT_EQ(server_->RecordsFor("/pkg/loop.bin").size(), 6u);
    EXPECT_TRUE(log.Contains(" Curl Else Error: 47"));
}

TEST_F(CLibcurlToolTest, VerboseTaskLogsItsRange) {
    LogCapture log;
    auto range = Writer("/pkg/app.exe", kRange, 2 * kRange - 1);
    range->task.Verbose = 1;
    EXPECT_EQ(Download(*range), CURLE_OK);
    EXPECT_TRUE(log.Contains(" Request Range: (2, 4194303) 4194304-8388607"));
}

TEST_F(CLibcurlToolTest, HeaderProbeFollowsRedirectsAndBoundsTheText) {
    server_->SetRule(R"({"path": "/pkg/old.exe", "redirect": "/pkg/app.exe"})");
    std::string headers;
    long code = 0;
    EXPECT_EQ(tool_.httpGet(server_->BaseUrl() + "/pkg/old.exe", 0, 0, 0, headers, code), CURLE_OK);
    EXPECT_EQ(code, 200);
    const auto redirect = headers.find("HTTP/1.1 302");
    const auto final = headers.find("HTTP/1.1 200");
    ASSERT_NE(redirect, std::string::npos);
    ASSERT_NE(final, std::string::npos);
    EXPECT_LT(redirect, final);
    EXPECT_NE(headers.find("Location: " + server_->BaseUrl() + "/pkg/app.exe"), std::string::npos);
    EXPECT_NE(headers.find("Content-Length: 10485760"), std::string::npos);
    EXPECT_EQ(server_->RecordsFor("/pkg/app.exe").back().method, "HEAD");

    server_->SetRule(R"({"path": "/pkg/app.exe", "headers": {"X-Padding": ")" + std::string(5000, 'p') + R"("}})");
    EXPECT_EQ(tool_.httpGet(server_->BaseUrl() + "/pkg/app.exe", 0, 0, 0, headers, code), CURLE_OK);
    EXPECT_EQ(headers.size(), CLibcurlTool::kMaxHeaderText);
}

TEST_F(CLibcurlToolTest, BodyGetKeepsWhatArrivedAndStopsAtTheCollectionLimit) {
    server_->AddFile("/text/reply.txt", "hello");
    std::string body = "old";
    EXPECT_EQ(tool_.httpGet(server_->BaseUrl() + "/text/reply.txt", body, false), CURLE_OK);
    EXPECT_EQ(body, "hello");

    server_->SetRule(R"({"path": "/text/reply.txt", "status": 404, "body": "gone"})");
    EXPECT_EQ(tool_.httpGet(server_->BaseUrl() + "/text/reply.txt", body, false), CURLE_OK);
    EXPECT_EQ(body, "gone");

    server_->SetRule(R"({"path": "/queryDownloaderV2", "queryReply": {"mode": "huge", "size": 20000000}})");
    EXPECT_EQ(tool_.httpGet(server_->HttpsBaseUrl() + "/queryDownloaderV2", body, false), CURLE_WRITE_ERROR);
    EXPECT_GT(body.size(), 0u);
    EXPECT_LE(body.size(), CLibcurlTool::kMaxCollectedBytes);

    EXPECT_EQ(tool_.httpGet("http://127.0.0.1:1/nothing", body, false), CURLE_COULDNT_CONNECT);
}

TEST_F(CLibcurlToolTest, PostSendsTheBodyAndANullReplyAbortsIt) {
    const std::string form = "pid=499&type=2&exception_code=Url_Too_Many_Redirects&other=a,b";
    std::string reply;
    EXPECT_EQ(tool_.HttpPost(server_->HttpsBaseUrl() + "/api/exception/send", form, &reply, ""), CURLE_OK);
    EXPECT_EQ(reply, R"({"code":0,"msg":"ok"})");
    const auto records = server_->RecordsFor("/api/exception/send");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].method, "POST");
    EXPECT_EQ(records[0].body, form);
    EXPECT_EQ(records[0].scheme, "https");

    EXPECT_EQ(tool_.HttpPost(server_->BaseUrl() + "/api/exception/send", form, nullptr, ""), CURLE_WRITE_ERROR);
    EXPECT_EQ(server_->RecordsFor("/api/exception/send").size(), 2u) << "the request itself was sent";
}

TEST(FigureErrorTextTest, NamedCodesAndTheRest) {
    EXPECT_EQ(FigureErrorText(CURLE_UNSUPPORTED_PROTOCOL), " ProtoControl Unsupport!");
    EXPECT_EQ(FigureErrorText(CURLE_NOT_BUILT_IN), " libcurl InitFailed，Please Try again!");
    EXPECT_EQ(FigureErrorText(static_cast<CURLcode>(13)), FigureErrorText(static_cast<CURLcode>(14)));
    EXPECT_EQ(FigureErrorText(CURLE_OPERATION_TIMEDOUT), " Curl Time out");
    EXPECT_EQ(FigureErrorText(CURLE_RANGE_ERROR), " 请求的数据范围错误");
    EXPECT_EQ(FigureErrorText(CURLE_TOO_MANY_REDIRECTS), " Curl Else Error: 47");
    EXPECT_EQ(FigureErrorText(static_cast<CURLcode>(19)), " Curl Else Error: 19");
}

TEST(RangeWriteEndTest, LastRangeEndsAtThePackageLength) {
    CTask task;
    task.EndPos = 4194303;
    task.ContentLength = 10485760;
    EXPECT_EQ(RangeWriteEnd(task), 4194304);
    task.EndPos = 10485760;
    EXPECT_EQ(RangeWriteEnd(task), 10485760);
    task.ContentLength = 0;
    EXPECT_EQ(RangeWriteEnd(task), 10485761);
}

}  // namespace

namespace {

// The write callback fed by hand, so chunk boundaries are exact.
class DownloadFuncTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = dir_.str() + "/package";
        fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd_, 0);
        writer_ = std::make_unique<PackageWriter>(fd_, mutex_);
        context_.thread = writer_.get();
    }
    void TearDown() override { ::close(fd_); }

    std::size_t Feed(char fill, std::size_t count) {
        std::string chunk(count, fill);
        return CLibcurlTool::downloadFunc(chunk.data(), 1, count, &context_);
    }

    TempDir dir_;
    std::string path_;
    int fd_ = -1;
    std::mutex mutex_;
    std::unique_ptr<PackageWriter> writer_;
    HeaderContext context_;
};

TEST_F(DownloadFuncTest, SurplusAfterAChunkEndingAtTheRangeEndIsNotWritten) {
    writer_->task.EndPos = 99;
    writer_->task.ContentLength = 1000;
    EXPECT_EQ(Feed('a', 100), 100u);
    EXPECT_EQ(writer_->task.DownloadedPos, 99);
    EXPECT_EQ(Feed('b', 10), 0u);
    EXPECT_EQ(writer_->task.DownloadedPos, 99);
    EXPECT_EQ(ReadFile(path_), std::string(100, 'a'));
}

TEST_F(DownloadFuncTest, LastByteMayArriveInAChunkOfItsOwn) {
    writer_->task.EndPos = 99;
    writer_->task.ContentLength = 1000;
    EXPECT_EQ(Feed('a', 99), 99u);
    EXPECT_EQ(writer_->task.DownloadedPos, 99);
    EXPECT_EQ(Feed('b', 1), 1u);
    EXPECT_EQ(writer_->task.DownloadedPos, 99);
    EXPECT_EQ(ReadFile(path_), std::string(99, 'a') + "b");
}

TEST_F(DownloadFuncTest, LastRangeOfThePackageStopsAtItsLength) {
    writer_->task.StartPos = writer_->task.DownloadedPos = 50;
    writer_->task.EndPos = 100;
    writer_->task.ContentLength = 100;
    EXPECT_EQ(Feed('a', 30), 30u);
    EXPECT_EQ(Feed('b', 30), 20u);
    EXPECT_EQ(writer_->task.DownloadedPos, 100);
    EXPECT_EQ(ReadFile(path_).size(), 100u);
    EXPECT_EQ(ReadFile(path_).substr(50), std::string(30, 'a') + std::string(20, 'b'));
}

}  // namespace
