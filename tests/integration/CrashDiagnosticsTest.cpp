#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <netinet/in.h>
#include <regex>
#include <sys/socket.h>
#include <unistd.h>
#include <zip.h>

#include "FuntionImpl.h"
#include "support/DescendantRun.h"
#include "support/DevServer.h"
#include "support/InstallerSandbox.h"
#include "support/MinidumpReader.h"
#include "support/TempDir.h"
#include "support/LoopbackPort.h"

namespace fs = std::filesystem;
using testsupport::DevServer;
using testsupport::DevServerRecord;
using testsupport::InstallerSandbox;
using testsupport::ReadFile;

namespace {

constexpr const char* kRunName = "zembramorvanta_zembram";
constexpr const char* kUploadPath = "/v1/productLogUpload";
constexpr int kDeadlineMs = 180000;

std::string ProbePath() {
    const char* binDir = std::getenv("ZEMBRA_BIN_DIR");
    return std::string(binDir ? binDir : "build/bin") + "/zembra_crash_probe";
}

// The entries of a ZIP file, name -> content; empty when it is not a valid archive.
std::map<std::string, std::string> ZipEntries(const std::string& path) {
    std::map<std::string, std::string> entries;
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (archive == nullptr) return entries;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat);
        std::string content(stat.size, '\0');
        if (zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0)) {
            zip_fread(file, content.data(), stat.size);
            zip_fclose(file);
        }
        entries[stat.name] = content;
    }
    zip_close(archive);
    return entries;
}

std::vector<std::string> Keys(const std::map<std::string, std::string>& map) {
    std::vector<std::string> keys;
    for (const auto& [key, value] : map) keys.push_back(key);
    return keys;
}

// lldb's backtrace of a dump, or nullopt when lldb is not installed.
std::optional<std::string> DebuggerBacktrace(const std::string& dumpPath) {
    if (std::system("command -v lldb-14 > /dev/null 2>&1") != 0) return std::nullopt;
    const std::string command = "timeout 120 lldb-14 --batch -c '" + dumpPath + "' -o 'bt 8' < /dev/null 2>&1";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (const std::size_t count = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, count);
        pclose(pipe);
    }
    return output;
}

class CrashDiagnosticsTest : public testing::Test {
protected:
    std::string LogDir() const { return sandbox_.appData() + "/QKDownloader/logs/" + kRunName; }

    std::vector<std::string> LogDirFiles(const std::string& extension) const {
        std::vector<std::string> files;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(LogDir(), error))
            if (entry.path().extension() == extension) files.push_back(entry.path().string());
        std::sort(files.begin(), files.end());
        return files;
    }

    // The probe's own log: the oldest log of the folder.
    std::string CrashedLog() const {
        const auto logs = LogDirFiles(".log");
        for (const auto& log : logs)
            if (log.find("_copy.log") == std::string::npos) return log;
        return "";
    }

    testsupport::DescendantRun CrashProbe(const std::string& mode, int downloaderConfig) const {
        return testsupport::RunReapingDescendants(
            {ProbePath(), mode, std::to_string(downloaderConfig), InstallerSandbox::InstallerPath()},
            sandbox_.Environment(), kDeadlineMs);
    }

    // A log of an earlier run in the run's log folder, as the diagnostics modes expect.
    std::string WriteRunLog(const std::string& name, const std::string& text) const {
        return sandbox_.root().WriteFile(
            "appdata/QKDownloader/logs/" + std::string(kRunName) + "/" + name, text);
    }

    static std::string Field(const DevServerRecord& record, const char* name) {
        return record.json["form"][name]["value"].asString();
    }
    static std::string UploadedFileName(const DevServerRecord& record) {
        return record.json["form"]["file"]["filename"].asString();
    }
    static std::map<std::string, std::string> UploadedEntries(const DevServerRecord& record) {
        return ZipEntries(record.json["form"]["file"]["savedAs"].asString());
    }

    InstallerSandbox sandbox_;
};

}  // namespace

TEST_F(CrashDiagnosticsTest, EveryKindOfCrashLeavesADumpADebuggerCanRead) {
    struct Case {
        const char* mode;
        int exitCode;
        const char* stopReason;
        const char* crashingFrame;
    };
    for (const Case& crash : {Case{"null", 128 + 11, "signal SIGSEGV", "CrashProbeNullWrite"},
                              Case{"abort", 128 + 6, "signal SIGABRT", "CrashProbeAbort"},
                              Case{"overflow", 128 + 11, "signal SIGSEGV", "CrashProbeRecurse"}}) {
        SCOPED_TRACE(crash.mode);
        fs::remove_all(LogDir());
        const auto run = CrashProbe(crash.mode, 0);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, crash.exitCode);
        EXPECT_TRUE(run.descendantExitCodes.empty()) << "Downloader_config 0 starts nothing";

        const std::string log = CrashedLog();
        ASSERT_FALSE(log.empty());
        const std::string dumpPath = log + ".dmp";
        ASSERT_TRUE(testsupport::MinidumpReader::Load(dumpPath));
        const std::string text = ReadFile(log);
        EXPECT_NE(text.find(" Write dmp file: 1, 0"), std::string::npos) << text;

        const auto backtrace = DebuggerBacktrace(dumpPath);
        if (!backtrace) {
            std::cout << "lldb-14 is not installed: the debugger's reading is not checked\n";
            continue;
        }
        EXPECT_NE(backtrace->find(crash.stopReason), std::string::npos) << *backtrace;
        EXPECT_NE(backtrace->find(crash.crashingFrame), std::string::npos) << *backtrace;
        EXPECT_NE(backtrace->find("zembra_crash_probe`"), std::string::npos) << "symbols from the module list";
    }
}

TEST_F(CrashDiagnosticsTest, ConfigTwoRelaunchesTheInstallerWhichUploadsTheLogAndTheDump) {
    DevServer server;
    ASSERT_TRUE(server.Started());
    sandbox_.WriteSettings("[Hosts]\nLogUpload=" + server.BaseUrl() + "\n");

    const auto run = CrashProbe("null", 2);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 128 + 11);
    // The relaunched installer has finished (and uploaded) once the run is over.
    ASSERT_EQ(run.descendantExitCodes, std::vector<int>{0});

    const auto uploads = server.RecordsFor(kUploadPath);
    ASSERT_EQ(uploads.size(), 1u) << server.Output();
    const DevServerRecord& upload = uploads[0];
    EXPECT_EQ(upload.method, "POST");
    EXPECT_EQ(upload.status, 200);
    EXPECT_EQ(upload.Header("Accept"), "*/*");
    EXPECT_EQ(upload.Header("Content-Type").rfind("multipart/form-data; boundary=", 0), 0u) << upload.Header("Content-Type");
    EXPECT_EQ(Field(upload, "product_id"), "QKDownload2900");
    EXPECT_EQ(Field(upload, "catalogue"), "CrashDmp");
    const std::string version = FuntionImpl::GetFileVersionString(InstallerSandbox::InstallerPath());
    EXPECT_FALSE(version.empty());
    EXPECT_EQ(Field(upload, "version"), version);
    EXPECT_TRUE(std::regex_match(UploadedFileName(upload), std::regex(std::string(kRunName) + R"(_\d{17}\.zip)")))
        << UploadedFileName(upload);

    const std::string log = CrashedLog();
    const std::string logName = fs::path(log).filename();
    const auto entries = UploadedEntries(upload);
    ASSERT_EQ(Keys(entries), (std::vector<std::string>{logName, logName + ".dmp"}));
    EXPECT_EQ(entries.at(logName), ReadFile(log));
    EXPECT_EQ(entries.at(logName + ".dmp"), ReadFile(log + ".dmp"));
    EXPECT_EQ(entries.at(logName + ".dmp").substr(0, 4), "MDMP");

    EXPECT_TRUE(LogDirFiles(".zip").empty()) << "the archive goes once the service took it";
    EXPECT_FALSE(fs::exists(log + "_copy.log")) << "and so does the copy";
}

TEST_F(CrashDiagnosticsTest, CloseDiagnosticsUploadsTheLogWithoutDumpsOverHttps) {
    DevServer server;
    ASSERT_TRUE(server.Started());
    sandbox_.WriteSettings("[Hosts]\nLogUpload=" + server.HttpsBaseUrl() + "\nTlsCaFile=" +
                           testsupport::TestTlsRoot() + "\n");
    const std::string logName = std::string(kRunName) + "_20260101000000000.log";
    WriteRunLog(logName, "closed early\n");
    WriteRunLog(logName + ".dmp", "MDMP-from-before");

    const auto run = sandbox_.Run({"-close01", logName});
    EXPECT_EQ(run.exitCode, 0);
    const auto uploads = server.RecordsFor(kUploadPath);
    ASSERT_EQ(uploads.size(), 1u) << server.Output();
    EXPECT_EQ(uploads[0].scheme, "https");
    EXPECT_EQ(Field(uploads[0], "catalogue"), "close01");
    const auto entries = UploadedEntries(uploads[0]);
    ASSERT_EQ(Keys(entries), std::vector<std::string>{logName});
    EXPECT_EQ(entries.at(logName), "closed early\n");
}

TEST_F(CrashDiagnosticsTest, ALogNameWithoutUnderscoreUploadsAsNoName) {
    DevServer server;
    ASSERT_TRUE(server.Started());
    sandbox_.WriteSettings("[Hosts]\nLogUpload=" + server.BaseUrl() + "\n");
    WriteRunLog("plainlog.log", "x\n");

    EXPECT_EQ(sandbox_.Run({"-close03", "plainlog.log"}).exitCode, 0);
    const auto uploads = server.RecordsFor(kUploadPath);
    ASSERT_EQ(uploads.size(), 1u) << server.Output();
    EXPECT_TRUE(std::regex_match(UploadedFileName(uploads[0]), std::regex(R"(NoName_\d{17}\.zip)")))
        << UploadedFileName(uploads[0]);
    EXPECT_EQ(Field(uploads[0], "catalogue"), "close03");
    EXPECT_EQ(Keys(UploadedEntries(uploads[0])), std::vector<std::string>{"plainlog.log"});
}

TEST_F(CrashDiagnosticsTest, AnUnreachableServiceLeavesTheArchiveAndTheCopy) {
    sandbox_.WriteSettings("[Hosts]\nLogUpload=http://127.0.0.1:" + std::to_string(testsupport::ClosedLoopbackPort()) + "\n");
    const std::string logName = std::string(kRunName) + "_20260101000000000.log";
    WriteRunLog(logName, "crashed\n");
    WriteRunLog(logName + ".dmp", "MDMP-crash");

    EXPECT_EQ(sandbox_.Run({"-dmp", logName}).exitCode, 0);
    const auto archives = LogDirFiles(".zip");
    ASSERT_EQ(archives.size(), 1u);
    EXPECT_TRUE(std::regex_match(fs::path(archives[0]).filename().string(), std::regex(R"(\d{17}\.zip)")));
    EXPECT_EQ(Keys(ZipEntries(archives[0])), (std::vector<std::string>{logName, logName + ".dmp"}));
    EXPECT_EQ(ReadFile(LogDir() + "/" + logName + "_copy.log"), "crashed\n");
}
