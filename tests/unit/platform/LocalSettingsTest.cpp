#include <gtest/gtest.h>

#include "platform/LocalSettings.h"
#include "support/TempDir.h"

using platform::IniFile;
using testsupport::ScopedEnv;
using testsupport::TempDir;

TEST(IniFileTest, ReadsSectionsAndKeysCaseInsensitively) {
    const IniFile file = IniFile::Parse("; comment\n[Settings]\r\nTestEnv = 1\n AUTORUN=0\n[hosts]\nCollector=http://x\n");
    EXPECT_EQ(file.GetInt("settings", "testenv", 7), 1);
    EXPECT_EQ(file.GetInt("SETTINGS", "AutoRun", 7), 0);
    EXPECT_EQ(file.GetString("Hosts", "collector").value_or(""), "http://x");
    EXPECT_FALSE(file.GetString("Hosts", "GA4").has_value());
}

TEST(IniFileTest, IntegersFollowTheProfileReaderRules) {
    const IniFile file = IniFile::Parse("[S]\na=12abc\nb=abc\nc=-4\nd=\ne=1\ne=2\n");
    EXPECT_EQ(file.GetInt("S", "a", 9), 12);
    EXPECT_EQ(file.GetInt("S", "b", 9), 0);
    EXPECT_EQ(file.GetInt("S", "c", 9), 0);
    EXPECT_EQ(file.GetInt("S", "d", 9), 0);
    EXPECT_EQ(file.GetInt("S", "missing", 9), 9);
    EXPECT_EQ(file.GetInt("S", "e", 9), 1) << "the first occurrence of a key wins";
}

TEST(LocalSettingsTest, SwitchesAreReadAfreshOnEveryCall) {
    TempDir dir;
    const std::string path = dir.str() + "/qk_downloader.cfg";
    ScopedEnv settings("ZEMBRA_SETTINGS_FILE", path);

    EXPECT_FALSE(platform::SettingsSwitchOn("AutoRun")) << "a missing file never switches anything on";
    dir.WriteFile("qk_downloader.cfg", "[Settings]\nAutoRun=1\nTestEnv=2\n");
    EXPECT_TRUE(platform::SettingsSwitchOn("AutoRun"));
    EXPECT_FALSE(platform::SettingsSwitchOn("TestEnv")) << "only exactly 1 switches on";
    dir.WriteFile("qk_downloader.cfg", "[Settings]\nAutoRun=0\n");
    EXPECT_FALSE(platform::SettingsSwitchOn("AutoRun"));
    dir.WriteFile("qk_downloader.cfg", "[Settings]\nTestEnv=1\nCrashTest=1\n");
    EXPECT_TRUE(platform::IsTestEnv());
    EXPECT_TRUE(platform::IsCrashTest());
    EXPECT_FALSE(platform::IsAutoRun());
}

TEST(LocalSettingsTest, ServiceAddressesComeFromHostsOrCompiledDefaults) {
    TempDir dir;
    ScopedEnv settings("ZEMBRA_SETTINGS_FILE", dir.str() + "/qk_downloader.cfg");
    const std::string compiled = platform::ServiceBaseUrl("Collector");
    EXPECT_EQ(compiled.rfind("https://", 0), 0u);

    dir.WriteFile("qk_downloader.cfg", "[Hosts]\nCollector=http://127.0.0.1:8123/\nGA4=\n");
    EXPECT_EQ(platform::ServiceBaseUrl("Collector"), "http://127.0.0.1:8123");
    EXPECT_EQ(platform::ServiceBaseUrl("GA4").rfind("https://", 0), 0u) << "an empty value keeps the default";
    EXPECT_EQ(platform::HostsValue("GA4MeasurementId").substr(0, 2), "G-");
}

TEST(LocalSettingsTest, HostOfBaseUrlDropsSchemePortAndPath) {
    EXPECT_EQ(platform::HostOfBaseUrl("https://cbs.example.com"), "cbs.example.com");
    EXPECT_EQ(platform::HostOfBaseUrl("http://127.0.0.1:8080"), "127.0.0.1");
    EXPECT_EQ(platform::HostOfBaseUrl("http://host/path?q"), "host");
    EXPECT_EQ(platform::HostOfBaseUrl("bare.host"), "bare.host");
}

TEST(LocalSettingsTest, GarbageSettingsFileSwitchesNothingOn) {
    TempDir dir;
    ScopedEnv settings("ZEMBRA_SETTINGS_FILE", dir.str() + "/qk_downloader.cfg");
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 131 + 7) % 256);
    dir.WriteFile("qk_downloader.cfg", garbage + "\n[Settings\nAutoRun\n=1\n[Hosts]\nCollector\n");
    EXPECT_FALSE(platform::IsAutoRun());
    EXPECT_EQ(platform::ServiceBaseUrl("Collector").rfind("https://", 0), 0u);
}
