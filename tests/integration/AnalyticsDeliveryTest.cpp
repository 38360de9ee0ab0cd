#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "SingleUserLog.h"
#include "platform/Process.h"
#include "reportsdk/CManagement.h"
#include "reportsdk/CNetworkCommunicate.h"
#include "reportsdk/JsonText.h"
#include "reportsdk/WebLog.h"
#include "support/DevServer.h"
#include "support/InstallerSandbox.h"

using testsupport::DevServer;
using testsupport::DevServerRecord;
using testsupport::InstallerSandbox;
using testsupport::ReadFile;

namespace {

constexpr int kMainPid = 8656;  // MainPid of the embedded product configuration

// Runs in a child process: reports a run's worth of events through the real
// logger and report library, says how many were accepted, then waits to be
// killed. Never returns.
[[noreturn]] void ReportEventsThenWait(const InstallerSandbox& sandbox, const std::string& marker) {
    for (const std::string& entry : sandbox.Environment()) {
        const auto equals = entry.find('=');
        setenv(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str(), 1);
    }
    // The program the history belongs to is the installer: its folder holds
    // no test.wk and no proxy.txt.
    // A container may have no readable volume id, and funnel events need one.
    ReportFacts facts = SystemReportFacts();
    if (facts.volumeId().empty()) facts.volumeId = [] { return std::string("7d3c0a9e-51b2-4c43-9a55-2f0b6f4e1d20"); };
    CManagement management(facts, InstallerSandbox::InstallerPath());
    CNetworkCommunicate network(management);
    WebLog library(management, [&]() -> CNetworkCommunicate& { return network; }, false);
    UserLogEnvironment environment = SystemUserLogEnvironment();
    environment.obtainReportObj = nullptr;
    environment.withReportObj = [&](const std::function<int(IWebLog*)>& call) { return call(&library); };
    CSingleUserLog logger(environment);
    logger.InitLogPaths("zembramorvanta_zembram");
    logger.InitUserLog(499, 412, "1.0.0.0", "Zembra Morvanta",
                       "https://download.quenrick.com/downloads/extra/zembramorvanta_zembram.exe", false, kMainPid);

    int failures = 0;
    failures += logger.AddUserLogEvent("Download", "1.Launch", "", false) != 0;
    failures += logger.AddUserLog_funnel("CoreFuncEvent", "BeforeDownload", 0, "Download", "CoreFuncStart", "null",
                                         false, false) != 0;
    failures += logger.AddUserLog_funnelParam(false, false, "StartDownloader", "PrivacyAgreementPopup",
                                              "PrivacyAgreementPopupType", "Agree and install") != 0;
    failures += logger.AddUserLogEvent("Other", "FlowError", "DL008", false) != 0;
    failures += logger.AddUserLogEvent("Other", "DownloadSpeed", "1.50MB/s", false) != 0;
    std::ofstream(marker + ".tmp") << failures;
    std::rename((marker + ".tmp").c_str(), marker.c_str());
    for (;;) pause();
}

Json::Value HistoryOf(const InstallerSandbox& sandbox) {
    Json::Value history;
    JsonText::Parse(ReadFile(sandbox.appData() + "/QKDataReportSDK/" + std::to_string(kMainPid) + "/backup/tempga.wk"),
                    history);
    return history;
}

bool Eventually(const std::function<bool()>& done, int seconds = 60) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
}

// The request URL of a recorded GA4 hit, as the library built it.
std::string RecordedUrl(const DevServer& server, const DevServerRecord& record) {
    return server.BaseUrl() + record.path + (record.query.empty() ? "" : "?" + record.query);
}

}  // namespace

TEST(AnalyticsDeliveryTest, EventsOfAKilledRunReachTheCollectorThroughTheResendProcess) {
    DevServer::Options options;
    options.https = false;
    DevServer server(options);
    ASSERT_TRUE(server.Started());
    InstallerSandbox sandbox;
    sandbox.WriteSettings(server.HostsSection(false));
    // The collector and the GA4 endpoint are down for the whole first run.
    const int collectorDown = server.SetRule(R"({"path": "/collect", "status": 503})");
    const int ga4Down = server.SetRule(R"({"path": "/g/collect", "status": 503})");

    const std::string marker = sandbox.root().str() + "/reported";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) ReportEventsThenWait(sandbox, marker);
    const bool reported = Eventually([&] { return std::filesystem::exists(marker); });
    if (reported) server.WaitForRecords("/collect", 1);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    ASSERT_TRUE(reported);
    EXPECT_EQ(ReadFile(marker), "0") << "every event was accepted";

    // Killed while delivering: everything is still in the history file.
    const Json::Value before = HistoryOf(sandbox);
    ASSERT_TRUE(before.isObject());
    const Json::Value items = before["send_item"];
    // 2 GA4 hits + 1 step + 1 parameter event + FlowError: parameter event, start, step, GA4 hit.
    ASSERT_EQ(items.size(), 8u);
    EXPECT_EQ(before["send_count"], 8);
    for (const auto& record : server.Records()) EXPECT_EQ(record.status, 503) << record.path;

    server.RemoveRule(collectorDown);
    server.RemoveRule(ga4Down);
    server.ClearRecords();
    const auto run = sandbox.Run({"-sendrestlogs"}, 180000);
    ASSERT_TRUE(run.exited) << run.standardOutput;
    EXPECT_EQ(run.exitCode, 0);

    // Every pending event arrived once, byte for byte as stored.
    std::map<std::string, int> collected;
    for (const auto& record : server.RecordsFor("/collect")) {
        EXPECT_EQ(record.status, 200);
        EXPECT_EQ(record.Header("Content-Type"), "application/json; charset=utf-8");
        EXPECT_EQ(record.Header("User-Agent"), "PostmanRuntime/7.29.2");
        ++collected[record.body];
    }
    for (const auto& record : server.RecordsFor("/g/collect")) {
        EXPECT_EQ(record.status, 204);
        EXPECT_EQ(record.method, "POST");
        ++collected[RecordedUrl(server, record)];
    }
    for (const auto& item : items) {
        const std::string content = item["task_content"].asString();
        EXPECT_EQ(collected[content], 1) << item["task_guid"].asString();
        if (content.find("\"source_type\"") != std::string::npos) {
            Json::Value payload;
            ASSERT_TRUE(JsonText::Parse(content, payload));
            EXPECT_EQ(JsonText::StyledStream(payload), content);
            EXPECT_EQ(payload["common"]["pid"], kMainPid);
        }
    }
    EXPECT_EQ(collected.size(), items.size());

    const Json::Value after = HistoryOf(sandbox);
    EXPECT_EQ(after["send_count"], 0);
    EXPECT_EQ(after["send_item"].size(), 0u);

    std::string sdkLog;
    for (const auto& entry :
         std::filesystem::directory_iterator(sandbox.appData() + "/QKDataReportSDK/" + std::to_string(kMainPid) + "/logs"))
        sdkLog += ReadFile(entry.path().string());
    EXPECT_NE(sdkLog.find("] Read history: 8/8\n"), std::string::npos) << sdkLog;
    EXPECT_NE(sdkLog.find("] Send rest logs, wait begin\n"), std::string::npos);
    EXPECT_NE(sdkLog.find("] Send rest logs, wait end\n"), std::string::npos);
}
