#include <gtest/gtest.h>

#include <memory>

#include "ReportTestKit.h"
#include "reportsdk/CManagement.h"
#include "reportsdk/CNetworkCommunicate.h"
#include "reportsdk/HistoryFile.h"
#include "support/TempDir.h"

using reporttest::Eventually;
using reporttest::RecordingPoster;
using testsupport::ReadFile;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

const std::string kGa4Url =
    "http://ga.test/g/collect?v=2&cid=5E2A&tid=G-1&ep.qk_category=Download&ep.qk_action=1.Launch&ep.qk_label=&en=1.Launch";
const std::string kCollectorPayload = "{\n\t\"common\" : {\"cross_end_id\" : \"\", \"source_type\" : \"downloader\"}\n}\n";

struct NetworkFixture : ::testing::Test {
    TempDir appData;
    TempDir programDir;
    ScopedEnv appDataEnv{"APPDATA", appData.str()};
    ScopedEnv settingsEnv{"ZEMBRA_SETTINGS_FILE",
                          programDir.WriteFile("qk_downloader.cfg", "[Hosts]\nCollector=http://collector.test\n")};
    reporttest::ManualClock clock;
    CManagement management{reporttest::FixedFacts(clock), programDir.str() + "/ZembraMorvantaSetup"};
    RecordingPoster poster;

    NetworkFixture() { management.Init(2, 8656, 8656, "", "", "Zembra Morvanta", "1.0.0.0", ""); }

    std::unique_ptr<CNetworkCommunicate> Network(CManagement& owner) {
        CNetworkCommunicate::Timings timings;
        timings.retryPause = std::chrono::milliseconds(5);
        timings.idlePoll = std::chrono::milliseconds(5);
        return std::make_unique<CNetworkCommunicate>(
            owner, timings, [this](const std::string& url, const std::string& body) { return poster(url, body); });
    }
    std::unique_ptr<CNetworkCommunicate> Network() { return Network(management); }

    HistoryFile::Snapshot History() { return HistoryFile(management.HistoryPath()).Read(); }
    std::string Log() { return ReadFile(management.LogPath()); }

    std::size_t RequestsTo(const std::string& url, const std::string& body) {
        std::size_t count = 0;
        for (const auto& request : poster.Requests()) count += request.url == url && request.body == body;
        return count;
    }
};

std::string Key(const char* kind, int n, const char* action = "1.Launch") {
    return std::string(kind) + "::17000000" + std::to_string(10000 + n) + "::Download::" + action;
}

}  // namespace

TEST_F(NetworkFixture, Ga4NeedsNoContentAndCollectorNeedsOk) {
    poster.AnswerWith([](const reporttest::Request&) { return 200L; });
    auto network = Network();
    EXPECT_EQ(network->Submit(Key("2", 1), kCollectorPayload, false, true, true), 0);
    EXPECT_EQ(RequestsTo("http://collector.test/collect", kCollectorPayload), 1u);
    EXPECT_TRUE(History().entries.empty());

    // 200 to a GA4 hit is a failure: three attempts, then back to the queue.
    network->Submit(Key("1", 2), kGa4Url, false, true, true);
    EXPECT_GE(RequestsTo(kGa4Url, ""), 3u);
    ASSERT_EQ(History().entries.size(), 1u);
    EXPECT_EQ(History().entries[0].content, kGa4Url);

    poster.AnswerWith([](const reporttest::Request&) { return 204L; });
    const std::string other = kCollectorPayload + " ";
    network->Submit(Key("2", 3, "x"), other, false, true, false);
    // The GA4 hit now goes through; the collector payload answered 204 never does.
    EXPECT_TRUE(Eventually([&] { return History().entries.size() == 1 && RequestsTo(kGa4Url, "") >= 4; }));
    EXPECT_TRUE(poster.WaitForRequests(poster.Requests().size() + 3));
    ASSERT_EQ(History().entries.size(), 1u);
    EXPECT_EQ(History().entries[0].key, Key("2", 3, "x"));
}

TEST_F(NetworkFixture, EventsStayInTheHistoryUntilDeliveredExactlyOnce) {
    poster.AnswerWith([](const reporttest::Request&) { return 0L; });
    auto network = Network();
    for (int n = 0; n < 3; ++n)
        EXPECT_EQ(network->Submit(Key("1", n, std::to_string(n).c_str()), kGa4Url + std::to_string(n), false, true,
                                  false),
                  0);
    ASSERT_TRUE(poster.WaitForRequests(9));
    EXPECT_EQ(History().entries.size(), 3u);
    EXPECT_NE(Log().find("] PostDataError: 7, Couldn't connect to server, 0\n"), std::string::npos);

    poster.AnswerWith(nullptr);
    ASSERT_TRUE(Eventually([&] { return network->Idle(); }));
    EXPECT_TRUE(History().entries.empty());
    for (int n = 0; n < 3; ++n) EXPECT_EQ(poster.AcceptedCount(kGa4Url + std::to_string(n)), 1u) << n;
}

TEST_F(NetworkFixture, HistoryOfAnEarlierRunIsRequeuedAndRemovedOnDelivery) {
    {
        HistoryFile earlier(management.HistoryPath());
        earlier.Update(Key("1", 1), kGa4Url, HistoryFile::kPending);
        earlier.Update(Key("2", 2), kCollectorPayload, HistoryFile::kPending);
    }
    auto network = Network();
    EXPECT_EQ(network->RequeueHistory(), 2);
    ASSERT_TRUE(Eventually([&] { return network->Idle(); }));
    EXPECT_TRUE(History().entries.empty());
    EXPECT_EQ(RequestsTo(kGa4Url, ""), 1u);
    EXPECT_EQ(RequestsTo("http://collector.test/collect", kCollectorPayload), 1u);
    EXPECT_NE(Log().find("] Read history: 2/2\n"), std::string::npos);
}

TEST_F(NetworkFixture, TwelfthEqualEventIsDroppedAndNotStored) {
    poster.AnswerWith([](const reporttest::Request&) { return 0L; });
    auto network = Network();
    for (int n = 0; n < 11; ++n)
        EXPECT_EQ(network->Submit(Key("1", n), kGa4Url + std::to_string(n), false, true, false), 0);
    EXPECT_EQ(network->Submit(Key("1", 11), kGa4Url + "11", false, true, false), -1);
    EXPECT_EQ(History().entries.size(), 11u);
    EXPECT_NE(Log().find("] Detect repeat 11, more than 10 within 60 seconds\n"), std::string::npos);
    // An equal event more than a minute after all the others goes through.
    EXPECT_EQ(network->Submit("1::1700000071011::Download::1.Launch", kGa4Url + "late", false, true, false), 0);
}

TEST_F(NetworkFixture, PayloadOfUnknownKindIsNeverSentAndStaysStored) {
    auto network = Network();
    network->Submit(Key("2", 1), "neither kind", false, true, true);
    EXPECT_TRUE(poster.Requests().empty());
    ASSERT_EQ(History().entries.size(), 1u);
    EXPECT_FALSE(network->Idle());
}

TEST_F(NetworkFixture, SecondProcessOfTheProductLeavesTheHistoryToTheFirst) {
    poster.AnswerWith([](const reporttest::Request&) { return 0L; });
    HistoryFile(management.HistoryPath()).Update(Key("1", 1), kGa4Url, HistoryFile::kPending);
    auto first = Network();
    EXPECT_EQ(first->RequeueHistory(), 1);

    CManagement otherManagement{reporttest::FixedFacts(clock), programDir.str() + "/ZembraMorvantaSetup"};
    otherManagement.Init(2, 8656, 8656, "", "", "Zembra Morvanta", "1.0.0.0", "");
    auto second = Network(otherManagement);
    EXPECT_EQ(second->RequeueHistory(), 0);
    EXPECT_EQ(second->QueuedCount(), 0u);
    EXPECT_NE(Log().find("] Read history: left to another running process of this product\n"), std::string::npos);

    // A resend process gets the history only once both have ended.
    CManagement resendManagement{reporttest::FixedFacts(clock), programDir.str() + "/ZembraMorvantaSetup"};
    resendManagement.Init(2, 8656, 8656, "", "", "Zembra Morvanta", "1.0.0.0", "");
    auto resend = Network(resendManagement);
    EXPECT_FALSE(resend->RequeueHistoryForResend(std::chrono::milliseconds(50), std::chrono::milliseconds(10)));
    first.reset();
    second.reset();
    EXPECT_TRUE(resend->RequeueHistoryForResend(std::chrono::milliseconds(50), std::chrono::milliseconds(10)));
    EXPECT_FALSE(resend->Idle());
}
