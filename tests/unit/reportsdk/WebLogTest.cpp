#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "ReportTestKit.h"
#include "reportsdk/CManagement.h"
#include "reportsdk/CNetworkCommunicate.h"
#include "reportsdk/HistoryFile.h"
#include "reportsdk/JsonText.h"
#include "reportsdk/WebLog.h"
#include "support/TempDir.h"

using reporttest::Eventually;
using reporttest::RecordingPoster;
using testsupport::ReadFile;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

const char* kStep =
    R"({"is_new":0,"actions":{"event_category":"Download","event_action":"CoreFuncStart","event_label":"null",)"
    R"("event_type":"CoreFuncEvent"},"pid":8656})";
const char* kTail =
    "&tid=G-ZM7Q2K9R4X&ep.qk_productname=Downloader&ep.qk_productversion=2.9.0.0&ep.qk_category=Other"
    "&ep.qk_action=PackageSize&ep.qk_label=12.50 MB&en=PackageSize&ep.cd1=2.9.0.0";

struct WebLogFixture : ::testing::Test {
    TempDir appData;
    TempDir programDir;
    ScopedEnv appDataEnv{"APPDATA", appData.str()};
    ScopedEnv settingsEnv{"ZEMBRA_SETTINGS_FILE",
                          programDir.WriteFile("qk_downloader.cfg",
                                               "[Hosts]\nCollector=http://collector.test\nGA4=http://ga.test\n")};
    reporttest::ManualClock clock;
    CManagement management{reporttest::FixedFacts(clock), programDir.str() + "/ZembraMorvantaSetup"};
    RecordingPoster poster;
    std::unique_ptr<CNetworkCommunicate> network;

    CNetworkCommunicate& Network() {
        if (!network) {
            CNetworkCommunicate::Timings timings;
            timings.retryPause = std::chrono::milliseconds(5);
            timings.idlePoll = std::chrono::milliseconds(5);
            network = std::make_unique<CNetworkCommunicate>(
                management, timings,
                [this](const std::string& url, const std::string& body) { return poster(url, body); });
        }
        return *network;
    }

    WebLog Library(bool resend = false, ResendProcess::Limits limits = {}) {
        return WebLog(management, [this]() -> CNetworkCommunicate& { return Network(); }, resend, limits);
    }

    void DownCollector() {
        poster.AnswerWith([](const reporttest::Request&) { return 0L; });
    }
    std::vector<HistoryFile::Entry> History() { return HistoryFile(management.HistoryPath()).Read().entries; }
};

}  // namespace

TEST_F(WebLogFixture, FunnelEventsAreRefusedUntilInit) {
    WebLog library = Library();
    EXPECT_EQ(library.SendFunnel(kStep, false), 157);
    EXPECT_EQ(library.Init(2, 8656, 8656, "", "", "Zembra Morvanta", "1.0.0.0", ""), 0);
    EXPECT_EQ(library.SendFunnel(kStep, false), 0);
    EXPECT_EQ(library.SendFunnel(R"({"is_new":1})", false), 163);
    EXPECT_EQ(library.SendFunnel("not json", false), 163);
    EXPECT_EQ(library.SendFunnel(nullptr, false), 163);
}

TEST_F(WebLogFixture, SmallMainPidRefusesFunnelEventsButNotGa4Hits) {
    DownCollector();
    WebLog library = Library();
    library.Init(2, 1000, 1000, "", "", "Zembra Morvanta", "1.0.0.0", "");
    EXPECT_EQ(library.SendFunnel(kStep, false), 159);
    EXPECT_EQ(library.SendGA4(kTail, false), 0);
    ASSERT_EQ(History().size(), 1u);
    EXPECT_EQ(History()[0].content.find("http://ga.test/g/collect?v=2&cid="), 0u);
}

TEST_F(WebLogFixture, FunnelEventIsStoredAsTheStyledPayloadUnderItsKey) {
    DownCollector();
    WebLog library = Library();
    library.Init(2, 8656, 8656, "", "", "Zembra Morvanta", "1.0.0.0", "");
    library.SetDownloaderInfo(499, 0, "en", "2.9.0.0");
    ASSERT_EQ(library.SendFunnel(kStep, false), 0);

    const auto entries = History();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].key, "2::1700000000000::Download::CoreFuncStart");
    Json::Value payload;
    ASSERT_TRUE(JsonText::Parse(entries[0].content, payload));
    EXPECT_EQ(entries[0].content, JsonText::StyledStream(payload));
    EXPECT_EQ(payload["ts"].asInt64(), 1700000000000);
    EXPECT_EQ(payload["common"]["downloader_id"], 499);
    EXPECT_EQ(payload["common"]["tools_version"], "2.9.0.0");
    EXPECT_EQ(payload["actions"]["event_action"], "CoreFuncStart");
    ASSERT_TRUE(poster.WaitForRequests(1));
    EXPECT_EQ(poster.Requests()[0].url, "http://collector.test/collect");
    EXPECT_EQ(poster.Requests()[0].body, entries[0].content);
}

TEST_F(WebLogFixture, Ga4HitIsTheEncodedTailBehindPathAndClientId) {
    WebLog library = Library();
    library.Init(2, 8656, 8656, "", "", "Zembra Morvanta", "1.0.0.0", "");
    clock.now = 1700000000999;
    ASSERT_EQ(library.SendGA4(kTail, true), 0);
    const auto requests = poster.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].url,
              "http://ga.test/g/collect?v=2&cid=5E2A91C4525400ABCDEF&tid=G-ZM7Q2K9R4X&ep.qk_productname=Downloader"
              "&ep.qk_productversion=2.9.0.0&ep.qk_category=Other&ep.qk_action=PackageSize&ep.qk_label=12.50%20MB"
              "&en=PackageSize&ep.cd1=2.9.0.0");
    EXPECT_EQ(requests[0].body, "");
    EXPECT_EQ(requests[0].status, 204);
    // Delivered while the caller waited: nothing is left behind.
    EXPECT_TRUE(History().empty());
}

TEST_F(WebLogFixture, RepeatKeyOfAGa4HitUsesTheEncodedCategoryAndAction) {
    DownCollector();
    WebLog library = Library();
    library.Init(2, 8656, 8656, "", "", "Zembra Morvanta", "1.0.0.0", "");
    library.SendGA4("&tid=G&ep.qk_category=Other&ep.qk_action=Set Path&ep.qk_label=&en=x", false);
    ASSERT_EQ(History().size(), 1u);
    EXPECT_EQ(History()[0].key, "1::1700000000000::Other::Set%20Path");
}

TEST_F(WebLogFixture, ResendGivesUpAfterItsLimitAndLeavesTheHistory) {
    DownCollector();
    {
        WebLog first = Library();
        first.Init(2, 8656, 8656, "", "", "Zembra Morvanta", "1.0.0.0", "");
        first.SendGA4(kTail, false);
        network.reset();
    }
    ResendProcess::Limits limits;
    limits.claimWait = std::chrono::milliseconds(100);
    limits.claimPoll = std::chrono::milliseconds(10);
    limits.deliveryWait = std::chrono::milliseconds(200);
    limits.poll = std::chrono::milliseconds(20);
    WebLog resend = Library(true, limits);
    management.Init(2, 8656, 8656, "", "", "Zembra Morvanta", "1.0.0.0", "");
    EXPECT_FALSE(resend.DeliverLeftovers());
    network.reset();
    EXPECT_EQ(History().size(), 1u);
    const std::string log = ReadFile(management.LogPath());
    const auto begin = log.find("] Send rest logs, wait begin\n");
    const auto gaveUp = log.find("] Send rest logs, gave up with ");
    const auto end = log.find("] Send rest logs, wait end\n");
    ASSERT_NE(begin, std::string::npos);
    ASSERT_NE(gaveUp, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LT(begin, gaveUp);
    EXPECT_LT(gaveUp, end);

    poster.AnswerWith(nullptr);
    WebLog again = Library(true, limits);
    EXPECT_TRUE(again.DeliverLeftovers());
    EXPECT_TRUE(History().empty());
    EXPECT_EQ(poster.AcceptedCount(poster.Requests().back().url), 1u);
}

TEST(ResendProcessTest, LaunchStartsTheProgramWithTheSingleSwitch) {
    TempDir dir;
    const std::string marker = dir.str() + "/arguments";
    const std::string script = dir.WriteFile("program", "#!/bin/sh\necho \"$#:$1\" > \"" + marker + ".tmp\"\nmv \"" +
                                                            marker + ".tmp\" \"" + marker + "\"\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    EXPECT_FALSE(ResendProcess::Launch(dir.str() + "/missing"));
    ASSERT_TRUE(ResendProcess::Launch(script));
    ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(marker); }));
    EXPECT_EQ(ReadFile(marker), "1:-sendrestlogs\n");
    EXPECT_TRUE(ResendProcess::IsResendCommandLine("x -sendrestlogs"));
    EXPECT_FALSE(ResendProcess::IsResendCommandLine("debug"));
}
