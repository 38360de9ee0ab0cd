#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <unistd.h>

#include "Common/install_ui_mainwnd/InstallUIMainWnd.h"
#include "Common/install_ui_mainwnd/ProductLanguageRecord.h"
#include "Common/install_ui_mainwnd/ProxySettings.h"
#include "LogLines.h"
#include "platform/RegistryStore.h"
#include "support/TempDir.h"

namespace {

using platform::RegistryHive;
using platform::RegistryStore;
using testsupport::ScopedEnv;

ProxySettings From(const std::map<std::string, std::string>& variables) {
    return ProxySettingsFrom([&](const char* name) {
        const auto found = variables.find(name);
        return found == variables.end() ? std::string() : found->second;
    });
}

TEST(ProxySettingsTest, KindFollowsTheMostSpecificSetting) {
    EXPECT_EQ(From({}).Kind(), 0);
    EXPECT_EQ(From({{"auto_proxy", "http://wpad/wpad.dat"}}).Kind(), 1);
    EXPECT_EQ(From({{"HTTPS_PROXY", "http://p:3128"}}).Kind(), 2);
    EXPECT_EQ(From({{"http_proxy", "http://p:3128"}, {"NO_PROXY", "localhost"}}).Kind(), 3);
}

TEST(ProxySettingsTest, ProxyTextAndLowerCaseFirst) {
    EXPECT_EQ(From({{"http_proxy", "http://a:1"}, {"https_proxy", "http://a:1"}}).proxy, "http://a:1");
    EXPECT_EQ(From({{"http_proxy", "http://a:1"}, {"https_proxy", "http://b:2"}}).proxy,
              "http=http://a:1;https=http://b:2");
    EXPECT_EQ(From({{"http_proxy", "http://low:1"}, {"HTTP_PROXY", "http://UP:1"}}).proxy, "http://low:1");
    EXPECT_EQ(From({{"no_proxy", "a,b"}}).bypass, "a,b");
}

TEST(ProxySettingsTest, LogsWhatIsSet) {
    ScopedEnv autoProxy("auto_proxy", "");
    ScopedEnv http("http_proxy", "http://proxy.example:3128");
    ScopedEnv https("https_proxy", "");
    ScopedEnv httpsUpper("HTTPS_PROXY", "");
    ScopedEnv noProxy("no_proxy", "localhost,127.0.0.1");
    LogLines log;
    EXPECT_EQ(InstallUIMainWnd::GetIEProxyConfig(), 3);
    EXPECT_TRUE(log.Has(" Get proxy: 1, 0"));
    EXPECT_TRUE(log.Has(" Proxy info2: http://proxy.example:3128"));
    EXPECT_TRUE(log.Has(" Proxy info3: localhost,127.0.0.1"));
    EXPECT_FALSE(log.HasPart(" Proxy info1: "));
}

TEST(ProductLanguageRecordTest, PerProduct) {
    auto record = ProductLanguageRecordFor(104, Chinese, "X", true, true);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->hive, RegistryHive::CurrentUser);
    EXPECT_EQ(record->key, "Software\\Pellidor\\Clipwise Studio");
    EXPECT_EQ(record->valueName, "kCurrentLanguage");
    EXPECT_EQ(record->value, "Chinese");
    EXPECT_EQ(ProductLanguageRecordFor(104, Japanese, "X", true, true)->value, "English");

    for (const int id : {113, 114, 115}) {
        record = ProductLanguageRecordFor(id, Portuguese, "X", false, false);
        ASSERT_TRUE(record) << id;
        EXPECT_EQ(record->key, "Software\\Quenrick\\Oxtrel");
        EXPECT_EQ(record->valueName, "Lang");
        EXPECT_EQ(record->value, "pt_BR");
    }
    EXPECT_EQ(ProductLanguageRecordFor(113, ChineseTrad, "X", false, false)->value, "zh_TW");
    EXPECT_EQ(ProductLanguageRecordFor(113, Korean, "X", false, false)->value, "en_US");

    record = ProductLanguageRecordFor(499, Chinese, "Zembra Morvanta", true, true);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->hive, RegistryHive::LocalMachine);
    EXPECT_EQ(record->key, "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{Zembra Morvanta}_is1");
    EXPECT_EQ(record->value, "zhcn");
    EXPECT_EQ(ProductLanguageRecordFor(499, English, "Z", false, true)->key,
              "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{Z}_is1");
    EXPECT_FALSE(ProductLanguageRecordFor(499, English, "Z", false, false));
}

TEST(ProductLanguageRecordTest, WrittenIntoTheRegistryStore) {
    testsupport::TempDir temp;
    ScopedEnv registry("ZEMBRA_REGISTRY_DIR", temp.str() + "/registry");
    ASSERT_TRUE(InstallUIMainWnd::WriteProductLanguage(499, German, "Zembra Morvanta"));
    // This machine is 64-bit: the 32-bit view's key is the one written.
    const auto value = RegistryStore::ReadString(
        RegistryHive::LocalMachine,
        "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{Zembra Morvanta}_is1",
        "Inno Setup: Language");
    ASSERT_TRUE(value);
    EXPECT_EQ(*value, "de");

    ASSERT_TRUE(InstallUIMainWnd::WriteProductLanguage(114, French, "Zembra Morvanta"));
    EXPECT_EQ(RegistryStore::ReadString(RegistryHive::CurrentUser, "Software\\Quenrick\\Oxtrel", "Lang").value_or(""),
              "fr_FR");
}

TEST(ProductLanguageRecordTest, NothingWrittenWhenTheMachineStoreIsReadOnly) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write anywhere";
    testsupport::TempDir temp;
    const std::string folder = temp.str() + "/registry";
    std::filesystem::create_directories(folder);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    ScopedEnv registry("ZEMBRA_REGISTRY_DIR", folder);
    EXPECT_FALSE(InstallUIMainWnd::WriteProductLanguage(499, German, "Zembra Morvanta"));
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
}

}  // namespace
