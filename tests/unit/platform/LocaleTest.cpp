#include <gtest/gtest.h>

#include "platform/Locale.h"
#include "support/TempDir.h"

using platform::UiLocaleFromName;
using testsupport::ScopedEnv;

TEST(LocaleTest, LocaleNamesMapToWindowsLanguageIdsAndCountries) {
    EXPECT_EQ(UiLocaleFromName("fr_CH.UTF-8").languageId, 4108);
    EXPECT_EQ(UiLocaleFromName("fr_CH.UTF-8").country, "CH");
    EXPECT_EQ(UiLocaleFromName("en_US.UTF-8").languageId, 0x0409);
    EXPECT_EQ(UiLocaleFromName("zh_CN.UTF-8").languageId, 0x0804);
    EXPECT_EQ(UiLocaleFromName("zh_TW").languageId, 0x0404);
    EXPECT_EQ(UiLocaleFromName("pt_BR.utf8").languageId, 0x0416);
    EXPECT_EQ(UiLocaleFromName("sr_RS@latin").languageId, 0x081A);
    EXPECT_EQ(UiLocaleFromName("sr_RS").languageId, 0x0C1A);
}

TEST(LocaleTest, PartialAndUnknownLocalesFallBack) {
    EXPECT_EQ(UiLocaleFromName("de").languageId, 0x0407) << "a language alone takes its first country";
    EXPECT_EQ(UiLocaleFromName("de").country, "");
    EXPECT_EQ(UiLocaleFromName("de_BE").languageId, 0x0407);
    EXPECT_EQ(UiLocaleFromName("xx_YY").languageId, 1033);
    EXPECT_EQ(UiLocaleFromName("xx_YY").country, "YY");
    EXPECT_EQ(UiLocaleFromName("C").languageId, 1033);
    EXPECT_EQ(UiLocaleFromName("POSIX").country, "US");
    EXPECT_EQ(UiLocaleFromName("").languageId, 1033);
}

TEST(LocaleTest, EnvironmentPrecedenceIsLanguageThenLcAllThenLcMessagesThenLang) {
    ScopedEnv language("LANGUAGE", "");
    ScopedEnv lang("LANG", "ja_JP.UTF-8");
    ScopedEnv messages("LC_MESSAGES", "ko_KR.UTF-8");
    {
        ScopedEnv all("LC_ALL", "ru_RU.UTF-8");
        EXPECT_EQ(platform::CurrentUiLocale().languageId, 0x0419);
    }
    ScopedEnv noAll("LC_ALL", "");
    EXPECT_EQ(platform::CurrentUiLocale().languageId, 0x0412);
}

TEST(LocaleTest, LanguageListNamesTheLanguageAndTheLocaleTheCountry) {
    const auto lookup = [](const char* language, const char* lang) {
        return [=](const char* name) -> const char* {
            if (std::string(name) == "LANGUAGE") return language;
            return std::string(name) == "LANG" ? lang : nullptr;
        };
    };
    const auto french = platform::UiLocaleFromEnvironment(lookup("fr_CH:fr:en", "de_DE.UTF-8"));
    EXPECT_EQ(french.languageId, 4108);
    EXPECT_EQ(french.country, "CH");
    const auto bare = platform::UiLocaleFromEnvironment(lookup("pt", "de_CH.UTF-8"));
    EXPECT_EQ(bare.languageId, 0x0416);
    EXPECT_EQ(bare.country, "CH");
    EXPECT_EQ(platform::UiLocaleFromEnvironment(lookup(":", nullptr)).languageId, 1033);
}
