#include <gtest/gtest.h>

#include <curl/curl.h>
#include <cctype>
#include <filesystem>
#include <unistd.h>

#include "ReportTestKit.h"
#include "reportsdk/CManagement.h"
#include "support/TempDir.h"

using testsupport::ReadFile;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

// pattern: '#' stands for one decimal digit, every other character for itself.
bool Shaped(const std::string& text, const std::string& pattern) {
    if (text.size() != pattern.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (pattern[i] == '#' ? !std::isdigit(static_cast<unsigned char>(text[i])) : text[i] != pattern[i]) return false;
    }
    return true;
}

struct ManagementFixture : ::testing::Test {
    TempDir appData;
    TempDir programDir;
    ScopedEnv appDataEnv{"APPDATA", appData.str()};
    ScopedEnv settingsEnv{"ZEMBRA_SETTINGS_FILE",
                          programDir.WriteFile("qk_downloader.cfg",
                                               "[Hosts]\nCollector=http://collector.test:81\n"
                                               "CollectorTest=http://collector-test.test:82/\nGA4=http://ga.test\n")};
    reporttest::ManualClock clock;

    std::unique_ptr<CManagement> Make(const std::string& programName = "ZembraMorvantaSetup") {
        return std::make_unique<CManagement>(reporttest::FixedFacts(clock), programDir.str() + "/" + programName);
    }
};

}  // namespace

TEST_F(ManagementFixture, InitOpensTheDailyLogOfTheProductFolderAndWritesTheStartLine) {
    auto management = Make();
    management->Init(2, 8656, 8656, "", "", "Zembra Morvanta", "1.0.0.0", "");
    const std::string folder = appData.str() + "/QKDataReportSDK/8656";
    EXPECT_EQ(management->ProductFolder(), folder);
    EXPECT_EQ(management->HistoryPath(), folder + "/backup/tempga.wk");
    EXPECT_TRUE(std::filesystem::is_directory(folder + "/backup"));
    EXPECT_TRUE(std::filesystem::is_directory(folder + "/logs"));

    const std::string log = ReadFile(management->LogPath());
    const std::string message = "[" + std::to_string(getpid()) +
                                "] SDK init ok, version 1.0.0.7, type 2, main_pid 8656, Zembra Morvanta 1.0.0.0, "
                                "with curl " + curl_version_info(CURLVERSION_NOW)->version + "\n";
    ASSERT_GT(log.size(), 20u);
    EXPECT_TRUE(Shaped(log.substr(0, 20), "########-######-### ")) << log;
    EXPECT_EQ(log.substr(20), message);
    const std::string logPath = management->LogPath();
    EXPECT_EQ(logPath.substr(0, logPath.size() - 12), folder + "/logs/");
    EXPECT_TRUE(Shaped(logPath.substr(logPath.size() - 12), "20######.log")) << logPath;

    const CommonFieldStore fields = management->Fields();
    EXPECT_EQ(fields.sessionId, "0A1B2C3D-0001-0002-0304-05060708090A");
    EXPECT_EQ(fields.uid, "7d3c0a9e-51b2-4c43-9a55-2f0b6f4e1d20");
    EXPECT_EQ(fields.brand, "QEMU");
    EXPECT_EQ(fields.mainPid, 8656);
}

TEST_F(ManagementFixture, CollectorPathFollowsTestSwitchFile) {
    EXPECT_EQ(Make()->CollectorUrl(), "http://collector.test:81/collect");
    programDir.WriteFile("test.wk", "[Configs]\nTestEnv=1\n");
    auto testing = Make();
    EXPECT_TRUE(testing->TestEnv());
    EXPECT_EQ(testing->CollectorUrl(), "http://collector-test.test:82/collector");
    EXPECT_EQ(testing->Ga4BaseUrl(), "http://ga.test");
    programDir.WriteFile("test.wk", "[Configs]\nTestEnv=0\n");
    EXPECT_FALSE(Make()->TestEnv());
}

TEST_F(ManagementFixture, ProxyIsTheFirstLineOfProxyTxt) {
    auto management = Make();
    EXPECT_EQ(management->ProxyLine(), "");
    programDir.WriteFile("proxy.txt", "http://127.0.0.1:3128\r\nignored\n");
    EXPECT_EQ(management->ProxyLine(), "http://127.0.0.1:3128");
    programDir.WriteFile("proxy.txt", "\nhttp://127.0.0.1:3128\n");
    EXPECT_EQ(management->ProxyLine(), "");
}

TEST_F(ManagementFixture, ExtraCommonSkipsReservedNamesAndKeepsEarlierFieldsOnEmptyOrBadInput) {
    auto management = Make();
    management->Init(2, 8656, 8656, "", "", "Zembra Morvanta", "1.0.0.0", "");
    management->SetExtraCommon(R"({"Channel":"c","abc":"1"})", "user", "de", "2.0", 5);
    CommonFieldStore fields = management->Fields();
    EXPECT_EQ(fields.extraCommon, "{\n   \"abc\" : \"1\"\n}\n");
    EXPECT_EQ(fields.userId, "user");
    EXPECT_EQ(fields.toolsLang, "de");
    EXPECT_EQ(fields.productVersion, "2.0");
    EXPECT_EQ(fields.pid, 5);

    management->SetExtraCommon(R"({"uid":"x","PID":3})", "", "fr", "", 0);
    fields = management->Fields();
    EXPECT_EQ(fields.extraCommonObject["abc"], "1");
    EXPECT_FALSE(fields.extraCommonObject.isMember("uid"));
    EXPECT_EQ(fields.toolsLang, "fr");
    EXPECT_EQ(fields.productVersion, "");

    management->SetExtraCommon("{broken", "", "en", "3.0", 0);
    EXPECT_EQ(management->Fields().extraCommonObject["abc"], "1");
    const std::string log = ReadFile(management->LogPath());
    EXPECT_NE(log.find("] Extra common parse failed: * Line 1, Column 2"), std::string::npos) << log;
}

TEST_F(ManagementFixture, CrossEndIdComesFromTheProgramNameAndIsLookedUpWhileEmpty) {
    auto named = Make("setup_123456789012345678.bin");
    named->Init(2, 8656, 8656, "", "", "p", "1", "");
    EXPECT_EQ(named->Fields().crossEndId, "123456789012345678");

    auto product = Make("product");
    product->Init(1, 8656, 8656, "", "", "p", "1", "");
    EXPECT_EQ(product->Fields().crossEndId, "");
    programDir.WriteFile("SP.dat", "sp_998877665544332211.dat\n");
    EXPECT_EQ(product->Fields().crossEndId, "998877665544332211");
}

TEST(SdkLogTest, MessagesAreBoundedWithoutSplittingCharacters) {
    EXPECT_EQ(SdkLog::Bounded("short"), "short");
    const std::string ascii(5000, 'a');
    EXPECT_EQ(SdkLog::Bounded(ascii).size(), 4095u);
    std::string wide;
    for (int i = 0; i < 5000; ++i) wide += "\xC3\xA9";
    EXPECT_EQ(SdkLog::Bounded(wide), wide.substr(0, 4095 * 2));
}
