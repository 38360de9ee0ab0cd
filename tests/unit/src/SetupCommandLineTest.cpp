#include <gtest/gtest.h>

#include "Common/install_ui_mainwnd/InstallTimeEstimate.h"
#include "Common/install_ui_mainwnd/SetupCommandLine.h"

namespace {

SetupCommandLineParts Parts() {
    SetupCommandLineParts parts;
    parts.installDir = "/opt/Zembra/Zembra Morvanta";
    parts.language = French;
    parts.downloaderId = 499;
    parts.logDir = "/home/u/.local/share/QKDownloader/logs/zembramorvanta_zembram";
    parts.softwareName = "Zembra Morvanta";
    parts.localTime.tm_year = 2024 - 1900;
    parts.localTime.tm_mon = 2;
    parts.localTime.tm_mday = 7;
    parts.localTime.tm_hour = 9;
    parts.localTime.tm_min = 5;
    parts.localTime.tm_sec = 3;
    parts.ownExecutableName = "ZembraMorvantaSetup";
    return parts;
}

TEST(SetupCommandLineTest, TextAndArgumentsFromTheSameParts) {
    const auto line = BuildSetupCommandLine("/work/app_1.exe", Parts());
    const std::string log =
        "/home/u/.local/share/QKDownloader/logs/zembramorvanta_zembram/Zembra Morvanta_Setup_20240307090503.log";
    EXPECT_EQ(line.text, " /VERYSILENT /SP- /NORESTART /DIR=\"/opt/Zembra/Zembra Morvanta/\" /LANG=fr /LOG=\"" +
                             log + "\" /sptrack null");
    const std::vector<std::string> expected = {"/work/app_1.exe", "/VERYSILENT", "/SP-", "/NORESTART",
                                               "/DIR=/opt/Zembra/Zembra Morvanta/", "/LANG=fr", "/LOG=" + log,
                                               "/sptrack", "null"};
    EXPECT_EQ(line.arguments, expected);
}

TEST(SetupCommandLineTest, HostileNamesStayInTheirArgument) {
    auto parts = Parts();
    parts.installDir = "/tmp/a \"b\" $(rm -rf x); `c` \xE6\x97\xA5\xE6\x9C\xAC";
    parts.softwareName = "Evil/../../name \"q\"";
    const auto line = BuildSetupCommandLine("/w/pkg \"1\".exe", parts);
    ASSERT_EQ(line.arguments.size(), 9u);
    EXPECT_EQ(line.arguments[0], "/w/pkg \"1\".exe");
    EXPECT_EQ(line.arguments[4], "/DIR=" + parts.installDir + "/");
    // The product name only names the log file, inside the log folder.
    EXPECT_EQ(line.arguments[6], "/LOG=" + parts.logDir + "/Evil_.._.._name \"q\"_Setup_20240307090503.log");
}

TEST(SetupCommandLineTest, LanguageCodes) {
    EXPECT_EQ(SetupLanguageCode(English, 499), "en");
    EXPECT_EQ(SetupLanguageCode(Chinese, 499), "zhcn");
    EXPECT_EQ(SetupLanguageCode(ChineseTrad, 499), "zhtw");
    EXPECT_EQ(SetupLanguageCode(Czech, 499), "cz");
    EXPECT_EQ(SetupLanguageCode(static_cast<EnumLanguage>(42), 499), "en");
    EXPECT_EQ(SetupLanguageCode(Japanese, 499), "ja");
    for (const int id : {117, 118, 119, 120, 122, 123, 124, 125}) EXPECT_EQ(SetupLanguageCode(Japanese, id), "jp") << id;
    EXPECT_EQ(SetupLanguageCode(Japanese, 121), "ja");
    EXPECT_EQ(SetupLanguageCode(Korean, 118), "ko");
}

TEST(SetupCommandLineTest, TrackNameOnlyWithAnUnderscore) {
    EXPECT_EQ(SetupTrackName("ZembraMorvantaSetup"), "null");
    EXPECT_EQ(SetupTrackName("zembra_site412.exe"), "zembra_site412.exe");
}

TEST(InstallTimeEstimateTest, SecondsFromThePackageSize) {
    using namespace installestimate;
    EXPECT_EQ(EstimateSeconds(300ll << 20), 17);
    EXPECT_EQ(EstimateSeconds(0), 0);
    EXPECT_EQ(EstimateSeconds(17919999), 0);  // truncation at every step
    EXPECT_EQ(EstimateSeconds(17920000), 1);
    EXPECT_EQ(EstimateSeconds(-5), 0);
    EXPECT_GT(EstimateSeconds(std::int64_t{1} << 62), 0) << "no overflow";
    EXPECT_EQ(TimerPeriodMs(17, 3), 2000);
    EXPECT_EQ(UsablePeriodMs(TimerPeriodMs(0, 0)), kMinimumPeriodMs);
    EXPECT_EQ(UsablePeriodMs(1700), 1700u);
}

}  // namespace
