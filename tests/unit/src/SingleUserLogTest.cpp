#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include <easylogging++.h>

#include "Common/EmbeddedLabels.h"
#include "SingleUserLog.h"
#include "TrafficChannel.h"
#include "reportsdk/IWebLog.h"
#include "reportsdk/JsonText.h"
#include "support/TempDir.h"

using testsupport::ReadFile;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

// The report library as the logger sees it: every call recorded in order.
class RecordingWebLog : public IWebLog {
public:
    struct Call {
        std::string kind;  // "funnel", "ga4", "init", "info", "extra"
        std::string text;
        bool wait = false;
        Json::Value json;  // the parsed funnel event
    };

    int Init(int type, int mainPid, int pid, const char* email, const char* phone, const char* product,
             const char* productVersion, const char* userId) override {
        Record({"init", std::to_string(type) + "|" + std::to_string(mainPid) + "|" + std::to_string(pid) + "|" +
                            email + "|" + phone + "|" + product + "|" + productVersion + "|" + userId});
        return 0;
    }
    int SetDownloaderInfo(int downloaderId, int kitType, const char* toolsLang, const char* toolsVersion) override {
        Record({"info", std::to_string(downloaderId) + "|" + std::to_string(kitType) + "|" + toolsLang + "|" +
                            toolsVersion});
        return 0;
    }
    int SetExtraCommon(const char* extraJson, const char* userId, const char* toolsLang, const char* productVersion,
                       int pid) override {
        Record({"extra", std::string(extraJson) + "|" + userId + "|" + toolsLang + "|" + productVersion + "|" +
                             std::to_string(pid)});
        return 0;
    }
    int SendFunnel(const char* eventJson, bool bWait) override {
        Call call{"funnel", eventJson, bWait, {}};
        JsonText::Parse(eventJson, call.json);
        Record(call);
        return funnelResult;
    }
    int SendGA4(const char* tail, bool bWait) override {
        Record({"ga4", tail, bWait});
        return ga4Result;
    }

    std::vector<Call> Calls() const {
        std::lock_guard hold(lock_);
        return calls_;
    }
    std::vector<Call> Calls(const std::string& kind) const {
        std::vector<Call> selected;
        for (const auto& call : Calls())
            if (call.kind == kind) selected.push_back(call);
        return selected;
    }

    std::atomic<int> funnelResult{0};
    std::atomic<int> ga4Result{0};

private:
    void Record(Call call) {
        std::lock_guard hold(lock_);
        calls_.push_back(std::move(call));
    }
    mutable std::mutex lock_;
    std::vector<Call> calls_;
};

struct LoggerFixture : ::testing::Test {
    TempDir appData;
    TempDir workRoot;
    TempDir settings;
    ScopedEnv appDataEnv{"APPDATA", appData.str()};
    ScopedEnv workRootEnv{"ZEMBRA_WORK_ROOT", workRoot.str()};
    ScopedEnv settingsEnv{"ZEMBRA_SETTINGS_FILE", settings.str() + "/qk_downloader.cfg"};
    RecordingWebLog library;
    bool withLibrary = true;
    std::tm today = [] {
        std::tm day{};
        day.tm_year = 2026 - 1900;
        day.tm_mon = 11;
        day.tm_mday = 9;
        return day;
    }();
    std::string ownFileName = "ZembraMorvantaSetup_123456789012345678.bin";
    std::string uiLanguageName = "French_Switzerland";

    UserLogEnvironment Environment() {
        UserLogEnvironment environment;
        environment.toolsVersion = [] { return std::string("2.9.0.0"); };
        environment.ownFileName = [this] { return ownFileName; };
        environment.osText = [] { return std::string("Debian GNU/Linux 12 64bit"); };
        environment.uiLanguageName = [this] { return uiLanguageName; };
        environment.measurementId = [] { return std::string("G-ZM7Q2K9R4X"); };
        environment.trafficClass = [](int siteId) { return siteId == 54 ? std::string("CN") : std::string("SEO"); };
        environment.channelName = [](int siteId, const std::string& url) {
            return std::to_string(siteId) + (url.find("_bing") != std::string::npos ? "-Bing" : "");
        };
        environment.localNow = [this] { return today; };
        environment.withReportObj = [this](const std::function<int(IWebLog*)>& call) {
            return call(withLibrary ? &library : nullptr);
        };
        return environment;
    }

    std::unique_ptr<CSingleUserLog> Logger(bool initialise = true) {
        auto logger = std::make_unique<CSingleUserLog>(Environment());
        logger->InitLogPaths("zembramorvanta_zembram");
        if (initialise)
            logger->InitUserLog(499, 412, "1.0.0.0", "Zembra Morvanta",
                                "https://d.example/zembramorvanta_bing.exe", false, 8656);
        return logger;
    }

    void SetAutoRun(int value) {
        settings.WriteFile("qk_downloader.cfg", "[Settings]\nAutoRun=" + std::to_string(value) + "\n");
    }
};

std::string Field(const RecordingWebLog::Call& call, const char* name) {
    return JsonText::TextOf(call.json["actions"][name]);
}

}  // namespace

TEST_F(LoggerFixture, FirstFlowErrorSendsParameterEventStartStepNumberedStepThenGa4) {
    auto logger = Logger();
    const std::size_t before = library.Calls().size();
    EXPECT_EQ(logger->AddUserLogEvent("Other", "FlowError", "DL008", false), 0);

    auto calls = library.Calls();
    calls.erase(calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(before));
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].kind, "funnel");
    EXPECT_EQ(Field(calls[0], "event_category"), "ErrorReporting");
    EXPECT_EQ(Field(calls[0], "event_action"), "Error");
    EXPECT_EQ(Field(calls[0], "MainErrorType"), "DL008");
    EXPECT_EQ(Field(calls[1], "event_action"), "CoreFuncStart");
    EXPECT_EQ(calls[1].json["actions"]["func_step"], 0);
    EXPECT_EQ(Field(calls[1], "core_func_name"), "FlowError");
    EXPECT_EQ(Field(calls[1], "event_type"), "CoreFuncEvent");
    EXPECT_EQ(Field(calls[1], "event_label"), "null");
    EXPECT_EQ(Field(calls[2], "event_action"), "DL008");
    EXPECT_EQ(calls[2].json["actions"]["func_step"], 1);
    EXPECT_EQ(calls[3].kind, "ga4");
    EXPECT_NE(calls[3].text.find("&ep.qk_category=Other&ep.qk_action=FlowError&ep.qk_label=DL008&en=FlowError"),
              std::string::npos);

    logger->AddUserLogEvent("Other", "FlowError", "DL011", false);
    calls = library.Calls();
    ASSERT_EQ(calls.size(), before + 7);
    EXPECT_EQ(Field(calls[before + 4], "event_category"), "ErrorReporting");
    EXPECT_EQ(Field(calls[before + 5], "event_action"), "DL011");
    EXPECT_EQ(calls[before + 5].json["actions"]["func_step"], 2);
    EXPECT_EQ(calls[before + 6].kind, "ga4");
}

TEST_F(LoggerFixture, FlowErrorsFromManyThreadsGetDistinctStepsAfterOneStart) {
    auto logger = Logger();
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&logger, t] {
            for (int i = 0; i < 10; ++i) logger->AddUserLog(0, "FlowError", false, 0, "", "DL0" + std::to_string(t), "Other");
        });
    for (auto& thread : threads) thread.join();

    std::vector<int> steps;
    int starts = 0;
    for (const auto& call : library.Calls("funnel")) {
        if (Field(call, "core_func_name") != "FlowError") continue;
        if (Field(call, "event_action") == "CoreFuncStart") {
            EXPECT_TRUE(steps.empty()) << "the start step comes first";
            ++starts;
        } else {
            steps.push_back(call.json["actions"]["func_step"].asInt());
        }
    }
    EXPECT_EQ(starts, 1);
    ASSERT_EQ(steps.size(), 80u);
    for (int i = 0; i < 80; ++i) EXPECT_EQ(steps[static_cast<std::size_t>(i)], i + 1);
}

TEST_F(LoggerFixture, CloseEndsTheFlowErrorFunnelOnlyWhenItWasStarted) {
    auto logger = Logger();
    std::size_t before = library.Calls().size();
    logger->AddUserLogEvent("CrashRate", "Close", "close03", false);
    ASSERT_EQ(library.Calls().size(), before + 1);
    EXPECT_EQ(library.Calls().back().kind, "ga4");

    logger->AddUserLogEvent("Other", "FlowError", "DL002", false);
    before = library.Calls().size();
    logger->AddUserLogEvent("CrashRate", "Close", "close03", false);
    const auto calls = library.Calls();
    ASSERT_EQ(calls.size(), before + 2);
    EXPECT_EQ(Field(calls[before], "event_action"), "CoreFuncEnd");
    EXPECT_EQ(calls[before].json["actions"]["func_step"], 0);
    EXPECT_EQ(calls[before + 1].kind, "ga4");
}

TEST_F(LoggerFixture, Ga4TailCarriesEveryDimension) {
    auto logger = Logger();
    EXPECT_EQ(logger->AddUserLogEvent("Other", "PackageSize", "12.50MB", true), 0);
    const auto hit = library.Calls("ga4").back();
    EXPECT_TRUE(hit.wait);
    EXPECT_EQ(hit.text,
              "&tid=G-ZM7Q2K9R4X&ep.qk_productname=Downloader&ep.qk_productversion=2.9.0.0&ep.qk_category=Other"
              "&ep.qk_action=PackageSize&ep.qk_label=12.50MB&en=PackageSize&ep.cd1=2.9.0.0&ep.cd2=SEO&ep.cd3=412-Bing"
              "&ep.cd4=Zembra Morvanta&ep.cd5=Switzerland&ep.cd6=French&ep.cd7=Debian GNU/Linux 12 64bit&ep.cd8=1");

    CSingleUserLog kit(Environment());
    kit.InitUserLog(277, 54, "1.0.0.0", "Kit", "https://d.example/kit.exe", true, 8656);
    uiLanguageName = "Neutral";
    CSingleUserLog noCountry(Environment());
    kit.AddUserLogEvent("PC", "SysOS", "x", false);
    EXPECT_NE(library.Calls("ga4").back().text.find("&ep.cd2=CN&ep.cd3=54&ep.cd4=Kit"), std::string::npos);
    EXPECT_NE(library.Calls("ga4").back().text.find("&ep.cd8=0"), std::string::npos);
    noCountry.AddUserLogEvent("PC", "SysOS", "x", false);
    EXPECT_NE(library.Calls("ga4").back().text.find("&ep.cd5=Unknown&ep.cd6=Unknown&"), std::string::npos);
}

TEST_F(LoggerFixture, ConfiguredBrandDataNamesTheChannelOfEveryRuleKind) {
    SetChannelTable(ChannelTableFromConfiguration(EmbeddedConfigLabels(LabelList{
        {"Channel_name_1", "Home"}, {"Channel_name_74", "Acme"}, {"Channel_name_8", "AcmeAds"},
        {"Channel_name_61", "Acme"}, {"Channel_name_66", "Acme"}, {"Channel_brand_word_66", "acme"},
        {"Channel_name_84", "Acme"}, {"Channel_brand_word_84", "acme"}})));
    struct Site {
        int id;
        const char* url;
        const char* channel;
    };
    const Site sites[] = {
        {1, "https://d.example/zm.exe", "Home"},                // no marker rule
        {74, "https://d.example/zm_Yahoo_.exe", "Acme-Yahoo"},  // search engines
        {8, "https://d.example/zm_bing_.exe", "AcmeAds-Bing"},  // Bing only
        {61, "https://d.example/zm_online.exe", "AcmeOnline"},  // online
        {66, "https://d.example/zm_acmefree.exe", "AcmeFree"},  // free edition, on the configured word
        {84, "https://d.example/zm_acmebing.exe", "AcmeNet-Bing"},  // net and Bing, on the configured word
    };
    UserLogEnvironment environment = Environment();
    environment.channelName = ChannelNameOf;
    for (const Site& site : sites) {
        CSingleUserLog logger(environment);
        logger.InitUserLog(499, site.id, "1.0.0.0", "Zembra Morvanta", site.url, false, 8656);
        logger.AddUserLogEvent("PC", "SysOS", "x", false);
        EXPECT_NE(library.Calls("ga4").back().text.find("&ep.cd3=" + std::string(site.channel) + "&"),
                  std::string::npos)
            << site.id;
    }
    UseConfiguredChannelTable();
}

TEST_F(LoggerFixture, StepAndParameterEventsCarryTheCommonFields) {
    auto logger = Logger();
    logger->SetMainWindowSource([] { return std::string("5.1.0"); }, [] { return std::string("fr"); });
    logger->AddUserLog_funnel("CoreFuncEvent", "Downloading", 2, "Download", "Downloading", "null", false, false);
    const Json::Value step = library.Calls("funnel").back().json;
    EXPECT_EQ(JsonText::Compact(step),
              R"({"actions":{"core_func_name":"Downloading","event_action":"Downloading","event_category":"Download",)"
              R"("event_label":"null","event_type":"CoreFuncEvent","func_step":2},"brand":"PC",)"
              R"("cross_end_id":"123456789012345678","email":"","is_new":1,"kit_type":0,"model":"PC","phone":"",)"
              R"("pid":8656,"product":"Zembra Morvanta","product_version":"5.1.0",)"
              R"("rnclid":"123456789012345678","source_type":"downloader","tools_lang":"fr",)"
              R"("tools_version":"2.9.0.0"})");

    logger->AddUserLog_funnel("", "", 5, "c", "a", "l", false, true);
    const Json::Value plain = library.Calls("funnel").back().json;
    EXPECT_EQ(plain["actions"]["event_type"], "event");
    EXPECT_FALSE(plain["actions"].isMember("core_func_name"));
    EXPECT_FALSE(plain["actions"].isMember("func_step"));
    EXPECT_EQ(plain["kit_type"], 2);

    logger->AddUserLog_funnelEx("Download", "Get download configuration",
                                {{"Download configurationType", "ok"}, {"Configuration URL", "cbs.test"}, {"", "x"}},
                                false, false);
    const Json::Value parameters = library.Calls("funnel").back().json["actions"];
    EXPECT_EQ(parameters.getMemberNames(),
              (std::vector<std::string>{"Configuration URL", "Download configurationType", "event_action",
                                        "event_category", "event_type"}));
    logger->AddUserLog_funnelParam(false, false, "Download", "SliceDownloadStart", "", "");
    EXPECT_EQ(library.Calls("funnel").back().json["actions"].size(), 3u);

    CSingleUserLog kit(Environment());
    kit.InitUserLog(278, 1, "1", "p", "u", true, 8656);
    kit.AddUserLog_funnel("", "", 0, "c", "a", "l", false, false);
    EXPECT_EQ(library.Calls("funnel").back().json["kit_type"], 1);
}

TEST_F(LoggerFixture, BeforeInitEventsCarryNoProductAndNoPid) {
    auto logger = Logger(false);
    ownFileName = "ZembraMorvantaSetup";
    CSingleUserLog unnamed(Environment());
    unnamed.AddUserLog_funnel("", "", 0, "c", "a", "l", false, false);
    const Json::Value event = library.Calls("funnel").back().json;
    EXPECT_EQ(event["product"], "");
    EXPECT_EQ(event["pid"], 0);
    EXPECT_EQ(event["is_new"], 0);
    EXPECT_EQ(event["cross_end_id"], "");
    EXPECT_EQ(event["rnclid"], "");
    EXPECT_EQ(event["product_version"], "");
    EXPECT_EQ(event["tools_lang"], "");
}

TEST_F(LoggerFixture, InitHandsTheStartValuesToTheLibrary) {
    auto logger = Logger();
    logger->SetLanguageInfo(Japanese, "5.1.0");
    const auto calls = library.Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].text, "2|8656|8656|||Zembra Morvanta|1.0.0.0|");
    EXPECT_EQ(calls[1].text, "499|0|en|2.9.0.0");
    EXPECT_EQ(calls[2].text, "||ja|5.1.0|0");
}

TEST_F(LoggerFixture, RefusedHitsAreTriedThreeTimesThenLogged) {
    TempDir logFolder;
    const std::string logFile = logFolder.str() + "/run.log";
    el::Configurations configuration;
    configuration.setToDefault();
    configuration.set(el::Level::Info, el::ConfigurationType::Format, "%msg");
    configuration.set(el::Level::Info, el::ConfigurationType::ToFile, "true");
    configuration.set(el::Level::Info, el::ConfigurationType::ToStandardOutput, "false");
    configuration.set(el::Level::Info, el::ConfigurationType::Filename, logFile);
    el::Loggers::reconfigureLogger("default", configuration);

    auto logger = Logger();
    library.funnelResult = 160;
    library.ga4Result = -1;
    EXPECT_EQ(logger->AddUserLog_funnelParam(true, false, "Download", "DownloadConfigReady", "default_config", "1"), 160);
    EXPECT_EQ(logger->AddUserLogEvent("Download", "1.Launch", "", false), -1);
    EXPECT_EQ(library.Calls("funnel").size(), 3u);
    EXPECT_EQ(library.Calls("ga4").size(), 3u);
    el::Loggers::flushAll();
    const std::string log = ReadFile(logFile);
    EXPECT_NE(log.find("send funnel fail, bWait = true, retry is max, retcode = 160, Download###DownloadConfigReady"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("send ga4 fail, bWait = true, retry is max, retcode = -1, Download###1.Launch"),
              std::string::npos);
    configuration.setToDefault();
    el::Loggers::reconfigureLogger("default", configuration);

    library.funnelResult = 0;
    withLibrary = false;
    EXPECT_EQ(logger->AddUserLogEvent("Download", "2.DownStart", "", false), -1);
    EXPECT_EQ(logger->AddUserLog_funnel("", "", 0, "c", "a", "l", false, false), -1);
}

TEST_F(LoggerFixture, AutoRunSuppressesEverySendAndLeavesGalogAlone) {
    auto logger = Logger();
    const std::string galog = logger->GetLogDir() + "/galog.json";
    const std::string before = ReadFile(galog);
    const std::size_t calls = library.Calls().size();
    SetAutoRun(1);
    EXPECT_EQ(logger->AddUserLogEvent("Other", "FlowError", "DL003", false), -99);
    EXPECT_EQ(logger->AddUserLog(0, "x", false, 0, "", "", "c"), -99);
    EXPECT_EQ(logger->AddUserLog_funnel("", "", 0, "c", "a", "l", false, false), -99);
    EXPECT_EQ(logger->AddUserLog_funnelEx("c", "a", {}, false, false), -99);
    EXPECT_EQ(logger->AddUserLog_funnelParam(false, false, "c", "a", "k", "v"), -99);
    EXPECT_EQ(library.Calls().size(), calls);
    EXPECT_EQ(ReadFile(galog), before);

    // The file is read at every call: switching it back resumes sending.
    SetAutoRun(0);
    EXPECT_EQ(logger->AddUserLogEvent("Download", "1.Launch", "", false), 0);
}

TEST_F(LoggerFixture, GalogMarksTheFirstRunOfTheDayAndRecordsTheVersionOnce) {
    auto first = Logger();
    const std::string galog = first->GetLogDir() + "/galog.json";
    Json::Value stored;
    ASSERT_TRUE(JsonText::Parse(ReadFile(galog), stored));
    EXPECT_EQ(JsonText::Compact(stored), R"({"day":9,"month":12,"year":2026})");
    EXPECT_EQ(ReadFile(galog), JsonText::Styled(stored));

    first->AddUserLog_funnel("", "", 0, "c", "a", "l", false, false);
    EXPECT_EQ(library.Calls("funnel").back().json["is_new"], 1);
    ASSERT_TRUE(JsonText::Parse(ReadFile(galog), stored));
    EXPECT_EQ(stored["version"], "2.9.0.0");
    EXPECT_EQ(stored["day"], 9);

    auto second = Logger();
    second->AddUserLog_funnel("", "", 0, "c", "a", "l", false, false);
    EXPECT_EQ(library.Calls("funnel").back().json["is_new"], 0);

    // A new day, a file with members of its own: they survive.
    stored["note"] = "kept";
    std::ofstream(galog) << JsonText::Styled(stored);
    today.tm_mday = 10;
    auto nextDay = Logger();
    ASSERT_TRUE(JsonText::Parse(ReadFile(galog), stored));
    EXPECT_EQ(stored["day"], 10);
    EXPECT_EQ(stored["note"], "kept");
    EXPECT_EQ(stored["version"], "2.9.0.0");

    std::ofstream(galog) << "not json";
    auto broken = Logger();
    ASSERT_TRUE(JsonText::Parse(ReadFile(galog), stored));
    EXPECT_EQ(stored["day"], 10);
}

TEST_F(LoggerFixture, LanguageIsReadUntilFrozenAndProductVersionCachedOnceKnown) {
    auto logger = Logger();
    std::string language = "de";
    std::string version;
    logger->SetMainWindowSource([&] { return version; }, [&] { return language; });
    logger->AddUserLog_funnel("", "", 0, "c", "a", "l", false, false);
    EXPECT_EQ(library.Calls("funnel").back().json["tools_lang"], "de");
    EXPECT_EQ(library.Calls("funnel").back().json["product_version"], "");

    version = "5.1.0";
    language = "it";
    logger->AddUserLog_funnel("", "", 0, "c", "a2", "l", false, false);
    logger->toolsLangFrozen = true;
    version = "9.9.9";
    language = "ko";
    logger->AddUserLog_funnel("", "", 0, "c", "a3", "l", false, false);
    EXPECT_EQ(library.Calls("funnel").back().json["tools_lang"], "it");
    EXPECT_EQ(library.Calls("funnel").back().json["product_version"], "5.1.0");
}

TEST_F(LoggerFixture, UrlLengthCacheIgnoresEmptyUrlsAndZeroLengths) {
    auto logger = Logger(false);
    logger->SetUrlLength("https://d/a.exe", 0);
    EXPECT_EQ(logger->GetUrlLength("https://d/a.exe"), 0);
    logger->SetUrlLength("https://d/a.exe", 4096);
    logger->SetUrlLength("https://d/a.exe", 8192);
    logger->SetUrlLength("", 5);
    EXPECT_EQ(logger->GetUrlLength("https://d/a.exe"), 8192);
    EXPECT_EQ(logger->GetUrlLength(""), 0);
    EXPECT_EQ(logger->GetUrlLength("https://d/b.exe"), 0);
    EXPECT_TRUE(logger->WaitThreadForExit());
}
